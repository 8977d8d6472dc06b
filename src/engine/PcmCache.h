#pragma once

#include "engine/PcmBudget.h"

#include <cstddef>
#include <cstdint>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mp3 {

// A store of decoded frames: file path -> frame number -> PCM bytes. Every operation takes the
// cache's own lock, so the loading thread, the player and the conversion may share one.
//
// A file whose PCM fits the budget is kept whole, as the loading scan decodes it. The first frame
// that would pass the budget drops the file's frames and turns it "windowed": from then on the
// cache keeps only recently used frames of it, within the budget, and its users decode the rest on
// demand (see framePcm).
class PcmCache {
public:
    explicit PcmCache(std::size_t budgetBytes = kDefaultPcmBudget) : m_budget(budgetBytes) {}

    // Takes effect for frames stored from now on.
    void setBudget(std::size_t bytes);
    std::size_t budget() const;

    bool contains(const std::string& path, int frame) const;
    // Copies the entry's bytes into `out` and returns their count (0 when there is no entry).
    std::size_t get(const std::string& path, int frame, std::uint8_t* out) const;
    // The same, empty when there is no entry.
    std::optional<std::size_t> find(const std::string& path, int frame, std::uint8_t* out) const;
    // False when the frame was not kept (the file turned windowed, or no room could be made).
    bool put(const std::string& path, int frame, const std::uint8_t* data, std::size_t length);
    bool isWindowed(const std::string& path) const;
    void clear();
    // Moves the frames `from` holds for `path` into this cache without copying their bytes; frames
    // this cache holds already keep their entries. When either holds the file windowed, or the two
    // together pass the budget, the file turns windowed.
    void adopt(const std::string& path, PcmCache& from);
    // Turns `path` windowed now, dropping its frames: a scan that knows the file will not fit.
    void dropFrames(const std::string& path);

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

        // A windowed file: recently used frames, least recently used first in `recency`.
        struct Kept {
            std::vector<std::uint8_t> pcm;
            std::list<int>::iterator use;
        };
        bool windowed = false;
        std::unordered_map<int, Kept> window;
        std::list<int> recency;
    };
    static constexpr std::size_t kFirstChunkSize = 64u << 10;
    static constexpr std::size_t kChunkSize = 8u << 20;

    bool containsLocked(const std::string& path, int frame) const;
    static void dropFramesLocked(FileFrames& file);
    std::size_t storedBytesLocked() const;
    void appendLocked(FileFrames& file, int frame, const std::uint8_t* data, std::size_t length);
    bool keepInWindowLocked(FileFrames& file, int frame, const std::uint8_t* data, std::size_t length);

    mutable std::mutex m_lock;
    PcmBudget m_budget;
    std::unordered_map<std::string, FileFrames> m_files;
};

} // namespace mp3
