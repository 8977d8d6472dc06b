#pragma once

#include "engine/FrameHeader.h"
#include "engine/PlatformFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace mp3 {

// Finds the frames of a file exactly where FrameReader finds them (the same tags skipped, the same
// false syncs searched through, the same last frame cut short by the end of the file), from their
// headers alone: the file is read forward in large chunks and no frame's bytes are copied, which
// makes a pass over a long file several times cheaper than reading it frame by frame.
class FrameWalk {
public:
    static constexpr std::size_t kChunkSize = 256 * 1024;

    explicit FrameWalk(const std::filesystem::path& path);
    FrameWalk(const FrameWalk&) = delete;
    FrameWalk& operator=(const FrameWalk&) = delete;

    // Only regular files open, as for the reader.
    bool isOpen() const { return m_file.isOpen(); }
    // The file's length when it was opened, -1 when unknown.
    std::int64_t fileSize() const { return m_fileSize; }

    // Moves to the next frame (the first one at the first call); false at the end of the stream.
    bool next();
    const FrameHeader& header() const { return m_header; }
    // Bytes of the frame the file holds, header included.
    int frameLength() const { return m_frameLength; }
    // The frame's bytes after its header (frameLength() - 4 of them), valid until the next call.
    const std::uint8_t* frameBody() const { return m_body; }
    // The whole frame, header included, where it lies in one piece in the walk's buffer; otherwise
    // null (the header is in header().raw). Valid until the next call.
    const std::uint8_t* frameBytes() const { return m_frame; }
    // What FrameReader::frameNumber() shows at the same point, also after the end: the last frame's
    // number, or one more when a header stands at the very end of the file with no byte after it.
    int frameNumber() const { return m_frameNumber; }

private:
    // Makes the bytes [at, at + count) readable in the chunk as far as the file holds them; returns
    // how many are there from `at`.
    std::size_t bytesAt(std::int64_t at, std::size_t count);
    const std::uint8_t* data(std::int64_t at) const {
        return m_chunk.get() + static_cast<std::size_t>(at - m_chunkStart);
    }
    void skipId3v2Tags();
    // The next candidate header from m_position on; false at the end of the file.
    bool findHeader(FrameHeader& header);

    platform::FileHandle m_file;
    std::int64_t m_fileSize = -1;
    std::unique_ptr<std::uint8_t[]> m_chunk; // not cleared first: every byte used was read
    std::int64_t m_chunkStart = 0;
    std::size_t m_chunkLength = 0;
    std::int64_t m_position = 0;
    FrameHeader m_header;
    int m_frameLength = 0;
    const std::uint8_t* m_body = nullptr;
    const std::uint8_t* m_frame = nullptr;
    // The last frame's header: most frames repeat it, and need not be worked out again.
    FrameHeader m_known;
    int m_knownLength = 0;
    int m_frameNumber = -1;
    bool m_atEnd = false;
};

} // namespace mp3
