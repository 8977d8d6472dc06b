#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The few file calls the core makes, with the platform differences in one place.
namespace platform {

// What the file system says about a file.
struct FileStatus {
    enum class Kind { Regular, Directory, Link, Other };
    Kind kind = Kind::Other;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool isRegular() const { return kind == Kind::Regular; }
    // The same file, whatever names reached it (0 inode numbers never match).
    bool sameFileAs(const FileStatus& other) const {
        return inode != 0 && device == other.device && inode == other.inode;
    }
    // Size and modification time as they were: what a reader notices of a file changed in place.
    bool sameContentStampAs(const FileStatus& other) const {
        return size == other.size && modifiedNs == other.modifiedNs;
    }
};

// The status of an open file.
std::optional<FileStatus> statusOf(int fd);
// The status of the name itself: a link is reported as a link, not followed; nullopt when nothing
// answers to the name.
std::optional<FileStatus> statusOfName(const std::filesystem::path& path);
// The status of what the name leads to, through links.
std::optional<FileStatus> statusOfTarget(const std::filesystem::path& path);

// An open file descriptor, closed with the object.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    // Closes now; false (errno set) when the system reported an error, which for a written file can
    // be the first sign that its bytes did not reach the disk.
    bool close();

private:
    int m_fd = -1;
};

// A folder held open, so that names in it are reached without walking its path again: a link
// swapped in later for it, or for a folder above it, cannot redirect what is written there. On
// Windows only the path is kept.
class Folder {
public:
    Folder() = default;
    bool isOpen() const { return m_open; }
    // The path it was reached by, for messages and for writers that open a file by name.
    const std::filesystem::path& path() const { return m_path; }
    int descriptor() const { return m_handle.get(); }
    Folder duplicate() const;

private:
    friend Folder openFolder(const std::filesystem::path& path);
    friend Folder openSubfolder(const Folder& parent, const std::filesystem::path& name, bool create);

    std::filesystem::path m_path;
    FileHandle m_handle;
    bool m_open = false;
};

// Opens the folder `path` ("" is the working folder); links on the way are followed, since that
// folder is the one the user chose. errno tells why it failed.
Folder openFolder(const std::filesystem::path& path);
// Opens the folder `name` inside `parent`, making it first when `create` is set, never through a
// link: a link there fails with ELOOP (ENOTDIR for anything else that is no folder).
Folder openSubfolder(const Folder& parent, const std::filesystem::path& name, bool create);

// The calls below on a name inside a held folder never follow a link at that name.
FileHandle createNewFileIn(const Folder& folder, const std::filesystem::path& name);
std::optional<FileStatus> statusOfNameIn(const Folder& folder, const std::filesystem::path& name);
// Through a link at the name, for telling whether it leads to a given file.
std::optional<FileStatus> statusOfTargetIn(const Folder& folder, const std::filesystem::path& name);
bool renameIn(const Folder& folder, const std::filesystem::path& from, const std::filesystem::path& to,
              bool replace);
bool removeIn(const Folder& folder, const std::filesystem::path& name);
// Puts the folder's entries (a rename into it) on the disk.
bool syncFolder(const Folder& folder);

// The calls of these helpers that decide what reaches the disk, in the order they are made, for a
// test that checks the order; `name` is the file or folder name concerned.
enum class FileCall { SyncFile, SyncFileSystem, CloseFile, Rename, SyncFolder, OpenSubfolder };
using FileCallObserver = void (*)(FileCall call, const std::filesystem::path& name);
// Only one observer at a time; nullptr ends it. Not for use while other threads write files.
void observeFileCalls(FileCallObserver observer);
// For tests of failures the disk alone would give: a fault returns an error number for the call to
// fail with, or 0 to let it run. Asked for the syncs and the renames, after the observer.
using FileCallFault = int (*)(FileCall call, const std::filesystem::path& name);
void injectFileCallFaults(FileCallFault fault);

// Opens a file for reading only.
FileHandle openForReading(const std::filesystem::path& path);
// Creates a file that did not exist, for writing only; an existing name (a link included) is never
// opened or followed. errno tells why it failed.
FileHandle createNewFile(const std::filesystem::path& path);

// One read call; the bytes read (0 at the end), or -1 (errno set).
long long readSome(int fd, std::uint8_t* data, std::size_t count);
// Whether the descriptor is a terminal.
bool isTerminal(int fd);
// Makes a new folder in `parent` named `prefix` and random letters, only this user's; nullopt
// (errno set) when none could be made.
std::optional<std::filesystem::path> makeUniqueFolder(const std::filesystem::path& parent,
                                                      std::string_view prefix);
// One write call; the bytes written, or -1 (errno set).
long long writeSome(int fd, const std::uint8_t* data, std::size_t count);
// Writes all of `count` bytes at `offset`; false (errno set) when any could not be written.
bool writeAllAt(int fd, std::int64_t offset, const std::uint8_t* data, std::size_t count);
// One positioned read or write at `offset`, as pread and pwrite: the offset goes with the call and the
// file position stays where it was. The bytes moved, or -1 (errno set).
long long readSomeAt(int fd, std::int64_t offset, std::uint8_t* data, std::size_t count);
long long writeSomeAt(int fd, std::int64_t offset, const std::uint8_t* data, std::size_t count);
// Asks the system to put the file's bytes on the disk.
bool syncFile(int fd);
// Puts every written byte of the file system holding `fd` on the disk in one call: cheaper than a
// sync per file for many new files. False with errno ENOSYS where the system has no such call.
bool syncFileSystem(int fd);
// Lets the system start writing the file's bytes [offset, offset + count) to the disk now, without
// waiting (count 0: to the end of the file): a later sync then finds most of them written and the disk
// works while the rest is copied. A hint only: it does nothing where the system has no such call, and
// a failure shows at the sync.
void startWriteback(int fd, std::int64_t offset = 0, std::int64_t count = 0);
// Closes a written file; false (errno set) when the system reported an error.
bool closeWrittenFile(FileHandle& handle);

// A written file kept open, but opened by name by another writer meanwhile (a tagger): Windows refuses
// such a writer while a handle may write, TagLib's among them, since it shares only reading. Lending
// keeps the handle open for reading only; taking back opens it for writing (and syncing) again. Both do
// nothing elsewhere. False (errno set, the handle closed) when the file could not be opened again.
bool lendToWritersByName(FileHandle& handle, const std::filesystem::path& path);
bool takeBackFromWriters(FileHandle& handle, const std::filesystem::path& path);

// Renames `from` to `to` in one step, replacing what `to` names when `replace` is set and failing
// with EEXIST otherwise.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);
// Removes a name; true when it is gone.
bool removeFile(const std::filesystem::path& path);

// Bytes an ordinary user may still write on the file system of `folder`; nullopt when unknown.
std::optional<std::uint64_t> freeSpace(const std::filesystem::path& folder);

// Texts in the program are UTF-8; these turn them into paths and back. The narrow path constructor
// would read the active code page on Windows and lose every character outside it.
std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8FromPath(const std::filesystem::path& path);
// The command line as UTF-8: on Windows from the wide command line, since argv is in the code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);
// Standard input, output and error without the newline translation of Windows, so that a stream is
// read as it is and what a command prints is the same bytes everywhere.
void useBinaryStandardStreams();

// The system's text for an error number.
std::string systemError(int code);

} // namespace platform
