#include "ViewHarness.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class Scrolling : public ::testing::Test {
protected:
    Scrolling() : harness(800, 400) {}

    CChildView& view() { return *harness.view; }
    QScrollBar* bar() { return view().findChild<QScrollBar*>(); }
    void wheel(int delta) {
        const QPoint p(100, 100);
        QWheelEvent event(QPointF(p), QPointF(view().mapToGlobal(p)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view(), &event);
    }

    ViewHarness harness;
};

TEST_F(Scrolling, PullBackAndPageOperations) {
    harness.setLevels(std::vector<int>(5000, 0));
    view().m_scrollFrame = 4500;
    view().updateScrollBar();
    EXPECT_EQ(view().scrollFrame(), 4200u);
    EXPECT_EQ(bar()->value(), 4200);
    EXPECT_TRUE(bar()->isEnabled());

    struct Case {
        std::uint32_t from;
        void (CChildView::*operation)();
        std::uint32_t to;
    };
    const Case cases[] = {
        {0, &CChildView::scrollPageRight, 800},     {3500, &CChildView::scrollPageRight, 4200},
        {3399, &CChildView::scrollPageRight, 4199}, {900, &CChildView::scrollPageLeft, 100},
        {800, &CChildView::scrollPageLeft, 0},      {0, &CChildView::scrollLineLeft, 0},
        {7, &CChildView::scrollLineLeft, 6},        {4200, &CChildView::scrollLineRight, 4200},
        {4199, &CChildView::scrollLineRight, 4200}, {1234, &CChildView::scrollToStart, 0},
        {0, &CChildView::scrollToEnd, 4200},
    };
    for (const Case& c : cases) {
        view().m_scrollFrame = c.from;
        (view().*c.operation)();
        EXPECT_EQ(view().scrollFrame(), c.to) << "from " << c.from;
    }
}

TEST_F(Scrolling, KeysScrollAndUpdateTheBar) {
    harness.setLevels(std::vector<int>(5000, 0));
    struct Case {
        std::uint32_t from;
        Qt::Key key;
        std::uint32_t to;
    };
    for (const Case& c :
         {Case{0, Qt::Key_PageDown, 800}, Case{3500, Qt::Key_PageDown, 4200}, Case{900, Qt::Key_PageUp, 100},
          Case{100, Qt::Key_End, 4200}, Case{3000, Qt::Key_Home, 0}, Case{4200, Qt::Key_Right, 4200},
          Case{0, Qt::Key_Left, 0}, Case{10, Qt::Key_Right, 11}, Case{10, Qt::Key_Up, 10}}) {
        view().m_scrollFrame = c.from;
        harness.keyRelease(c.key);
        EXPECT_EQ(view().scrollFrame(), c.to) << "key " << c.key << " from " << c.from;
        EXPECT_EQ(bar()->value(), static_cast<int>(c.to));
    }
}

TEST_F(Scrolling, WideningAtTheEndKeepsTheLastFrameAtTheRightEdge) {
    harness.setLevels(std::vector<int>(5000, 0));
    view().m_scrollFrame = 4200;
    const int barHeight = view().height() - view().clientArea().height();
    view().resize(1000, 400 + barHeight);
    QApplication::processEvents();
    EXPECT_EQ(view().clientArea().width(), 1000);
    EXPECT_EQ(view().scrollFrame(), 4000u);
}

TEST_F(Scrolling, WheelScrolls120FramesPerNotchWithinTheFile) {
    harness.setLevels(std::vector<int>(5000, 0));
    view().m_scrollFrame = 1000;
    wheel(120); // away from the user: towards the start
    EXPECT_EQ(view().scrollFrame(), 880u);
    wheel(-240);
    EXPECT_EQ(view().scrollFrame(), 1120u);
    view().m_scrollFrame = 50;
    wheel(120);
    EXPECT_EQ(view().scrollFrame(), 0u);
    view().m_scrollFrame = 4150;
    wheel(-120);
    EXPECT_EQ(view().scrollFrame(), 4200u);
    EXPECT_EQ(bar()->value(), 4200);
    // Nothing while loading.
    harness.startLoading();
    wheel(120);
    EXPECT_EQ(view().scrollFrame(), 4200u);
}

TEST_F(Scrolling, EverythingFitsNothingScrolls) {
    harness.setLevels(std::vector<int>(500, 0));
    EXPECT_FALSE(bar()->isEnabled());
    EXPECT_TRUE(bar()->isVisible());
    wheel(-120);
    EXPECT_EQ(view().scrollFrame(), 0u);
    view().scrollToEnd();
    EXPECT_EQ(view().scrollFrame(), 0u);
    view().scrollPageRight();
    EXPECT_EQ(view().scrollFrame(), 0u);
}

TEST_F(Scrolling, ScrollBarRequestsMapToTheOperations) {
    harness.setLevels(std::vector<int>(5000, 0));
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view().scrollFrame(), 800u);
    EXPECT_EQ(bar()->value(), 800);
    bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view().scrollFrame(), 801u);
    bar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view().scrollFrame(), 4200u);
    bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(view().scrollFrame(), 3400u);
    bar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(view().scrollFrame(), 0u);
}

TEST_F(Scrolling, LoadingDisablesTheBarAndKeepsThePosition) {
    harness.setLevels(std::vector<int>(5000, 0));
    view().m_scrollFrame = 1000;
    view().updateScrollBar();
    harness.startLoading();
    view().updateScrollBar();
    EXPECT_FALSE(bar()->isEnabled());
    EXPECT_EQ(bar()->maximum(), 0);
    EXPECT_EQ(view().scrollFrame(), 1000u);
}

TEST_F(Scrolling, PointerFrameIsClampedToTheFile) {
    harness.setLevels(std::vector<int>(5000, 0));
    struct Case {
        std::uint32_t scroll;
        int x;
        int frame;
    };
    for (const Case& c : {Case{0, -50, 0}, Case{1000, -50, 950}, Case{1000, -1200, 0}, Case{1000, 30, 1030},
                          Case{4200, 799, 4999}, Case{4200, 900, 5000}, Case{4200, 5000, 5000}}) {
        view().m_scrollFrame = c.scroll;
        harness.pointAt(QPoint(c.x, 100));
        EXPECT_EQ(view().pointerFrame(), c.frame) << c.scroll << " + " << c.x;
    }
    harness.startLoading();
    EXPECT_EQ(view().pointerFrame(), -1);
    harness.stopLoading();
    harness.setLevels({});
    EXPECT_EQ(view().pointerFrame(), -1);
}

} // namespace
