#pragma once

#include "engine/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class SourceBytes;

// A piece being written: an atomic file behind a write buffer. A failure (the file could not be
// created, a write fell short) is remembered rather than thrown; from then on nothing more is
// accepted, and close() reports it, so a writer never counts such a piece as saved, and no part of
// it stays under its name.
class PieceFile {
public:
    static constexpr std::size_t kBufferSize = 256 * 1024;
    static constexpr std::size_t kSystemCopyMinimum = 64 * 1024;

    // A piece that was never created: every write is refused.
    PieceFile() = default;
    ~PieceFile();
    PieceFile(PieceFile&& other) noexcept;
    PieceFile& operator=(PieceFile&& other) noexcept;
    PieceFile(const PieceFile&) = delete;
    PieceFile& operator=(const PieceFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    bool failed() const { return m_file.failed(); }
    // Why the piece failed, for the log; empty while it is sound.
    const std::string& error() const { return m_file.error(); }
    const std::filesystem::path& path() const { return m_path; }
    // The bytes of the saved file, tags included; known after close().
    std::int64_t savedSize() const { return m_file.committedSize(); }
    // Whether a copy found the source shorter than the frames it was asked for.
    bool sourceEnded() const { return m_sourceEnded; }
    // The bytes put into the file through this object so far (a tagger's by name not counted).
    std::uint64_t writtenBytes() const { return m_written; }

    // Appends bytes; returns how many were accepted (all of them, or 0 once the piece has failed).
    std::size_t write(const std::uint8_t* data, std::size_t count);
    // Appends `count` bytes of `source` from `offset`; returns how many were accepted (fewer when the
    // source ends early, which fails the piece). The system copies them file to file where it can,
    // otherwise they are read straight into the write buffer.
    std::size_t copyFrom(const SourceBytes& source, std::int64_t offset, std::size_t count);
    // Overwrites bytes written before at `offset` (a header frame completed last); false when the
    // piece has failed.
    bool writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count);
    // Sums the CRC-16 of the LAME tag's music CRC over every byte accepted from now on, going on from
    // `crc`: a header frame written first is completed once the copy has shown its bytes, so none is
    // read twice. Such bytes pass through the write buffer rather than the system's file-to-file copy.
    void startMusicCrc(std::uint16_t crc);
    // The sum so far, which stops.
    std::uint16_t endMusicCrc();
    // Marks the piece failed for a reason found outside it (the source changed); close() then
    // removes it.
    void fail(const std::string& reason);
    // Writes out every accepted byte and closes the file, still under its temporary name, where a
    // tagger can open it: temporaryPath(). False when the piece failed.
    bool finishWriting();
    const std::filesystem::path& temporaryPath() const { return m_file.temporaryPath(); }
    // finishWriting(), then puts the piece under its name; true when it is saved there whole. With
    // Sync::DoneByCaller the caller has put the piece's bytes on the disk already (DurableBatch).
    bool close(AtomicFile::Sync sync = AtomicFile::Sync::Now);
    // The open file, for a caller that syncs many pieces at once; -1 when there is none.
    int descriptor() const { return m_file.descriptor(); }
    // Leaves the sync of the piece's folder entry to `syncs`, done once for a whole run.
    void syncFolderWith(FolderSyncs& syncs) { m_file.syncFolderWith(syncs); }

    // For tests, process-wide: whether copies may go file to file through the system (otherwise
    // every byte passes the write buffer), and how many bytes have gone that way so far.
    static void allowSystemCopyForTesting(bool allowed);
    static std::uint64_t systemCopiedBytesForTesting();

private:
    friend PieceFile createPieceFile(const std::filesystem::path& path,
                                     const std::filesystem::path& sourcePath, AtomicFile::Existing existing);
    friend PieceFile createPieceFile(platform::Folder folder, const std::filesystem::path& path,
                                     const std::filesystem::path& sourcePath, AtomicFile::Existing existing);
    friend PieceFile failedPieceFile(const std::filesystem::path& path, const std::string& reason);

    bool flush();
    // Every byte the piece takes goes through here, as it will stand in the file.
    void accepted(const std::uint8_t* data, std::size_t count);
    // Room left in the write buffer, flushing it first when it is full; 0 when the flush failed.
    std::size_t room();
    // Copies by the system's file-to-file copy; returns the bytes copied, stopping early where that
    // copy is not available.
    std::size_t systemCopy(const SourceBytes& source, std::int64_t offset, std::size_t count);

    AtomicFile m_file;
    std::filesystem::path m_path;
    // Allocated at the first buffered write: pieces copied file to file never need it.
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_written = 0;
    bool m_systemCopy = true;
    bool m_sourceEnded = false;
    bool m_summing = false;
    std::uint16_t m_musicCrc = 0;
};

// Creates the piece file for writing; at close() it replaces a regular file of that name (unless
// `existing` keeps it). A name held by anything but a regular file, the loaded source under any
// name, and a file that cannot be created give a failed piece, and nothing at the name is touched.
PieceFile createPieceFile(const std::filesystem::path& path, const std::filesystem::path& sourcePath,
                          AtomicFile::Existing existing = AtomicFile::Existing::Replace);
// The same in a folder already opened; `path` names the piece for messages and its last part is the
// file's name in `folder`.
PieceFile createPieceFile(platform::Folder folder, const std::filesystem::path& path,
                          const std::filesystem::path& sourcePath, AtomicFile::Existing existing);
// A piece that could not even be started, for `reason`: nothing is written, close() reports it.
PieceFile failedPieceFile(const std::filesystem::path& path, const std::string& reason);
