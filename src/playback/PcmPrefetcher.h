#pragma once

#include "engine/Decoding.h"
#include "engine/FrameReader.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

// Decodes the frames the player is about to play on a thread of its own, for a file whose PCM the
// cache does not hold whole: a refill then finds its frame decoded and only copies. The frames
// ahead are protected in the cache, so keeping other frames never evicts them.
class PcmPrefetcher {
public:
    // Frames kept decoded ahead of the player's next frame: more than the ten queued buffers.
    static constexpr int kAhead = 24;

    explicit PcmPrefetcher(const mp3::Decoding& decoding) : m_decoding(decoding) {}
    ~PcmPrefetcher() { stop(); }
    PcmPrefetcher(const PcmPrefetcher&) = delete;
    PcmPrefetcher& operator=(const PcmPrefetcher&) = delete;

    // `offsets` (from the loading scan) must stay unchanged until stop().
    void start(const std::filesystem::path& path, const mp3::FrameOffsets& offsets, int frame);
    // The player's next frame is `frame`; harmless while not running. Never waits for a decode.
    void follow(int frame);
    // Waits for the thread; call it without holding the decoder's lock.
    void stop();

private:
    void run(const std::filesystem::path& path, const mp3::FrameOffsets& offsets);
    // Waits until the followed frame changes; -1 once stopping.
    int nextTarget(int seen);

    mp3::Decoding m_decoding;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<int> m_target{-1};
    bool m_quit = false;
    std::thread m_thread;
};
