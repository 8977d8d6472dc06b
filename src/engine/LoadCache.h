#pragma once

#include "engine/FileScan.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace mp3 {

// What tells one state of a file's bytes from another without reading all of them: a change in
// place that keeps size and time still shows in the hash of the first and last 64 KiB, where tags
// and the last frames sit.
struct LoadCacheKey {
    std::string path; // absolute
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t edgeHash = 0;

    bool operator==(const LoadCacheKey&) const = default;
};

// Bytes hashed at each end of the file.
inline constexpr std::int64_t kLoadCacheEdgeBytes = 64 * 1024;
inline constexpr std::uint64_t kDefaultLoadCacheBound = std::uint64_t{1} << 30;

// The key of the file as it is now; nothing when it cannot be read.
std::optional<LoadCacheKey> loadCacheKey(const std::filesystem::path& file);

// A 64-bit hash of a byte range, eight bytes a step: for the entries' checksums and the edge hash.
std::uint64_t hashBytes(const std::uint8_t* data, std::size_t count, std::uint64_t seed = 0);

// Keeps what a loading scan computed (offsets, lengths, raw levels, RMS levels, peaks) in one file
// per source file in `folder`, so a reopen of unchanged bytes skips the decode. An entry is a
// header (format version, key, counts, checksum) and the arrays back to back, read in one call; a
// damaged, short or foreign entry reads as no entry. Entries are written beside their name and
// renamed over it, and the oldest go when the folder passes the bound. One user at a time.
class LoadCache {
public:
    explicit LoadCache(std::filesystem::path folder, std::uint64_t boundBytes = kDefaultLoadCacheBound);

    const std::filesystem::path& folder() const { return m_folder; }
    std::uint64_t bound() const { return m_bound; }

    // The scan kept for exactly these bytes; the levels come back smoothed as the scan smooths them.
    std::optional<LevelScan> find(const LoadCacheKey& key) const;
    // Keeps the scan for `key`, then trims the folder to the bound. False when it could not be
    // written (the cache is an aid: the caller goes on without it).
    bool store(const LoadCacheKey& key, const LevelScan& scan) const;
    // Where the entry for `key` lives.
    std::filesystem::path entryPath(const LoadCacheKey& key) const;
    // Removes entries, oldest first, until the folder holds at most the bound.
    void trim() const;

private:
    std::filesystem::path m_folder;
    std::uint64_t m_bound;
};

} // namespace mp3
