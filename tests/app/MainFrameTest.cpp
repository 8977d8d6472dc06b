#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "app/RecentFileList.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"
#include "view/TimePane.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <set>
#include <thread>

namespace {

using app_test::RecordingShellPrompts;

// A frame whose player can be told to play.
class TestFrame final : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    bool playing = false;
    using CMainFrame::dropEvent;

protected:
    bool isPlaying() const override { return playing; }
};

// Keeps a worker slot set, as a running thread does, until the object goes.
class RunningWorker {
public:
    explicit RunningWorker(WorkerSlot& slot) : m_slot(slot) {
        m_slot.start([released = m_release.get_future().share()] { released.wait(); });
    }
    ~RunningWorker() {
        m_release.set_value();
        m_slot.clear();
    }

private:
    WorkerSlot& m_slot;
    std::promise<void> m_release;
};

const std::vector<int> kRuleA = {ID_SAVE_ALL,          ID_SAVE_BLOCKS, ID_CONVERT_WAV, ID_ADD_BREAKPOINT,
                                 ID_CLEAR_BREAKPOINTS, ID_EDIT_GAIN,   ID_EDIT_FADE};
const std::vector<int> kRuleB = {ID_MORE_BREAKPOINTS, ID_FIND_SILENCES, ID_LOAD_BREAKPOINTS,
                                 ID_SAVE_BREAKPOINTS, ID_ID3_EDITOR,    ID_SAVE_PROJECT};
const std::vector<int> kAlways = {ID_OPEN_MP3,      ID_OPEN_PROJECT,    ID_PREFERENCES, ID_APP_EXIT,
                                  ID_VIEW_OUTPUT,   ID_VIEW_STATUS_BAR, ID_HELP_TOPICS, ID_ONLINE_HELP,
                                  ID_VISIT_WEBSITE, ID_APP_ABOUT};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    RecordingShellPrompts prompts;
};

std::set<int> enabledCommands(TestFrame& frame) {
    frame.updateCommands();
    std::set<int> enabled;
    for (const std::vector<int>* ids : {&kRuleA, &kRuleB, &kAlways}) {
        for (const int id : *ids) {
            if (frame.command(id)->isEnabled()) {
                enabled.insert(id);
            }
        }
    }
    for (const int id : {ID_PLAY, ID_STOP}) {
        if (frame.command(id)->isEnabled()) {
            enabled.insert(id);
        }
    }
    return enabled;
}

std::set<int> expected(bool ruleA, bool ruleB, bool play, bool stop) {
    std::set<int> ids(kAlways.begin(), kAlways.end());
    if (ruleA) {
        ids.insert(kRuleA.begin(), kRuleA.end());
    }
    if (ruleB) {
        ids.insert(kRuleB.begin(), kRuleB.end());
    }
    if (play) {
        ids.insert(ID_PLAY);
    }
    if (stop) {
        ids.insert(ID_STOP);
    }
    return ids;
}

TEST_F(MainFrameTest, CommandsAreEnabledByTheStateOfTheDocument) {
    TestFrame frame(&prompts);
    CChildView& view = frame.view();

    EXPECT_EQ(enabledCommands(frame), expected(false, false, false, false)) << "Empty";
    EXPECT_EQ(frame.handleMessage(UM_QUERY_LOADED, 0, 0), 0);

    {
        // A previous file's levels are still there while the next one loads.
        view.m_frameLevels = {100, 200, 300};
        RunningWorker loading(view.m_loadThread);
        EXPECT_EQ(enabledCommands(frame), expected(false, false, false, false)) << "Loading";
        EXPECT_EQ(frame.handleMessage(UM_QUERY_LOADING, 0, 0), 1);
        EXPECT_EQ(frame.handleMessage(UM_QUERY_LOADED, 0, 0), 0);
    }

    EXPECT_EQ(enabledCommands(frame), expected(true, true, true, false)) << "Ready";
    EXPECT_EQ(frame.handleMessage(UM_QUERY_LOADING, 0, 0), 0);
    EXPECT_EQ(frame.handleMessage(UM_QUERY_LOADED, 0, 0), 1);

    {
        RunningWorker saving(view.m_saveAllThread);
        EXPECT_EQ(enabledCommands(frame), expected(false, true, true, false)) << "Saving all";
    }
    {
        RunningWorker converting(view.m_wavThread);
        EXPECT_EQ(enabledCommands(frame), expected(false, true, true, false)) << "Converting";
    }
    {
        RunningWorker savingBlock(view.m_blockThread);
        EXPECT_EQ(enabledCommands(frame), expected(false, true, true, false)) << "Saving one block";
    }

    frame.playing = true;
    EXPECT_EQ(enabledCommands(frame), expected(true, true, false, true)) << "Playing";
    {
        RunningWorker saving(view.m_saveAllThread);
        EXPECT_EQ(enabledCommands(frame), expected(false, true, false, true)) << "Playing while saving";
    }
}

