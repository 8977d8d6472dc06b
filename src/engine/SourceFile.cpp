#include "engine/SourceFile.h"

#include "engine/PositionedRead.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace mp3 {

SourceFile::SourceFile(const std::filesystem::path& path) {
#ifdef _WIN32
    m_fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
    struct _stat64 st {};
    if (m_fd >= 0 && (_fstat64(m_fd, &st) != 0 || (st.st_mode & _S_IFDIR))) {
        close();
    }
#else
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    // Only regular files: a directory opens for reading on POSIX but holds no bytes, and a device
    // such as /dev/zero would never end.
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close();
    }
#endif
}

SourceFile::~SourceFile() {
    close();
}

void SourceFile::close() {
    if (m_fd >= 0) {
#ifdef _WIN32
        _close(m_fd);
#else
        ::close(m_fd);
#endif
        m_fd = -1;
    }
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_bufferLength = 0;
}

std::size_t SourceFile::rawRead(std::int64_t offset, std::uint8_t* out, std::size_t count) {
    return readFileAt(m_fd, offset, out, count);
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
    if (m_fd < 0 || offset < 0 || !fill(offset)) {
        return -1;
    }
    return m_buffer[0];
}

std::size_t SourceFile::readAt(std::int64_t offset, std::uint8_t* out, std::size_t count) {
    if (m_fd < 0 || offset < 0) {
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
