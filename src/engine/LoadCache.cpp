#include "engine/LoadCache.h"

#include "engine/FramePcm.h"
#include "engine/PlatformFile.h"
#include "engine/PositionedRead.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <vector>

namespace mp3 {

namespace {

constexpr std::array<char, 8> kMagic{'K', 'F', 'L', 'O', 'A', 'D', 'C', '\n'};
// Raise with any change of the layout or of what the scan computes.
constexpr std::uint32_t kFormatVersion = 1;
constexpr const char* kEntryExtension = ".kfload";
// An entry larger than this is no entry of ours (12 hours hold about 40 MB).
constexpr std::int64_t kLargestEntry = std::int64_t{2} << 30;

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;

std::uint64_t rotateLeft(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

// The fixed part of an entry; every field is stored in the machine's own order, and the magic
// and version tell another layout apart.
struct Header {
    std::array<char, 8> magic{};
    std::uint32_t version = 0;
    std::uint32_t pathBytes = 0;
    std::uint64_t frames = 0;
    std::int64_t totalBytes = 0;
    std::int64_t framesWithPcm = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t edgeHash = 0;
    std::uint64_t entryBytes = 0;
    // Of everything after the header.
    std::uint64_t checksum = 0;
};
static_assert(sizeof(Header) == 80);

std::size_t roundUp8(std::size_t value) {
    return (value + 7) & ~std::size_t{7};
}

// Where each array starts, after the header and the path.
struct Layout {
    explicit Layout(std::size_t frames, std::size_t pathBytes)
        : offsets(sizeof(Header) + roundUp8(pathBytes)), rawLevels(offsets + frames * 8),
          rmsDb(rawLevels + frames * 4), peaks(rmsDb + frames * 4), lengths(peaks + frames * 2),
          end(lengths + frames * 2) {}
    std::size_t offsets, rawLevels, rmsDb, peaks, lengths, end;
};

template <typename T>
void putArray(std::vector<std::uint8_t>& bytes, std::size_t at, const std::vector<T>& values) {
    if (!values.empty()) {
        std::memcpy(bytes.data() + at, values.data(), values.size() * sizeof(T));
    }
}

template <typename T>
std::vector<T> takeArray(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
    std::vector<T> values(count);
    if (count > 0) {
        std::memcpy(values.data(), bytes.data() + at, count * sizeof(T));
    }
    return values;
}

// Reads `count` bytes at `offset`, however many calls the system needs; false on a short read.
bool readAllAt(int fd, std::int64_t offset, std::uint8_t* out, std::size_t count) {
    return mp3::readFileAt(fd, offset, out, count) == count;
}

std::filesystem::path temporaryName(const std::filesystem::path& entry) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    std::filesystem::path name = entry;
    name += suffix;
    return name;
}

} // namespace

std::uint64_t hashBytes(const std::uint8_t* data, std::size_t count, std::uint64_t seed) {
    std::uint64_t hash = seed + kPrime3 + count * kPrime1;
    std::size_t at = 0;
    for (; at + 8 <= count; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + at, 8);
        hash ^= rotateLeft(word * kPrime2, 31) * kPrime1;
        hash = rotateLeft(hash, 27) * kPrime1 + kPrime3;
    }
    for (; at < count; ++at) {
        hash ^= data[at] * kPrime3;
        hash = rotateLeft(hash, 11) * kPrime1;
    }
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

std::optional<LoadCacheKey> loadCacheKey(const std::filesystem::path& file) {
    const platform::FileHandle handle = platform::openForReading(file);
    const std::optional<platform::FileStatus> status = platform::statusOf(handle.get());
    if (!status || !status->isRegular()) {
        return std::nullopt;
    }
    LoadCacheKey key;
    std::error_code error;
    key.path = std::filesystem::absolute(file, error).lexically_normal().string();
    if (error) {
        return std::nullopt;
    }
    key.size = status->size;
    key.modifiedNs = status->modifiedNs;
    const auto edge = static_cast<std::size_t>(std::min(kLoadCacheEdgeBytes, status->size));
    std::vector<std::uint8_t> bytes(edge * 2);
    if (!readAllAt(handle.get(), 0, bytes.data(), edge) ||
        !readAllAt(handle.get(), status->size - static_cast<std::int64_t>(edge), bytes.data() + edge, edge)) {
        return std::nullopt;
    }
    key.edgeHash = hashBytes(bytes.data(), bytes.size(), static_cast<std::uint64_t>(status->size));
    return key;
}

LoadCache::LoadCache(std::filesystem::path folder, std::uint64_t boundBytes)
    : m_folder(std::move(folder)), m_bound(boundBytes) {}

std::filesystem::path LoadCache::entryPath(const LoadCacheKey& key) const {
    const std::uint64_t name =
        hashBytes(reinterpret_cast<const std::uint8_t*>(key.path.data()), key.path.size());
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(name));
    return m_folder / (std::string(text) + kEntryExtension);
}

