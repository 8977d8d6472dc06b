#include "AppTestSupport.h"
#include "MainFrameFixture.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "app/SilenceDialog.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"
#include "view/OverviewStrip.h"
#include "view/PreviewMarksPainter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <thread>

namespace {

using testing_support::fixture;

using testing_support::processEventsUntil;

template <typename T> T* child(QWidget* dialog, const char* name) {
    T* widget = dialog->findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// What the dialog showed before it was closed.
struct Shown {
    std::vector<int> preview; // the view's preview marks
    QString count;            // the dialog's count line
    bool opened = false;
};

class FindSilencesCommand : public app_test::MainFrameFixture {
protected:
    // Runs the command; `change` sets the dialog's values, then OK or Cancel closes it. The dialog
    // is not modal: it is there as soon as the command returns.
    Shown run(const std::function<void(QWidget*)>& change, bool ok) {
        Shown shown;
        frame->command(ID_FIND_SILENCES)->trigger();
        CSilenceDialog* dialog = frame->silenceDialog();
        if (dialog == nullptr) {
            return shown;
        }
        shown.opened = true;
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        change(dialog);
        shown.preview = frame->view().previewBreakPoints();
        shown.count = child<QLabel>(dialog, "Count")->text();
        QPushButton* button = child<QPushButton>(dialog, ok ? "1" : "2");
        if (button->isEnabled()) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            dialog->reject();
        }
        // The dialog deletes itself once closed.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return shown;
    }
    // The fixture's pauses are 0.3 s long: these settings find them.
    static void shortPauses(QWidget* dialog) { child<QDoubleSpinBox>(dialog, "MinSilence")->setValue(0.15); }
};

TEST_F(FindSilencesCommand, MenuItemFollowsAddMoreBreakPoints) {
    QAction* action = frame->command(ID_FIND_SILENCES);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Find &Silences ..."));
    QMenu* file = frame->menuBar()->actions().at(0)->menu();
    const QList<QAction*> items = file->actions();
    const auto at = items.indexOf(action);
    ASSERT_GT(at, 0);
    EXPECT_EQ(items.at(at - 1), frame->command(ID_MORE_BREAKPOINTS));
    frame->updateCommands();
    EXPECT_FALSE(action->isEnabled());
    load(fixture("ten-seconds.mp3"));
    EXPECT_TRUE(action->isEnabled());
}

TEST_F(FindSilencesCommand, OkAddsWhatThePreviewShowedAsOneStep) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.replaceBreakPoints({5});

    const Shown added = run(shortPauses, true);
    ASSERT_TRUE(added.opened);
    ASSERT_GE(added.preview.size(), 5u) << "the fixture pauses every second";
    EXPECT_EQ(added.count, QStringLiteral("%1 break points will be added").arg(added.preview.size()));
    EXPECT_TRUE(view.previewBreakPoints().empty());
    // Added to the list as the automatic methods add theirs: after the existing ones.
    BreakPointList merged = {5};
    merged.insert(merged.end(), added.preview.begin(), added.preview.end());
    EXPECT_EQ(view.m_breakPoints, merged);

    ASSERT_TRUE(view.undoEdit());
    EXPECT_EQ(view.m_breakPoints, BreakPointList{5}) << "one undo takes back the whole search";
    ASSERT_TRUE(view.redoEdit());
    EXPECT_EQ(view.m_breakPoints, merged);

    // Replacing the list is one step as well.
    const Shown replaced = run(
        [](QWidget* dialog) {
            shortPauses(dialog);
            child<QCheckBox>(dialog, "DeleteOriginal")->setChecked(true);
        },
        true);
    EXPECT_EQ(view.m_breakPoints, replaced.preview);
    ASSERT_TRUE(view.undoEdit());
    EXPECT_EQ(view.m_breakPoints, merged);
}

TEST_F(FindSilencesCommand, CancelLeavesTheListAndClearsThePreview) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.replaceBreakPoints({7, 3});
    const std::size_t steps = view.m_history.undoSteps();
    const Shown shown = run(
        [](QWidget* dialog) {
            shortPauses(dialog);
            child<QCheckBox>(dialog, "DeleteOriginal")->setChecked(true);
        },
        false);
    EXPECT_FALSE(shown.preview.empty());
    EXPECT_TRUE(view.previewBreakPoints().empty());
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{7, 3}));
    EXPECT_EQ(view.m_history.undoSteps(), steps);
}

