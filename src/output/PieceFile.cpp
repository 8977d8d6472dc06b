#include "output/PieceFile.h"

#include "engine/XingFrame.h"
#include "output/SourceBytes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

std::atomic<bool> systemCopyAllowed{true};
std::atomic<std::uint64_t> systemCopied{0};

} // namespace

void PieceFile::allowSystemCopyForTesting(bool allowed) {
    systemCopyAllowed = allowed;
}

std::uint64_t PieceFile::systemCopiedBytesForTesting() {
    return systemCopied;
}

// A piece dropped without close() (the job stopped) leaves nothing behind: the atomic file removes
// its temporary file.
PieceFile::~PieceFile() = default;

PieceFile::PieceFile(PieceFile&& other) noexcept
    : m_file(std::move(other.m_file)), m_path(std::move(other.m_path)), m_buffer(std::move(other.m_buffer)),
      m_used(std::exchange(other.m_used, 0)), m_written(other.m_written), m_systemCopy(other.m_systemCopy),
      m_sourceEnded(other.m_sourceEnded), m_summing(other.m_summing), m_musicCrc(other.m_musicCrc) {}

PieceFile& PieceFile::operator=(PieceFile&& other) noexcept {
    if (this != &other) {
        m_file = std::move(other.m_file);
        m_path = std::move(other.m_path);
        m_buffer = std::move(other.m_buffer);
        m_used = std::exchange(other.m_used, 0);
        m_written = other.m_written;
        m_systemCopy = other.m_systemCopy;
        m_sourceEnded = other.m_sourceEnded;
        m_summing = other.m_summing;
        m_musicCrc = other.m_musicCrc;
    }
    return *this;
}

void PieceFile::fail(const std::string& reason) {
    m_file.fail(reason);
}

void PieceFile::startMusicCrc(std::uint16_t crc) {
    m_summing = true;
    m_musicCrc = crc;
}

std::uint16_t PieceFile::endMusicCrc() {
    m_summing = false;
    return m_musicCrc;
}

void PieceFile::accepted(const std::uint8_t* data, std::size_t count) {
    if (m_summing) {
        m_musicCrc = mp3::crc16(data, count, m_musicCrc);
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
    if (!isOpen() || failed()) {
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
        accepted(m_buffer.get() + m_used, n);
        m_used += n;
        done += n;
    }
    return done;
}

std::size_t PieceFile::systemCopy(const SourceBytes& source, std::int64_t offset, std::size_t count) {
#if defined(__linux__)
    if (!m_systemCopy || !systemCopyAllowed.load(std::memory_order_relaxed) || !flush()) {
        return 0;
    }
    std::size_t done = 0;
    while (done < count) {
        loff_t from = static_cast<loff_t>(offset) + static_cast<loff_t>(done);
        const ssize_t n =
            ::copy_file_range(source.descriptor(), &from, m_file.descriptor(), nullptr, count - done, 0);
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
    systemCopied.fetch_add(done, std::memory_order_relaxed);
    m_written += done;
    return done;
#else
    (void)source;
    (void)offset;
    (void)count;
    return 0;
#endif
}

std::size_t PieceFile::copyFrom(const SourceBytes& source, std::int64_t offset, std::size_t count) {
    if (!isOpen() || failed()) {
        return 0;
    }
    // Small runs are cheaper through the buffer than as a system call of their own; bytes summed must
    // be seen.
    std::size_t done = count >= kSystemCopyMinimum && !m_summing ? systemCopy(source, offset, count) : 0;
    while (done < count) {
        const std::size_t space = room();
        if (space == 0) {
            return done;
        }
        const std::size_t wanted = std::min(count - done, space);
        const std::size_t got =
            source.readAt(offset + static_cast<std::int64_t>(done), m_buffer.get() + m_used, wanted);
        accepted(m_buffer.get() + m_used, got);
        m_used += got;
        done += got;
        if (got < wanted) {
            m_sourceEnded = true;
            fail("the source file ended early");
            return done;
        }
    }
    return done;
}

bool PieceFile::writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    if (!isOpen() || failed() || !flush()) {
        return false;
    }
    return m_file.writeAt(offset, data, count);
}

bool PieceFile::flush() {
    const bool written = m_used == 0 || m_file.write(m_buffer.get(), m_used);
    if (written) {
        m_written += m_used;
    }
    m_used = 0;
    return written;
}

bool PieceFile::finishWriting() {
    if (isOpen()) {
        if (!failed()) {
            flush();
        }
        m_buffer.reset();
    }
    return m_file.finishWriting();
}

bool PieceFile::close(AtomicFile::Sync sync) {
    if (m_path.empty()) {
        return false;
    }
    if (m_file.committed()) {
        return true;
    }
    finishWriting();
    return m_file.commit(sync);
}

PieceFile createPieceFile(const std::filesystem::path& path, const std::filesystem::path& sourcePath,
                          AtomicFile::Existing existing) {
    PieceFile piece;
    piece.m_path = path;
    piece.m_file = AtomicFile(path, existing, sourcePath);
    return piece;
}

PieceFile createPieceFile(platform::Folder folder, const std::filesystem::path& path,
                          const std::filesystem::path& sourcePath, AtomicFile::Existing existing) {
    PieceFile piece;
    piece.m_path = path;
    piece.m_file = AtomicFile(std::move(folder), path, existing, sourcePath);
    return piece;
}

PieceFile failedPieceFile(const std::filesystem::path& path, const std::string& reason) {
    PieceFile piece;
    piece.m_path = path;
    piece.m_file.fail(reason);
    return piece;
}
