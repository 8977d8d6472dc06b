#include "AppTestSupport.h"
#include "MainFrameFixture.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "document/formats/TimedList.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace {

using app_test::RecordingShellPrompts;
using testing_support::fixture;
using testing_support::scratchDir;
using Answer = ShellPrompts::Answer;

using testing_support::processEventsUntil;

class BreakPointListCommands : public app_test::MainFrameFixture {};

TEST_F(BreakPointListCommands, MenuItemsFollowTheListRule) {
    const struct {
        int id;
        const char* text;
        const char* prompt;
    } items[] = {
        {ID_IMPORT_BREAKPOINTS, "&Import Break Points ...",
         "Import break points from a CUE sheet, a label file, a tracklist or chapters"},
        {ID_EXPORT_BREAKPOINTS, "Expor&t Break Points ...",
         "Export break points to a CUE sheet, a label file, a tracklist or a break point file"},
        {ID_SAVE_CHAPTERS, "Save Copy with C&hapters ...",
         "Save a copy of the mp3 file with one chapter per block"},
    };
    frame->updateCommands();
    for (const auto& item : items) {
        QAction* action = frame->command(item.id);
        ASSERT_NE(action, nullptr) << item.text;
        EXPECT_EQ(action->text().toStdString(), item.text);
        EXPECT_EQ(action->statusTip().toStdString(), item.prompt);
        EXPECT_FALSE(action->isEnabled()) << item.text << " with no file";
    }
    load(fixture("ten-seconds.mp3"));
    for (const auto& item : items) {
        EXPECT_TRUE(frame->command(item.id)->isEnabled()) << item.text << " with a file";
    }
}

TEST_F(BreakPointListCommands, ImportChecksTheFileThenAsksReplaceAddOrCancel) {
    const auto dir = scratchDir("app-import");
    std::ofstream(dir / "labels.txt") << "1.000000\t1.000000\tOne\n2.000000\t2.000000\tTwo\n";
    std::ofstream(dir / "broken.cue") << "TRACK 01 AUDIO\n  INDEX 01 xx:yy:zz\n";
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.m_breakPoints = {10};
    const auto import = [&](const std::filesystem::path& path, int filter) {
        prompts.fileAnswers = {path};
        prompts.filterAnswers = {filter};
        frame->command(ID_IMPORT_BREAKPOINTS)->trigger();
        ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    };

    // A file that cannot be read: its box, and no question at all.
    import(dir / "broken.cue", 0);
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(
        prompts.fileRequests[0].filter,
        "CUE Sheet(*.cue)|*.cue|Label File(*.txt)|*.txt|Tracklist(*.txt)|*.txt|MP3 Chapters(*.mp3)|*.mp3||");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("line 2: "), std::string::npos) << prompts.boxes[0].text;
    EXPECT_TRUE(prompts.choices.empty()) << "asked before the file was checked";
    EXPECT_EQ(view.m_breakPoints, BreakPointList{10});

    // A good file: the question comes after the check, with the words on its buttons. "Add" adds.
    prompts.choiceAnswers = {1};
    import(dir / "labels.txt", 1);
    ASSERT_EQ(prompts.choices.size(), 1u);
    EXPECT_EQ(prompts.choices[0].caption, "Import Break Points");
    EXPECT_EQ(prompts.choices[0].buttons, (std::vector<std::string>{"Replace", "Add", "Cancel"}));
    EXPECT_EQ(
        prompts.choices[0].text,
        "The file holds 2 times. Replace the 1 break point of the list by them, or add them to the list?");
    ASSERT_EQ(view.m_breakPoints.size(), 3u);
    EXPECT_EQ(view.m_breakPoints[0], 10);

    // "Replace" replaces; Cancel (and Escape, the last button) leaves everything.
    prompts.choiceAnswers = {0};
    import(dir / "labels.txt", 1);
    EXPECT_EQ(view.m_breakPoints.size(), 2u);
    const BreakPointList replaced = view.m_breakPoints;
    view.m_breakPoints = {10};
    prompts.choiceAnswers = {2};
    import(dir / "labels.txt", 1);
    EXPECT_EQ(view.m_breakPoints, BreakPointList{10});
    import(dir / "labels.txt", 1);
    EXPECT_EQ(view.m_breakPoints, BreakPointList{10});

    // Chosen as a tracklist, the label file is still read as the label file it is.
    prompts.choiceAnswers = {0};
    import(dir / "labels.txt", 2);
    EXPECT_EQ(view.m_breakPoints, replaced);
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

