#include "ViewHarness.h"

#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/OverviewStrip.h"
#include "view/PlayFollower.h"
#include "view/RemovedBlocksPainter.h"
#include "view/SelectedBlock.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const QRgb kHatch = rgbOf(RemovedBlocksPainter::kHatchColor);
const DrawParameters kParams = defaultDrawParameters();

int hatchPixels(const QImage& image, int left, int right, int top, int bottom) {
    int count = 0;
    for (int x = left; x < right; ++x) {
        for (int y = top; y < bottom; ++y) {
            count += image.pixel(x, y) == kHatch ? 1 : 0;
        }
    }
    return count;
}

bool columnsEqual(const QImage& a, const QImage& b, int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
        if (a.pixel(x, y) != b.pixel(x, y)) {
            return false;
        }
    }
    return true;
}

using testing_support::processEventsUntil;

} // namespace

TEST(RemovedBlocks, StretchesAreTheGapsOfTheEditedStream) {
    const std::vector<EditedRange> stream = {{1, 10, 20, {}}, {3, 30, 40, {}}};
    EXPECT_EQ(removedStretches(stream, 50), (std::vector<RemovedStretch>{{0, 10}, {20, 30}, {40, 50}}));
    EXPECT_EQ(removedStretches({{0, 0, 50, {}}}, 50), std::vector<RemovedStretch>{});
    EXPECT_EQ(removedStretches({}, 50), (std::vector<RemovedStretch>{{0, 50}}));
}

// Dimmed and hatched over the removed block's columns only, at one and at four frames per column; the
// marks and the rest of the picture are as without the edit.
TEST(RemovedBlocks, DimmedAndHatchedWithTheirMarksLeftAsTheyWere) {
    for (const int perColumn : {1, 4}) {
        SCOPED_TRACE(perColumn);
        ViewHarness harness(400, HEADER_HEIGHT + 80);
        harness.setLevels(std::vector<int>(static_cast<std::size_t>(400 * perColumn), 20000));
        harness.view->zoomTo(perColumn, 0);
        harness.view->replaceBreakPoints({100 * perColumn, 200 * perColumn});
        const QImage without = harness.render();
        ASSERT_TRUE(harness.view->removeBlock(1));
        const QImage with = harness.render();
        const int top = HEADER_HEIGHT;
        const int bottom = with.height();

        // The removed columns (clear of the marks' lines): hatch lines, and the wave dimmed beneath.
        EXPECT_GT(hatchPixels(with, 104, 197, top, bottom), 200);
        const int middle = top + (bottom - top) / 2 - 5; // a wave row off the middle line
        const QRgb wave = rgbOf(kParams.waveColor);
        ASSERT_EQ(without.pixel(160, middle), wave);
        const QRgb dimmed = with.pixel(160, middle);
        EXPECT_NE(dimmed, wave);
        EXPECT_NE(dimmed, rgbOf(kParams.backgroundColor));
        // Kept columns and both marks' lines are untouched, and so is the header band.
        EXPECT_EQ(hatchPixels(with, 0, 98, top, bottom) + hatchPixels(with, 203, 400, top, bottom), 0);
        // At one frame per column, columns 98..102 and 198..202 are the marks' lines and band. Zoomed
        // out a mark is one line in its column, behind the wave: the first removed column's line still
        // shows, as a line over the dimmed wave too.
        const int reach = perColumn == 1 ? 2 : 0;
        for (int x = 0; x < 400; ++x) {
            if (x <= 100 + reach - (perColumn == 1 ? 0 : 1) || x >= 200 - reach) {
                ASSERT_TRUE(columnsEqual(with, without, x, top + 30, bottom)) << "column " << x;
            }
        }
        if (perColumn > 1) {
            EXPECT_EQ(with.pixel(100, bottom - 1), without.pixel(100, bottom - 1));
            EXPECT_EQ(with.pixel(100, middle), without.pixel(100, bottom - 1));
        }
        EXPECT_EQ(with.copy(0, 0, 400, top), without.copy(0, 0, 400, top));

        // Restored, the picture is the one without the edit.
        ASSERT_TRUE(harness.view->restoreBlock(1));
        EXPECT_EQ(harness.render(), without);
    }
}

