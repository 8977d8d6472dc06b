#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/NormaliseDialog.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

class NormaliseCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_test::resetUserState();
        CChildView& view = frame.view();
        view.m_filePath = testing_support::fixture("ten-seconds.mp3");
        view.m_frameLevels.assign(300, 1000);
        view.m_framePeaks.assign(300, 8192); // -12 dBFS: 7 steps below full scale
        view.m_framePeaks[250] = 16384;      // -6 dBFS in the last block
        view.m_sampleRate = 44100;
        view.m_samplesPerFrame = 1152;
        view.replaceBreakPoints({100, 200});
        frame.updateCommands();
    }

    // Waits for the dialog's loudness measure, which runs on a thread of its own.
    static void waitForLoudness(CNormaliseDialog& dialog) {
        // The test's time limit ends a measure that never finishes.
        while (dialog.measuring()) {
            QTest::qWait(20);
        }
    }

    app_test::RecordingShellPrompts prompts;
    CMainFrame frame{&prompts, std::make_unique<PacedSoundOutput>()};
};

TEST_F(NormaliseCommandTest, PeakOfTheSelectedBlockOrTheWholeFileIsOneUndoStep) {
    CChildView& view = frame.view();
    ASSERT_TRUE(frame.command(ID_EDIT_NORMALISE)->isEnabled());
    EXPECT_EQ(frame.command(ID_EDIT_NORMALISE)->text(), QStringLiteral("&Normalise ..."));
    struct Case {
        const char* name;
        int selected; // break point, or -1
        bool whole;
        double targetDbfs;
        int block; // what the gain lands on, -1 every block
        int steps; // worked by hand: floor((target - peak) / 1.505)
    };
    const Case cases[] = {
        {"the default -1 dBFS on a -12 dBFS block", 100, false, -1.0, 1, 7},
        {"the whole file goes by its loudest block (-6 dBFS)", 100, true, -1.0, -1, 3},
        {"nothing selected: the whole file", -1, false, -3.0, -1, 2},
        {"lower a block", 200, false, -20.0, 2, -10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.m_selectedBreakPoint = c.selected;
        QString outcome;
        app_test::whenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<CNormaliseDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            dialog->chooseWholeFile(c.whole);
            dialog->choosePeak(c.targetDbfs);
            ASSERT_TRUE(dialog->plan());
            EXPECT_EQ(dialog->plan()->steps, c.steps);
            outcome = dialog->outcome();
            dialog->accept();
        });
        frame.command(ID_EDIT_NORMALISE)->trigger();
        EXPECT_TRUE(outcome.startsWith(QString::asprintf("Gain: %+.1f dB.", c.steps * 1.50515)))
            << outcome.toStdString();
        for (int block = 0; block < 3; ++block) {
            const bool changed = c.block < 0 || c.block == block;
            EXPECT_EQ(view.blockEdit(block).gainSteps, changed ? c.steps : 0) << block;
        }
        ASSERT_TRUE(view.undoEdit());
        for (int block = 0; block < 3; ++block) {
            EXPECT_EQ(view.blockEdit(block).gainSteps, 0) << "one undo step undoes it all";
        }
    }
}

// The loudness is measured from the decoded file as ffmpeg's EBU R128 filter measures it, on a thread:
// the dialog waits for it without blocking. It never goes past full scale unless clipping is allowed.
TEST_F(NormaliseCommandTest, LoudnessIsMeasuredOnAThreadAndStopsAtFullScale) {
    CChildView& view = frame.view();
    const std::string report = testing_support::runCommand(
        "ffmpeg -hide_banner -nostats -i '" + view.m_filePath.string() + "' -af ebur128 -f null - 2>&1");
    const auto at = report.rfind("I:");
    ASSERT_NE(at, std::string::npos) << report;
    const double ffmpegLufs = std::strtod(report.c_str() + at + 2, nullptr);
    view.m_selectedBreakPoint = -1; // the whole file: peak -6 dBFS, 4 steps to full scale
    struct Case {
        double target;
        bool allowClipping;
        bool short_;
        bool over;
    };
    for (const Case c :
         {Case{-19.0, false, false, false}, Case{-6.0, false, true, false}, Case{-6.0, true, false, true}}) {
        SCOPED_TRACE(c.target);
        int steps = 99;
        app_test::whenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<CNormaliseDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            dialog->allowClipping(c.allowClipping);
            dialog->chooseLoudness(c.target);
            waitForLoudness(*dialog);
            ASSERT_TRUE(dialog->plan());
            const mp3::GainPlan plan = *dialog->plan();
            const int wanted = static_cast<int>(std::lround((c.target - ffmpegLufs) / 1.50515));
            EXPECT_EQ(plan.steps, c.short_ ? 4 : wanted) << ffmpegLufs;
            EXPECT_EQ(plan.shortOfTargetDb > 0, c.short_);
            EXPECT_EQ(plan.overFullScaleDb > 0, c.over);
            const QString shown = dialog->outcome();
            EXPECT_TRUE(
                shown.contains(QString::asprintf("the loudness at %.1f LUFS", ffmpegLufs + plan.gainDb)) ||
                shown.contains(
                    QString::asprintf("the loudness at %.1f LUFS", ffmpegLufs + plan.gainDb + 0.1)) ||
                shown.contains(
                    QString::asprintf("the loudness at %.1f LUFS", ffmpegLufs + plan.gainDb - 0.1)))
                << shown.toStdString();
            steps = plan.steps;
            dialog->accept();
        });
        frame.command(ID_EDIT_NORMALISE)->trigger();
        EXPECT_EQ(view.blockEdit(0).gainSteps, steps);
        ASSERT_TRUE(view.undoEdit());
    }
}

} // namespace
