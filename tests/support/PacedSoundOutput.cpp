#include "support/PacedSoundOutput.h"

#include "support/ThreadState.h"

#include "engine/Decoder.h"

PacedSoundOutput::~PacedSoundOutput() {
    close();
}

bool PacedSoundOutput::open(const SoundFormat& format, BufferDone onBufferDone) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failOpen || m_open || format.samplesPerSecond <= 0) {
            return false;
        }
        m_formats.push_back(format);
        m_open = true;
        m_paused = false;
        m_quit = false;
        m_busy = false;
        m_queue.clear();
        m_returning.clear();
    }
    m_onBufferDone = std::move(onBufferDone);
    m_thread = std::thread([this] { run(); });
    return true;
}

bool PacedSoundOutput::queue(SoundBuffer* buffer) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open || m_quit) {
            return false;
        }
        m_given.insert(m_given.end(), buffer->data, buffer->data + buffer->length);
        m_queue.push_back(buffer);
    }
    m_wake.notify_all();
    return true;
}

void PacedSoundOutput::pause() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = true;
}

void PacedSoundOutput::resume() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

void PacedSoundOutput::reset() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_thread.joinable()) {
        return;
    }
    while (!m_queue.empty() || !m_returning.empty() || m_busy) {
        m_returning.insert(m_returning.end(), m_queue.begin(), m_queue.end());
        m_queue.clear();
        m_wake.notify_all();
        m_changed.wait(lock);
    }
}

void PacedSoundOutput::close() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_closeCount;
        }
        if (m_onClose) {
            m_onClose();
        }
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_queue.clear();
    m_returning.clear();
}

void PacedSoundOutput::failOpen(bool fail) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_failOpen = fail;
}

void PacedSoundOutput::setFreeRunning(bool freeRunning) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_freeRunning = freeRunning;
    }
    m_wake.notify_all();
}

void PacedSoundOutput::setOnClose(std::function<void()> onClose) {
    m_onClose = std::move(onClose);
}

void PacedSoundOutput::setTimePerBuffer(std::chrono::microseconds time) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_timePerBuffer = time;
}

void PacedSoundOutput::release(int buffers) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_released += buffers;
    }
    m_wake.notify_all();
}

bool PacedSoundOutput::waitForCallbacks(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_callbacks >= count; });
}

long PacedSoundOutput::threadId() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_threadId;
}

bool PacedSoundOutput::waitForPlayed(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_played.size() >= count; });
}

bool PacedSoundOutput::waitForQuiet(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        const bool canPlay = !m_paused && !m_queue.empty() && (m_freeRunning || m_released > 0);
        return !m_busy && m_returning.empty() && !canPlay;
    });
}

std::vector<SoundFormat> PacedSoundOutput::openedFormats() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_formats;
}

int PacedSoundOutput::closeCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_closeCount;
}

bool PacedSoundOutput::isOpen() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

bool PacedSoundOutput::isPaused() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_paused;
}

std::size_t PacedSoundOutput::queuedCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

std::vector<std::vector<std::uint8_t>> PacedSoundOutput::playedBuffers() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_played;
}

std::vector<std::uint8_t> PacedSoundOutput::playedBytes() const {
    std::vector<std::uint8_t> bytes;
    for (const auto& buffer : playedBuffers()) {
        bytes.insert(bytes.end(), buffer.begin(), buffer.end());
    }
    return bytes;
}

std::vector<std::uint8_t> PacedSoundOutput::givenBytes() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_given;
}

std::uint64_t PacedSoundOutput::decodesInCallbacks() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbackDecodes;
}

std::size_t PacedSoundOutput::playedCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_played.size();
}

void PacedSoundOutput::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_threadId = testing_support::currentThreadId();
    for (;;) {
        m_changed.notify_all();
        m_wake.wait(lock, [this] {
            return m_quit || !m_returning.empty() ||
                   (!m_paused && !m_queue.empty() && (m_freeRunning || m_released > 0));
        });
        if (m_quit) {
            return;
        }
        SoundBuffer* done = nullptr;
        std::chrono::microseconds playTime{0};
        if (!m_returning.empty()) {
            done = m_returning.front();
            m_returning.pop_front();
        } else {
            done = m_queue.front();
            m_queue.pop_front();
            if (!m_freeRunning) {
                --m_released;
            }
            m_played.emplace_back(done->data, done->data + done->length);
            playTime = m_timePerBuffer;
        }
        m_busy = true;
        ++m_callbacks;
        m_changed.notify_all();
        lock.unlock();
        if (playTime.count() > 0) {
            std::this_thread::sleep_for(playTime);
        }
        const std::uint64_t decodesBefore = mp3::decoderCallCountOnThisThread();
        m_onBufferDone(done);
        const std::uint64_t decodes = mp3::decoderCallCountOnThisThread() - decodesBefore;
        lock.lock();
        m_callbackDecodes += decodes;
        m_busy = false;
    }
}
