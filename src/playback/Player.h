#pragma once

#include "playback/SoundOutput.h"

#include <memory>

class SplitDocument;

// Plays the loaded file from the document's cursor through a sound output.
class Player {
public:
    static constexpr int SOUND_BUFFER_COUNT = 10;
    static constexpr int SOUND_BUFFER_SIZE = 10240;

    Player(SplitDocument& document, std::unique_ptr<SoundOutput> output);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void play();
    void stop();
    void moveCursorTo(int frame);
    void playFromBreakPoint(int value);
    bool isPlaying() const;

private:
    SplitDocument& m_document;
    std::unique_ptr<SoundOutput> m_output;
};
