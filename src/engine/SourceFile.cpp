#include "engine/SourceFile.h"

#include "engine/PlatformFile.h"
#include "engine/PositionedRead.h"

#include <algorithm>
#include <cstring>

namespace mp3 {

SourceFile::SourceFile(const std::filesystem::path& path) : m_file(platform::openForReading(path)) {
    // Only regular files: a directory opens for reading on POSIX but holds no bytes, and a device
    // such as /dev/zero would never end.
    const auto status = platform::statusOf(m_file.get());
    if (!status || !status->isRegular()) {
        close();
    }
}

SourceFile::~SourceFile() {
    close();
}

void SourceFile::close() {
    m_file.close();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_bufferLength = 0;
}

std::size_t SourceFile::rawRead(std::int64_t offset, std::uint8_t* out, std::size_t count) {
    return readFileAt(m_file.get(), offset, out, count);
}

bool SourceFile::fill(std::int64_t offset) {
    if (m_buffer.size() != kBufferSize) {
        m_buffer.resize(kBufferSize);
    }
    m_bufferStart = offset;
    m_bufferLength = rawRead(offset, m_buffer.data(), kBufferSize);
    return m_bufferLength > 0;
}

int SourceFile::refillAndGet(std::int64_t offset) {
    if (!m_file.isOpen() || offset < 0 || !fill(offset)) {
        return -1;
    }
    return m_buffer[0];
}

std::size_t SourceFile::readAt(std::int64_t offset, std::uint8_t* out, std::size_t count) {
    if (!m_file.isOpen() || offset < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t at = offset + static_cast<std::int64_t>(done);
        const std::int64_t bufferEnd = m_bufferStart + static_cast<std::int64_t>(m_bufferLength);
        if (at < m_bufferStart || at >= bufferEnd) {
            if (count - done >= kBufferSize) {
                // Large reads go straight to the file.
                return done + rawRead(at, out + done, count - done);
            }
            if (!fill(at)) {
                break;
            }
            continue;
        }
        const auto inBuffer = static_cast<std::size_t>(bufferEnd - at);
        const std::size_t n = std::min(inBuffer, count - done);
        std::memcpy(out + done, m_buffer.data() + (at - m_bufferStart), n);
        done += n;
    }
    return done;
}

} // namespace mp3
