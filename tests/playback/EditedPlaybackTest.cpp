#include "PlayerHarness.h"

#include "playback/PlayRange.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::fixture;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSilentStart(Player::kStartLength, 0);

// The frames from..to-1, in order.
std::vector<int> framesOf(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> frames;
    for (const auto& [from, to] : ranges) {
        for (int frame = from; frame < to; ++frame) {
            frames.push_back(frame);
        }
    }
    return frames;
}

// Everything played must be the ten silent buffers and then exactly `frames`' PCM, in that order.
void expectPlayed(const PlayerHarness& h, const std::vector<int>& frames) {
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), Player::SOUND_BUFFER_COUNT + frames.size());
    for (std::size_t i = 0; i < Player::SOUND_BUFFER_COUNT; ++i) {
        EXPECT_EQ(played[i], kSilentStart) << "silent buffer " << i;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(played[Player::SOUND_BUFFER_COUNT + i], h.framePcm(frames[i]))
            << "buffer " << Player::SOUND_BUFFER_COUNT + i << " should be frame " << frames[i];
    }
}

std::string startLine(int frame) {
    return "Player now is playing mp3 from frame " + std::to_string(frame) + " F";
}

struct EditedPlayer : ::testing::Test {
    void SetUp() override {
        h.load(fixture("ten-seconds.mp3"));
        frames = h.document.frameCount();
        ASSERT_GT(frames, 300);
    }
    PlayerHarness h;
    int frames = 0;
};

} // namespace

