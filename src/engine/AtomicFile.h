#pragma once

#include "engine/PlatformFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Folders whose new entries are put on the disk together, once each, after many files were renamed
// into them: a run of pieces syncs its folders at its end instead of after every piece. A file is
// whole before its rename either way; only its entry waits.
class FolderSyncs {
public:
    void add(const platform::Folder& folder);
    // Syncs every folder added; false (errno set) at the first that fails, whose path `failed` holds.
    bool syncAll();
    const std::filesystem::path& failed() const { return m_failed; }

private:
    std::vector<platform::Folder> m_folders;
    std::filesystem::path m_failed;
};

// An output file that appears under its final name whole or not at all. The bytes go to a new
// temporary file with a short random name in the same folder; commit() puts them on the disk, renames
// that file over the final name and puts the folder's new entry on the disk. A failure, or an object
// dropped without commit(), removes the temporary file, so a partial file never stands under the final
// name. The folder is held open from the start: everything happens in the folder first reached, even
// if a link is put in its place meanwhile.
//
// The final name is checked before anything is created, without following it: a name held by a
// link, pipe, device or folder is refused (writing through it could hang or change a file elsewhere),
// as is the loaded source file under any of its names. An existing regular file is replaced unless
// the caller asks to keep it.
class AtomicFile {
public:
    enum class Existing { Replace, Keep };

    // Texts of the refusals, for the callers' log lines.
    static constexpr const char* kNotRegular = "it is not a regular file";
    static constexpr const char* kExists = "the file already exists";
    static constexpr const char* kIsSource = "it is the loaded source file";

    // Never opened: every write is refused.
    AtomicFile() = default;
    // `source`, when given, is the file that must never be replaced.
    explicit AtomicFile(const std::filesystem::path& finalPath, Existing existing = Existing::Replace,
                        const std::filesystem::path& source = {});
    // In a folder already opened (a piece's subfolder reached without following links); `finalPath`
    // is the name in it, as shown in messages.
    AtomicFile(platform::Folder folder, const std::filesystem::path& finalPath, Existing existing,
               const std::filesystem::path& source);
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return m_handle.isOpen(); }
    bool failed() const { return !m_error.empty(); }
    bool committed() const { return m_committed; }
    // Why the file failed, for the log; empty while it is sound.
    const std::string& error() const { return m_error; }
    const std::filesystem::path& path() const { return m_finalPath; }
    // Where the bytes are until commit(): for writers that reopen the file by name (a tagger).
    const std::filesystem::path& temporaryPath() const { return m_temporaryPath; }
    int descriptor() const { return m_handle.get(); }
    // The bytes the file holds, known once it is committed.
    std::int64_t committedSize() const { return m_committedSize; }

    // Appends all of `count` bytes; false (and the file failed) when they could not be written.
    bool write(const std::uint8_t* data, std::size_t count);
    // Overwrites bytes at `offset` (a header written last).
    bool writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count);
    // Marks the file failed for a reason found outside it; commit() will refuse.
    void fail(const std::string& reason);
    // Ends writing through this object; the file can then still be changed by name through
    // temporaryPath() before commit(), which puts those changes on the disk too.
    bool finishWriting();
    // Whether commit() puts the bytes on the disk itself, or the caller has done it for many files
    // at once (after finishWriting(), before commit()).
    enum class Sync { Now, DoneByCaller };
    // finishWriting() if not done, then the rename over the final name; false, with the temporary
    // file removed, when anything failed.
    bool commit(Sync sync = Sync::Now);
    // Closes and removes the temporary file.
    void discard();
    // Leaves the folder's sync after the rename to `syncs` (which must outlive this object).
    void syncFolderWith(FolderSyncs& syncs) { m_folderSyncs = &syncs; }

private:
    void create();
    void failWithErrno();
    // Whether the final name may be taken now; sets the error when not.
    bool finalNameAllowed();

    platform::Folder m_folder;
    std::filesystem::path m_finalPath;
    std::filesystem::path m_finalName;
    std::filesystem::path m_temporaryName;
    std::filesystem::path m_temporaryPath;
    std::filesystem::path m_source;
    Existing m_existing = Existing::Replace;
    platform::FileHandle m_handle;
    std::string m_error;
    bool m_finished = false;
    bool m_committed = false;
    std::int64_t m_committedSize = 0;
    FolderSyncs* m_folderSyncs = nullptr;
};