// Runs the GUI thread's queue until `done` holds; false after ten seconds.
using testing_support::processEventsUntil;

TEST_F(MainFrameTest, PlayAndStopDriveTheViewsPlayer) {
    auto owned = std::make_unique<PacedSoundOutput>();
    PacedSoundOutput& output = *owned;
    output.setFreeRunning(false);
    CMainFrame frame(&prompts, std::move(owned));
    CChildView& view = frame.view();
    frame.openFile(QString::fromStdString(testing_support::fixture("ten-seconds.mp3").string()));
    ASSERT_TRUE(processEventsUntil([&] { return !view.m_loadThread.isSet(); }));
    ASSERT_EQ(view.frameCount(), 385);
    // The stop position an earlier play from a break point left: the Play command keeps it.
    view.m_playEnd = view.m_cursor;
    view.m_playEnd.advance(20);

    const auto playAndStop = [&] {
        frame.updateCommands();
        return std::pair{frame.command(ID_PLAY)->isEnabled(), frame.command(ID_STOP)->isEnabled()};
    };
    EXPECT_EQ(playAndStop(), std::pair(true, false)) << "Ready";
    frame.command(ID_PLAY)->trigger();
    EXPECT_TRUE(view.player().isPlaying());
    EXPECT_EQ(playAndStop(), std::pair(false, true)) << "Playing";

    frame.command(ID_STOP)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.player().isPlaying(); }));
    EXPECT_FALSE(output.isOpen());
    EXPECT_EQ(playAndStop(), std::pair(true, false)) << "Stopped";

    output.setFreeRunning(true);
    frame.command(ID_PLAY)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.player().isPlaying(); }));
    EXPECT_EQ(view.player().playPosition(), 20);
    EXPECT_EQ(playAndStop(), std::pair(true, false)) << "Stopped by itself";
}

TEST_F(MainFrameTest, MenuCarriesTheCommandsWithTheirTextsAndPrompts) {
    TestFrame frame(&prompts);
    const std::map<int, std::pair<QString, QString>> items = {
        {ID_OPEN_MP3, {"&Open ...", "Load a mp3 file to workspace"}},
        {ID_SAVE_ALL, {"Sav&e All", "Save all separated blocks to a folder"}},
        {ID_ADD_BREAKPOINT, {"A&dd Break Point\tCtrl+A", "Add a new break point by entering frame"}},
        {ID_PLAY, {"Play\tSpace Bar", "Play mp3 file from current play indicator"}},
        {ID_STOP, {"Stop\tSpace Bar", "Stop playing"}},
        {ID_APP_EXIT, {"E&xit", "Quit Kerfline"}},
        {ID_VISIT_WEBSITE, {"&Visit Velquorn Technology Website", "Visit our website"}},
        {ID_APP_ABOUT, {"&About ...", "About Kerfline"}},
    };
    for (const auto& [id, texts] : items) {
        QAction* action = frame.command(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->text(), texts.first);
        EXPECT_EQ(action->statusTip(), texts.second);
        EXPECT_EQ(action->objectName(), QString::number(id));
    }
    EXPECT_EQ(frame.command(ID_ADD_BREAKPOINT)->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kerfline 4.0"));
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));

    // Until the first file, the submenu holds the disabled placeholder.
    const QList<QAction*> recent = frame.recentMenu().actions();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0]->text(), QStringLiteral("(no file)"));
    EXPECT_EQ(recent[0]->data().toInt(), ID_RECENT_NONE);
    frame.updateCommands();
    EXPECT_FALSE(recent[0]->isEnabled());
}

