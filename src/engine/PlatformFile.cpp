#include "engine/PlatformFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace platform {

namespace {

#ifdef _WIN32
// A handle of the system's own, closed with the object.
struct SystemHandle {
    HANDLE handle;
    explicit SystemHandle(HANDLE h) : handle(h) {}
    ~SystemHandle() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    SystemHandle(const SystemHandle&) = delete;
    SystemHandle& operator=(const SystemHandle&) = delete;
};

// The stat of Windows has no inode and whole seconds only: the volume and file index tell two names
// of one file apart, and the write time in 100 ns steps sees two saves within a second.
std::optional<FileStatus> statusOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
        errno = ENOENT;
        return std::nullopt;
    }
    FileStatus status;
    const DWORD type = GetFileType(handle);
    status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileStatus::Kind::Directory
                  : type == FILE_TYPE_DISK                           ? FileStatus::Kind::Regular
                                                                     : FileStatus::Kind::Other;
    status.size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                info.ftLastWriteTime.dwLowDateTime;
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
    status.modifiedNs = (static_cast<std::int64_t>(ticks) - kTicksFrom1601To1970) * 100;
    status.device = info.dwVolumeSerialNumber;
    status.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
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

std::atomic<FileCallObserver> g_observer{nullptr};
std::atomic<FileCallFault> g_fault{nullptr};

void observe(FileCall call, const std::filesystem::path& name) {
    if (const FileCallObserver observer = g_observer.load()) {
        observer(call, name);
    }
}

// observe(), then whether an injected fault lets the call run (errno set when not).
bool proceed(FileCall call, const std::filesystem::path& name) {
    observe(call, name);
    if (const FileCallFault fault = g_fault.load()) {
        if (const int code = fault(call, name); code != 0) {
            errno = code;
            return false;
        }
    }
    return true;
}

} // namespace

void observeFileCalls(FileCallObserver observer) {
    g_observer.store(observer);
}

void injectFileCallFaults(FileCallFault fault) {
    g_fault.store(fault);
}

std::optional<FileStatus> statusOf(int fd) {
#ifdef _WIN32
    if (fd < 0) {
        return std::nullopt;
    }
    return statusOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
#else
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return fromStat(st);
#endif
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
    // No access asked for: only the attributes are read, whatever sharing another program chose.
    const SystemHandle file(CreateFileW(path.c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return statusOfHandle(file.handle);
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return fromStat(st);
#endif
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

#ifdef _WIN32
namespace {

int errnoFromSystemError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    default:
        return EACCES;
    }
}

// Windows answers a name longer than a file system takes (255 UTF-16 units a part) as an invalid or
// missing name; the user is told what is wrong with it.
int errnoFor(DWORD error, const std::filesystem::path& path) {
    const int code = errnoFromSystemError(error);
    if (code == ENOENT || code == EACCES) {
        for (const std::filesystem::path& part : path) {
            if (part.native().size() > 255) {
                return ENAMETOOLONG;
            }
        }
    }
    return code;
}

// Opened with every sharing allowed: a file Kerfline reads can still be renamed, replaced or
// deleted by another program, as on POSIX, and a change shows in its status.
FileHandle openWithSharing(const std::filesystem::path& path, DWORD access, DWORD disposition, int flags) {
    const HANDLE handle =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoFor(GetLastError(), path);
        return FileHandle();
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
    }
    return FileHandle(fd);
}

} // namespace
#endif

#ifdef _WIN32
namespace {

// The file position of a descriptor, put back when the object goes: a positioned ReadFile or
// WriteFile on a handle opened without overlapping moves it, pread and pwrite do not.
class KeptFilePosition {
public:
    explicit KeptFilePosition(int fd) : m_fd(fd), m_position(_lseeki64(fd, 0, SEEK_CUR)) {}
    ~KeptFilePosition() {
        if (m_position >= 0) {
            _lseeki64(m_fd, m_position, SEEK_SET);
        }
    }
    KeptFilePosition(const KeptFilePosition&) = delete;
    KeptFilePosition& operator=(const KeptFilePosition&) = delete;

private:
    int m_fd;
    long long m_position;
};

OVERLAPPED overlappedAt(std::int64_t offset) {
    const auto at = static_cast<std::uint64_t>(offset);
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    return where;
}

DWORD oneCallBytes(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
}

} // namespace
#endif

