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
};

// A buffer handed to the sound output: the data block stays owned by the player.
struct SoundBuffer {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

// The system's sound output, reduced to what the player needs. The buffer-done callback runs on
// the output's own thread.
class SoundOutput {
public:
    using BufferDone = std::function<void(SoundBuffer*)>;
    virtual ~SoundOutput() = default;
    virtual bool open(const SoundFormat& format, BufferDone onBufferDone) = 0;
    virtual bool queue(SoundBuffer* buffer) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Returns every queued buffer as done.
    virtual void reset() = 0;
    virtual void close() = 0;
};
