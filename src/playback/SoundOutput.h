#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// 16-bit PCM format of the sound output.
struct SoundFormat {
    int channels = 2;
    int samplesPerSecond = 44100;
    int bitsPerSample = 16;
    int blockAlign() const { return channels * bitsPerSample / 8; }
    int averageBytesPerSecond() const { return samplesPerSecond * blockAlign(); }
    bool operator==(const SoundFormat&) const = default;
};

// A buffer handed to the sound output: the data block stays owned by the player.
struct SoundBuffer {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

// The system's sound output, reduced to what the player needs.
//
// Threads: the buffer-done callback runs on the output's own thread, one call at a time, and may
// call queue(). pause() and resume() never wait for a running callback; reset() and close() do, so
// they must not be called while holding a lock that the callback takes without giving up.
class SoundOutput {
public:
    using BufferDone = std::function<void(SoundBuffer*)>;
    virtual ~SoundOutput() = default;
    // False when there is no device or it refuses the format; the output then stays closed.
    virtual bool open(const SoundFormat& format, BufferDone onBufferDone) = 0;
    // Plays the buffer after those queued before it and then hands it to the callback. The buffer
    // must stay valid until then, or until close(). False when the output is not open.
    virtual bool queue(SoundBuffer* buffer) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Hands every queued buffer, played or not, to the callback; returns once those calls ended.
    virtual void reset() = 0;
    // Stops the output thread; no callback runs after it returns, and queued buffers are dropped.
    virtual void close() = 0;
};
