#pragma once

#include "engine/PlatformFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

// The loaded source opened once more for copying its bytes into pieces, read-only, by positioned
// reads that need no buffer of their own (the piece's write buffer receives them).
class SourceBytes {
public:
    explicit SourceBytes(const std::filesystem::path& path);
    ~SourceBytes();
    SourceBytes(const SourceBytes&) = delete;
    SourceBytes& operator=(const SourceBytes&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    int descriptor() const { return m_file.get(); }
    // The file's length in bytes, -1 when unknown.
    std::int64_t size() const;
    // Reads up to `count` bytes at `offset`; returns how many the file held.
    std::size_t readAt(std::int64_t offset, std::uint8_t* out, std::size_t count) const;
    // Size and modification time as the file had them when it was opened here.
    const platform::FileStatus& openedAs() const { return m_openedAs; }
    // Whether the open file still has the size and modification time of `loaded`: a file truncated,
    // grown or overwritten in place since then does not.
    bool unchangedSince(const platform::FileStatus& loaded) const;

private:
    platform::FileHandle m_file;
    platform::FileStatus m_openedAs;
};
