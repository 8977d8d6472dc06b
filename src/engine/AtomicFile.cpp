#include "engine/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

int processNumber() {
#ifdef _WIN32
    return 0;
#else
    return static_cast<int>(::getpid());
#endif
}

// A name beside the final one that no other writer picks: hidden, with the process, a counter and
// the clock in it. The creation refuses an existing name anyway, and another is tried then.
std::filesystem::path temporaryName(const std::filesystem::path& finalPath, int attempt) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path name = ".";
    name += finalPath.filename();
    name += "." + std::to_string(processNumber()) + "-" + std::to_string(counter++) + "-" +
            std::to_string(static_cast<unsigned long long>(ticks) % 1000000) + "-" + std::to_string(attempt) +
            ".part";
    return finalPath.parent_path() / name;
}

} // namespace

AtomicFile::AtomicFile(const std::filesystem::path& finalPath, Existing existing,
                       const std::filesystem::path& source)
    : m_finalPath(finalPath), m_source(source), m_existing(existing) {
    if (!finalNameAllowed()) {
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporaryPath = temporaryName(finalPath, attempt);
        m_handle = platform::createNewFile(m_temporaryPath);
        if (m_handle.isOpen() || errno != EEXIST) {
            break;
        }
    }
    if (!m_handle.isOpen()) {
        failWithErrno();
        m_temporaryPath.clear();
    }
}

AtomicFile::~AtomicFile() {
    discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_finalPath(std::move(other.m_finalPath)), m_temporaryPath(std::move(other.m_temporaryPath)),
      m_source(std::move(other.m_source)), m_existing(other.m_existing), m_handle(std::move(other.m_handle)),
      m_error(std::move(other.m_error)), m_finished(other.m_finished), m_committed(other.m_committed) {
    other.m_temporaryPath.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_finalPath = std::move(other.m_finalPath);
        m_temporaryPath = std::move(other.m_temporaryPath);
        other.m_temporaryPath.clear();
        m_source = std::move(other.m_source);
        m_existing = other.m_existing;
        m_handle = std::move(other.m_handle);
        m_error = std::move(other.m_error);
        m_finished = other.m_finished;
        m_committed = other.m_committed;
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
    const std::optional<platform::FileStatus> existing = platform::statusOfName(m_finalPath);
    if (!existing) {
        return true;
    }
    if (!m_source.empty()) {
        // Through a link too: the source named any way is the one refusal worth its own words.
        const std::optional<platform::FileStatus> target = platform::statusOfTarget(m_finalPath);
        const std::optional<platform::FileStatus> source = platform::statusOfTarget(m_source);
        std::error_code error;
        if ((target && source && target->sameFileAs(*source)) ||
            (target && target->inode == 0 && std::filesystem::equivalent(m_finalPath, m_source, error))) {
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
    if (m_finished) {
        return !failed();
    }
    m_finished = true;
    if (!m_handle.isOpen()) {
        fail("the file could not be created");
        return false;
    }
    if (!failed() && !platform::syncFile(m_handle.get())) {
        failWithErrno();
    }
    if (!m_handle.close()) {
        failWithErrno();
    }
    return !failed();
}

bool AtomicFile::commit() {
    if (m_committed) {
        return true;
    }
    if (!finishWriting() || !finalNameAllowed() ||
        !platform::renameFile(m_temporaryPath, m_finalPath, m_existing == Existing::Replace)) {
        if (!failed()) {
            fail(errno == EEXIST ? kExists : platform::systemError(errno));
        }
        discard();
        return false;
    }
    m_temporaryPath.clear();
    m_committed = true;
    return true;
}

void AtomicFile::discard() {
    m_handle.close();
    if (!m_temporaryPath.empty()) {
        platform::removeFile(m_temporaryPath);
        m_temporaryPath.clear();
    }
}
