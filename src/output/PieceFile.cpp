#include "output/PieceFile.h"

#include "output/SourceBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int openForWriting(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int closeFile(int fd) {
    return _close(fd);
}
long long writeSome(int fd, const std::uint8_t* data, std::size_t count) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
}
#else
int openForWriting(const std::filesystem::path& path) {
    // No O_TRUNC here: the file is truncated only once it is known not to be the source.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}
int closeFile(int fd) {
    return ::close(fd);
}
long long writeSome(int fd, const std::uint8_t* data, std::size_t count) {
    return ::write(fd, data, count);
}
#endif

// Whether the open file `fd` is the file at `sourcePath` (the same file, whatever name reached it).
bool isSameFile(int fd, const std::filesystem::path& sourcePath) {
#ifdef _WIN32
    // Checked by path before opening on this platform.
    (void)fd;
    (void)sourcePath;
    return false;
#else
    struct stat opened {};
    struct stat source {};
    if (::fstat(fd, &opened) != 0 || ::stat(sourcePath.c_str(), &source) != 0) {
        return false;
    }
    return opened.st_dev == source.st_dev && opened.st_ino == source.st_ino;
#endif
}

bool truncateToEmpty(int fd) {
#ifdef _WIN32
    return _chsize_s(fd, 0) == 0;
#else
    struct stat st {};
    // Devices and pipes have nothing to truncate; a new file is empty already, and truncating it
    // anyway would make some file systems write it out at close.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        return true;
    }
    return ::ftruncate(fd, 0) == 0;
#endif
}

std::string systemError(int code) {
    return std::strerror(code);
}

} // namespace

PieceFile::~PieceFile() {
    close();
}

PieceFile::PieceFile(PieceFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)),
      m_buffer(std::move(other.m_buffer)), m_used(std::exchange(other.m_used, 0)),
      m_error(std::move(other.m_error)) {}

PieceFile& PieceFile::operator=(PieceFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_buffer = std::move(other.m_buffer);
        m_used = std::exchange(other.m_used, 0);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void PieceFile::fail(const std::string& reason) {
    if (m_error.empty()) {
        m_error = reason;
    }
}

std::size_t PieceFile::room() {
    if (!m_buffer) {
        m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    }
    if (m_used == kBufferSize && !flush()) {
        return 0;
    }
    return kBufferSize - m_used;
}

std::size_t PieceFile::write(const std::uint8_t* data, std::size_t count) {
    if (m_fd < 0 || failed()) {
        return 0;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t space = room();
        if (space == 0) {
            return done;
        }
        const std::size_t n = std::min(count - done, space);
        std::memcpy(m_buffer.get() + m_used, data + done, n);
        m_used += n;
        done += n;
    }
    return done;
}

std::size_t PieceFile::systemCopy(const SourceBytes& source, std::int64_t offset, std::size_t count) {
#if defined(__linux__)
    if (!m_systemCopy || !flush()) {
        return 0;
    }
    std::size_t done = 0;
    while (done < count) {
        loff_t from = static_cast<loff_t>(offset) + static_cast<loff_t>(done);
        const ssize_t n = ::copy_file_range(source.descriptor(), &from, m_fd, nullptr, count - done, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // Not available here (or the source ended): the buffered copy takes over and tells which.
            m_systemCopy = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
#else
    (void)source;
    (void)offset;
    (void)count;
    return 0;
#endif
}

std::size_t PieceFile::copyFrom(const SourceBytes& source, std::int64_t offset, std::size_t count) {
    if (m_fd < 0 || failed()) {
        return 0;
    }
    // Small runs are cheaper through the buffer than as a system call of their own.
    std::size_t done = count >= kSystemCopyMinimum ? systemCopy(source, offset, count) : 0;
    while (done < count) {
        const std::size_t space = room();
        if (space == 0) {
            return done;
        }
        const std::size_t wanted = std::min(count - done, space);
        const std::size_t got =
            source.readAt(offset + static_cast<std::int64_t>(done), m_buffer.get() + m_used, wanted);
        m_used += got;
        done += got;
        if (got < wanted) {
            fail("the source file ended early");
            return done;
        }
    }
    return done;
}

bool PieceFile::flush() {
    std::size_t written = 0;
    while (written < m_used) {
        const long long n = writeSome(m_fd, m_buffer.get() + written, m_used - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail(n < 0 ? systemError(errno) : "nothing could be written");
            m_used = 0;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    m_used = 0;
    return true;
}

bool PieceFile::close() {
    if (m_fd >= 0) {
        if (!failed()) {
            flush();
        }
        if (closeFile(m_fd) != 0) {
            fail(systemError(errno));
        }
        m_fd = -1;
        m_buffer.reset();
    }
    return !failed() && !m_path.empty();
}

PieceFile createPieceFile(const std::filesystem::path& path, const std::filesystem::path& sourcePath) {
    PieceFile piece;
    piece.m_path = path;
#ifdef _WIN32
    std::error_code error;
    if (std::filesystem::equivalent(path, sourcePath, error)) {
        piece.fail("it is the loaded source file");
        return piece;
    }
#endif
    const int fd = openForWriting(path);
    if (fd < 0) {
        piece.fail(systemError(errno));
        return piece;
    }
    if (isSameFile(fd, sourcePath)) {
        closeFile(fd);
        piece.fail("it is the loaded source file");
        return piece;
    }
    if (!truncateToEmpty(fd)) {
        const int code = errno;
        closeFile(fd);
        piece.fail(systemError(code));
        return piece;
    }
    piece.m_fd = fd;
    return piece;
}