TEST(RemovedBlocks, TheOverviewStripShowsRemovedStretches) {
    ViewHarness harness(400, HEADER_HEIGHT + 80);
    harness.setLevels(std::vector<int>(4000, 20000));
    harness.view->replaceBreakPoints({1000, 2000});
    COverviewStrip overview(*harness.view);
    overview.resize(400, 48);
    const QImage without = overview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(harness.view->removeBlock(1));
    const QImage with = overview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Frames 1000..1999 are columns 100..199; the marks' lines at 100 and 200 are drawn over it.
    EXPECT_GT(hatchPixels(with, 101, 199, 0, 48), 100);
    EXPECT_EQ(hatchPixels(with, 0, 100, 0, 48) + hatchPixels(with, 201, 400, 0, 48), 0);
    for (int x = 0; x < 400; ++x) {
        if (x < 100 || x > 200) {
            ASSERT_TRUE(columnsEqual(with, without, x, 0, 48)) << "column " << x;
        }
    }
}

TEST(RemovedBlocks, SaveButtonRefusesARemovedBlock) {
    ViewHarness harness(800, 400);
    harness.load(testing_support::fixture("ten-seconds.mp3"));
    CChildView& view = *harness.view;
    view.replaceBreakPoints({100, 200});
    ASSERT_TRUE(view.removeBlock(1));
    harness.prompts.saveAnswer = testing_support::scratchDir("view-removed-save") / "block.mp3";
    view.viewLink().send(UM_BREAKPOINT_BUTTON, 'S', 100);
    EXPECT_FALSE(view.m_blockThread.isSet());
    EXPECT_TRUE(harness.prompts.saveFilters.empty()) << "no file is asked for";
    EXPECT_EQ(
        harness.frame.logLines(LogLevel::Error),
        std::vector<std::string>{"The block from 100 F has been removed, restore it before saving it!"});
}

TEST(SelectedBlock, TheSelectedBreakPointsBlockElseTheCursors) {
    ViewHarness harness(400, 200);
    harness.setLevels(std::vector<int>(500, 1000));
    CChildView& view = *harness.view;
    view.replaceBreakPoints({300, 100, 500});
    struct Case {
        int selected;
        int cursor;
        int block;
    };
    // Blocks: 0..99, 100..299, 300..499 (a break point at F starts none).
    for (const Case c : {Case{100, 0, 1},
                         {300, 0, 2},
                         {500, 0, 2},
                         {-1, 0, 0},
                         {-1, 150, 1},
                         {-1, 499, 2},
                         {-1, -1, -1},
                         {42, 350, 2}}) {
        view.m_selectedBreakPoint = c.selected;
        EXPECT_EQ(selectedBlock(view, c.cursor), c.block)
            << "selected " << c.selected << " cursor " << c.cursor;
    }
}

TEST(PlayFollower, TurnsThePageWhenThePlayPositionLeavesTheScreen) {
    struct Case {
        long long play;
        long long first;
        long long visible;
        std::optional<long long> to;
    };
    for (const Case c : {Case{50, 0, 100, std::nullopt},
                         {99, 0, 100, std::nullopt},
                         {100, 0, 100, 95},
                         {1000, 0, 400, 980},
                         {10, 200, 100, 5},
                         {2, 200, 100, 0},
                         {-1, 0, 100, std::nullopt}}) {
        EXPECT_EQ(followScroll(c.play, c.first, c.visible), c.to) << c.play << " from " << c.first;
    }
}

// At every zoom the view scrolls to keep the play position on the screen while playing.
TEST(PlayFollower, TheViewFollowsThePlayPosition) {
    for (const int perColumn : {1, 3}) {
        SCOPED_TRACE(perColumn);
        auto owned = std::make_unique<PacedSoundOutput>();
        PacedSoundOutput& output = *owned;
        ViewHarness harness(40, 200, std::move(owned));
        harness.load(testing_support::fixture("ten-seconds.mp3"));
        CChildView& view = *harness.view;
        view.zoomTo(perColumn, 0);
        view.scrollTo(0);
        const long long visible = view.visibleFrames();
        output.setFreeRunning(false);
        view.player().playToEnd();
        for (const int played : {60, 200, 330}) {
            output.release(played - static_cast<int>(output.playedCount()));
            ASSERT_TRUE(output.waitForPlayed(static_cast<std::size_t>(played)));
            ASSERT_TRUE(output.waitForQuiet());
            ASSERT_TRUE(processEventsUntil([&] {
                const long long at = view.player().playPosition();
                return at >= view.scrollFrame() && at < view.scrollFrame() + visible;
            })) << "played "
                << played << ", at " << view.player().playPosition() << ", view from " << view.scrollFrame();
        }
        view.player().stop();
    }
}