long long readSomeAt(int fd, std::int64_t offset, std::uint8_t* data, std::size_t count) {
#ifdef _WIN32
    const KeptFilePosition kept(fd);
    OVERLAPPED where = overlappedAt(offset);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), data, oneCallBytes(count), &got, &where)) {
        // Reading at or past the end is an end, as for pread.
        if (GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        errno = EIO;
        return -1;
    }
    return got;
#else
    return ::pread(fd, data, count, static_cast<off_t>(offset));
#endif
}

long long writeSomeAt(int fd, std::int64_t offset, const std::uint8_t* data, std::size_t count) {
#ifdef _WIN32
    const KeptFilePosition kept(fd);
    OVERLAPPED where = overlappedAt(offset);
    DWORD wrote = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), data, oneCallBytes(count), &wrote, &where)) {
        errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }
    return wrote;
#else
    return ::pwrite(fd, data, count, static_cast<off_t>(offset));
#endif
}

FileHandle openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return openWithSharing(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY);
#else
    // Without waiting: opening a pipe for reading would otherwise block until a writer comes.
    return FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
#endif
}

FileHandle createNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
    return openWithSharing(path, GENERIC_WRITE, CREATE_NEW, _O_WRONLY);
#else
    // O_EXCL also refuses a dangling link at the name instead of creating its target.
    return FileHandle(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
#endif
}

