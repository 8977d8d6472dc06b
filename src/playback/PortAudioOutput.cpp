#include "playback/PortAudioOutput.h"

#include <portaudio.h>

#include <algorithm>

namespace {

// PortAudio is started once for the process and ended at its exit.
class PortAudioSession {
public:
    static bool ready() {
        static const PortAudioSession session;
        return session.m_ready;
    }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

private:
    PortAudioSession() : m_ready(Pa_Initialize() == paNoError) {}
    ~PortAudioSession() {
        if (m_ready) {
            Pa_Terminate();
        }
    }
    bool m_ready;
};

// About 6 ms at 44.1 kHz: how long pause, reset and close may wait for a write to end.
constexpr unsigned long kWriteFrames = 256;

} // namespace

PortAudioOutput::~PortAudioOutput() {
    close();
}

bool PortAudioOutput::hasDefaultDevice() {
    return PortAudioSession::ready() && Pa_GetDefaultOutputDevice() != paNoDevice;
}

bool PortAudioOutput::open(const SoundFormat& format, BufferDone onBufferDone) {
    if (m_stream != nullptr || !PortAudioSession::ready() || format.samplesPerSecond <= 0 ||
        format.channels < 1 || format.bitsPerSample != 16) {
        return false;
    }
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice) {
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = format.channels;
    parameters.sampleFormat = paInt16;
    parameters.suggestedLatency = info != nullptr ? info->defaultHighOutputLatency : 0.1;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &parameters, format.samplesPerSecond, paFramesPerBufferUnspecified,
                      paClipOff, nullptr, nullptr) != paNoError) {
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return false;
    }
    m_stream = stream;
    m_blockAlign = format.blockAlign();
    m_onBufferDone = std::move(onBufferDone);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_returning.clear();
        m_written = 0;
        m_open = true;
        m_paused = false;
        m_quit = false;
        m_busy = false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

bool PortAudioOutput::queue(SoundBuffer* buffer) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open || m_quit) {
            return false;
        }
        m_queue.push_back(buffer);
    }
    m_wake.notify_all();
    return true;
}

void PortAudioOutput::pause() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = true;
}

void PortAudioOutput::resume() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

void PortAudioOutput::reset() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_thread.joinable()) {
        return;
    }
    // A callback may queue its buffer again while the others are handed back; loop until none is left.
    while (!m_queue.empty() || !m_returning.empty() || m_busy) {
        m_returning.insert(m_returning.end(), m_queue.begin(), m_queue.end());
        m_queue.clear();
        m_written = 0;
        m_wake.notify_all();
        m_idle.wait(lock);
    }
}

void PortAudioOutput::close() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_stream != nullptr) {
        Pa_AbortStream(m_stream);
        Pa_CloseStream(m_stream);
        m_stream = nullptr;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_queue.clear();
    m_returning.clear();
    m_written = 0;
}

void PortAudioOutput::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_idle.notify_all();
        m_wake.wait(lock,
                    [this] { return m_quit || !m_returning.empty() || (!m_paused && !m_queue.empty()); });
        if (m_quit) {
            return;
        }
        SoundBuffer* done = nullptr;
        if (!m_returning.empty()) {
            done = m_returning.front();
            m_returning.pop_front();
        } else {
            SoundBuffer* buffer = m_queue.front();
            const std::size_t offset = m_written;
            const std::size_t step = std::min<std::size_t>(buffer->length - std::min(offset, buffer->length),
                                                           kWriteFrames * m_blockAlign);
            if (step > 0) {
                m_busy = true;
                lock.unlock();
                // An underflow while paused or starved is no failure: the device plays silence.
                Pa_WriteStream(m_stream, buffer->data + offset, step / m_blockAlign);
                lock.lock();
                m_busy = false;
                // reset may have handed the buffer back meanwhile; then it is no longer ours to finish.
                if (m_queue.empty() || m_queue.front() != buffer || m_written != offset) {
                    continue;
                }
                m_written += step;
            }
            if (m_written >= buffer->length) {
                m_queue.pop_front();
                m_written = 0;
                done = buffer;
            }
        }
        if (done != nullptr) {
            m_busy = true;
            lock.unlock();
            m_onBufferDone(done);
            lock.lock();
            m_busy = false;
        }
    }
}
