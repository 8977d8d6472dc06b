#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class SourceBytes;

// A piece being written: a new file behind a write buffer. A failure (the file could not be created,
// a write fell short) is remembered rather than thrown; from then on nothing more is accepted, and
// close() reports it, so a writer never counts such a piece as saved.
class PieceFile {
public:
    static constexpr std::size_t kBufferSize = 1 << 20;
    static constexpr std::size_t kSystemCopyMinimum = 64 * 1024;

    // A piece that was never created: every write is refused.
    PieceFile() = default;
    ~PieceFile();
    PieceFile(PieceFile&& other) noexcept;
    PieceFile& operator=(PieceFile&& other) noexcept;
    PieceFile(const PieceFile&) = delete;
    PieceFile& operator=(const PieceFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool failed() const { return !m_error.empty(); }
    // Why the piece failed, for the log; empty while it is sound.
    const std::string& error() const { return m_error; }
    const std::filesystem::path& path() const { return m_path; }

    // Appends bytes; returns how many were accepted (all of them, or 0 once the piece has failed).
    std::size_t write(const std::uint8_t* data, std::size_t count);
    // Appends `count` bytes of `source` from `offset`; returns how many were accepted (fewer when the
    // source ends early, which fails the piece). The system copies them file to file where it can,
    // otherwise they are read straight into the write buffer.
    std::size_t copyFrom(const SourceBytes& source, std::int64_t offset, std::size_t count);
    // Flushes and closes; true when every accepted byte reached the file.
    bool close();

private:
    friend PieceFile createPieceFile(const std::filesystem::path& path,
                                     const std::filesystem::path& sourcePath);

    bool flush();
    // Room left in the write buffer, flushing it first when it is full; 0 when the flush failed.
    std::size_t room();
    // Copies by the system's file-to-file copy; returns the bytes copied, stopping early where that
    // copy is not available.
    std::size_t systemCopy(const SourceBytes& source, std::int64_t offset, std::size_t count);
    void fail(const std::string& reason);

    int m_fd = -1;
    std::filesystem::path m_path;
    // Allocated at the first buffered write: pieces copied file to file never need it.
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_used = 0;
    std::string m_error;
    bool m_systemCopy = true;
};

// Creates the piece file for writing, replacing a file of that name. The loaded source is never
// created, truncated or replaced: a path that names it (also through a link) gives a failed piece
// and leaves the source untouched, as does a file that cannot be created.
PieceFile createPieceFile(const std::filesystem::path& path, const std::filesystem::path& sourcePath);
