#include "OutputTestSupport.h"

#include "document/WorkerSlot.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "output/SourceFrames.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace output_test;
using namespace testing_support;

namespace {

struct RowText {
    std::string number, range, size, time;
    bool operator==(const RowText&) const = default;
};

std::vector<RowText> texts(const std::vector<BlockRow>& rows) {
    std::vector<RowText> out;
    for (const BlockRow& row : rows) {
        out.push_back({row.number, row.range, row.size, row.timeLength});
    }
    return out;
}

void PrintTo(const RowText& row, std::ostream* os) {
    *os << row.number << " | " << row.range << " | " << row.size << " | " << row.time;
}

// The rows are Save All's blocks: a break point's own frame starts its row, duplicates and values
// outside 1..F-1 start none, and the last row ends at F.
TEST(SaveBlocks, RowsAreTheBlocksSaveAllCuts) {
    const auto dir = scratchDir("rows");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    struct Case {
        BreakPointList breakPoints;
        std::vector<RowText> rows;
    };
    const Case cases[] = {
        {{300, 100},
         {{"# 1", "0 F - 100 F", "40 KB", "2 Seconds"},
          {"# 2", "100 F - 300 F", "81 KB", "5 Seconds"},
          {"# 3", "300 F - 1000 F", "285 KB", "18 Seconds"}}},
        {{}, {{"# 1", "0 F - 1000 F", "407 KB", "26 Seconds"}}},
        {{1000, 500},
         {{"# 1", "0 F - 500 F", "203 KB", "13 Seconds"}, {"# 2", "500 F - 1000 F", "203 KB", "13 Seconds"}}},
        // Run twice, a silence finder or a typed value leaves equal break points.
        {{500, 100, 500, 100, 100},
         {{"# 1", "0 F - 100 F", "40 KB", "2 Seconds"},
          {"# 2", "100 F - 500 F", "162 KB", "10 Seconds"},
          {"# 3", "500 F - 1000 F", "203 KB", "13 Seconds"}}},
        {{2147483647, 500, 0},
         {{"# 1", "0 F - 500 F", "203 KB", "13 Seconds"}, {"# 2", "500 F - 1000 F", "203 KB", "13 Seconds"}}},
    };
    for (const Case& c : cases) {
        TestDocument test(source);
        test.doc->replaceBreakPoints(c.breakPoints);
        const auto rows = buildBlockRows(*test.doc);
        EXPECT_EQ(texts(rows), c.rows) << ::testing::PrintToString(c.breakPoints);
        std::uint64_t bytes = 0;
        for (const BlockRow& row : rows) {
            bytes += row.bytes;
        }
        EXPECT_EQ(bytes, 1000u * 417u); // every frame in exactly one row
    }
    TestDocument sorted(source);
    sorted.doc->replaceBreakPoints({300, 100});
    EXPECT_EQ(buildBlockRows(*sorted.doc)[1].bytes, 200u * 417u);
    EXPECT_EQ(sorted.doc->m_breakPoints, (BreakPointList{100, 300}));
}

TEST(SaveBlocks, SizesUpToOneKilobyteAreShownInBytes) {
    const auto dir = scratchDir("rows-kilobyte");
    // MPEG-1 Layer I, 32 kbit/s, 44100 Hz, mono: 32-byte frames.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 33; ++i) {
        append(bytes, makeFrame(0xFF, 0x10, 0xC0));
    }
    writeBytes(dir / "exact.mp3", std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 32));
    writeBytes(dir / "over.mp3", bytes);
    TestDocument exact(dir / "exact.mp3");
    EXPECT_EQ(buildBlockRows(*exact.doc)[0].size, "1024 Bytes");
    TestDocument over(dir / "over.mp3");
    EXPECT_EQ(buildBlockRows(*over.doc)[0].size, "1 KB");
}

