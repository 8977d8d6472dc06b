#include "PlayerHarness.h"

#include "engine/AudioLock.h"
#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"
#include "support/ThreadState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

using testing_support::fixture;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSilentStart(Player::kStartLength, 0);

std::string startLine(int frame) {
    return "Player now is playing mp3 from frame " + std::to_string(frame) + " F";
}

// Buffers played from index `first` on must be the ten silent ones and then frames from..to-1.
void expectRun(const PlayerHarness& h, std::size_t first, int from, int to) {
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), first + Player::SOUND_BUFFER_COUNT + static_cast<std::size_t>(to - from));
    for (int i = 0; i < Player::SOUND_BUFFER_COUNT; ++i) {
        EXPECT_EQ(played[first + static_cast<std::size_t>(i)], kSilentStart) << "silent buffer " << i;
    }
    for (int frame = from; frame < to; ++frame) {
        const std::size_t index = first + Player::SOUND_BUFFER_COUNT + static_cast<std::size_t>(frame - from);
        EXPECT_EQ(played[index], h.framePcm(frame)) << "frame " << frame;
    }
}

} // namespace

TEST(Player, SpacePlaysTheSilentStartThenEveryFrameOnceAndStopsAtTheEndOfTheFile) {
    PlayerHarness h;
    h.load(fixture("cbr128.mp3"));
    const int frames = h.document.frameCount();
    ASSERT_GT(frames, 20);

    h.player->playToEnd();
    EXPECT_TRUE(h.player->isPlaying());
    EXPECT_EQ(h.frame.logLines(LogLevel::Normal), std::vector<std::string>{startLine(0)});

    ASSERT_TRUE(h.runUntilStopped());
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isOpen());
    expectRun(h, 0, 0, frames);
    EXPECT_TRUE(h.document.m_cursor.atEnd());
    EXPECT_GT(h.document.repaints.load(), 0);
    EXPECT_TRUE(h.frame.logLines(LogLevel::Error).empty());
    // Everything queued was played: nothing was thrown away at the stop.
    EXPECT_EQ(h.output->givenBytes(), h.output->playedBytes());
}

TEST(Player, AfterTheEndPlayDoesNothingUntilTheCursorMoves) {
    PlayerHarness h;
    h.load(fixture("cbr128.mp3"));
    h.player->playToEnd();
    ASSERT_TRUE(h.runUntilStopped());
    h.frame.clearRecords();

    h.player->play();
    h.player->playToEnd();
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_TRUE(h.frame.logLines().empty());
    EXPECT_EQ(h.output->openedFormats().size(), 1u);

    h.player->moveCursorTo(5);
    h.player->playToEnd();
    EXPECT_EQ(h.frame.logLines(), std::vector<std::string>{startLine(5)});
    ASSERT_TRUE(h.runUntilStopped());
}

TEST(Player, OpensTheOutputWithTheFormatOfTheCursorsFrame) {
    struct Case {
        const char* file;
        SoundFormat format;
        int blockAlign;
        int bytesPerSecond;
    };
    for (const Case& c :
         {Case{"mpeg2-mono.mp3", {1, 22050, 16}, 2, 44100}, Case{"cbr128.mp3", {2, 44100, 16}, 4, 176400}}) {
        SCOPED_TRACE(c.file);
        PlayerHarness h;
        h.load(fixture(c.file));
        h.player->playToEnd();
        ASSERT_TRUE(h.runUntilStopped());
        const auto formats = h.output->openedFormats();
        ASSERT_EQ(formats.size(), 1u);
        EXPECT_EQ(formats[0], c.format);
        EXPECT_EQ(formats[0].blockAlign(), c.blockAlign);
        EXPECT_EQ(formats[0].averageBytesPerSecond(), c.bytesPerSecond);
        expectRun(h, 0, 0, h.document.frameCount());
    }
}

TEST(Player, SpaceWhilePlayingStopsAndTheNextSpaceResumesFromTheCursor) {
    PlayerHarness h;
    h.load(fixture("cbr128.mp3"));
    const int frames = h.document.frameCount();
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(15);
    ASSERT_TRUE(h.output->waitForPlayed(15));
    ASSERT_TRUE(h.output->waitForQuiet());
    // Each played buffer was refilled: the cursor runs ten frames ahead of what was heard.
    EXPECT_EQ(h.player->playPosition(), 15);

    h.view.post(UM_STOP_PLAYBACK, 0, 0);
    ASSERT_TRUE(h.runUntilStopped());
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_EQ(h.output->closeCount(), 1);
    EXPECT_EQ(h.player->playPosition(), 15);

    h.frame.clearRecords();
    h.output->setFreeRunning(true);
    h.player->playToEnd();
    EXPECT_EQ(h.frame.logLines(LogLevel::Normal), std::vector<std::string>{startLine(15)});
    ASSERT_TRUE(h.runUntilStopped());
    expectRun(h, 15, 15, frames);
}