TEST_F(MainFrameTest, ProgressMessagesChangeOnlyTheNonZeroValue) {
    TestFrame frame(&prompts);
    frame.resize(800, 500);
    frame.show();
    QProgressBar& bar = frame.progressBar();
    EXPECT_TRUE(bar.isHidden());

    frame.handleMessage(UM_PROGRESS_SHOW, 1, 0);
    EXPECT_FALSE(bar.isHidden());
    EXPECT_EQ(bar.value(), 0);

    frame.handleMessage(UM_PROGRESS_SET, 0, 500);
    EXPECT_EQ(bar.maximum(), 500);
    EXPECT_EQ(bar.value(), 0);

    frame.handleMessage(UM_PROGRESS_SET, 37, 0);
    EXPECT_EQ(bar.value(), 37);
    EXPECT_EQ(bar.maximum(), 500);

    frame.handleMessage(UM_PROGRESS_SET, 0, 0);
    EXPECT_EQ(bar.value(), 37);
    EXPECT_EQ(bar.maximum(), 500);

    frame.handleMessage(UM_PROGRESS_SHOW, 0, 0);
    EXPECT_TRUE(bar.isHidden());
    frame.handleMessage(UM_PROGRESS_SHOW, 1, 0);
    EXPECT_EQ(bar.value(), 0) << "showing starts at position 0";

    // A range beyond int (a large file's size in bytes) still shows the right proportion.
    frame.handleMessage(UM_PROGRESS_SET, 3'000'000'000LL, 6'000'000'000LL);
    EXPECT_NEAR(static_cast<double>(bar.value()) / bar.maximum(), 0.5, 1e-6);

    // 300 pixels from the right edge, moved left as far as it takes to end 8 pixels before the time
    // pane, whose text it must not cover.
    const int statusHeight = frame.statusBar()->contentsRect().height();
    const int paneLeft = frame.timePane().geometry().left();
    const int left = std::min(frame.width() - 300, paneLeft - 8 - 180);
    EXPECT_EQ(bar.geometry(), QRect(left, (statusHeight - 13) / 2, 180, 13));
    frame.resize(900, 500);
    EXPECT_EQ(bar.geometry().x(), left + 100);
}

TEST_F(MainFrameTest, WorkerProgressArrivesCompleteAndInOrder) {
    TestFrame frame(&prompts);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        WindowLink& link = frame.frameLink();
        link.send(UM_PROGRESS_SHOW, 1, 0);
        link.send(UM_PROGRESS_SET, 0, 20000);
        for (int position = 1; position <= 20000; ++position) {
            link.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(position), 0);
        }
        // A message sent after the progress is handled after it.
        link.send(UM_OUTPUT_LOG, 0, reinterpret_cast<std::intptr_t>("after progress"));
        done = true;
    });
    while (!done) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    worker.join();
    QApplication::processEvents();
    EXPECT_EQ(frame.progressBar().maximum(), 20000);
    EXPECT_EQ(frame.progressBar().value(), 20000);
    EXPECT_TRUE(frame.outputPane().list().item(0)->text().endsWith(QStringLiteral(" - after progress")));
}

TEST_F(MainFrameTest, ClosingIsRefusedWhileAWorkerRuns) {
    TestFrame frame(&prompts);
    frame.show();
    frame.view().m_frameLevels = {1, 2, 3};
    {
        RunningWorker saving(frame.view().m_saveAllThread);
        EXPECT_FALSE(frame.close());
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text,
                  "Can not process, because there is a loading or saving thread is running ...");
        EXPECT_EQ(prompts.boxes[0].caption, "Error");
        EXPECT_EQ(prompts.boxes[0].icon, MessageIcon::Error);
        EXPECT_TRUE(frame.isVisible());
    }
    frame.playing = true;
    EXPECT_TRUE(frame.close()) << "playback does not keep the window open";
}

TEST_F(MainFrameTest, RecentEntryWhileBusyIsRefusedWithABoxAndAnErrorLine) {
    TestFrame frame(&prompts);
    frame.recentFiles().add(QStringLiteral("/music/a.mp3"));
    RunningWorker converting(frame.view().m_wavThread);
    frame.updateCommands();
    frame.command(1001)->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text,
              "Before you loading a new mp3 file, please make sure there is no file is loading or saving!");
    EXPECT_EQ(prompts.boxes[0].caption, "Error");
    ASSERT_GE(frame.outputPane().list().count(), 1);
    EXPECT_TRUE(frame.outputPane().list().item(0)->text().endsWith(
        QStringLiteral(" - Can't load file while the program is loading or saving file!")));
}

