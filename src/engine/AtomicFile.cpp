#include "engine/AtomicFile.h"

#include <cerrno>
#include <random>
#include <string>
#include <utility>

namespace {

// A hidden name of fixed length beside the final one, short so that every final name the file
// system allows still leaves room for it; random, so that no other writer picks it. The creation
// refuses an existing name anyway, and another is drawn then.
std::filesystem::path temporaryName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string name = ".kf";
    for (int i = 0; i < 12; ++i) {
        name += kLetters[pick(random)];
    }
    return name + ".part";
}

} // namespace

void FolderSyncs::add(const platform::Folder& folder) {
    for (const platform::Folder& known : m_folders) {
        if (known.path() == folder.path()) {
            return;
        }
    }
    m_folders.push_back(folder.duplicate());
}

bool FolderSyncs::syncAll() {
    for (const platform::Folder& folder : m_folders) {
        if (!platform::syncFolder(folder)) {
            m_failed = folder.path();
            return false;
        }
    }
    m_folders.clear();
    return true;
}

AtomicFile::AtomicFile(const std::filesystem::path& finalPath, Existing existing,
                       const std::filesystem::path& source)
    : m_finalPath(finalPath), m_finalName(finalPath.filename()), m_source(source), m_existing(existing) {
    m_folder = platform::openFolder(finalPath.parent_path());
    if (!m_folder.isOpen()) {
        failWithErrno();
        return;
    }
    create();
}

AtomicFile::AtomicFile(platform::Folder folder, const std::filesystem::path& finalPath, Existing existing,
                       const std::filesystem::path& source)
    : m_folder(std::move(folder)), m_finalPath(finalPath), m_finalName(finalPath.filename()),
      m_source(source), m_existing(existing) {
    if (!m_folder.isOpen()) {
        fail("its folder could not be opened");
        return;
    }
    create();
}

void AtomicFile::create() {
    if (m_finalName.empty() || !finalNameAllowed()) {
        if (m_finalName.empty()) {
            fail(kNotRegular);
        }
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporaryName = temporaryName();
        m_handle = platform::createNewFileIn(m_folder, m_temporaryName);
        if (m_handle.isOpen() || errno != EEXIST) {
            break;
        }
    }
    if (!m_handle.isOpen()) {
        failWithErrno();
        m_temporaryName.clear();
        return;
    }
    m_temporaryPath = m_folder.path() / m_temporaryName;
}

AtomicFile::~AtomicFile() {
    discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_folder(std::move(other.m_folder)), m_finalPath(std::move(other.m_finalPath)),
      m_finalName(std::move(other.m_finalName)), m_temporaryName(std::move(other.m_temporaryName)),
      m_temporaryPath(std::move(other.m_temporaryPath)), m_source(std::move(other.m_source)),
      m_existing(other.m_existing), m_handle(std::move(other.m_handle)), m_error(std::move(other.m_error)),
      m_finished(other.m_finished), m_committed(other.m_committed), m_committedSize(other.m_committedSize),
      m_folderSyncs(other.m_folderSyncs) {
    other.m_temporaryName.clear();
    other.m_temporaryPath.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_folder = std::move(other.m_folder);
        m_finalPath = std::move(other.m_finalPath);
        m_finalName = std::move(other.m_finalName);
        m_temporaryName = std::move(other.m_temporaryName);
        m_temporaryPath = std::move(other.m_temporaryPath);
        other.m_temporaryName.clear();
        other.m_temporaryPath.clear();
        m_source = std::move(other.m_source);
        m_existing = other.m_existing;
        m_handle = std::move(other.m_handle);
        m_error = std::move(other.m_error);
        m_finished = other.m_finished;
        m_committed = other.m_committed;
        m_committedSize = other.m_committedSize;
        m_folderSyncs = other.m_folderSyncs;
    }
    return *this;
}

void AtomicFile::fail(const std::string& reason) {
    if (m_error.empty()) {
        m_error = reason;
    }
}

void AtomicFile::failWithErrno() {
    fail(platform::systemError(errno));
}

bool AtomicFile::finalNameAllowed() {
    const std::optional<platform::FileStatus> existing = platform::statusOfNameIn(m_folder, m_finalName);
    if (!existing) {
        return true;
    }
    if (!m_source.empty()) {
        // Through a link too: the source named any way is the one refusal worth its own words.
        const std::optional<platform::FileStatus> target = platform::statusOfTargetIn(m_folder, m_finalName);
        const std::optional<platform::FileStatus> source = platform::statusOfTarget(m_source);
        std::error_code error;
        if ((target && source && target->sameFileAs(*source)) ||
            (target && target->inode == 0 &&
             std::filesystem::equivalent(m_folder.path() / m_finalName, m_source, error))) {
            fail(kIsSource);
            return false;
        }
    }
    if (!existing->isRegular()) {
        fail(kNotRegular);
        return false;
    }
    if (m_existing == Existing::Keep) {
        fail(kExists);
        return false;
    }
    return true;
}

bool AtomicFile::write(const std::uint8_t* data, std::size_t count) {
    if (!isOpen() || failed() || m_finished) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const long long n = platform::writeSome(m_handle.get(), data + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n < 0) {
                failWithErrno();
            } else {
                fail("nothing could be written");
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    if (!isOpen() || failed() || m_finished) {
        return false;
    }
    if (!platform::writeAllAt(m_handle.get(), offset, data, count)) {
        failWithErrno();
        return false;
    }
    return true;
}

bool AtomicFile::finishWriting() {
    if (!m_finished) {
        m_finished = true;
        if (!m_handle.isOpen()) {
            fail("the file could not be created");
        } else if (!platform::lendToWritersByName(m_handle, m_temporaryPath)) {
            failWithErrno();
        }
    }
    return !failed();
}

bool AtomicFile::commit(Sync sync) {
    if (m_committed) {
        return true;
    }
    finishWriting();
    if (!failed() && !platform::takeBackFromWriters(m_handle, m_temporaryPath)) {
        failWithErrno();
    }
    // Synced after a tagger or other writer by name has had its turn, and before the rename: the
    // name must never stand for bytes that are not on the disk yet.
    if (!failed() && sync == Sync::Now && !platform::syncFile(m_handle.get())) {
        failWithErrno();
    }
    if (const std::optional<platform::FileStatus> status = platform::statusOf(m_handle.get())) {
        m_committedSize = status->size;
    }
    if (m_handle.isOpen() && !platform::closeWrittenFile(m_handle) && !failed()) {
        failWithErrno();
    }
    if (failed() || !finalNameAllowed()) {
        discard();
        return false;
    }
    if (!platform::renameIn(m_folder, m_temporaryName, m_finalName, m_existing == Existing::Replace)) {
        fail(errno == EEXIST ? kExists : platform::systemError(errno));
        discard();
        return false;
    }
    m_temporaryName.clear();
    m_temporaryPath.clear();
    m_committed = true;
    // The file is whole under its name now; only a crash could still lose the new entry.
    if (m_folderSyncs) {
        m_folderSyncs->add(m_folder);
    } else if (!platform::syncFolder(m_folder)) {
        failWithErrno();
        return false;
    }
    return true;
}

void AtomicFile::discard() {
    m_handle.close();
    if (!m_temporaryName.empty()) {
        platform::removeIn(m_folder, m_temporaryName);
        m_temporaryName.clear();
        m_temporaryPath.clear();
    }
}
