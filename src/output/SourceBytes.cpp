#include "output/SourceBytes.h"

#include "engine/PositionedRead.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

SourceBytes::SourceBytes(const std::filesystem::path& path) {
#ifdef _WIN32
    m_fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

SourceBytes::~SourceBytes() {
    if (m_fd >= 0) {
#ifdef _WIN32
        _close(m_fd);
#else
        ::close(m_fd);
#endif
    }
}

std::size_t SourceBytes::readAt(std::int64_t offset, std::uint8_t* out, std::size_t count) const {
    return mp3::readFileAt(m_fd, offset, out, count);
}

std::int64_t SourceBytes::size() const {
#ifdef _WIN32
    struct _stat64 st {};
    return m_fd >= 0 && _fstat64(m_fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
#else
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
#endif
}