TEST(Player, ACursorMoveDuringPlaybackPlaysTheQueuedAudioFirst) {
    PlayerHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(12);
    ASSERT_TRUE(h.output->waitForPlayed(12));
    ASSERT_TRUE(h.output->waitForQuiet());

    h.player->moveCursorTo(200);
    EXPECT_TRUE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isPaused());
    EXPECT_EQ(h.player->playPosition(), 200);

    h.output->release(13);
    ASSERT_TRUE(h.output->waitForPlayed(25));
    ASSERT_TRUE(h.output->waitForQuiet());
    const auto played = h.output->playedBuffers();
    for (int frame = 2; frame < 12; ++frame) {
        EXPECT_EQ(played[static_cast<std::size_t>(10 + frame)], h.framePcm(frame)) << frame;
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(played[static_cast<std::size_t>(22 + i)], h.framePcm(200 + i)) << 200 + i;
    }
    EXPECT_EQ(h.player->playPosition(), 213);
    h.player->stop();
}

TEST(Player, MovingTheCursorGivesTheReaderStateOfReadingThere) {
    PlayerHarness h;
    const auto path = fixture("ten-seconds.mp3");
    h.load(path);
    const int frames = h.document.frameCount();
    for (const int target : {1, 200, 50, 0, frames - 1, 300, frames, frames + 7, 10, -4}) {
        SCOPED_TRACE(target);
        h.player->moveCursorTo(target);
        mp3::FrameReader expected(path);
        expected.advance(target);
        const mp3::FrameReader& cursor = h.document.m_cursor;
        EXPECT_EQ(cursor.atEnd(), expected.atEnd());
        EXPECT_EQ(cursor.frameNumber(), expected.frameNumber());
        EXPECT_EQ(cursor.header().offset, expected.header().offset);
        EXPECT_EQ(cursor.position(), expected.position());
        EXPECT_EQ(cursor.frameIndex(), expected.frameIndex());
    }
}

TEST(Player, PlayFromABreakPointPlaysToTheNextLargerBreakPoint) {
    struct Case {
        const char* name;
        BreakPointList breakPoints;
        int value;
        int firstFrame;
        int endFrame; // -1: the end of the file
    };
    const Case cases[] = {
        {"next break point", {300, 100, 200}, 100, 100, 200},
        {"last break point", {100, 300}, 300, 300, -1},
        {"duplicate", {200, 100, 100}, 100, 100, 200},
        {"value before frame 0", {100, -5}, -5, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerHarness h;
        h.load(fixture("ten-seconds.mp3"));
        const int frames = h.document.frameCount();
        h.document.replaceBreakPoints(c.breakPoints);

        h.player->playFromBreakPoint(c.value);
        EXPECT_TRUE(h.player->isPlaying());
        EXPECT_EQ(h.frame.logLines(LogLevel::Normal), std::vector<std::string>{startLine(c.firstFrame)});
        EXPECT_TRUE(std::is_sorted(h.document.m_breakPoints.begin(), h.document.m_breakPoints.end()));

        ASSERT_TRUE(h.runUntilStopped());
        EXPECT_FALSE(h.player->isPlaying());
        const int end = c.endFrame < 0 ? frames : c.endFrame;
        expectRun(h, 0, c.firstFrame, end);
        if (c.endFrame < 0) {
            EXPECT_TRUE(h.document.m_cursor.atEnd());
        } else {
            EXPECT_EQ(h.player->playPosition(), c.endFrame);
        }
    }
}

TEST(Player, PlayFromABreakPointWhilePlayingMovesThereAndStopsAtTheNext) {
    PlayerHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.document.replaceBreakPoints({250, 150});
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(12);
    ASSERT_TRUE(h.output->waitForPlayed(12));
    ASSERT_TRUE(h.output->waitForQuiet());

    h.player->playFromBreakPoint(150);
    EXPECT_EQ(h.player->playPosition(), 150);
    EXPECT_EQ(h.frame.logLines(LogLevel::Normal).size(), 1u); // no second start: the output stays open
    h.output->setFreeRunning(true);
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    // The ten frames queued before the move, then 150 up to 249.
    ASSERT_EQ(played.size(), 12u + 10u + 100u);
    EXPECT_EQ(played[21], h.framePcm(11));
    EXPECT_EQ(played[22], h.framePcm(150));
    EXPECT_EQ(played.back(), h.framePcm(249));
    EXPECT_EQ(h.player->playPosition(), 250);
}

TEST(Player, PlayEndsAtTheEndOfTheFileWhenTheCursorStartsBeyondThePlayEnd) {
    const auto path = fixture("ten-seconds.mp3");
    struct Case {
        const char* name;
        bool otherFile;
    };
    for (const Case c :
         {Case{"play end behind the cursor", false}, Case{"play end on a previous file", true}}) {
        SCOPED_TRACE(c.name);
        PlayerHarness h;
        h.load(path);
        const int frames = h.document.frameCount();
        h.document.m_playEnd = c.otherFile ? mp3::FrameReader(fixture("cbr128.mp3")).advanced(10)
                                           : h.document.m_cursor.advanced(50);
        h.player->moveCursorTo(frames - 40);
        h.player->play(); // the Play command keeps the play end
        ASSERT_TRUE(h.runUntilStopped());
        expectRun(h, 0, frames - 40, frames);
    }
}

TEST(Player, AnOutputThatCannotOpenIsLoggedAndLeavesThePlayerClosed) {
    PlayerHarness h;
    h.load(fixture("cbr128.mp3"));
    h.output->failOpen(true);

    h.player->playToEnd();
    EXPECT_EQ(h.frame.logLines(LogLevel::Normal), std::vector<std::string>{startLine(0)});
    EXPECT_EQ(h.frame.logLines(LogLevel::Error),
              std::vector<std::string>{"Failed to call function waveOutOpen!"});
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isOpen());
    h.document.replaceBreakPoints({10});
    h.player->playFromBreakPoint(10);
    EXPECT_EQ(h.frame.logLines(LogLevel::Error).size(), 2u);
    EXPECT_FALSE(h.player->isPlaying());
    h.player->stop();

    h.output->failOpen(false);
    h.player->playFromBreakPoint(10);
    EXPECT_TRUE(h.player->isPlaying());
    ASSERT_TRUE(h.runUntilStopped());
}