TEST_F(EditedPlayer, SpaceSkipsRemovedBlocksAndStartsOnTheNextKeptFrame) {
    struct Case {
        const char* name;
        BreakPointList breakPoints;
        std::vector<int> removed; // block numbers
        int cursor;
        std::vector<int> heard;
    };
    const int f = frames;
    const std::vector<Case> cases = {
        {"middle block", {100, 150}, {1}, 0, framesOf({{0, 100}, {150, f}})},
        {"two blocks, one frame apart",
         {40, 41, 42, 90},
         {1, 3},
         30,
         framesOf({{30, 40}, {41, 42}, {90, f}})},
        {"one-frame block", {60, 61}, {1}, 55, framesOf({{55, 60}, {61, f}})},
        {"cursor on a removed block", {100, 150}, {1}, 120, framesOf({{150, f}})},
        {"first block", {30}, {0}, 0, framesOf({{30, f}})},
        {"last block", {200}, {1}, 150, framesOf({{150, 200}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerHarness run;
        run.load(fixture("ten-seconds.mp3"));
        run.document.replaceBreakPoints(c.breakPoints);
        for (const int block : c.removed) {
            ASSERT_TRUE(run.document.removeBlock(block));
        }
        run.player->moveCursorTo(c.cursor);
        run.frame.clearRecords();
        run.player->playToEnd();
        EXPECT_EQ(run.frame.logLines(LogLevel::Normal), std::vector<std::string>{startLine(c.heard.front())});
        ASSERT_TRUE(run.runUntilStopped());
        expectPlayed(run, c.heard);
        EXPECT_TRUE(run.document.m_cursor.atEnd());
    }
}

TEST_F(EditedPlayer, NothingKeptAfterTheCursorPlaysNothing) {
    h.document.replaceBreakPoints({200});
    ASSERT_TRUE(h.document.removeBlock(1));
    h.player->moveCursorTo(250);
    h.frame.clearRecords();
    h.player->playToEnd();
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_TRUE(h.output->openedFormats().empty());
    EXPECT_TRUE(h.frame.logLines().empty());
}

TEST_F(EditedPlayer, PlayFromABreakPointStopsAtTheNextOneWhenARemovedBlockFollows) {
    // Without the stop on the play end inside the skipped stretch it would play on to the end.
    h.document.replaceBreakPoints({100, 200, 300});
    ASSERT_TRUE(h.document.removeBlock(2));
    h.player->playFromBreakPoint(100);
    ASSERT_TRUE(h.runUntilStopped());
    expectPlayed(h, framesOf({{100, 200}}));
}

TEST_F(EditedPlayer, PlayAroundPlaysTheJunctionCountedAlongTheEditedStream) {
    h.document.replaceBreakPoints({100, 150, 160, 170});
    ASSERT_TRUE(h.document.removeBlock(1)); // 100..150
    ASSERT_TRUE(h.document.removeBlock(3)); // 160..170
    // Twenty kept frames each side of the break point at 150: 80..100 before it, then 150..160 and
    // 170..180 after it.
    ASSERT_TRUE(h.player->playAround(150, 20));
    EXPECT_EQ(h.frame.logLines(LogLevel::Normal).back(), startLine(80));
    ASSERT_TRUE(h.runUntilStopped());
    expectPlayed(h, framesOf({{80, 100}, {150, 160}, {170, 180}}));
}

TEST_F(EditedPlayer, AnEditMadeWhilePlayingIsHeardFromTheNextRefill) {
    h.document.replaceBreakPoints({100, 200});
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(30);
    ASSERT_TRUE(h.output->waitForPlayed(30));
    ASSERT_TRUE(h.output->waitForQuiet());
    // The cursor is at 30; the block 100..200 goes while playing.
    ASSERT_TRUE(h.document.removeBlock(1));
    h.player->followEdits();
    h.output->setFreeRunning(true);
    h.output->release(1);
    ASSERT_TRUE(h.runUntilStopped());
    expectPlayed(h, framesOf({{0, 100}, {200, frames}}));
}

TEST_F(EditedPlayer, ACtrlClickOntoARemovedBlockGoesOnAtTheNextKeptFrame) {
    h.document.replaceBreakPoints({100, 200});
    ASSERT_TRUE(h.document.removeBlock(1));
    h.output->setFreeRunning(false);
    h.player->playToEnd();
    h.output->release(10);
    ASSERT_TRUE(h.output->waitForPlayed(10));
    ASSERT_TRUE(h.output->waitForQuiet());
    h.player->moveCursorTo(150);
    h.output->release(12);
    ASSERT_TRUE(h.output->waitForPlayed(22));
    ASSERT_TRUE(h.output->waitForQuiet());
    const auto played = h.output->playedBuffers();
    // The ten queued before the move (frames 0..9), then 200 and 201: nothing of 150..199.
    EXPECT_EQ(played[19], h.framePcm(9));
    EXPECT_EQ(played[20], h.framePcm(200));
    EXPECT_EQ(played[21], h.framePcm(201));
    h.player->stop();
}

TEST(PlayRange, EditedPositionsAndPlayAroundByHand) {
    // Kept: 0..10, 20..30, 40..50 of 50 frames (blocks 1 and 3 removed).
    const std::vector<EditedRange> stream = {{0, 0, 10, {}}, {2, 20, 30, {}}, {4, 40, 50, {}}};
    struct Position {
        int frame;
        int position;
    };
    for (const Position p : {Position{0, 0},
                             {9, 9},
                             {10, 10},
                             {15, 10},
                             {20, 10},
                             {25, 15},
                             {35, 20},
                             {40, 20},
                             {49, 29},
                             {50, 30}}) {
        EXPECT_EQ(editedPositionOf(stream, p.frame), p.position) << "frame " << p.frame;
    }
    struct Source {
        int position;
        int frame;
    };
    for (const Source s :
         {Source{0, 0}, {9, 9}, {10, 20}, {19, 29}, {20, 40}, {29, 49}, {30, 50}, {99, 50}, {-3, 0}}) {
        EXPECT_EQ(sourceFrameAt(stream, s.position, 50), s.frame) << "position " << s.position;
    }
    struct Around {
        int breakPoint;
        int each;
        PlayRange range;
    };
    for (const Around a : {Around{20, 3, {7, 23}},
                           {10, 3, {7, 23}},
                           {15, 3, {7, 23}},
                           {2, 5, {0, 7}},
                           {40, 5, {25, 45}},
                           {48, 5, {43, 50}},
                           {50, 4, {46, 50}},
                           {20, 0, {20, 20}}}) {
        EXPECT_EQ(playAroundRange(stream, 50, a.breakPoint, a.each), a.range)
            << "break point " << a.breakPoint << " each " << a.each;
    }
    EXPECT_EQ(playAroundRange({}, 50, 20, 5), (PlayRange{50, 50}));
}
