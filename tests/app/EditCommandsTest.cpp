#include "AppTestSupport.h"
#include "MainFrameFixture.h"

#include "app/CommandIds.h"
#include "app/EditingSettings.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "app/SaveBlockDialog.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

namespace {

using app_test::RecordingShellPrompts;
using testing_support::fixture;
using testing_support::scratchDir;

using testing_support::processEventsUntil;

std::vector<char> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EditCommands : public app_test::MainFrameFixture {
protected:
    CChildView& view() { return frame->view(); }
    QAction& command(int id) { return *frame->command(id); }
    bool enabled(int id) {
        frame->updateCommands();
        return command(id).isEnabled();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(&view(), &release);
    }
    // The texts of the output pane's lines, oldest first, without their times.
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        const QListWidget& list = frame->outputPane().list();
        for (int row = list.count() - 1; row >= 0; --row) {
            const QString text = list.item(row)->text();
            lines.push_back(text.mid(text.indexOf(QStringLiteral(" - ")) + 3).toStdString());
        }
        return lines;
    }
    bool logged(const std::string& text) {
        const auto lines = logLines();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
};

} // namespace

TEST_F(EditCommands, EnablingFollowsTheSelectedBlock) {
    const int ids[] = {ID_REMOVE_BLOCK,       ID_KEEP_ONLY_BLOCK, ID_RESTORE_BLOCK,
                       ID_RESTORE_ALL_BLOCKS, ID_PLAY_AROUND,     ID_SAVE_EDITED_COPY};
    for (const int id : ids) {
        EXPECT_FALSE(enabled(id)) << id << " without a file";
    }
    load(fixture("ten-seconds.mp3"));
    view().replaceBreakPoints({100, 200});
    view().player().moveCursorTo(150); // block 1
    struct Expected {
        const char* state;
        bool remove, keepOnly, restore, restoreAll, playAround, save;
    };
    const auto check = [&](const Expected& e) {
        SCOPED_TRACE(e.state);
        EXPECT_EQ(enabled(ID_REMOVE_BLOCK), e.remove);
        EXPECT_EQ(enabled(ID_KEEP_ONLY_BLOCK), e.keepOnly);
        EXPECT_EQ(enabled(ID_RESTORE_BLOCK), e.restore);
        EXPECT_EQ(enabled(ID_RESTORE_ALL_BLOCKS), e.restoreAll);
        EXPECT_EQ(enabled(ID_PLAY_AROUND), e.playAround);
        EXPECT_EQ(enabled(ID_SAVE_EDITED_COPY), e.save);
    };
    check({"nothing removed", true, true, false, false, false, false});
    command(ID_REMOVE_BLOCK).trigger();
    EXPECT_TRUE(view().isBlockRemoved(1));
    check({"cursor's block removed", false, true, true, true, false, true});
    view().m_selectedBreakPoint = 200; // selects block 2, which is kept
    check({"break point of a kept block", true, true, false, true, true, true});
    command(ID_KEEP_ONLY_BLOCK).trigger();
    EXPECT_EQ(view().editedStream().size(), 1u);
    check({"the only kept block", false, false, false, true, true, true});
    command(ID_RESTORE_ALL_BLOCKS).trigger();
    check({"all restored", true, true, false, false, true, false});
    EXPECT_EQ(view().m_history.undoDescription(), "restore all blocks");
}

TEST_F(EditCommands, ShiftDeleteRemovesTheCursorsBlockInOneUndoStep) {
    load(fixture("ten-seconds.mp3"));
    view().replaceBreakPoints({100, 200});
    view().player().moveCursorTo(120);
    view().m_selectedBreakPoint = -1;
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(view().isBlockRemoved(1));
    EXPECT_EQ(view().m_breakPoints, (BreakPointList{100, 200}));
    EXPECT_TRUE(logged("Block 100 F - 200 F has been removed"));

    // Again on the removed block: nothing changes.
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(view().m_history.undoDescription(), "remove block 2");
    command(ID_EDIT_UNDO).trigger();
    EXPECT_FALSE(view().isBlockRemoved(1));
    EXPECT_EQ(view().m_history.redoDescription(), "remove block 2");

    // The last kept block stays.
    command(ID_EDIT_REDO).trigger();
    view().player().moveCursorTo(0);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    view().player().moveCursorTo(250);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(view().isBlockRemoved(0));
    EXPECT_FALSE(view().isBlockRemoved(2));
    EXPECT_TRUE(logged("The last kept block can not be removed!"));
}

