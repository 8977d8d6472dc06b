#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/EnterID3TagDialog.h"
#include "app/ID3TagEditor.h"
#include "app/MainFrame.h"
#include "app/SaveBlockDialog.h"
#include "engine/PlatformFile.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <future>

namespace {

template <typename T = QWidget> T* control(QWidget& parent, int id) {
    T* widget = parent.findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

QStringList tagBoxes(QWidget& dialog) {
    QStringList texts;
    for (int id = 1047; id <= 1051; ++id) {
        texts.append(control<QLineEdit>(dialog, id)->text());
    }
    return texts;
}

ID3Info mainTag() {
    return ID3Info{"Album", "Artist", "Title", "Comment", 2001};
}

TEST(EnterID3TagDialog, ShowsTheTagAndRefusesAYearThatIsNoInteger) {
    app_test::RecordingShellPrompts prompts;
    CEnterID3TagDialog dialog(mainTag(), prompts);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ID3 Tag editor"));
    EXPECT_EQ(tagBoxes(dialog), (QStringList{"Album", "Artist", "Title", "2001", "Comment"}));

    control<QLineEdit>(dialog, 1050)->setText("last year");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "Enter an integer.");
    EXPECT_TRUE(dialog.isVisible());

    control<QLineEdit>(dialog, 1049)->setText(QString::fromUtf8("T\xC3\xADtulo"));
    control<QLineEdit>(dialog, 1050)->setText("1999");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.tag(), (ID3Info{"Album", "Artist", "T\xC3\xADtulo", "Comment", 1999}));
}

TEST(ID3TagEditor, ScratchTagStartsFromTheFilesTagAndResetsAndClears) {
    app_test::RecordingShellPrompts prompts;
    CID3TagEditor editor(mainTag(), {}, 3, prompts);
    editor.show();
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ID3 Tag"));
    EXPECT_EQ(tagBoxes(editor), (QStringList{"Album", "Artist", "Title", "2001", "Comment"}));
    QTest::mouseClick(control<QPushButton>(editor, 1057), Qt::LeftButton);
    EXPECT_EQ(tagBoxes(editor), (QStringList{"", "", "", "1979", ""}));
    QTest::mouseClick(control<QPushButton>(editor, 1056), Qt::LeftButton);
    EXPECT_EQ(tagBoxes(editor), (QStringList{"Album", "Artist", "Title", "2001", "Comment"}));

    QTreeWidget& list = editor.list();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("No.1"));
    EXPECT_EQ(list.topLevelItem(2)->text(0), QStringLiteral("No.3"));
    EXPECT_EQ(list.headerItem()->text(5), QStringLiteral("Comment"));
}

TEST(ID3TagEditor, RemoveAllEmptiesTheCopy) {
    app_test::RecordingShellPrompts prompts;
    CID3TagEditor editor(mainTag(), {BlockTag{1, mainTag()}}, 3, prompts);
    QTest::mouseClick(control<QPushButton>(editor, 1053), Qt::LeftButton);
    EXPECT_TRUE(editor.tags().empty());
    EXPECT_TRUE(editor.list().topLevelItem(1)->text(1).isEmpty());
}

TEST(ID3TagEditor, ApplyAllAndEditFillTheRows) {
    app_test::RecordingShellPrompts prompts;
    CID3TagEditor editor(mainTag(), {}, 3, prompts);
    editor.show();
    QTest::mouseClick(control<QPushButton>(editor, 1057), Qt::LeftButton);
    control<QLineEdit>(editor, 1050)->setText("1984");
    QTest::mouseClick(control<QPushButton>(editor, 1052), Qt::LeftButton);
    ASSERT_EQ(editor.tags().size(), 3u);
    for (int block = 0; block < 3; ++block) {
        EXPECT_EQ(editor.tags()[static_cast<std::size_t>(block)],
                  (BlockTag{block, ID3Info{"", "", "", "", 1984}}));
    }
    EXPECT_EQ(editor.list().topLevelItem(2)->text(4), QStringLiteral("1984"));

    QTest::mouseClick(control<QPushButton>(editor, 1053), Qt::LeftButton);
    editor.list().setCurrentItem(editor.list().topLevelItem(1));
    QStringList offered;
    app_test::whenModal([&](QWidget* dialog) {
        offered = tagBoxes(*dialog);
        dialog->findChild<QLineEdit*>("1049")->setText("Second");
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>(editor, 1058), Qt::LeftButton);
    EXPECT_EQ(offered, (QStringList{"", "", "", "1979", ""})) << "a row without a record starts empty";
    ASSERT_EQ(editor.tags().size(), 1u);
    EXPECT_EQ(editor.tags()[0].block, 1);
    EXPECT_EQ(editor.tags()[0].tag.title, "Second");
    EXPECT_EQ(editor.list().topLevelItem(1)->text(3), QStringLiteral("Second"));
}

class FrameTagCommandTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    app_test::RecordingShellPrompts prompts;
};

