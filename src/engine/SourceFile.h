#pragma once

#include "engine/PlatformFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace mp3 {

// A read-only file with a read-ahead buffer, shared by a reader and its copies. Reads are positioned,
// so readers that share it keep independent positions without a seek of their own.
class SourceFile {
public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    explicit SourceFile(const std::filesystem::path& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    void close();

    // Copies up to `count` bytes at `offset` into `out`; returns how many the file held.
    std::size_t readAt(std::int64_t offset, std::uint8_t* out, std::size_t count);

    // One byte at `offset`, or -1 past the end of the file.
    int byteAt(std::int64_t offset) {
        if (offset >= m_bufferStart && offset < m_bufferStart + static_cast<std::int64_t>(m_bufferLength)) {
            return m_buffer[static_cast<std::size_t>(offset - m_bufferStart)];
        }
        return refillAndGet(offset);
    }

private:
    int refillAndGet(std::int64_t offset);
    bool fill(std::int64_t offset);
    std::size_t rawRead(std::int64_t offset, std::uint8_t* out, std::size_t count);

    platform::FileHandle m_file;
    std::vector<std::uint8_t> m_buffer;
    std::int64_t m_bufferStart = 0;
    std::size_t m_bufferLength = 0;
};

} // namespace mp3