std::optional<LevelScan> LoadCache::find(const LoadCacheKey& key) const {
    const std::filesystem::path entry = entryPath(key);
    std::vector<std::uint8_t> bytes;
    {
        const platform::FileHandle handle = platform::openForReading(entry);
        const std::optional<platform::FileStatus> status = platform::statusOf(handle.get());
        if (!status || !status->isRegular() || status->size < static_cast<std::int64_t>(sizeof(Header)) ||
            status->size > kLargestEntry) {
            return std::nullopt;
        }
        bytes.resize(static_cast<std::size_t>(status->size));
        if (!readAllAt(handle.get(), 0, bytes.data(), bytes.size())) {
            return std::nullopt;
        }
    }
    Header header;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.magic != kMagic || header.version != kFormatVersion || header.entryBytes != bytes.size() ||
        header.frames > bytes.size() || header.pathBytes > bytes.size()) {
        return std::nullopt;
    }
    const Layout layout(static_cast<std::size_t>(header.frames), header.pathBytes);
    if (layout.end != bytes.size() ||
        hashBytes(bytes.data() + sizeof header, bytes.size() - sizeof header) != header.checksum) {
        return std::nullopt;
    }
    const std::string path(reinterpret_cast<const char*>(bytes.data() + sizeof header), header.pathBytes);
    if (path != key.path || header.size != key.size || header.modifiedNs != key.modifiedNs ||
        header.edgeHash != key.edgeHash) {
        return std::nullopt;
    }
    const auto frames = static_cast<std::size_t>(header.frames);
    LevelScan scan;
    scan.offsets = takeArray<std::int64_t>(bytes, layout.offsets, frames);
    scan.rawLevels = takeArray<int>(bytes, layout.rawLevels, frames);
    scan.rmsDb = takeArray<float>(bytes, layout.rmsDb, frames);
    scan.peaks = takeArray<std::uint16_t>(bytes, layout.peaks, frames);
    scan.lengths = takeArray<std::uint16_t>(bytes, layout.lengths, frames);
    scan.levels = scan.rawLevels;
    smoothLevels(scan.levels);
    scan.totalBytes = header.totalBytes;
    scan.framesWithPcm = header.framesWithPcm;
    // A use counts as new: the bound removes the entries least recently opened.
    std::error_code ignored;
    std::filesystem::last_write_time(entry, std::filesystem::file_time_type::clock::now(), ignored);
    return scan;
}

bool LoadCache::store(const LoadCacheKey& key, const LevelScan& scan) const {
    const std::size_t frames = scan.offsets.size();
    if (scan.rawLevels.size() != frames || scan.rmsDb.size() != frames || scan.peaks.size() != frames ||
        scan.lengths.size() != frames) {
        return false;
    }
    const Layout layout(frames, key.path.size());
    if (layout.end > static_cast<std::size_t>(kLargestEntry) || layout.end > m_bound) {
        return false;
    }
    std::vector<std::uint8_t> bytes(layout.end);
    Header header;
    header.magic = kMagic;
    header.version = kFormatVersion;
    header.pathBytes = static_cast<std::uint32_t>(key.path.size());
    header.frames = frames;
    header.totalBytes = scan.totalBytes;
    header.framesWithPcm = scan.framesWithPcm;
    header.size = key.size;
    header.modifiedNs = key.modifiedNs;
    header.edgeHash = key.edgeHash;
    header.entryBytes = layout.end;
    std::memcpy(bytes.data() + sizeof header, key.path.data(), key.path.size());
    static_assert(sizeof(FrameOffsets::value_type) == 8 && sizeof(int) == 4 && sizeof(float) == 4);
    putArray(bytes, layout.offsets, scan.offsets);
    putArray(bytes, layout.rawLevels, scan.rawLevels);
    putArray(bytes, layout.rmsDb, scan.rmsDb);
    putArray(bytes, layout.peaks, scan.peaks);
    putArray(bytes, layout.lengths, scan.lengths);
    header.checksum = hashBytes(bytes.data() + sizeof header, bytes.size() - sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);

    std::error_code error;
    // The entries name the user's files: the folder is the user's alone when we make it.
    if (std::filesystem::create_directories(m_folder, error)) {
        std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
    }
    const std::filesystem::path entry = entryPath(key);
    const std::filesystem::path temporary = temporaryName(entry);
    platform::FileHandle file = platform::createNewFile(temporary);
    if (!file.isOpen()) {
        return false;
    }
    // No sync: an entry cut short by a crash fails its checksum and is loaded afresh.
    const bool written =
        platform::writeAllAt(file.get(), 0, bytes.data(), bytes.size()) && platform::closeWrittenFile(file);
    if (!written || !platform::renameFile(temporary, entry, true)) {
        platform::removeFile(temporary);
        return false;
    }
    trim();
    return true;
}

void LoadCache::trim() const {
    struct Entry {
        std::filesystem::path path;
        std::filesystem::file_time_type time;
        std::uint64_t bytes = 0;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() != kEntryExtension || !it->is_regular_file(error)) {
            continue;
        }
        std::error_code entryError;
        Entry found{it->path(), it->last_write_time(entryError), it->file_size(entryError)};
        if (!entryError) {
            total += found.bytes;
            entries.push_back(std::move(found));
        }
    }
    if (total <= m_bound) {
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.time < b.time; });
    for (const Entry& entry : entries) {
        if (total <= m_bound) {
            break;
        }
        if (platform::removeFile(entry.path)) {
            total -= entry.bytes;
        }
    }
}

} // namespace mp3