// Sizes and lengths beyond what 32 bits hold (bytes times 8 passes 2^31 at 256 MiB).
TEST(SaveBlocks, SizesOfLargeBlocksAreRight) {
    const auto dir = scratchDir("rows-large");
    const std::vector<std::uint8_t> frame = makeFrame(0xFB, 0x90, 0x64);
    constexpr int kFrames = 700000; // 291.9 MB, about 5 hours
    {
        std::vector<std::uint8_t> chunk;
        for (int i = 0; i < 10000; ++i) {
            append(chunk, frame);
        }
        std::ofstream out(dir / "long.mp3", std::ios::binary);
        for (int i = 0; i < kFrames / 10000; ++i) {
            out.write(reinterpret_cast<const char*>(chunk.data()),
                      static_cast<std::streamsize>(chunk.size()));
        }
    }
    MessageQueueLink frameLink;
    MessageQueueLink view;
    RecordingPrompts prompts;
    SplitDocument doc(frameLink, view, prompts);
    doc.m_filePath = dir / "long.mp3";
    const SourceFrames walked(doc.m_filePath);
    for (int i = 0; i < walked.count(); ++i) {
        doc.m_frameOffsets.push_back(walked[i].offset);
    }
    doc.m_frameLevels.assign(doc.m_frameOffsets.size(), 0);
    const auto rows = buildBlockRows(doc);
    const std::uint64_t bytes = 417ull * kFrames;
    EXPECT_EQ(rows[0].bytes, bytes);
    EXPECT_EQ(rows[0].size, std::to_string(bytes / 1024) + " KB");
    EXPECT_EQ(rows[0].timeLength, std::to_string(bytes * 8 / 128000) + " Seconds");
    std::filesystem::remove(dir / "long.mp3");
}

TEST(SaveBlocks, TheDialogJobWritesTheTickedRows) {
    const auto dir = scratchDir("dialog-job");
    const auto source = writeNumberedFrames(dir / "song.mp3", 1000);
    TestDocument test(source);
    test.doc->replaceBreakPoints({100, 300});
    const auto rows = buildBlockRows(*test.doc);
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directories(dir / "out" / "song-2.mp3"); // row 2 cannot be written

    EXPECT_FALSE(outputFolderExists(""));
    EXPECT_FALSE(outputFolderExists(dir / "nowhere"));
    EXPECT_TRUE(outputFolderExists(dir / "out"));

    MessageQueueLink dialog;
    WorkerSlot saveThread;
    startSpecifiedBlocksSave(saveThread,
                             specifiedBlocksJob(*test.doc, dir / "out",
                                                {{1, rows[0].block}, {2, rows[1].block}, {3, rows[2].block}},
                                                3),
                             test.frame, dialog);
    ASSERT_TRUE(dialog.dispatchUntil(UM_SAVE_ALL_DONE));
    saveThread.clear();

    EXPECT_EQ(readBytes(dir / "out" / "song-1.mp3"), frameBytes(source, 0, 100));
    EXPECT_EQ(readBytes(dir / "out" / "song-3.mp3"), frameBytes(source, 300, 1000));
    const auto errors = test.lines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(
                  "Block 100 F - 300 F could not be saved to " + (dir / "out" / "song-2.mp3").string(), 0),
              0u)
        << errors[0];
    const auto posted = dialog.records();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, 1u);

    // Nothing ticked: nothing written, the dialog still hears it is done.
    MessageQueueLink idle;
    EXPECT_EQ(runSpecifiedBlocksSave(specifiedBlocksJob(*test.doc, dir / "empty", {}, 3), test.frame, idle),
              0);
    EXPECT_TRUE(idle.dispatchUntil(UM_SAVE_ALL_DONE, std::chrono::milliseconds(100)));
}

TEST(SaveBlocks, TheSaveButtonOfABreakPointSavesItsBlock) {
    const auto dir = scratchDir("single-block");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    TestDocument test(source);
    test.doc->replaceBreakPoints({300, 100});

    test.prompts.saveAnswer = dir / "last.mp3";
    saveBlockFromBreakPoint(*test.doc, 300);
    ASSERT_TRUE(test.view.dispatchUntil(UM_BLOCK_SAVED));
    EXPECT_FALSE(test.doc->m_blockThread.isSet());
    EXPECT_EQ(test.prompts.saveFilters,
              std::vector<std::string>{"MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||"});
    EXPECT_EQ(test.doc->m_breakPoints, (BreakPointList{100, 300}));
    EXPECT_EQ(test.doc->m_blockTo, 1000);
    EXPECT_EQ(readBytes(dir / "last.mp3"), frameBytes(source, 300, 1000));

    test.prompts.saveAnswer = dir / "first.mp3";
    saveBlockFromBreakPoint(*test.doc, 100);
    ASSERT_TRUE(test.view.dispatchUntil(UM_BLOCK_SAVED));
    EXPECT_EQ(readBytes(dir / "first.mp3"), frameBytes(source, 100, 300));
    EXPECT_EQ(test.lines(), (std::vector<std::string>{"Block 300 F - 1000 F has been saved!",
                                                      "Block 100 F - 300 F has been saved!"}));

    // Cancelled: nothing starts.
    test.prompts.saveAnswer.reset();
    saveBlockFromBreakPoint(*test.doc, 100);
    EXPECT_FALSE(test.doc->m_blockThread.isSet());
}

