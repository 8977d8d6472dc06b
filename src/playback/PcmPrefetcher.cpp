#include "playback/PcmPrefetcher.h"

#include <algorithm>
#include <cstring>

void PcmPrefetcher::start(const std::filesystem::path& path, const mp3::FrameOffsets& offsets, int frame) {
    stop();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = false;
        m_running = true;
        m_target = frame;
        m_frames = static_cast<int>(offsets.size());
        for (Slot& slot : m_ring) {
            slot.frame = -1;
        }
    }
    m_thread = std::thread([this, path, &offsets] { run(path, offsets); });
}

void PcmPrefetcher::setLevels(std::shared_ptr<const PlaybackLevels> levels) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_levels = std::move(levels);
        for (Slot& slot : m_ring) {
            slot.frame = -1;
        }
    }
    m_wake.notify_one();
}

void PcmPrefetcher::follow(int frame) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_target == frame) {
            return;
        }
        m_target = frame;
    }
    m_wake.notify_one();
}

bool PcmPrefetcher::holdsLocked(int frame) const {
    return frame >= 0 && m_ring[static_cast<std::size_t>(frame % kAhead)].frame == frame;
}

int PcmPrefetcher::nextMissingLocked() const {
    for (int frame = std::max(m_target, 0); frame < std::min(m_target + kAhead, m_frames); ++frame) {
        if (!holdsLocked(frame)) {
            return frame;
        }
    }
    return -1;
}

PcmPrefetcher::Taken PcmPrefetcher::take(int frame, std::uint8_t* out, std::size_t& length,
                                         const std::atomic<bool>& keepWaiting) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_running || frame < 0 || frame >= m_frames) {
        return Taken::NotRunning;
    }
    if (frame != m_target) {
        m_target = frame;
        m_wake.notify_one();
    }
    m_arrived.wait(lock, [&] { return holdsLocked(frame) || !m_running || !keepWaiting.load(); });
    if (!holdsLocked(frame)) {
        return Taken::GaveUp;
    }
    const Slot& slot = m_ring[static_cast<std::size_t>(frame % kAhead)];
    if (!slot.readable) {
        return Taken::NotRunning;
    }
    std::memcpy(out, slot.pcm.data(), slot.length);
    length = slot.length;
    return Taken::Pcm;
}

void PcmPrefetcher::interrupt() {
    { const std::lock_guard<std::mutex> lock(m_mutex); }
    m_arrived.notify_all();
}

void PcmPrefetcher::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
        m_running = false;
    }
    m_wake.notify_one();
    m_arrived.notify_all();
    m_thread.join();
}

void PcmPrefetcher::run(const std::filesystem::path& path, const mp3::FrameOffsets& offsets) {
    mp3::FrameReader reader(path);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        int frame = -1;
        m_wake.wait(lock, [&] { return m_quit || (frame = nextMissingLocked()) >= 0; });
        if (m_quit) {
            break;
        }
        const std::shared_ptr<const PlaybackLevels> levels = m_levels;
        // The decode waits for the decoder's lock: the player must be able to follow meanwhile.
        lock.unlock();
        if (reader.frameNumber() + 1 == frame) {
            reader.readNext();
        } else if (reader.frameNumber() != frame) {
            reader.seekToFrame(frame, offsets);
        }
        const bool readable = !reader.atEnd() && reader.frameNumber() == frame;
        const std::size_t length = readable ? playbackFramePcm(m_decoding, reader, levels, pcm.data()) : 0;
        lock.lock();
        // A jump while decoding may have left the frame behind, or a new level made it stale.
        if (frame >= m_target && frame < m_target + kAhead && levels == m_levels) {
            Slot& slot = m_ring[static_cast<std::size_t>(frame % kAhead)];
            slot.frame = frame;
            slot.readable = readable;
            slot.length = length;
            std::memcpy(slot.pcm.data(), pcm.data(), length);
            m_arrived.notify_all();
        }
    }
    lock.unlock();
    reader.close();
}