TEST(Player, NothingPlaysWithoutALoadedFile) {
    PlayerHarness h;
    h.player->playToEnd();
    h.player->moveCursorTo(10);
    h.player->playFromBreakPoint(3);
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_TRUE(h.frame.logLines().empty());
    EXPECT_TRUE(h.output->openedFormats().empty());
}

TEST(Player, PlayFromABreakPointIsRefusedWhileABlockSaverRuns) {
    for (const bool saveAll : {true, false}) {
        SCOPED_TRACE(saveAll ? "Save All" : "single block");
        PlayerHarness h;
        h.load(fixture("cbr128.mp3"));
        h.document.replaceBreakPoints({30, 10});
        std::promise<void> finish;
        WorkerSlot& slot = saveAll ? h.document.m_saveAllThread : h.document.m_blockThread;
        slot.start([done = finish.get_future().share()] { done.wait(); });

        h.player->playFromBreakPoint(10);
        EXPECT_EQ(h.frame.logLines(LogLevel::Error),
                  std::vector<std::string>{
                      "You can not play from a break point while separated blocks are saving ..."});
        EXPECT_EQ(h.document.m_breakPoints, (BreakPointList{30, 10}));
        EXPECT_FALSE(h.player->isPlaying());
        finish.set_value();
        slot.clear();
    }
}

TEST(Player, PlayFromABreakPointDoesNothingWhileTheAudioLockIsHeld) {
    PlayerHarness h;
    h.load(fixture("cbr128.mp3"));
    h.document.replaceBreakPoints({30, 10});
    {
        std::promise<void> held;
        std::promise<void> release;
        std::thread holder([&] {
            const std::lock_guard<std::mutex> lock(g_audioLock);
            held.set_value();
            release.get_future().wait();
        });
        held.get_future().wait();
        h.player->playFromBreakPoint(10);
        release.set_value();
        holder.join();
    }
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_TRUE(h.frame.logLines().empty());
    EXPECT_EQ(h.document.m_breakPoints, (BreakPointList{30, 10}));
}

TEST(Player, StoppingOrClosingWhilePlayingClosesTheOutputFirst) {
    PlayerHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(4);
    ASSERT_TRUE(h.output->waitForPlayed(4));

    // The open routine stops through stopPlayback, the Stop command through the stop message.
    h.document.stopPlayback();
    EXPECT_FALSE(h.player->isPlaying());
    h.document.handleMessage(UM_STOP_PLAYBACK, 0, 0);
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isOpen());
    // The queued buffers were discarded unplayed.
    EXPECT_EQ(h.output->playedCount(), 4u);

    // Closing the window: the player goes while the output still plays.
    h.player->playToEnd();
    h.output->release(3);
    ASSERT_TRUE(h.output->waitForPlayed(7));
    bool closed = false;
    h.output->setOnClose([&] { closed = true; });
    h.document.player = nullptr;
    h.player.reset();
    EXPECT_TRUE(closed);
}

