#include "PlayerHarness.h"

#include "engine/Decoder.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"
#include "support/ThreadState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::fixture;

// The process's cache with a budget far below the file's PCM, for one test.
struct SmallBudget {
    explicit SmallBudget(std::size_t frames) {
        mp3::processDecoding().cache.setBudget(frames * mp3::kMaxPcmBytes);
    }
    ~SmallBudget() {
        mp3::processDecoding().cache.clear();
        mp3::processDecoding().cache.setBudget(mp3::kDefaultPcmBudget);
    }
    SmallBudget(const SmallBudget&) = delete;
    SmallBudget& operator=(const SmallBudget&) = delete;
};

struct PlayCase {
    const char* file;
    int from;
    int budgetFrames; // in frames of the largest PCM: a mono MPEG-2 frame takes a quarter of one
};

class WindowedPlayback : public testing::TestWithParam<PlayCase> {};

// The file's PCM is not kept whole: the player decodes from the frame it starts on, primed so that
// what it plays is what a decode in file order gives.
TEST_P(WindowedPlayback, PlaysFromAnyFrameWhatADecodeInFileOrderGives) {
    const PlayCase& c = GetParam();
    const SmallBudget budget(static_cast<std::size_t>(c.budgetFrames));
    const auto path = fixture(c.file);
    const auto expected = testing_support::decodeInOrder(path);
    PlayerHarness h;
    h.load(path);
    ASSERT_TRUE(mp3::processDecoding().cache.isWindowed(path.string()));
    const int frames = h.document.frameCount();
    ASSERT_EQ(static_cast<std::size_t>(frames), expected.size());

    h.player->moveCursorTo(c.from);
    h.player->playToEnd();
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frames - c.from));
    for (int frame = c.from; frame < frames; ++frame) {
        EXPECT_EQ(played[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - c.from)],
                  expected[static_cast<std::size_t>(frame)])
            << "frame " << frame;
    }
    EXPECT_LE(mp3::processDecoding().cache.storedBytes(),
              static_cast<std::size_t>(c.budgetFrames) * mp3::kMaxPcmBytes);
    // The prefetcher decoded every frame; the refills only copied.
    EXPECT_EQ(h.output->decodesInCallbacks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WindowedPlayback,
                         testing::Values(PlayCase{"cbr128.mp3", 37, 40}, PlayCase{"vbr.mp3", 50, 40},
                                         PlayCase{"mpeg2-mono.mp3", 60, 10}, PlayCase{"mpeg25.mp3", 20, 5},
                                         PlayCase{"ten-seconds.mp3", 150, 40},
                                         // The cache evicts all the time.
                                         PlayCase{"vbr.mp3", 33, 2},
                                         // Fewer frames than the player decodes ahead.
                                         PlayCase{"ten-seconds.mp3", 3, 5}),
                         [](const testing::TestParamInfo<PlayCase>& info) {
                             std::string name = info.param.file + std::string("_from_") +
                                                std::to_string(info.param.from) + "_budget_" +
                                                std::to_string(info.param.budgetFrames);
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// A cursor move while playing: after the queued audio, the new place plays as a decode in file
// order gives it, though the decoder was elsewhere.
TEST(WindowedPlayback, ACursorMoveWhilePlayingPlaysTheNewPlaceAsDecodedInOrder) {
    const SmallBudget budget(40);
    const auto path = fixture("ten-seconds.mp3");
    const auto expected = testing_support::decodeInOrder(path);
    PlayerHarness h;
    h.load(path);
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(12);
    ASSERT_TRUE(h.output->waitForPlayed(12));
    ASSERT_TRUE(h.output->waitForQuiet());
    h.player->moveCursorTo(300);
    h.output->release(30);
    ASSERT_TRUE(h.output->waitForPlayed(42));
    ASSERT_TRUE(h.output->waitForQuiet());
    const auto played = h.output->playedBuffers();
    for (int frame = 0; frame < 12; ++frame) {
        EXPECT_EQ(played[static_cast<std::size_t>(10 + frame)], expected[static_cast<std::size_t>(frame)])
            << frame;
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(played[static_cast<std::size_t>(22 + i)], expected[static_cast<std::size_t>(300 + i)])
            << 300 + i;
    }
    EXPECT_EQ(h.output->decodesInCallbacks(), 0u);
    h.player->stop();
}

#ifndef _WIN32
// In steady play the frames ahead are decoded before their refills come: with the decoder's lock
// held elsewhere, and a cache of two frames that keeps none of them, the refills still fill and
// queue their buffers. Then the run goes on as a decode in file order gives it.
TEST(WindowedPlayback, RefillsTakeFramesDecodedAheadWithoutTheDecoder) {
    const SmallBudget budget(2);
    const auto path = fixture("ten-seconds.mp3");
    const auto expected = testing_support::decodeInOrder(path);
    PlayerHarness h;
    h.load(path);
    const int frames = h.document.frameCount();
    const int from = 200;
    h.player->moveCursorTo(from);
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    // The output's thread waits for a release, the prefetcher for the player to move on.
    ASSERT_TRUE(testing_support::waitUntilOtherThreadsSleep(std::chrono::seconds(30)));
    {
        const std::lock_guard<std::mutex> decoderBusy(mp3::processDecoding().decoder.lock());
        // Ten start buffers, then ten frames: twenty refills, all within the frames decoded ahead.
        static_assert(2 * Player::SOUND_BUFFER_COUNT <= PcmPrefetcher::kAhead);
        h.output->release(2 * Player::SOUND_BUFFER_COUNT);
        ASSERT_TRUE(h.output->waitForPlayed(2 * Player::SOUND_BUFFER_COUNT));
        ASSERT_TRUE(h.output->waitForQuiet());
        EXPECT_EQ(h.output->queuedCount(), static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT));
    }
    h.output->setFreeRunning(true);
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frames - from));
    for (int frame = from; frame < frames; ++frame) {
        EXPECT_EQ(played[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - from)],
                  expected[static_cast<std::size_t>(frame)])
            << "frame " << frame;
    }
    EXPECT_EQ(h.output->decodesInCallbacks(), 0u);
}

