#pragma once

#include "engine/FrameHeader.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

namespace mp3 {

class SourceFile;

// File offsets of every frame of a file, indexed by frame number (what a full scan saw).
using FrameOffsets = std::vector<std::int64_t>;

// Reads the MPEG audio frames of one file in order, like an input iterator. A default-constructed
// reader is the end sentinel. Copies share one file; each copy keeps its own position.
class FrameReader {
public:
    static constexpr std::size_t kFrameBufferSize = 10240;

    FrameReader();
    explicit FrameReader(const std::filesystem::path& path);
    FrameReader(const FrameReader&);
    FrameReader& operator=(const FrameReader&);
    FrameReader(FrameReader&&) noexcept;
    FrameReader& operator=(FrameReader&&) noexcept;
    ~FrameReader();

    void readNext();
    // n > 0 reads n frames forward; n <= 0 steps back by -n.
    void advance(int n);
    // A copy of this reader advanced by n; this reader stays where it is.
    FrameReader advanced(int n) const;
    // Moves back n frames through the frame index; more than the current frame number stands on frame 0.
    void stepBack(int n);
    // Stands on `frame` using offsets a full scan recorded, instead of reading every frame before it.
    // The result is the same reader state that advancing from frame 0 gives.
    void seekToFrame(int frame, const FrameOffsets& offsets);

    // Closes the file this reader and all its copies share; every copy is at its end afterwards.
    void close();

    bool operator==(const FrameReader& other) const;

    // At the end of the stream, or the shared file has been closed.
    bool atEnd() const { return m_atEnd || (m_file && !isOpen()); }
    bool isOpen() const;
    const FrameHeader& header() const { return m_header; }
    const std::uint8_t* frameData() const { return m_frame.data(); }
    int frameLength() const { return m_frameLength; }
    int frameNumber() const { return m_frameNumber; }
    std::int64_t position() const { return m_position; }
    const std::deque<std::int64_t>& frameIndex() const { return m_frameIndex; }
    const std::filesystem::path& path() const { return m_path; }
    const SourceFile* file() const { return m_file.get(); }

private:
    void skipId3v2Tags();
    int nextByte();
    FrameHeader findHeader();

    std::shared_ptr<SourceFile> m_file;
    bool m_atEnd = true;
    FrameHeader m_header;
    std::array<std::uint8_t, kFrameBufferSize> m_frame{};
    int m_frameLength = 0;
    std::int64_t m_position = 0;
    int m_frameNumber = -1;
    std::deque<std::int64_t> m_frameIndex;
    std::filesystem::path m_path;
};

} // namespace mp3