namespace {

// Each frame's PCM from a decoder state of the test's own, fed the file's frames in order: what the
// player plays is checked against this, not against the cache it reads from.
std::vector<Bytes> decodeInFileOrder(const std::filesystem::path& path) {
    mp3::DecoderState decoder;
    std::vector<Bytes> frames;
    for (mp3::FrameReader reader(path); !reader.atEnd(); reader.readNext()) {
        Bytes pcm(mp3::kMaxPcmBytes);
        pcm.resize(
            decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data())
                .bytes);
        frames.push_back(std::move(pcm));
    }
    return frames;
}

// The frames played after the ten silent buffers must be the file-order decode from `from` to the end.
void expectFileOrderRun(const PlayerHarness& h, const std::vector<Bytes>& decoded, int from) {
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), Player::SOUND_BUFFER_COUNT + decoded.size() - static_cast<std::size_t>(from));
    for (std::size_t frame = static_cast<std::size_t>(from); frame < decoded.size(); ++frame) {
        ASSERT_EQ(played[Player::SOUND_BUFFER_COUNT + frame - static_cast<std::size_t>(from)], decoded[frame])
            << "frame " << frame;
    }
}

} // namespace

TEST(Player, PlayedFramesAreTheFileDecodedInOrder) {
    struct Case {
        const char* fixture;
        int from;
        bool emptyCache; // every refill has to decode, in file order from frame 0
    };
    const Case cases[] = {
        {"ten-seconds.mp3", 0, false}, {"ten-seconds.mp3", 57, false}, {"ten-seconds.mp3", 300, false},
        {"cbr128.mp3", 0, true},       {"vbr.mp3", 0, true},           {"mpeg2-mono.mp3", 0, false},
        {"mpeg25.mp3", 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " from " + std::to_string(c.from));
        const auto path = fixture(c.fixture);
        const std::vector<Bytes> decoded = decodeInFileOrder(path);
        PlayerHarness h;
        h.load(path);
        ASSERT_EQ(h.document.frameCount(), static_cast<int>(decoded.size()));
        if (c.emptyCache) {
            mp3::processDecoding().cache.clear();
        }
        h.player->moveCursorTo(c.from);
        h.player->playToEnd();
        ASSERT_TRUE(h.runUntilStopped());
        expectFileOrderRun(h, decoded, c.from);
    }
}

TEST(Player, FramesMissingFromTheCacheAreDecodedAndKept) {
    PlayerHarness h;
    const auto path = fixture("cbr128.mp3");
    h.load(path);
    const int frames = h.document.frameCount();
    mp3::processDecoding().cache.clear();
    const std::uint64_t callsBefore = mp3::decoderCallCount();

    h.player->playToEnd();
    ASSERT_TRUE(h.runUntilStopped());
    EXPECT_EQ(mp3::decoderCallCount() - callsBefore, static_cast<std::uint64_t>(frames));
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), static_cast<std::size_t>(10 + frames));
    for (int frame = 0; frame < frames; ++frame) {
        ASSERT_TRUE(mp3::processDecoding().cache.contains(path.string(), frame)) << frame;
        EXPECT_EQ(played[static_cast<std::size_t>(10 + frame)], h.framePcm(frame)) << frame;
    }
}

#ifndef _WIN32
// The refill of a frame missing from the cache waits for the decoder, which another thread holds;
// stop() is already waiting for the decoder too and gets it first. Stop then waits for the refill to
// end, so the refill must give up rather than wait on. The order is forced: each step waits until the
// thread before it sleeps on the lock.
TEST(Player, StopNeverWaitsForARefillThatWaitsForTheDecoder) {
    using namespace std::chrono_literals;
    PlayerHarness h;
    h.load(fixture("ten-seconds.mp3"));
    mp3::processDecoding().cache.clear();
    h.output->setFreeRunning(false);
    h.player->playToEnd();

    std::unique_lock<std::mutex> otherDecoder(g_audioLock);
    std::promise<long> stopperId;
    std::promise<void> stopped;
    std::thread stopper([&] {
        stopperId.set_value(testing_support::currentThreadId());
        h.player->stop();
        stopped.set_value();
    });
    ASSERT_TRUE(testing_support::waitUntilThreadSleeps(stopperId.get_future().get(), 10s));

    // The first buffer comes back while playback still runs: its refill misses the cache.
    h.output->release(1);
    ASSERT_TRUE(h.output->waitForCallbacks(1));
    // A refill that blocks sleeps here; one that keeps trying never does, and then the wait ends
    // without harm.
    testing_support::waitUntilThreadSleeps(h.output->threadId(), 300ms);
    otherDecoder.unlock();

    if (stopped.get_future().wait_for(10s) != std::future_status::ready) {
        // The threads are stuck for good: report and leave rather than hang the suite.
        ADD_FAILURE() << "stop() waited for a refill that waits for the decoder";
        std::fflush(stdout);
        std::fprintf(stderr, "stop() deadlocked with a refill\n");
        std::_Exit(1);
    }
    stopper.join();
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_FALSE(h.output->isOpen());
}
#endif