// Right after a jump a refill waits for the prefetcher, which here waits for the decoder another
// thread holds. A cursor move (which takes the cursor lock the refill holds) and a stop (which waits
// for the refill) must each make that refill give up rather than wait on.
TEST(WindowedPlayback, AMoveOrAStopEndsARefillThatWaitsForThePrefetcher) {
    using namespace std::chrono_literals;
    for (const bool stopping : {false, true}) {
        SCOPED_TRACE(stopping ? "stop" : "move");
        const SmallBudget budget(2);
        const auto path = fixture("ten-seconds.mp3");
        const auto expected = testing_support::decodeInOrder(path);
        PlayerHarness h;
        h.load(path);
        std::unique_lock<std::mutex> otherDecoder(mp3::processDecoding().decoder.lock());
        h.player->playToEnd();
        ASSERT_TRUE(h.output->waitForCallbacks(1));
        ASSERT_TRUE(testing_support::waitUntilThreadSleeps(h.output->threadId(), 10s));

        std::promise<long> gestureId;
        std::promise<void> done;
        std::thread gesture([&] {
            gestureId.set_value(testing_support::currentThreadId());
            if (stopping) {
                h.player->stop(); // then waits for the prefetcher, which waits for the decoder
            } else {
                h.player->moveCursorTo(300);
            }
            done.set_value();
        });
        auto finished = done.get_future();
        if (stopping) {
            ASSERT_TRUE(testing_support::waitUntilThreadSleeps(gestureId.get_future().get(), 10s));
        } else if (finished.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << "the cursor move waited for a refill that waits for the prefetcher";
            std::fflush(stdout);
            std::_Exit(1);
        }
        otherDecoder.unlock();
        if (finished.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << "stop() waited for a refill that waits for the prefetcher";
            std::fflush(stdout);
            std::_Exit(1);
        }
        gesture.join();
        if (stopping) {
            EXPECT_FALSE(h.player->isPlaying());
            continue;
        }
        // The start's silence, buffers queued empty by the move, then the new place in file order.
        ASSERT_TRUE(h.runUntilStopped());
        std::vector<std::vector<std::uint8_t>> heard;
        for (const auto& buffer : h.output->playedBuffers()) {
            if (!buffer.empty()) {
                heard.push_back(buffer);
            }
        }
        const int frames = h.document.frameCount();
        ASSERT_EQ(heard.size(), static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frames - 300));
        for (int frame = 300; frame < frames; ++frame) {
            EXPECT_EQ(heard[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - 300)],
                      expected[static_cast<std::size_t>(frame)])
                << frame;
        }
        EXPECT_EQ(h.output->decodesInCallbacks(), 0u);
    }
}
#endif

} // namespace
