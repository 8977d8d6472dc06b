#include "engine/PlatformFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#ifdef _WIN32
FileStatus fromStat(const struct _stat64& st) {
    FileStatus status;
    status.kind = (st.st_mode & _S_IFREG)   ? FileStatus::Kind::Regular
                  : (st.st_mode & _S_IFDIR) ? FileStatus::Kind::Directory
                                            : FileStatus::Kind::Other;
    status.size = st.st_size;
    status.modifiedNs = static_cast<std::int64_t>(st.st_mtime) * 1000000000;
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = 0;
    return status;
}
#else
FileStatus fromStat(const struct stat& st) {
    FileStatus status;
    status.kind = S_ISREG(st.st_mode)   ? FileStatus::Kind::Regular
                  : S_ISDIR(st.st_mode) ? FileStatus::Kind::Directory
                  : S_ISLNK(st.st_mode) ? FileStatus::Kind::Link
                                        : FileStatus::Kind::Other;
    status.size = static_cast<std::int64_t>(st.st_size);
    status.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = static_cast<std::uint64_t>(st.st_ino);
    return status;
}
#endif

} // namespace

std::optional<FileStatus> statusOf(int fd) {
#ifdef _WIN32
    struct _stat64 st {};
    if (fd < 0 || _fstat64(fd, &st) != 0) {
        return std::nullopt;
    }
#else
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
#endif
    return fromStat(st);
}

std::optional<FileStatus> statusOfName(const std::filesystem::path& path) {
#ifdef _WIN32
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
        FileStatus link;
        link.kind = FileStatus::Kind::Link;
        return link;
    }
    return statusOfTarget(path);
#else
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return fromStat(st);
#endif
}

std::optional<FileStatus> statusOfTarget(const std::filesystem::path& path) {
#ifdef _WIN32
    struct _stat64 st {};
    if (_wstat64(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
#endif
    return fromStat(st);
}

FileHandle::~FileHandle() {
    close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool FileHandle::close() {
    if (m_fd < 0) {
        return true;
    }
#ifdef _WIN32
    const int result = _close(m_fd);
#else
    const int result = ::close(m_fd);
#endif
    m_fd = -1;
    return result == 0;
}

FileHandle openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return FileHandle(_wopen(path.c_str(), _O_RDONLY | _O_BINARY));
#else
    // Without waiting: opening a pipe for reading would otherwise block until a writer comes.
    return FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
#endif
}

FileHandle createNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
    return FileHandle(_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE));
#else
    // O_EXCL also refuses a dangling link at the name instead of creating its target.
    return FileHandle(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
#endif
}

long long writeSome(int fd, const std::uint8_t* data, std::size_t count) {
#ifdef _WIN32
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
#else
    return ::write(fd, data, count);
#endif
}

bool writeAllAt(int fd, std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
#ifdef _WIN32
        if (_lseeki64(fd, offset + static_cast<std::int64_t>(done), SEEK_SET) < 0) {
            return false;
        }
        const long long n = writeSome(fd, data + done, count - done);
#else
        const ssize_t n = ::pwrite(fd, data + done, count - done,
                                   static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
#endif
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool syncFile(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0;
#else
    while (::fsync(fd) != 0) {
        if (errno != EINTR) {
            // Some file systems (pipes aside, which never get here) cannot sync; that is no failure.
            return errno == EINVAL || errno == EROFS;
        }
    }
    return true;
#endif
}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replace) {
#ifdef _WIN32
    const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH) == 0) {
        errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
        return false;
    }
    return true;
#else
    if (replace) {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without that rename: a new link fails on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
#endif
}

bool removeFile(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wunlink(path.c_str()) == 0 || errno == ENOENT;
#else
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
#endif
}

std::optional<std::uint64_t> freeSpace(const std::filesystem::path& folder) {
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (error) {
        return std::nullopt;
    }
    return space.available;
#else
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
#endif
}

std::string systemError(int code) {
    return std::strerror(code);
}

} // namespace platform