TEST(SaveBlocks, ASingleBlockThatCannotBeWrittenIsNotCalledSaved) {
    const auto dir = scratchDir("single-block-failed");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 400);
    const auto original = readBytes(source);
    std::filesystem::create_directories(dir / "a-folder");
    struct Case {
        std::filesystem::path chosen;
        std::string reason;
    };
    const Case cases[] = {
        {source, ": it is the loaded source file"}, {dir / "a-folder", ": "}, {"/dev/full", ": "}};
    for (const Case& c : cases) {
        TestDocument test(source);
        test.doc->replaceBreakPoints({100, 200});
        test.prompts.saveAnswer = c.chosen;
        saveBlockFromBreakPoint(*test.doc, 100);
        ASSERT_TRUE(test.view.dispatchUntil(UM_BLOCK_SAVED));
        EXPECT_FALSE(test.doc->m_blockThread.isSet());
        const auto errors = test.lines(LogLevel::Error);
        ASSERT_EQ(errors.size(), 1u) << c.chosen;
        EXPECT_NE(errors[0].find("Block 100 F - 200 F could not be saved to " + c.chosen.string() + c.reason),
                  std::string::npos)
            << errors[0];
        EXPECT_EQ(test.lines(LogLevel::Normal), std::vector<std::string>{}) << c.chosen;
        EXPECT_EQ(readBytes(source), original);
    }

    // The break point went away before the thread looked for it.
    TestDocument gone(source);
    gone.doc->replaceBreakPoints({100});
    gone.doc->m_blockPath = dir / "gone.mp3";
    gone.doc->m_blockFrom = 150;
    EXPECT_FALSE(runBlockSave(*gone.doc));
    EXPECT_EQ(gone.lines(LogLevel::Error).size(), 1u);
}

TEST(SaveBlocks, TheSaveButtonWaitsForOtherSaves) {
    const auto dir = scratchDir("single-block-busy");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 100);
    TestDocument test(source);
    test.doc->replaceBreakPoints({50});
    test.prompts.saveAnswer = dir / "piece.mp3";
    test.doc->m_wavThread.start([] {});
    saveBlockFromBreakPoint(*test.doc, 50);
    test.doc->m_wavThread.clear();
    EXPECT_TRUE(test.prompts.saveFilters.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "piece.mp3"));
}

} // namespace

namespace {

// When the system gives no thread, the savers say so at level 2, and the list keeps its order.
TEST(SaveBlocks, SavesWithoutAThreadSaySoAndChangeNothing) {
    const auto dir = scratchDir("saves-without-thread");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 400);
    TestDocument test(source);
    test.doc->replaceBreakPoints({300, 100});

    test.prompts.saveAnswer = dir / "single.mp3";
    WorkerSlot::refuseStartsForTesting(1);
    saveBlockFromBreakPoint(*test.doc, 100);
    EXPECT_FALSE(test.doc->m_blockThread.isSet());
    EXPECT_EQ(test.doc->m_breakPoints, (BreakPointList{300, 100}));

    test.prompts.folderAnswer = dir / "all";
    std::filesystem::create_directories(dir / "all");
    WorkerSlot::refuseStartsForTesting(1);
    saveAll(*test.doc);
    EXPECT_FALSE(test.doc->m_saveAllThread.isSet());
    EXPECT_TRUE(test.doc->m_outputFolder.empty());

    WorkerSlot dialogSlot;
    MessageQueueLink dialog;
    WorkerSlot::refuseStartsForTesting(1);
    EXPECT_FALSE(startSpecifiedBlocksSave(
        dialogSlot, specifiedBlocksJob(*test.doc, dir / "chosen", {{1, Block{0, 100}}}, 3), test.frame,
        dialog));
    EXPECT_FALSE(dialogSlot.isSet());

    EXPECT_EQ(test.lines(LogLevel::Error), std::vector<std::string>(3, "could not start a worker thread"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "all"));
    EXPECT_FALSE(std::filesystem::exists(dir / "single.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "chosen"));
}

} // namespace
