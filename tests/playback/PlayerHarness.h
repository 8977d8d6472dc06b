#pragma once

#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "playback/Player.h"
#include "support/PacedSoundOutput.h"
#include "support/RecordingPrompts.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

// The document as the window program's view uses it: UM_STOP_PLAYBACK stops the player, repaint
// requests are counted.
class PlayingDocument final : public SplitDocument {
public:
    using SplitDocument::SplitDocument;
    void stopPlayback() override {
        if (player != nullptr) {
            player->stop();
        }
    }
    void invalidateView() override { repaints.fetch_add(1, std::memory_order_relaxed); }

    Player* player = nullptr;
    std::atomic<int> repaints{0};
};

// A document filled the way a completed load leaves it, with a player on a paced test output.
struct PlayerHarness {
    explicit PlayerHarness(std::unique_ptr<SoundOutput> output = nullptr);
    ~PlayerHarness();

    // Scans the file (which fills PcmCache) and stands the cursor on frame 0.
    void load(const std::filesystem::path& path);
    // The cached PCM of frame `frame` of the loaded file.
    std::vector<std::uint8_t> framePcm(int frame) const;
    // Dispatches the view's posted messages until UM_STOP_PLAYBACK has been handled.
    bool runUntilStopped();

    MessageQueueLink frame;
    MessageQueueLink view;
    RecordingPrompts prompts;
    PlayingDocument document{frame, view, prompts};
    PacedSoundOutput* output = nullptr; // owned by the player
    std::unique_ptr<Player> player;
};
