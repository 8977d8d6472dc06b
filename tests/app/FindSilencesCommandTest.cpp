#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using testing_support::fixture;

bool processEventsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

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

class FindSilencesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        app_test::resetUserState();
        frame = std::make_unique<CMainFrame>(&prompts, std::make_unique<PacedSoundOutput>());
    }
    void load(const std::filesystem::path& path) {
        frame->openFile(QString::fromStdString(path.string()));
        ASSERT_TRUE(processEventsUntil([&] { return !frame->view().m_loadThread.isSet(); }));
        frame->updateCommands();
    }
    // Runs the command; `change` sets the dialog's values, then OK or Cancel closes it.
    Shown run(const std::function<void(QWidget*)>& change, bool ok) {
        Shown shown;
        app_test::whenModal([&](QWidget* dialog) {
            shown.opened = true;
            change(dialog);
            shown.preview = frame->view().previewBreakPoints();
            shown.count = child<QLabel>(dialog, "Count")->text();
            QTest::mouseClick(child<QPushButton>(dialog, ok ? "1" : "2"), Qt::LeftButton);
        });
        frame->command(ID_FIND_SILENCES)->trigger();
        app_test::cancelWhenModal();
        return shown;
    }
    // The fixture's pauses are 0.3 s long: these settings find them.
    static void shortPauses(QWidget* dialog) { child<QDoubleSpinBox>(dialog, "MinSilence")->setValue(0.15); }

    app_test::RecordingShellPrompts prompts;
    std::unique_ptr<CMainFrame> frame;
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

TEST_F(FindSilencesCommand, NothingFoundIsALevelTwoLine) {
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.replaceBreakPoints({7});
    // The defaults ask for half a second; the fixture's pauses are shorter.
    const Shown shown = run([](QWidget*) {}, true);
    EXPECT_TRUE(shown.preview.empty());
    EXPECT_EQ(shown.count, QStringLiteral("No silence found with these settings"));
    EXPECT_EQ(view.m_breakPoints, BreakPointList{7});
    QListWidgetItem* line = frame->outputPane().list().item(0);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->text().endsWith(QStringLiteral(" - No silence found with these settings")))
        << line->text().toStdString();
    EXPECT_EQ(line->data(Qt::UserRole).toInt(), static_cast<int>(LogLevel::Error));
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
        EXPECT_TRUE(child<QCheckBox>(dialog, "DeleteOriginal")->isChecked());
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