// Times past the end are listed in the question, not only in the log; with an empty list there is no
// question, and a box lists them.
TEST_F(BreakPointListCommands, ImportListsTheSkippedLinesInTheBox) {
    const auto dir = scratchDir("app-import-skipped");
    std::ofstream(dir / "list.txt") << "0:01 One\n0:02 Two\n1:00:00 Far\n2:00:00.5 Farther\n";
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.m_breakPoints = {10};
    prompts.fileAnswers = {dir / "list.txt"};
    prompts.filterAnswers = {2};
    prompts.choiceAnswers = {0};
    frame->command(ID_IMPORT_BREAKPOINTS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    ASSERT_EQ(prompts.choices.size(), 1u);
    EXPECT_EQ(
        prompts.choices[0].text,
        "The file holds 2 times. Replace the 1 break point of the list by them, or add them to the list?"
        "\n\n2 lines lie beyond the end of the mp3 file and will be skipped:"
        "\nline 3: 1:00:00.000\nline 4: 2:00:00.500");
    EXPECT_EQ(view.m_breakPoints.size(), 2u);

    view.m_breakPoints.clear();
    prompts.fileAnswers = {dir / "list.txt"};
    prompts.filterAnswers = {2};
    frame->command(ID_IMPORT_BREAKPOINTS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_EQ(prompts.choices.size(), 1u) << "an empty list needs no question";
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(prompts.boxes[0].text, "2 lines lie beyond the end of the mp3 file and will be skipped:"
                                     "\nline 3: 1:00:00.000\nline 4: 2:00:00.500");
    EXPECT_EQ(view.m_breakPoints.size(), 2u);
}

TEST_F(BreakPointListCommands, ExportAndChapterCopyWriteTheChosenFiles) {
    const auto dir = scratchDir("app-export");
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.m_breakPoints = {100, 200};

    prompts.fileAnswers = {dir / "list.txt"};
    prompts.filterAnswers = {2};
    frame->command(ID_EXPORT_BREAKPOINTS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].proposedName, "ten-seconds.cue");
    std::ifstream list(dir / "list.txt");
    const std::string text((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "00:00.000\n00:02.586\n00:05.198\n");

    prompts.fileAnswers = {dir / "book.mp3"};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    EXPECT_EQ(prompts.fileRequests.back().proposedName, "ten-seconds-chapters.mp3");
    EXPECT_EQ(prompts.fileRequests.back().filter, "MP3 files(*.mp3)|*.mp3||");
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_TRUE(std::filesystem::exists(dir / "book.mp3"));

    // The copy's chapters come back through the import's fourth filter.
    view.m_breakPoints.clear();
    prompts.fileAnswers = {dir / "book.mp3"};
    prompts.filterAnswers = {3};
    frame->command(ID_IMPORT_BREAKPOINTS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{100, 200}));
    EXPECT_TRUE(prompts.choices.empty()) << "an empty list needs no question";
}

// The copy is written by a saving thread: the window goes on, the busy rules hold until it is done.
// The loaded file's own name is refused before any question; another file is replaced only on "Yes".
TEST_F(BreakPointListCommands, ChapterCopyRunsAsASavingThread) {
    const auto dir = scratchDir("app-chapter-thread");
    const auto source = dir / "show.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    load(source);
    CChildView& view = frame->view();
    view.m_breakPoints = {100, 200};
    const auto sourceBytes = std::filesystem::file_size(source);

    prompts.fileAnswers = {source};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    EXPECT_EQ(prompts.fileRequests.back().overwrite, ShellPrompts::Overwrite::DontAsk);
    EXPECT_TRUE(prompts.questions.empty());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "The copy with chapters can not replace the mp3 file it is made from, "
                                     "please choose another name!");
    EXPECT_FALSE(view.isBusy());
    EXPECT_EQ(std::filesystem::file_size(source), sourceBytes);

    prompts.fileAnswers = {dir / "book.mp3"};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    // Still running, or done and waiting for the GUI thread to hear of it: either way a saving thread.
    EXPECT_TRUE(view.m_blockThread.isSet());
    EXPECT_TRUE(view.isBusy());
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_GT(std::filesystem::file_size(dir / "book.mp3"), sourceBytes);
    EXPECT_EQ(prompts.boxes.size(), 1u);

    // An existing file: "No" keeps it, "Yes" replaces it.
    testing_support::writeBytes(dir / "old.mp3", std::vector<std::uint8_t>(10, 0));
    prompts.fileAnswers = {dir / "old.mp3"};
    prompts.questionAnswers = {Answer::No};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_EQ(std::filesystem::file_size(dir / "old.mp3"), 10u);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text,
              (dir / "old.mp3").string() + " already exists.\nDo you want to replace it?");
    prompts.fileAnswers = {dir / "old.mp3"};
    prompts.questionAnswers = {Answer::Yes};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_EQ(std::filesystem::file_size(dir / "old.mp3"), std::filesystem::file_size(dir / "book.mp3"));
}

// Like the other saves, the copy drives the progress bar, over the audio bytes it copies, and ends
// with its own line rather than a block's.
TEST_F(BreakPointListCommands, ChapterCopyShowsItsProgress) {
    const auto dir = scratchDir("app-chapter-progress");
    load(fixture("ten-seconds.mp3"));
    CChildView& view = frame->view();
    view.m_breakPoints = {100, 200};
    const std::int64_t audioBytes =
        static_cast<std::int64_t>(std::filesystem::file_size(fixture("ten-seconds.mp3"))) -
        view.m_frameOffsets.front();
    QProgressBar& bar = frame->progressBar();
    bool shown = false;
    QObject::connect(&bar, &QProgressBar::valueChanged, [&] { shown = shown || bar.isVisible(); });
    frame->show();
    frame->outputPane().list().clear();

    prompts.fileAnswers = {dir / "book.mp3"};
    frame->command(ID_SAVE_CHAPTERS)->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return !view.isBusy(); }));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(bar.maximum(), audioBytes);
    EXPECT_EQ(bar.value(), audioBytes);
    const QListWidget& lines = frame->outputPane().list();
    ASSERT_EQ(lines.count(), 1);
    EXPECT_TRUE(lines.item(0)->text().endsWith(
        QString::fromStdString(" - The copy with chapters has been saved to " + (dir / "book.mp3").string())))
        << lines.item(0)->text().toStdString();
}

} // namespace
