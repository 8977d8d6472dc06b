#pragma once

#include "playback/SoundOutput.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A sound output for tests: a thread of its own "plays" queued buffers either as fast as it can
// (optionally taking a set time per buffer) or only as many as the test releases, and records
// every byte it was given and every buffer it played.
class PacedSoundOutput final : public SoundOutput {
public:
    PacedSoundOutput() = default;
    ~PacedSoundOutput() override;
    PacedSoundOutput(const PacedSoundOutput&) = delete;
    PacedSoundOutput& operator=(const PacedSoundOutput&) = delete;

    bool open(const SoundFormat& format, BufferDone onBufferDone) override;
    bool queue(SoundBuffer* buffer) override;
    void pause() override;
    void resume() override;
    void reset() override;
    void close() override;

    // --- Control
    void failOpen(bool fail);
    // Free running plays every queued buffer at once; otherwise only released ones are played.
    void setFreeRunning(bool freeRunning);
    void setTimePerBuffer(std::chrono::microseconds time);
    void release(int buffers);
    // Called by close() when the output was open (lets a test see the close after the owner is gone).
    void setOnClose(std::function<void()> onClose);
    // Waits until `count` callbacks have started in all; false on timeout.
    bool waitForCallbacks(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // The kernel's id of the thread that runs the callbacks (0 before the first open).
    long threadId() const;
    // Waits until `count` buffers have been played in all; false on timeout.
    bool waitForPlayed(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Waits until no buffer is playing, queued or being called back, with the rest queued waiting
    // for a release; false on timeout.
    bool waitForQuiet(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // --- Record
    std::vector<SoundFormat> openedFormats() const;
    int closeCount() const;
    bool isOpen() const;
    bool isPaused() const;
    std::size_t queuedCount() const;
    // Every played buffer's bytes, in the order played (reset buffers are not played).
    std::vector<std::vector<std::uint8_t>> playedBuffers() const;
    std::vector<std::uint8_t> playedBytes() const;
    // Every byte handed over by queue(), in order.
    std::vector<std::uint8_t> givenBytes() const;
    std::size_t playedCount() const;
    // Decoder calls the callbacks made, on this output's thread.
    std::uint64_t decodesInCallbacks() const;

private:
    void run();

    BufferDone m_onBufferDone;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_changed;
    std::deque<SoundBuffer*> m_queue;
    std::deque<SoundBuffer*> m_returning;
    bool m_open = false;
    bool m_paused = false;
    bool m_quit = false;
    bool m_busy = false;
    std::size_t m_callbacks = 0;
    long m_threadId = 0;
    bool m_failOpen = false;
    bool m_freeRunning = true;
    int m_released = 0;
    std::chrono::microseconds m_timePerBuffer{0};

    std::function<void()> m_onClose;
    std::vector<SoundFormat> m_formats;
    int m_closeCount = 0;
    std::vector<std::vector<std::uint8_t>> m_played;
    std::vector<std::uint8_t> m_given;
    std::uint64_t m_callbackDecodes = 0;
};
