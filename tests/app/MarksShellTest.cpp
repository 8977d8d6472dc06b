#include "AppTestSupport.h"
#include "MainFrameFixture.h"

#include "app/AddBreakPointDialog.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/WindowTitle.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"
#include "view/TimePane.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using app_test::RecordingShellPrompts;

using testing_support::processEventsUntil;

class MarksShell : public app_test::MainFrameFixture {};

TEST(WindowTitle, NamesTheFileFirstAndTheProgramLast) {
    EXPECT_EQ(windowTitleFor({}), QStringLiteral("Kerfline 4.0"));
    EXPECT_EQ(windowTitleFor("/music/shows/show.mp3"), QStringLiteral("show.mp3 \u2014 Kerfline 4.0"));
    EXPECT_EQ(windowTitleFor("relative/Ünïcode name.MP3"),
              QStringLiteral("Ünïcode name.MP3 \u2014 Kerfline 4.0"));
}

TEST_F(MarksShell, TheCaptionNamesTheLoadedFile) {
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Kerfline 4.0"));
    load(testing_support::fixture("ten-seconds.mp3"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("ten-seconds.mp3 \u2014 Kerfline 4.0"));
}

TEST_F(MarksShell, ZoomItemsAreDisabledAtTheirLimits) {
    CChildView& view = frame->view();
    frame->resize(900, 600);
    frame->show();
    QApplication::processEvents();
    view.m_frameLevels.assign(50'000, 100);
    view.m_loaded = true;
    view.updateScrollBar();
    frame->updateCommands();
    const int whole = view.maxFramesPerColumn();
    ASSERT_GT(whole, 8);
    // After each command: whether Zoom In, Zoom Out, Whole File and One Frame are enabled.
    const struct {
        int id;
        int framesPerColumn;
        bool in, out, wholeFile, oneFrame;
    } steps[] = {
        {ID_ZOOM_OUT, 2, true, true, true, true},
        {ID_ZOOM_IN, 1, false, true, true, false},
        {ID_ZOOM_WHOLE_FILE, whole, true, false, false, true},
        {ID_ZOOM_ONE_FRAME, 1, false, true, true, false},
    };
    const int ids[] = {ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_WHOLE_FILE, ID_ZOOM_ONE_FRAME};
    EXPECT_FALSE(frame->command(ID_ZOOM_IN)->isEnabled());
    EXPECT_FALSE(frame->command(ID_ZOOM_ONE_FRAME)->isEnabled());
    for (const auto& step : steps) {
        frame->command(step.id)->trigger();
        ASSERT_EQ(view.m_framesPerColumn, step.framesPerColumn) << step.id;
        const bool expected[] = {step.in, step.out, step.wholeFile, step.oneFrame};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(frame->command(ids[i])->isEnabled(), expected[i])
                << "after " << step.id << ": " << ids[i];
        }
    }
    // A file that fits the view at one frame per column has nothing to zoom.
    view.m_frameLevels.assign(300, 100);
    view.updateScrollBar();
    frame->updateCommands();
    for (const int id : ids) {
        EXPECT_FALSE(frame->command(id)->isEnabled()) << id;
    }
}

TEST_F(MarksShell, TheProgressBarLeavesTheTimePaneReadable) {
    load(testing_support::fixture("ten-seconds.mp3"));
    for (const int width : {1200, 900, 760}) {
        frame->resize(width, 500);
        frame->show();
        frame->timePane().refresh();
        frame->handleMessage(UM_PROGRESS_SHOW, 1, 0);
        QApplication::processEvents();
        const QProgressBar& bar = frame->progressBar();
        const CTimePane& pane = frame->timePane();
        ASSERT_FALSE(pane.text().isEmpty());
        ASSERT_TRUE(bar.isVisible());
        const QRect barRect(bar.mapToGlobal(QPoint(0, 0)), bar.size());
        const QRect paneRect(pane.mapToGlobal(QPoint(0, 0)), pane.size());
        EXPECT_FALSE(barRect.intersects(paneRect))
            << width << ": bar " << barRect.x() << "+" << barRect.width() << ", pane " << paneRect.x() << "+"
            << paneRect.width();
        frame->handleMessage(UM_PROGRESS_SHOW, 0, 0);
    }
}

// Times on a file of 44.1 kHz frames of 1152 samples whose frame 0 is an Info frame: frame k starts
// (k - 1) x 1152 / 44100 s in.
TEST(AddBreakPointDialog, TakesFramesAndTimes) {
    const FrameTimeline timeline{44100, 1152, 1, 400'000};
    const struct {
        const char* typed;
        int frame; // -1000: refused
    } cases[] = {
        {"120", 120},          {" 120 ", 120},  {"-40", -40}, // a bare integer is a frame, taken as typed
        {"45962f", 45962},                                    // a frame by its unit
        {"45962F", 45962},     {"62.5s", 2394}, // 62.4849 s and 62.5110 s start frames 2393 and 2394
        {"1:02:03.5", 142541},                  // 3723.4939 s and 3723.5200 s start frames 142541 and 142542
        {"1:02.5", 2394},      {"0:00", 0},     {"62.5", -1000}, // a fraction without a unit is neither
        {"1:75", -1000},       {"abc", -1000},  {"", -1000},
    };
    for (const auto& c : cases) {
        RecordingShellPrompts prompts;
        CAddBreakPointDialog dialog(7, 399'999, prompts, nullptr, timeline);
        dialog.show();
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("1006"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromLatin1(c.typed));
        dialog.accept();
        if (c.frame == -1000) {
            EXPECT_TRUE(dialog.isVisible()) << c.typed;
            ASSERT_EQ(prompts.boxes.size(), 1u) << c.typed;
        } else {
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.typed;
            EXPECT_EQ(dialog.frame(), c.frame) << c.typed;
            EXPECT_TRUE(prompts.boxes.empty()) << c.typed;
        }
    }
    // Without a loaded file's timeline a time has no frame.
    RecordingShellPrompts prompts;
    CAddBreakPointDialog dialog(7, 100, prompts);
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("1006"))->setText(QStringLiteral("62.5s"));
    dialog.accept();
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

} // namespace
