#pragma once

#include "playback/SoundOutput.h"

// A sound output without a device: opening fails, so the player reports that it cannot play.
class NoSoundOutput final : public SoundOutput {
public:
    bool open(const SoundFormat&, BufferDone) override { return false; }
    bool queue(SoundBuffer*) override { return false; }
    void pause() override {}
    void resume() override {}
    void reset() override {}
    void close() override {}
};