TEST_F(FrameTagCommandTest, OkCopiesTheBlockTagsBackAndCancelDiscards) {
    CMainFrame frame(&prompts);
    CChildView& view = frame.view();
    view.m_frameLevels = {1, 2, 3};
    view.replaceBreakPoints({100, 200});
    view.replaceBlockTags({BlockTag{0, mainTag()}});
    frame.updateCommands();

    int rows = 0;
    app_test::whenModal([&](QWidget* editor) {
        rows = editor->findChild<QTreeWidget*>("1000")->topLevelItemCount();
        QTest::mouseClick(editor->findChild<QPushButton*>("1053"), Qt::LeftButton);
        QTest::mouseClick(editor->findChild<QPushButton*>("2"), Qt::LeftButton);
    });
    frame.command(ID_ID3_EDITOR)->trigger();
    EXPECT_EQ(rows, 3) << "one row more than break points";
    EXPECT_EQ(view.m_blockTags.size(), 1u) << "cancelled";

    app_test::whenModal([](QWidget* editor) {
        QTest::mouseClick(editor->findChild<QPushButton*>("1053"), Qt::LeftButton);
        QTest::mouseClick(editor->findChild<QPushButton*>("1"), Qt::LeftButton);
    });
    frame.command(ID_ID3_EDITOR)->trigger();
    EXPECT_TRUE(view.m_blockTags.empty());
}

TEST_F(FrameTagCommandTest, SaveSpecifiedBlocksIsRefusedWhileAThreadRuns) {
    CMainFrame frame(&prompts);
    frame.view().m_frameLevels = {1, 2, 3};
    std::promise<void> release;
    frame.view().m_wavThread.start([done = release.get_future().share()] { done.wait(); });
    frame.updateCommands();
    EXPECT_FALSE(frame.command(ID_SAVE_BLOCKS)->isEnabled());
    release.set_value();
    frame.view().m_wavThread.clear();
}

// The number column keeps its 50 pixels while they suffice and grows so that the largest number is
// shown whole beside its check box, not cut to "#...".
TEST_F(FrameTagCommandTest, SaveBlocksDialogShowsEveryRowNumberWhole) {
    CMainFrame frame(&prompts);
    CChildView& view = frame.view();
    view.m_filePath = testing_support::fixture("ten-seconds.mp3");
    view.m_frameLevels.assign(20000, 300);
    for (const int rows : {3, 12, 150, 10601}) {
        SCOPED_TRACE(rows);
        BreakPointList breakPoints;
        for (int i = 1; i < rows; ++i) {
            breakPoints.push_back(i);
        }
        view.m_breakPoints = breakPoints;
        CSaveBlockDialog dialog(view, frame.frameLink(), prompts, &frame);
        dialog.show();
        QTreeWidget& list = dialog.list();
        ASSERT_EQ(list.topLevelItemCount(), rows);
        const QModelIndex last = list.model()->index(rows - 1, 0);
        EXPECT_EQ(last.data().toString(), QStringLiteral("# %1").arg(rows));
        EXPECT_GE(list.columnWidth(0), 50);
        list.scrollToBottom();
        EXPECT_GE(list.visualRect(last).width(), list.sizeHintForIndex(last).width());
    }
}

