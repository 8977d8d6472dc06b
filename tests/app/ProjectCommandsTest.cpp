#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "document/DocumentProject.h"
#include "document/formats/ProjectFile.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace {

using app_test::RecordingShellPrompts;
using Answer = ShellPrompts::Answer;

using testing_support::processEventsUntil;

class ProjectCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_test::resetUserState();
        // One folder per test: ctest runs the tests of this program side by side.
        folder = testing_support::scratchDir(std::string("project-commands-") +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        mp3 = folder / "show.mp3";
        std::filesystem::copy_file(testing_support::fixture("ten-seconds.mp3"), mp3);
    }

    static void open(CMainFrame& frame, const std::filesystem::path& path) {
        frame.openFile(QString::fromStdString(path.string()));
        ASSERT_TRUE(processEventsUntil([&] { return !frame.view().m_loadThread.isSet(); }));
        ASSERT_EQ(frame.view().frameCount(), 385);
    }

    // Two break points and the middle block removed: work worth keeping.
    static void edit(CChildView& view) {
        view.addBreakPointAt(100);
        view.addBreakPointAt(200);
        ASSERT_TRUE(view.removeBlock(1));
    }

    std::filesystem::path folder;
    std::filesystem::path mp3;
    RecordingShellPrompts prompts;
};

TEST_F(ProjectCommandsTest, ReopeningAFileOffersItsRememberedEditsAsOneUndoStep) {
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    CChildView& view = frame.view();
    open(frame, mp3);
    EXPECT_TRUE(prompts.questions.empty()) << "nothing remembered yet";
    edit(view);

    // Opening the file again (or another) keeps the work first; the load then offers it back.
    prompts.questionAnswers = {Answer::Yes};
    open(frame, mp3);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].caption, "Restore Edits");
    EXPECT_EQ(prompts.questions[0].text,
              "Kerfline remembers your work on this file from the last time it was open "
              "(2 break points, 1 removed block).\nRestore it?");
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{100, 200}));
    EXPECT_TRUE(view.isBlockRemoved(1));
    EXPECT_FALSE(view.isBlockRemoved(0));
    ASSERT_TRUE(view.undoEdit());
    EXPECT_TRUE(view.m_breakPoints.empty());
    EXPECT_TRUE(view.m_blockEdits.empty());
    EXPECT_FALSE(view.m_history.canUndo());
    ASSERT_TRUE(view.redoEdit());

    // No keeps the file as loaded; the remembered work stays for next time, as nothing was changed.
    prompts.questionAnswers = {Answer::No};
    open(frame, mp3);
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_TRUE(view.m_breakPoints.empty());
    prompts.questionAnswers = {Answer::Cancel};
    open(frame, mp3);
    EXPECT_EQ(prompts.questions.size(), 3u) << "declining forgot the remembered work";
    EXPECT_TRUE(view.m_breakPoints.empty());

    // The offer can be turned off in the program's settings.
    {
        QSettings settings = app_test::programSettings();
        settings.setValue(QStringLiteral("EditState/OfferRestore"), false);
    }
    open(frame, mp3);
    EXPECT_EQ(prompts.questions.size(), 3u);
    {
        QSettings settings = app_test::programSettings();
        settings.remove(QStringLiteral("EditState"));
    }

    // A file changed since (another modification time) has other frames: nothing is offered.
    std::filesystem::last_write_time(mp3, std::filesystem::last_write_time(mp3) + std::chrono::hours(1));
    open(frame, mp3);
    EXPECT_EQ(prompts.questions.size(), 3u);
}

TEST_F(ProjectCommandsTest, ClosingRemembersWithoutAQuestionAndAnEmptyListForgets) {
    {
        CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
        open(frame, mp3);
        edit(frame.view());
        EXPECT_TRUE(frame.close());
        EXPECT_TRUE(prompts.questions.empty());
        EXPECT_TRUE(prompts.boxes.empty());
    }
    {
        CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
        prompts.questionAnswers = {Answer::Yes};
        open(frame, mp3);
        ASSERT_EQ(prompts.questions.size(), 1u);
        EXPECT_EQ(frame.view().m_breakPoints, (BreakPointList{100, 200}));
        // The user clears the work and leaves: next time there is nothing to offer.
        frame.view().clearBreakPoints();
        frame.view().restoreAllBlocks();
        EXPECT_TRUE(frame.close());
    }
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    open(frame, mp3);
    EXPECT_EQ(prompts.questions.size(), 1u);
}

