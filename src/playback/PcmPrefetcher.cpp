#include "playback/PcmPrefetcher.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/PcmCache.h"

#include <array>

void PcmPrefetcher::start(const std::filesystem::path& path, const mp3::FrameOffsets& offsets, int frame) {
    stop();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = false;
        m_target.store(frame);
    }
    m_thread = std::thread([this, path, &offsets] { run(path, offsets); });
}

void PcmPrefetcher::follow(int frame) {
    if (m_target.exchange(frame) != frame) {
        { const std::lock_guard<std::mutex> lock(m_mutex); }
        m_wake.notify_one();
    }
}

void PcmPrefetcher::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

int PcmPrefetcher::nextTarget(int seen) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [&] { return m_quit || m_target.load() != seen; });
    return m_quit ? -1 : m_target.load();
}

void PcmPrefetcher::run(const std::filesystem::path& path, const mp3::FrameOffsets& offsets) {
    const std::string key = path.string();
    const int frames = static_cast<int>(offsets.size());
    mp3::FrameReader reader(path);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    int target = m_target.load();
    for (;;) {
        m_decoding.cache.protect(key, target, target + kAhead - 1);
        // Frames in order from the player's next one; a new target that still lies in the run
        // only moves its end.
        for (int frame = std::max(target, 0); frame < std::min(target + kAhead, frames); ++frame) {
            const int now = m_target.load();
            if (now != target) {
                if (now < target || now > frame) {
                    break;
                }
                target = now;
                m_decoding.cache.protect(key, target, target + kAhead - 1);
            }
            if (m_decoding.cache.contains(key, frame)) {
                continue;
            }
            if (reader.frameNumber() + 1 == frame) {
                reader.readNext();
            } else if (reader.frameNumber() != frame) {
                reader.seekToFrame(frame, offsets);
            }
            if (reader.atEnd()) {
                break;
            }
            mp3::framePcm(m_decoding, reader, pcm.data());
        }
        if (m_target.load() != target) {
            target = m_target.load();
            continue;
        }
        target = nextTarget(target);
        if (target < 0) {
            break;
        }
    }
    m_decoding.cache.protect(key, 0, -1);
    reader.close();
}