TEST_F(MainFrameTest, FileCommandsAskWithTheirFiltersAndNames) {
    TestFrame frame(&prompts);
    frame.view().m_frameLevels = {1, 2, 3};
    frame.view().m_filePath = "/music/live.mp3";
    frame.updateCommands();

    frame.command(ID_OPEN_MP3)->trigger();
    frame.command(ID_CONVERT_WAV)->trigger();
    frame.command(ID_LOAD_BREAKPOINTS)->trigger();
    frame.command(ID_SAVE_BREAKPOINTS)->trigger();

    ASSERT_EQ(prompts.fileRequests.size(), 4u);
    const auto& open = prompts.fileRequests[0];
    EXPECT_EQ(open.filter, "MP3 files(*.mp3)|*.mp3||");
    EXPECT_EQ(open.defaultExtension, "mp3");
    EXPECT_FALSE(open.overwrite.has_value());
    const auto& wav = prompts.fileRequests[1];
    EXPECT_EQ(wav.filter, "Wave file(*.wav)|*.wav||");
    EXPECT_EQ(wav.defaultExtension, "wav");
    EXPECT_EQ(wav.proposedName, "live.wav");
    EXPECT_EQ(wav.overwrite, ShellPrompts::Overwrite::DontAsk);
    const auto& load = prompts.fileRequests[2];
    EXPECT_EQ(load.filter, "Break Point File(*.bps)|*.bps||");
    EXPECT_EQ(load.defaultExtension, "bps");
    EXPECT_FALSE(load.overwrite.has_value());
    const auto& save = prompts.fileRequests[3];
    EXPECT_EQ(save.filter, "Break Point File(*.bps)|*.bps||");
    EXPECT_EQ(save.overwrite, ShellPrompts::Overwrite::Ask);
}

TEST_F(MainFrameTest, AddBreakPointMessageDoesNothingWhileSaving) {
    TestFrame frame(&prompts);
    frame.view().m_frameLevels = {1, 2, 3};
    RunningWorker saving(frame.view().m_saveAllThread);
    bool dialogShown = false;
    app_test::whenModal([&](QWidget* dialog) {
        dialogShown = true;
        dialog->close();
    });
    frame.handleMessage(UM_ADD_BREAKPOINT, 0, 0);
    QApplication::processEvents();
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    app_test::cancelWhenModal();
}

// A named pipe dropped on the window is refused with a box before anything opens it, so nothing blocks.
TEST_F(MainFrameTest, DroppedNamedPipeIsRefused) {
    const auto pipe = testing_support::scratchDir("drop-pipe") / "pipe.mp3";
    std::filesystem::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    TestFrame frame(&prompts);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(pipe.string()))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    frame.dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    for (int i = 0; i < 100 && prompts.boxes.empty(); ++i) {
        QTest::qWait(10); // the open runs once the drop is over
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text,
              "File \"" + pipe.string() + "\" is not a regular file and can not be opened!");
    EXPECT_FALSE(frame.view().m_loadThread.isSet());
    std::filesystem::remove(pipe);
}

// A first start, with no saved layout, docks the pane 100 pixels high; a saved layout wins afterwards.
TEST_F(MainFrameTest, OutputPaneStartsAtItsDefaultHeightUntilALayoutIsSaved) {
    {
        TestFrame frame(&prompts);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_EQ(frame.outputPane().height(), 100);
        frame.resizeDocks({&frame.outputPane()}, {180}, Qt::Vertical);
        QApplication::processEvents();
        ASSERT_EQ(frame.outputPane().height(), 180);
        frame.close();
    }
    TestFrame frame(&prompts);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(frame.outputPane().height(), 180);
}

TEST_F(MainFrameTest, ViewMenuTogglesThePaneAndTheStatusBar) {
    TestFrame frame(&prompts);
    frame.show();
    EXPECT_TRUE(frame.outputPane().isVisible());
    frame.command(ID_VIEW_OUTPUT)->trigger();
    EXPECT_FALSE(frame.outputPane().isVisible());
    EXPECT_FALSE(frame.command(ID_VIEW_OUTPUT)->isChecked());
    frame.command(ID_VIEW_OUTPUT)->trigger();
    EXPECT_TRUE(frame.outputPane().isVisible());
    EXPECT_TRUE(frame.command(ID_VIEW_OUTPUT)->isChecked());

    frame.command(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_FALSE(frame.statusBar()->isVisible());
    EXPECT_FALSE(frame.command(ID_VIEW_STATUS_BAR)->isChecked());
    frame.command(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_TRUE(frame.statusBar()->isVisible());
}

} // namespace
