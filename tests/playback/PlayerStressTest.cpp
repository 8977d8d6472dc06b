#include "PlayerHarness.h"

#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

using testing_support::fixture;

namespace {

// The process's cache budget for one test; 0 keeps the default.
struct Budget {
    explicit Budget(std::size_t bytes) {
        if (bytes > 0) {
            mp3::processDecoding().cache.setBudget(bytes);
        }
    }
    ~Budget() {
        mp3::processDecoding().cache.clear();
        mp3::processDecoding().cache.setBudget(mp3::kDefaultPcmBudget);
    }
    Budget(const Budget&) = delete;
    Budget& operator=(const Budget&) = delete;
};

} // namespace

class PlayerStress : public testing::TestWithParam<std::size_t> {};

// The GUI thread moves the cursor, plays from break points, starts and stops, thousands of times,
// while the output's thread refills and another thread keeps the decoder busy; with the whole file
// cached, and with a budget so small that the player decodes ahead and the cache evicts. Run under
// ThreadSanitizer; a deadlock shows as a test that never ends.
TEST_P(PlayerStress, GestureStormWhileTheOutputRefills) {
    const Budget budget(GetParam());
    PlayerHarness h;
    const auto path = fixture("ten-seconds.mp3");
    h.load(path);
    const int frames = h.document.frameCount();
    const BreakPointList breakPoints = {300, 50, 120, 200, 120, frames - 1, frames};
    h.document.replaceBreakPoints(breakPoints);
    h.output->setTimePerBuffer(std::chrono::microseconds(30));

    // Holds g_audioLock again and again, as the WAV or loading thread does around each decode.
    std::atomic<bool> quit{false};
    std::thread otherDecoder([&] {
        mp3::FrameReader reader(fixture("cbr128.mp3"));
        std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
        while (!quit.load()) {
            mp3::processDecoding().decoder.decode(reader.frameData(),
                                                  static_cast<std::size_t>(reader.frameLength()), pcm.data());
            reader.readNext();
            if (reader.atEnd()) {
                reader = mp3::FrameReader(fixture("cbr128.mp3"));
            }
        }
    });

    std::mt19937 random(20240607);
    const int kRounds = 4000;
    for (int round = 0; round < kRounds; ++round) {
        switch (random() % 10) {
        case 0:
        case 1:
        case 2:
            h.player->moveCursorTo(static_cast<int>(random() % static_cast<unsigned>(frames + 10)) - 5);
            break;
        case 3:
        case 4:
            h.player->playFromBreakPoint(breakPoints[random() % breakPoints.size()]);
            break;
        case 5:
            h.player->stop();
            // Only with the player stopped may the cache be emptied; refills then decode.
            if (random() % 4 == 0) {
                mp3::processDecoding().cache.clear();
            }
            break;
        case 6:
            h.player->playToEnd();
            break;
        case 7:
            h.player->play();
            break;
        case 8:
            h.view.post(UM_STOP_PLAYBACK, 0, 0);
            break; // Space while playing
        default:
            (void)h.player->playPosition();
            break;
        }
        // Let the output's thread come back between gestures.
        if (h.player->isPlaying()) {
            h.output->waitForPlayed(h.output->playedCount() + 1, std::chrono::milliseconds(5));
        }
        h.view.dispatchPending();
    }
    h.player->stop();
    quit.store(true);
    otherDecoder.join();
    h.view.dispatchPending();
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isOpen());
    // The storm overlapped refills: well over one play's worth of buffers came back and were refilled.
    EXPECT_GT(h.output->playedCount(), static_cast<std::size_t>(kRounds / 4));

    // The player still works exactly: a last run from a break point plays just its block.
    h.load(path);
    // The small budget holds a tenth of the file: the last run plays from the prefetcher's frames.
    EXPECT_EQ(mp3::processDecoding().cache.isWindowed(path.string()), GetParam() > 0);
    h.document.replaceBreakPoints({120, 200});
    h.output->setTimePerBuffer(std::chrono::microseconds(0));
    const std::size_t before = h.output->playedCount();
    h.player->playFromBreakPoint(120);
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), before + 10 + 80);
    const auto expected = testing_support::decodeInOrder(path);
    for (int frame = 120; frame < 200; ++frame) {
        EXPECT_EQ(played[before + 10 + static_cast<std::size_t>(frame - 120)],
                  expected[static_cast<std::size_t>(frame)])
            << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(Budgets, PlayerStress, testing::Values(std::size_t{0}, 40 * mp3::kMaxPcmBytes),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                             return info.param == 0 ? std::string("WholeFileCached")
                                                    : std::string("Evicting");
                         });

// Moving the cursor while buffers come back must not lose them: playback still drains and stops
// by itself at the end of the file after many moves.
TEST(PlayerStressMoves, ManyMovesDuringPlaybackKeepTheRingWhole) {
    PlayerHarness h;
    h.load(fixture("ten-seconds.mp3"));
    const int frames = h.document.frameCount();
    h.output->setTimePerBuffer(std::chrono::microseconds(20));
    h.player->playToEnd();
    std::mt19937 random(7);
    for (int move = 0; move < 3000; ++move) {
        h.player->moveCursorTo(static_cast<int>(random() % static_cast<unsigned>(frames / 2)));
    }
    ASSERT_TRUE(h.player->isPlaying());
    h.player->moveCursorTo(frames - 30);
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    ASSERT_GE(played.size(), 30u);
    // The last thirty frames close the run, each once.
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(played[played.size() - 30 + static_cast<std::size_t>(i)], h.framePcm(frames - 30 + i));
    }
}