TEST_F(FindSilencesCommand, NothingFoundDisablesOk) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.replaceBreakPoints({7});
    // The defaults ask for half a second; the fixture's pauses are shorter.
    frame->command(ID_FIND_SILENCES)->trigger();
    CSilenceDialog* dialog = frame->silenceDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(child<QLabel>(dialog, "Count")->text(), QStringLiteral("No silence found with these settings"));
    QPushButton* ok = child<QPushButton>(dialog, "1");
    EXPECT_FALSE(ok->isEnabled());
    // Return reaches accept() past a disabled button: it must not close or add either.
    QTest::keyClick(dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    shortPauses(dialog);
    EXPECT_TRUE(ok->isEnabled());
    child<QDoubleSpinBox>(dialog, "MinSilence")->setValue(0.5);
    EXPECT_FALSE(ok->isEnabled());
    dialog->reject();
    EXPECT_EQ(view.m_breakPoints, BreakPointList{7});
}

// The view stays live beside the dialog: scrolling, zooming and the overview work, and the overview
// shows every proposal, also those the view does not show.
TEST_F(FindSilencesCommand, ViewStaysLiveAndTheOverviewShowsEveryProposal) {
    load(fixture("ten-seconds.mp3"));
    // Narrower than the file at one frame per column.
    frame->resize(300, 500);
    frame->show();
    CChildView& view = frame->view();
    frame->command(ID_FIND_SILENCES)->trigger();
    CSilenceDialog* dialog = frame->silenceDialog();
    ASSERT_NE(dialog, nullptr);
    shortPauses(dialog);
    const std::vector<int> preview = view.previewBreakPoints();
    ASSERT_GE(preview.size(), 5u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    view.zoomToOneFramePerColumn();
    const long long shown = view.visibleFrames();
    ASSERT_LT(shown, preview.back()) << "some proposals lie beyond the view";
    // A click in the overview's right end scrolls the view there while the dialog is open.
    COverviewStrip& overview = frame->overview();
    QTest::mouseClick(&overview, Qt::LeftButton, {}, QPoint(overview.width() - 2, overview.height() / 2));
    EXPECT_GT(view.scrollFrame(), 0u);
    view.zoomToWholeFile();
    EXPECT_EQ(view.scrollFrame(), 0u);
    view.zoomToOneFramePerColumn();

    const QImage strip = overview.grab().toImage();
    const QColor ink = toQColor(PreviewMarksPainter::kColor);
    std::set<int> columns;
    for (const int frameNumber : preview) {
        columns.insert(overview.columnOf(frameNumber));
    }
    for (const int x : columns) {
        EXPECT_EQ(strip.pixelColor(x, 1), ink) << "top tick at column " << x;
        EXPECT_EQ(strip.pixelColor(x, strip.height() - 2), ink) << "bottom tick at column " << x;
        EXPECT_NE(strip.pixelColor(x, strip.height() / 2), ink) << "the middle keeps the levels at " << x;
    }
    int inked = 0;
    for (int x = 0; x < strip.width(); ++x) {
        inked += strip.pixelColor(x, 1) == ink ? 1 : 0;
    }
    EXPECT_EQ(inked, static_cast<int>(columns.size())) << "no tick where nothing is proposed";

    dialog->reject();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame->silenceDialog(), nullptr);
    EXPECT_NE(overview.grab().toImage().pixelColor(*columns.begin(), 1), ink) << "closing clears the ticks";
}

TEST_F(FindSilencesCommand, TickedDeleteCountsTheMarksThatGoAndFollowsEdits) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.replaceBreakPoints({7, 30, 60});
    frame->command(ID_FIND_SILENCES)->trigger();
    CSilenceDialog* dialog = frame->silenceDialog();
    ASSERT_NE(dialog, nullptr);
    shortPauses(dialog);
    const auto added = static_cast<qsizetype>(view.previewBreakPoints().size());
    QLabel* count = child<QLabel>(dialog, "Count");
    EXPECT_EQ(count->text(), QStringLiteral("%1 break points will be added").arg(added));
    QCheckBox* remove = child<QCheckBox>(dialog, "DeleteOriginal");
    EXPECT_FALSE(remove->isChecked());
    remove->setChecked(true);
    EXPECT_EQ(
        count->text(),
        QStringLiteral("%1 break points will be added, 3 existing break points will be deleted").arg(added));
    // An edit in the view while the dialog is open: the count follows at the next idle.
    view.removeBreakPoint(30);
    view.removeBreakPoint(60);
    frame->updateCommands();
    EXPECT_EQ(
        count->text(),
        QStringLiteral("%1 break points will be added, 1 existing break point will be deleted").arg(added));
    dialog->reject();
}