TEST_F(FrameTagCommandTest, SaveBlocksDialogListsRowsAndChecksTheFolder) {
    CMainFrame frame(&prompts);
    CChildView& view = frame.view();
    view.m_filePath = testing_support::fixture("ten-seconds.mp3");
    view.m_frameLevels.assign(385, 300);
    view.replaceBreakPoints({300, 100});
    CSaveBlockDialog dialog(view, frame.frameLink(), prompts, &frame);
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{100, 300}));
    QTreeWidget& list = dialog.list();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.columnCount(), 4) << "no name column without a name template";
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("# 1"));
    EXPECT_EQ(list.topLevelItem(1)->text(1), QStringLiteral("100 F - 300 F"));
    EXPECT_EQ(list.topLevelItem(2)->text(1), QStringLiteral("300 F - 385 F"));
    EXPECT_EQ(list.topLevelItem(0)->checkState(0), Qt::Unchecked);
    QTest::mouseClick(control<QPushButton>(dialog, 1002), Qt::LeftButton);
    EXPECT_EQ(list.topLevelItem(2)->checkState(0), Qt::Checked);
    QTest::mouseClick(control<QPushButton>(dialog, 1003), Qt::LeftButton);
    EXPECT_EQ(list.topLevelItem(2)->checkState(0), Qt::Unchecked);

    control<QLineEdit>(dialog, 1004)->setText("/no/such/folder");
    QTest::mouseClick(control<QPushButton>(dialog, 1001), Qt::LeftButton);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "Before you save mp3 block, please setup an output folder!");
    EXPECT_FALSE(dialog.isSaving());

    const auto folder = testing_support::scratchDir("save-blocks-dialog");
    prompts.folderAnswers.push_back(folder);
    QTest::mouseClick(control<QPushButton>(dialog, 1005), Qt::LeftButton);
    EXPECT_EQ(prompts.folderTitles.back(), "Choose a folder for output:");
    list.topLevelItem(0)->setCheckState(0, Qt::Checked);
    list.topLevelItem(2)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(control<QPushButton>(dialog, 1001), Qt::LeftButton);
    for (int i = 0; i < 500 && dialog.isSaving(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_FALSE(dialog.isSaving());
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text, "Separated block have been saved!");
    EXPECT_EQ(prompts.boxes[1].caption, "Information");
    EXPECT_TRUE(std::filesystem::exists(folder / "ten-seconds-1.mp3"));
    EXPECT_FALSE(std::filesystem::exists(folder / "ten-seconds-2.mp3"));
    EXPECT_TRUE(std::filesystem::exists(folder / "ten-seconds-3.mp3"));
}

// The dialog's save compares the source with the file as it was loaded: a file changed since then
// gives no piece, only the reason.
TEST_F(FrameTagCommandTest, SaveBlocksDialogWritesNothingFromASourceChangedSinceTheLoad) {
    const auto folder = testing_support::scratchDir("save-blocks-dialog-changed");
    const auto source = folder / "talk.mp3";
    std::filesystem::copy_file(testing_support::fixture("ten-seconds.mp3"), source);
    CMainFrame frame(&prompts);
    CChildView& view = frame.view();
    view.m_filePath = source;
    view.m_frameLevels.assign(385, 300);
    view.m_sourceStatus = platform::statusOfTarget(source);
    ASSERT_TRUE(view.m_sourceStatus);
    view.m_sourceStatus->size += 1; // as if the file had been one byte longer at the load
    view.replaceBreakPoints({100});
    CSaveBlockDialog dialog(view, frame.frameLink(), prompts, &frame);
    control<QLineEdit>(dialog, 1004)->setText(QString::fromStdString(folder.string()));
    dialog.list().topLevelItem(0)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(control<QPushButton>(dialog, 1001), Qt::LeftButton);
    for (int i = 0; i < 500 && dialog.isSaving(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_FALSE(dialog.isSaving());
    EXPECT_FALSE(std::filesystem::exists(folder / "talk-1.mp3"));
}

// With the piece settings on, the dialog's rows get the template's names, the source's tags with the
// row's track number among all rows, and the row's block tag.
TEST_F(FrameTagCommandTest, SaveBlocksDialogFollowsThePieceSettings) {
    const auto folder = testing_support::scratchDir("save-blocks-dialog-pieces");
    CMainFrame frame(&prompts);
    CChildView& view = frame.view();
    view.m_filePath = testing_support::fixture("ten-seconds.mp3");
    view.m_frameLevels.assign(385, 300);
    view.replaceBreakPoints({100, 300});
    view.replaceBlockTags({BlockTag{1, mainTag()}});
    PieceOptions options;
    options.copyTags = true;
    options.nameTemplate = "{n1}-of-{N}";
    view.setPieceOptions(options);
    CSaveBlockDialog dialog(view, frame.frameLink(), prompts, &frame);
    ASSERT_EQ(dialog.list().columnCount(), 5);
    EXPECT_EQ(dialog.list().headerItem()->text(4), QStringLiteral("Name"));
    EXPECT_EQ(dialog.list().topLevelItem(0)->text(4), QStringLiteral("1-of-3.mp3"));
    control<QLineEdit>(dialog, 1004)->setText(QString::fromStdString(folder.string()));
    dialog.list().topLevelItem(1)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(control<QPushButton>(dialog, 1001), Qt::LeftButton);
    for (int i = 0; i < 500 && dialog.isSaving(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_FALSE(dialog.isSaving());
    const auto piece = folder / "2-of-3.mp3";
    ASSERT_TRUE(std::filesystem::exists(piece));
    TagLib::MPEG::File file(piece.c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->frameListMap()["TRCK"].front()->toString(), "2/3");
    EXPECT_EQ(file.ID3v2Tag()->title(), "Title");
}

} // namespace
