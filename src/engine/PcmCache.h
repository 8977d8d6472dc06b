#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace mp3 {

// A store of decoded frames: file path -> frame number -> PCM bytes. Every operation takes the
// cache's own lock, so the loading thread, the player and the conversion may share one.
class PcmCache {
public:
    bool contains(const std::string& path, int frame) const;
    // Copies the entry's bytes into `out` and returns their count (0 when there is no entry).
    std::size_t get(const std::string& path, int frame, std::uint8_t* out) const;
    void put(const std::string& path, int frame, const std::uint8_t* data, std::size_t length);
    void clear();
    // Moves the frames `from` holds for `path` into this cache without copying their bytes; frames
    // this cache holds already keep their entries.
    void adopt(const std::string& path, PcmCache& from);

    // Bytes of PCM held for all files (for memory reports).
    std::size_t storedBytes() const;

private:
    using Chunk = std::unique_ptr<std::uint8_t[]>;
    static Chunk newChunk(std::size_t size);
    static Chunk newTouchedChunk();

    // Frames are stored back to back in large chunks so that a long file costs one allocation per
    // chunk rather than one per frame.
    struct FileFrames {
        struct Entry {
            std::uint32_t chunk = 0;
            std::uint32_t offset = 0;
            std::uint32_t length = 0;
            bool present = false;
        };
        std::vector<Entry> entries;
        std::vector<Chunk> chunks;
        // The chunk after the current one, being faulted in on a helper thread while frames are
        // decoded: touching fresh memory page by page is a good part of a load's time otherwise.
        std::future<Chunk> nextChunk;
        std::size_t chunkSize = 0;
        std::size_t chunkUsed = 0;
        std::size_t bytes = 0;
    };
    static constexpr std::size_t kFirstChunkSize = 64u << 10;
    static constexpr std::size_t kChunkSize = 8u << 20;

    bool containsLocked(const std::string& path, int frame) const;

    mutable std::mutex m_lock;
    std::unordered_map<std::string, FileFrames> m_files;
};

} // namespace mp3
