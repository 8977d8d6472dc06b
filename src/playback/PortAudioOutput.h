#pragma once

#include "playback/SoundOutput.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

// The default output device through PortAudio's blocking interface. A thread of its own writes the
// queued buffers to the stream in small steps (so pause, reset and close take effect quickly) and
// calls buffer-done after each buffer.
class PortAudioOutput final : public SoundOutput {
public:
    PortAudioOutput() = default;
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    bool open(const SoundFormat& format, BufferDone onBufferDone) override;
    bool queue(SoundBuffer* buffer) override;
    void pause() override;
    void resume() override;
    void reset() override;
    void close() override;

    // False when PortAudio cannot start or finds no default output device.
    static bool hasDefaultDevice();

private:
    void run();

    void* m_stream = nullptr; // PaStream
    int m_blockAlign = 4;
    BufferDone m_onBufferDone;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<SoundBuffer*> m_queue;     // front: the buffer being written
    std::size_t m_written = 0;            // bytes of the front buffer already written
    std::deque<SoundBuffer*> m_returning; // handed back by reset, not yet called back
    bool m_open = false;
    bool m_paused = false;
    bool m_quit = false;
    bool m_busy = false; // writing or calling back without the mutex
};
