#pragma once

#include "engine/Decoder.h"
#include "engine/Decoding.h"
#include "engine/FrameReader.h"
#include "playback/LevelledPcm.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

// Decodes the frames the player is about to play on a thread of its own, for a file whose PCM the
// cache does not hold whole, and keeps them in a ring of its own: the cache may evict anything
// meanwhile, and a refill only copies.
class PcmPrefetcher {
public:
    // Frames kept decoded from the player's next frame on: more than the ten queued buffers.
    static constexpr int kAhead = 24;

    enum class Taken {
        Pcm,        // the frame's PCM was copied out
        NotRunning, // the prefetcher does not run (or could not read the frame): decode it yourself
        GaveUp      // the caller's flag was cleared, or the prefetcher stopped, while waiting
    };

    explicit PcmPrefetcher(const mp3::Decoding& decoding) : m_decoding(decoding) {}
    ~PcmPrefetcher() { stop(); }
    PcmPrefetcher(const PcmPrefetcher&) = delete;
    PcmPrefetcher& operator=(const PcmPrefetcher&) = delete;

    // `offsets` (from the loading scan) must stay unchanged until stop().
    void start(const std::filesystem::path& path, const mp3::FrameOffsets& offsets, int frame);
    // The player's next frame is `frame`; harmless while not running. Never waits for a decode.
    void follow(int frame);
    // Copies frame `frame` (the one last followed) into `out`, which holds kMaxPcmBytes, and sets
    // `length`. When it is not decoded yet (just after a jump) this waits for its decode, until
    // `keepWaiting` turns false; whoever clears it calls interrupt() afterwards.
    Taken take(int frame, std::uint8_t* out, std::size_t& length, const std::atomic<bool>& keepWaiting);
    // Frames from now on are decoded with this change of level (null: none); what was decoded
    // ahead with another is decoded again.
    void setLevels(std::shared_ptr<const PlaybackLevels> levels);
    // Wakes a take() that waits, so that it sees its flag.
    void interrupt();
    // Waits for the thread; call it without holding the decoder's lock.
    void stop();

private:
    struct Slot {
        int frame = -1;
        bool readable = false;
        std::size_t length = 0;
        std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    };

    void run(const std::filesystem::path& path, const mp3::FrameOffsets& offsets);
    // The first frame from the target on that the ring lacks, -1 when it is complete.
    int nextMissingLocked() const;
    bool holdsLocked(int frame) const;

    mp3::Decoding m_decoding;
    mutable std::mutex m_mutex;
    // The thread waits here for a frame to decode, take() for a frame to arrive.
    std::condition_variable m_wake;
    std::condition_variable m_arrived;
    int m_target = 0;
    int m_frames = 0;
    bool m_running = false;
    bool m_quit = false;
    std::array<Slot, kAhead> m_ring{};
    std::shared_ptr<const PlaybackLevels> m_levels;
    std::thread m_thread;
};