long long readSome(int fd, std::uint8_t* data, std::size_t count) {
#ifdef _WIN32
    return _read(fd, data, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
#else
    for (;;) {
        const ssize_t n = ::read(fd, data, count);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
#endif
}

bool isTerminal(int fd) {
#ifdef _WIN32
    return _isatty(fd) != 0;
#else
    return ::isatty(fd) == 1;
#endif
}

std::optional<std::filesystem::path> makeUniqueFolder(const std::filesystem::path& parent,
                                                      std::string_view prefix) {
#ifdef _WIN32
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%08lx%04x", GetTickCount(),
                      static_cast<unsigned>((GetCurrentProcessId() + counter++) & 0xFFFF));
        std::filesystem::path folder = parent / pathFromUtf8(std::string(prefix) + suffix);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
#else
    std::string pattern = (parent / prefix).native() + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return std::nullopt;
    }
    return std::filesystem::path(pattern);
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
        const long long n =
            writeSomeAt(fd, offset + static_cast<std::int64_t>(done), data + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
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
    if (!proceed(FileCall::SyncFile, {})) {
        return false;
    }
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

bool syncFileSystem(int fd) {
    if (!proceed(FileCall::SyncFileSystem, {})) {
        return false;
    }
#if defined(__linux__)
    while (::syncfs(fd) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
#else
    (void)fd;
    errno = ENOSYS;
    return false;
#endif
}

void startWriteback(int fd, std::int64_t offset, std::int64_t count) {
#if defined(__linux__)
    if (fd >= 0 && count >= 0) {
        ::sync_file_range(fd, offset, count, SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)fd;
    (void)offset;
    (void)count;
#endif
}

bool closeWrittenFile(FileHandle& handle) {
    observe(FileCall::CloseFile, {});
    return handle.close();
}

bool lendToWritersByName(FileHandle& handle, const std::filesystem::path& path) {
#ifdef _WIN32
    if (!handle.isOpen()) {
        return true;
    }
    handle = openWithSharing(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY);
    return handle.isOpen();
#else
    (void)handle;
    (void)path;
    return true;
#endif
}

bool takeBackFromWriters(FileHandle& handle, const std::filesystem::path& path) {
#ifdef _WIN32
    if (!handle.isOpen()) {
        return true;
    }
    // Closed first: the writable handle must not meet the read-only one's sharing.
    handle.close();
    handle = openWithSharing(path, GENERIC_WRITE, OPEN_EXISTING, _O_WRONLY);
    return handle.isOpen();
#else
    (void)handle;
    (void)path;
    return true;
#endif
}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replace) {
#ifdef _WIN32
    const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH) == 0) {
        errno = errnoFor(GetLastError(), to);
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

Folder Folder::duplicate() const {
    Folder copy;
    copy.m_path = m_path;
    copy.m_open = m_open;
#ifndef _WIN32
    if (m_open) {
        copy.m_handle = FileHandle(::fcntl(m_handle.get(), F_DUPFD_CLOEXEC, 0));
        copy.m_open = copy.m_handle.isOpen();
    }
#endif
    return copy;
}

Folder openFolder(const std::filesystem::path& path) {
    Folder folder;
    folder.m_path = path;
#ifdef _WIN32
    std::error_code error;
    const auto status = std::filesystem::status(path.empty() ? "." : path, error);
    folder.m_open = std::filesystem::is_directory(status);
    if (!folder.m_open) {
        // As open() tells them apart: a missing folder is not a file in the way.
        errno = std::filesystem::exists(status) ? ENOTDIR : ENOENT;
    }
#else
    folder.m_handle =
        FileHandle(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    folder.m_open = folder.m_handle.isOpen();
#endif
    return folder;
}

Folder openSubfolder(const Folder& parent, const std::filesystem::path& name, bool create) {
    Folder folder;
    folder.m_path = parent.m_path / name;
    if (!parent.isOpen()) {
        errno = EBADF;
        return folder;
    }
#ifdef _WIN32
    std::error_code error;
    if (create) {
        std::filesystem::create_directory(folder.m_path, error);
    }
    const auto status = std::filesystem::symlink_status(folder.m_path, error);
    if (std::filesystem::is_symlink(status)) {
        errno = ELOOP;
    } else if (!std::filesystem::is_directory(status)) {
        errno = std::filesystem::exists(status) ? ENOTDIR : ENOENT;
    } else {
        observe(FileCall::OpenSubfolder, folder.m_path);
        folder.m_open = true;
    }
#else
    if (create && ::mkdirat(parent.descriptor(), name.c_str(), 0777) != 0 && errno != EEXIST) {
        return folder;
    }
    // Between making the folder and opening it, another program may put a link in its place: the
    // open below must not follow one. Tests act at this point.
    observe(FileCall::OpenSubfolder, folder.m_path);
    folder.m_handle = FileHandle(
        ::openat(parent.descriptor(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    folder.m_open = folder.m_handle.isOpen();
#endif
    return folder;
}

FileHandle createNewFileIn(const Folder& folder, const std::filesystem::path& name) {
#ifdef _WIN32
    return createNewFile(folder.path() / name);
#else
    return FileHandle(::openat(folder.descriptor(), name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
#endif
}

std::optional<FileStatus> statusOfNameIn(const Folder& folder, const std::filesystem::path& name) {
#ifdef _WIN32
    return statusOfName(folder.path() / name);
#else
    struct stat st {};
    if (::fstatat(folder.descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return fromStat(st);
#endif
}

std::optional<FileStatus> statusOfTargetIn(const Folder& folder, const std::filesystem::path& name) {
#ifdef _WIN32
    return statusOfTarget(folder.path() / name);
#else
    struct stat st {};
    if (::fstatat(folder.descriptor(), name.c_str(), &st, 0) != 0) {
        return std::nullopt;
    }
    return fromStat(st);
#endif
}

bool renameIn(const Folder& folder, const std::filesystem::path& from, const std::filesystem::path& to,
              bool replace) {
    if (!proceed(FileCall::Rename, to)) {
        return false;
    }
#ifdef _WIN32
    return renameFile(folder.path() / from, folder.path() / to, replace);
#else
    const int at = folder.descriptor();
    if (replace) {
        return ::renameat(at, from.c_str(), at, to.c_str()) == 0;
    }
    if (::renameat2(at, from.c_str(), at, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without that rename: a new link fails on an existing name just the same.
    if (::linkat(at, from.c_str(), at, to.c_str(), 0) != 0) {
        return false;
    }
    ::unlinkat(at, from.c_str(), 0);
    return true;
#endif
}

bool removeIn(const Folder& folder, const std::filesystem::path& name) {
#ifdef _WIN32
    return removeFile(folder.path() / name);
#else
    return ::unlinkat(folder.descriptor(), name.c_str(), 0) == 0 || errno == ENOENT;
#endif
}

bool syncFolder(const Folder& folder) {
    if (!proceed(FileCall::SyncFolder, folder.path())) {
        return false;
    }
#ifdef _WIN32
    // A rename with MOVEFILE_WRITE_THROUGH is on the disk when it returns.
    return true;
#else
    while (::fsync(folder.descriptor()) != 0) {
        if (errno != EINTR) {
            return errno == EINVAL || errno == EROFS;
        }
    }
    return true;
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

std::filesystem::path pathFromUtf8(std::string_view text) {
    // From char8_t the path takes the bytes as they are on POSIX and converts them from UTF-8 elsewhere.
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        arguments.push_back(utf8FromPath(std::filesystem::path(wide[i])));
    }
    LocalFree(wide);
    if (!arguments.empty() || argc == 0) {
        return arguments;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

void useBinaryStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

std::string systemError(int code) {
    return std::strerror(code);
}

} // namespace platform