// A load or an edit underneath the open dialog: OK never applies what was found before it.
TEST_F(FindSilencesCommand, NeverAppliesAResultOfAnotherFile) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    frame->command(ID_FIND_SILENCES)->trigger();
    QPointer<CSilenceDialog> dialog = frame->silenceDialog();
    ASSERT_NE(dialog, nullptr);
    shortPauses(dialog);
    const std::vector<int> first = view.previewBreakPoints();
    ASSERT_FALSE(first.empty());

    // Another file loads while the dialog is open: the preview is found again for it.
    load(fixture("silences.mp3"));
    ASSERT_TRUE(dialog);
    SilenceSettings settings = dialog->options().settings;
    const std::vector<int> second = view.findSilences(settings).breakPoints;
    ASSERT_NE(second, first);
    EXPECT_EQ(view.previewBreakPoints(), second);
    EXPECT_EQ(dialog->found().breakPoints, second);

    // An edit the dialog has not seen yet (no idle since): OK refuses once, shows the new state and
    // stays open; the next OK adds.
    view.replaceBreakPoints({3});
    const int linesBefore = frame->outputPane().list().count();
    dialog->accept();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(view.m_breakPoints, BreakPointList{3});
    // The newest line is at the top.
    ASSERT_EQ(frame->outputPane().list().count(), linesBefore + 1);
    QListWidgetItem* refusal = frame->outputPane().list().item(0);
    EXPECT_EQ(refusal->data(Qt::UserRole).toInt(), static_cast<int>(LogLevel::Error));

    QTest::mouseClick(child<QPushButton>(dialog, "1"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    BreakPointList expected{3};
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(view.m_breakPoints, expected);
}

// Many marks at once: one summary line in the log instead of one per mark.
TEST_F(FindSilencesCommand, AddingLogsOneSummaryLine) {
    load(fixture("ten-seconds.mp3"));
    const int before = frame->outputPane().list().count();
    const Shown added = run(shortPauses, true);
    ASSERT_GE(added.preview.size(), 5u);
    QStringList lines;
    // The newest lines are at the top.
    for (int i = 0; i < frame->outputPane().list().count() - before; ++i) {
        lines << frame->outputPane().list().item(i)->text();
    }
    EXPECT_EQ(lines.filter(QStringLiteral("Break point has been added at")).size(), 0)
        << lines.join('\n').toStdString();
    EXPECT_EQ(
        lines.filter(QStringLiteral(" - %1 break points have been added").arg(added.preview.size())).size(),
        1)
        << lines.join('\n').toStdString();
}

TEST_F(FindSilencesCommand, TheCommandAgainRaisesTheOpenDialog) {
    load(fixture("ten-seconds.mp3"));
    frame->command(ID_FIND_SILENCES)->trigger();
    CSilenceDialog* dialog = frame->silenceDialog();
    ASSERT_NE(dialog, nullptr);
    frame->command(ID_FIND_SILENCES)->trigger();
    EXPECT_EQ(frame->silenceDialog(), dialog);
    EXPECT_EQ(frame->findChildren<CSilenceDialog*>().size(), 1);
    dialog->reject();
}

TEST_F(FindSilencesCommand, OkRemembersTheValuesAndCancelDoesNot) {
    load(fixture("ten-seconds.mp3"));
    run(
        [](QWidget* dialog) {
            child<QDoubleSpinBox>(dialog, "Threshold")->setValue(-35.5);
            child<QDoubleSpinBox>(dialog, "MinSilence")->setValue(0.2);
            child<QComboBox>(dialog, "Cut")->setCurrentIndex(2);
            child<QDoubleSpinBox>(dialog, "MinPiece")->setValue(1.5);
            child<QCheckBox>(dialog, "TracksCheck")->setChecked(true);
            child<QSpinBox>(dialog, "Tracks")->setValue(4);
            child<QCheckBox>(dialog, "DeleteOriginal")->setChecked(true);
        },
        true);
    const auto expectShown = [](QWidget* dialog) {
        EXPECT_EQ(child<QDoubleSpinBox>(dialog, "Threshold")->value(), -35.5);
        EXPECT_EQ(child<QDoubleSpinBox>(dialog, "MinSilence")->value(), 0.2);
        EXPECT_EQ(child<QComboBox>(dialog, "Cut")->currentIndex(), 2);
        EXPECT_EQ(child<QDoubleSpinBox>(dialog, "MinPiece")->value(), 1.5);
        EXPECT_TRUE(child<QCheckBox>(dialog, "TracksCheck")->isChecked());
        EXPECT_EQ(child<QSpinBox>(dialog, "Tracks")->value(), 4);
        // Emptying the list is never remembered: it starts unticked every time.
        EXPECT_FALSE(child<QCheckBox>(dialog, "DeleteOriginal")->isChecked());
    };
    // A new window reads them from the settings; a cancelled change is not kept.
    frame = std::make_unique<CMainFrame>(&prompts, std::make_unique<PacedSoundOutput>());
    load(fixture("ten-seconds.mp3"));
    EXPECT_TRUE(run(
                    [&](QWidget* dialog) {
                        expectShown(dialog);
                        child<QDoubleSpinBox>(dialog, "Threshold")->setValue(-60.0);
                    },
                    false)
                    .opened);
    EXPECT_TRUE(run(expectShown, false).opened);
    QSettings settings = app_test::programSettings();
    EXPECT_EQ(settings.value(QStringLiteral("Silence/ThresholdDb")).toDouble(), -35.5);
}

} // namespace