TEST_F(EditCommands, ShiftPPlaysAroundTheSelectedBreakPointForTheSetSeconds) {
    load(fixture("ten-seconds.mp3"));
    view().replaceBreakPoints({200, 250});
    view().m_selectedBreakPoint = 200;
    setPlayAroundSeconds(1.0);
    // One second is 38 frames of 1152 samples at 44.1 kHz.
    key(Qt::Key_P, Qt::ShiftModifier);
    ASSERT_TRUE(view().player().isPlaying());
    EXPECT_TRUE(logged("Player now is playing mp3 from frame 162 F"));
    ASSERT_TRUE(processEventsUntil([&] { return !view().player().isPlaying(); }));
    // 38 frames each side, nothing removed: 162..237, after the ten silent buffers.
    EXPECT_EQ(sound->playedCount(), 10u + 76u);

    // With the block after the break point removed, the second half comes from after it.
    view().m_selectedBreakPoint = 200;
    ASSERT_TRUE(view().removeBlock(1));
    frame->updateCommands();
    command(ID_PLAY_AROUND).trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view().player().isPlaying(); }));
    EXPECT_EQ(view().player().playPosition(), 250 + 38);
}

TEST_F(EditCommands, SaveEditedCopyWritesTheKeptBlocksOnTheBlockThread) {
    const auto folder = scratchDir("app-edited-copy");
    const auto source = folder / "show.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    load(source);
    const std::vector<char> before = fileBytes(source);
    view().replaceBreakPoints({100, 200});
    ASSERT_TRUE(view().removeBlock(1));
    frame->updateCommands();

    // The loaded file itself is refused before anything is written.
    prompts.fileAnswers.push_back(source);
    command(ID_SAVE_EDITED_COPY).trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Error");
    EXPECT_FALSE(view().m_blockThread.isSet());

    const auto copy = folder / "show-edited.mp3";
    prompts.fileAnswers.push_back(copy);
    command(ID_SAVE_EDITED_COPY).trigger();
    EXPECT_EQ(prompts.fileRequests.back().proposedName, "show-edited.mp3");
    EXPECT_TRUE(view().isBusy()) << "the copy runs on the block thread";
    ASSERT_TRUE(processEventsUntil([&] { return !view().isBusy(); }));
    ASSERT_TRUE(std::filesystem::exists(copy));
    const std::string line = logLines().back();
    EXPECT_EQ(line.rfind("The edited copy has been saved to " + copy.string() + ", ", 0), 0u) << line;
    EXPECT_NE(line.find(", total size " + std::to_string(std::filesystem::file_size(copy)) + " Bytes"),
              std::string::npos)
        << line;
    EXPECT_EQ(fileBytes(source), before) << "the source is never written";
    EXPECT_TRUE(frame->progressBar().isHidden());
}

TEST_F(EditCommands, SaveSpecifiedBlocksShowsRemovedBlocksGreyedAndNeverTicked) {
    CChildView& doc = view();
    doc.m_filePath = fixture("ten-seconds.mp3");
    doc.m_frameLevels.assign(385, 300);
    doc.replaceBreakPoints({100, 300});
    ASSERT_TRUE(doc.removeBlock(1));
    CSaveBlockDialog dialog(doc, frame->frameLink(), prompts, frame.get());
    QTreeWidget& list = dialog.list();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_FALSE(list.topLevelItem(1)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_FALSE(list.topLevelItem(1)->flags().testFlag(Qt::ItemIsUserCheckable));
    EXPECT_TRUE(list.topLevelItem(0)->flags().testFlag(Qt::ItemIsEnabled));
    dialog.findChild<QPushButton*>(QStringLiteral("1002"))->click(); // Select All
    EXPECT_EQ(list.topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(list.topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(list.topLevelItem(2)->checkState(0), Qt::Checked);
}
