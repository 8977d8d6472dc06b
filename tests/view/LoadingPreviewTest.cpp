#include "ViewHarness.h"

#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

const DrawParameters kParams = defaultDrawParameters();

// A wave area 400 rows high and 800 columns wide, with a load under way whose levels the test
// publishes as the loading thread would.
class LoadingPreview : public ::testing::Test {
protected:
    LoadingPreview() : harness(800, HEADER_HEIGHT + 400) { harness.startLoading(); }

    void scan(int frames, int level) {
        for (int i = 0; i < frames; ++i) {
            harness.view->m_loadingLevels.append(level);
        }
    }
    bool waveAt(const QImage& image, int x) const { return image.pixel(x, row) == rgbOf(kParams.waveColor); }
    QScrollBar* bar() { return harness.view->findChild<QScrollBar*>(); }

    ViewHarness harness;
    // A row inside a column of level 16384, away from the grid rows.
    const int row = HEADER_HEIGHT + 130;
};

TEST_F(LoadingPreview, ThePartScannedIsDrawnAndTheRestIsNot) {
    scan(300, 16384);
    QImage image = harness.render();
    // Columns off the grid columns (every 25 frames).
    for (const int x : {1, 151, 299}) {
        EXPECT_TRUE(waveAt(image, x)) << x;
    }
    for (const int x : {300, 301, 501, 799}) {
        EXPECT_EQ(image.pixel(x, row), rgbOf(kParams.backgroundColor)) << x;
    }
    EXPECT_FALSE(bar()->isEnabled());

    // More frames reach the picture and, past the width, the scroll bar.
    scan(900, 16384);
    harness.view->updateScrollBar();
    image = harness.render();
    EXPECT_TRUE(waveAt(image, 501));
    EXPECT_TRUE(waveAt(image, 799));
    EXPECT_TRUE(bar()->isEnabled());
    EXPECT_EQ(bar()->maximum(), 1200 - 800);
}

TEST_F(LoadingPreview, TheUserScrollsWithinTheFramesScanned) {
    scan(1000, 0);
    scan(200, 16384);
    harness.view->updateScrollBar();
    bar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(harness.view->scrollFrame(), 400u);
    const QImage image = harness.render();
    // Frames 400..999 are quiet, 1000..1199 loud: columns 0..599 and 600..799.
    EXPECT_FALSE(waveAt(image, 599));
    // The smoothing takes a few frames to rise to the loud level.
    EXPECT_TRUE(waveAt(image, 611));
    EXPECT_TRUE(waveAt(image, 799));
    // Nothing beyond: the end of the scan is the end of the bar.
    bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(harness.view->scrollFrame(), 400u);

    // When the load is done the view stays where the user took it.
    harness.stopLoading();
    harness.view->m_frameLevels.assign(5000, 0);
    harness.view->m_loadingLevels.clear();
    harness.view->updateScrollBar();
    EXPECT_EQ(harness.view->scrollFrame(), 400u);
}

TEST_F(LoadingPreview, MarksInTheScannedPartJoinTheListWhenTheLoadIsDone) {
    // Beyond the frames scanned: nothing.
    scan(300, 16384);
    harness.render();
    harness.doubleClick(QPoint(500, 200));
    scan(900, 16384);
    harness.view->updateScrollBar();
    harness.view->scrollTo(400);
    harness.doubleClick(QPoint(640, 200));
    EXPECT_TRUE(harness.view->m_breakPoints.empty());
    // The waiting mark is drawn where it will be: its band hides the wave in its column.
    const QImage image = harness.render();
    EXPECT_FALSE(waveAt(image, 640));
    EXPECT_TRUE(waveAt(image, 633));

    harness.stopLoading();
    harness.view->m_frameLevels.assign(1200, 16384);
    harness.view->handleMessage(UM_LOAD_DONE, 0, 0);
    EXPECT_EQ(harness.view->m_breakPoints, (BreakPointList{1040}));
    EXPECT_TRUE(harness.view->undoEdit());
    EXPECT_TRUE(harness.view->m_breakPoints.empty());
}

TEST_F(LoadingPreview, MarksOfAFailedLoadAreDropped) {
    scan(900, 16384);
    harness.view->updateScrollBar();
    harness.render();
    harness.doubleClick(QPoint(100, 200));
    harness.stopLoading();
    harness.view->handleMessage(UM_LOAD_DONE, 1, 0);
    EXPECT_TRUE(harness.view->m_breakPoints.empty());
}

} // namespace