TEST_F(ProjectCommandsTest, SaveProjectThenOpenProjectBringsTheWorkBackAsOneStep) {
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    CChildView& view = frame.view();
    open(frame, mp3);
    edit(view);
    view.setBlockTag(2, ID3Info{"Album", "Artist", "Title", "", 2020});
    view.m_editSettings.chapters = true;
    const Project saved = *projectOf(view);

    const auto projectPath = folder / "show.kfp";
    prompts.fileAnswers = {projectPath};
    frame.updateCommands();
    frame.command(ID_SAVE_PROJECT)->trigger();
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].filter, "Kerfline Project(*.kfp)|*.kfp||");
    EXPECT_EQ(prompts.fileRequests[0].proposedName, "show.kfp");
    const ProjectParse written = readProjectFile(projectPath);
    ASSERT_TRUE(written.project) << written.error;
    EXPECT_EQ(*written.project, saved);

    // Another file is open when the project is opened: its source is loaded and the work applied.
    const auto other = folder / "other.mp3";
    std::filesystem::copy_file(testing_support::fixture("ten-seconds.mp3"), other);
    open(frame, other);
    prompts.fileAnswers = {projectPath};
    frame.command(ID_OPEN_PROJECT)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.m_loadThread.isSet(); }));
    EXPECT_EQ(view.m_filePath, mp3);
    EXPECT_EQ(*projectOf(view), saved);
    EXPECT_TRUE(prompts.boxes.empty());
    ASSERT_TRUE(view.undoEdit());
    EXPECT_TRUE(view.m_breakPoints.empty());
    EXPECT_TRUE(view.m_blockTags.empty());

    // The same file already open: the project goes straight in, again as one step.
    prompts.fileAnswers = {projectPath};
    frame.command(ID_OPEN_PROJECT)->trigger();
    EXPECT_FALSE(view.m_loadThread.isSet());
    EXPECT_EQ(view.m_breakPoints, saved.breakPoints);
    EXPECT_EQ(view.m_blockEdits, saved.blockEdits);
}

TEST_F(ProjectCommandsTest, OpenProjectTellsOfAMissingChangedOrDamagedSource) {
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    CChildView& view = frame.view();
    open(frame, mp3);
    edit(view);
    const auto projectPath = folder / "show.kfp";
    ASSERT_EQ(writeProjectFile(projectPath, *projectOf(view)), "");
    view.clearBreakPoints();
    view.restoreAllBlocks();

    // Changed since: the user is asked, and No leaves everything as it was.
    std::filesystem::last_write_time(mp3, std::filesystem::last_write_time(mp3) + std::chrono::hours(1));
    prompts.fileAnswers = {projectPath};
    prompts.questionAnswers = {Answer::No};
    frame.command(ID_OPEN_PROJECT)->trigger();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].caption, "Open Project");
    EXPECT_NE(prompts.questions[0].text.find("has changed since the project was saved"), std::string::npos);
    EXPECT_FALSE(view.m_loadThread.isSet());
    EXPECT_TRUE(view.m_breakPoints.empty());

    // Yes opens the file as it is now and applies the project.
    prompts.fileAnswers = {projectPath};
    prompts.questionAnswers = {Answer::Yes};
    frame.command(ID_OPEN_PROJECT)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.m_loadThread.isSet(); }));
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{100, 200}));
    EXPECT_EQ(prompts.questions.size(), 2u) << "the remembered edits were offered over the project";

    // Gone: a box, and nothing is loaded.
    std::filesystem::rename(mp3, folder / "gone.mp3");
    prompts.fileAnswers = {projectPath};
    frame.command(ID_OPEN_PROJECT)->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Error");
    EXPECT_EQ(prompts.boxes[0].text, "The mp3 file \"" + mp3.string() +
                                         "\" of the project doesn't exist, the project can not be opened!");
    EXPECT_FALSE(view.m_loadThread.isSet());

    // Damaged: a box that says why.
    std::ofstream(projectPath, std::ios::trunc) << "{\"format\": \"Kerfline project\", \"version\": 7}";
    prompts.fileAnswers = {projectPath};
    frame.command(ID_OPEN_PROJECT)->trigger();
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text,
              "The project " + projectPath.string() +
                  " can not be opened: the project has format version 7, this Kerfline "
                  "reads version 1");
}

} // namespace
