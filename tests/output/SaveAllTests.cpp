#include "OutputTestSupport.h"

#include "document/BlockTags.h"
#include "output/PieceFile.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <array>

using namespace output_test;
using namespace testing_support;

namespace {

const std::string kBusy = "Can not process, because there is a loading or saving thread is running ...";

// `size` counts the block's frames, `fileSize` the file written (overlap and tags too).
std::string savedLine(int first, int second, std::uint64_t size, const std::filesystem::path& file,
                      std::uint64_t fileSize) {
    return "Separated block " + std::to_string(first) + " F - " + std::to_string(second) +
           " F has been saved, total size " + std::to_string(size) +
           " Bytes of the block's frames, written to " + file.string() + " as " + std::to_string(fileSize) +
           " Bytes";
}

// The line of a piece that holds its block's frames alone.
std::string savedLine(int first, int second, std::uint64_t size, const std::filesystem::path& file) {
    return savedLine(first, second, size, file, size);
}

// Runs the command with a chosen folder and waits for the thread's "done" message.
void saveAllInto(TestDocument& test, const std::filesystem::path& folder) {
    test.prompts.folderAnswer = folder;
    saveAll(*test.doc);
    ASSERT_TRUE(test.doc->m_saveAllThread.isSet());
    ASSERT_TRUE(test.view.dispatchUntil(UM_SAVE_ALL_DONE));
    EXPECT_FALSE(test.doc->m_saveAllThread.isSet());
}

struct Example {
    const char* name;
    BreakPointList breakPoints;
    std::vector<std::pair<int, int>> pieces; // frame ranges
    std::vector<std::array<int, 3>> lines;   // first and second frame, size
};

TEST(SaveAll, WritesEveryBlockAsItsPiece) {
    const auto dir = scratchDir("save-all-examples");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    const Example examples[] = {
        {"no break points", {}, {{0, 1000}}, {{0, 999, 417000}}},
        {"{300, 100}",
         {300, 100},
         {{0, 100}, {100, 300}, {300, 1000}},
         {{0, 100, 41700}, {100, 300, 83400}, {300, 999, 291900}}},
        {"{0, 100, 100, 5000}",
         {0, 100, 100, 5000},
         {{0, 100}, {100, 1000}},
         {{0, 100, 41700}, {100, 999, 375300}}},
    };
    for (const Example& example : examples) {
        const auto out = dir / example.name;
        std::filesystem::create_directories(out);
        TestDocument test(source);
        test.doc->replaceBreakPoints(example.breakPoints);
        saveAllInto(test, out);

        EXPECT_EQ(test.prompts.folderTitles,
                  std::vector<std::string>{"Please select a folder for separated mp3 files"});
        std::vector<std::string> expectedLines;
        for (const auto& [first, second, size] : example.lines) {
            const auto piece = out / ("talk-" + std::to_string(expectedLines.size()) + ".mp3");
            expectedLines.push_back(savedLine(first, second, static_cast<std::uint64_t>(size), piece));
        }
        expectedLines.push_back("Separated blocks have been saved successfully!");
        EXPECT_EQ(test.lines(), expectedLines) << example.name;
        EXPECT_EQ(test.doc->m_breakPoints, example.breakPoints) << "the list is not sorted";
        for (std::size_t i = 0; i < example.pieces.size(); ++i) {
            const auto piece = out / ("talk-" + std::to_string(i) + ".mp3");
            EXPECT_EQ(readBytes(piece), frameBytes(source, example.pieces[i].first, example.pieces[i].second))
                << example.name << " piece " << i;
        }
        EXPECT_FALSE(
            std::filesystem::exists(out / ("talk-" + std::to_string(example.pieces.size()) + ".mp3")));

        // The progress bar is shown, ranged to F, advanced and hidden.
        std::vector<MessageQueueLink::Record> records;
        for (const auto& record : test.frame.records()) {
            if (record.message != UM_OUTPUT_LOG) {
                records.push_back(record);
            }
        }
        ASSERT_GE(records.size(), 3u);
        EXPECT_EQ(records.front().message, UM_PROGRESS_SHOW);
        EXPECT_EQ(records.front().wParam, 1u);
        EXPECT_EQ(records[1].message, UM_PROGRESS_SET);
        EXPECT_EQ(records[1].lParam, 1000);
        EXPECT_EQ(records.back().message, UM_PROGRESS_SHOW);
        EXPECT_EQ(records.back().wParam, 0u);
    }
}

TEST(SaveAll, OverlapAddsNeighbouringFramesWithoutCountingThem) {
    const auto dir = scratchDir("save-all-overlap");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    TestDocument test(source);
    test.doc->replaceBreakPoints({100});
    test.setOverlap(true, 2);
    saveAllInto(test, dir);

    std::vector<std::uint8_t> first = frameBytes(source, 0, 100);
    append(first, frameBytes(source, 100, 177));
    EXPECT_EQ(readBytes(dir / "talk-0.mp3"), first);
    std::vector<std::uint8_t> second = frameBytes(source, 23, 100);
    append(second, frameBytes(source, 100, 1000));
    EXPECT_EQ(readBytes(dir / "talk-1.mp3"), second);
    EXPECT_EQ(test.lines(), (std::vector<std::string>{
                                "Save overlap frames before the block ...",
                                "Overlap frames has been saved, total frame 0 F",
                                "Save overlap frames after the block ...",
                                "Overlap frames has been saved, total frame 77 F",
                                "Save overlap frames before the block ...",
                                "Overlap frames has been saved, total frame 77 F",
                                // Saved once all pieces are on the disk and renamed.
                                savedLine(0, 100, 41700, dir / "talk-0.mp3", 41700 + 77 * 417),
                                savedLine(100, 999, 375300, dir / "talk-1.mp3", 375300 + 77 * 417),
                                "Separated blocks have been saved successfully!",
                            }));
}

// Blocks whose frames have junk between them: each piece holds the frames alone, overlap included,
// as an independent walk finds them.
TEST(SaveAll, PiecesSkipJunkBetweenTheFramesOfABlock) {
    const auto dir = scratchDir("save-all-junk");
    std::vector<std::uint8_t> bytes = {'j', 'u', 'n', 'k'};
    for (int i = 0; i < 300; ++i) {
        append(bytes, numberedFrame(i));
        if (i % 7 == 3) {
            append(bytes, {0x00, 0x11, 0xFF, 0x22});
        }
        if (i == 90 || i == 150) {
            bytes.resize(bytes.size() + 70 * 1024, 0x55);
        }
    }
    const auto source = dir / "gaps.mp3";
    writeBytes(source, bytes);
    for (const int overlap : {0, 1}) {
        const auto folder = dir / ("overlap-" + std::to_string(overlap));
        std::filesystem::create_directories(folder);
        TestDocument test(source);
        ASSERT_EQ(test.doc->frameCount(), 300);
        test.doc->replaceBreakPoints({100, 200});
        test.setOverlap(overlap > 0, overlap);
        saveAllInto(test, folder);
        // One second of overlap is 39 frames of 26 ms each way.
        const int reach = overlap > 0 ? 39 : 0;
        EXPECT_EQ(readBytes(folder / "gaps-0.mp3"), frameBytes(source, 0, 100 + reach));
        EXPECT_EQ(readBytes(folder / "gaps-1.mp3"), frameBytes(source, 100 - reach, 200 + reach));
        EXPECT_EQ(readBytes(folder / "gaps-2.mp3"), frameBytes(source, 200 - reach, 300));
        const auto lines = test.lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            savedLine(100, 200, 41700, folder / "gaps-1.mp3",
                                      readBytes(folder / "gaps-1.mp3").size())),
                  lines.end());
        EXPECT_TRUE(test.lines(LogLevel::Error).empty());
    }
}

// A negative count (a hand-edited or old preferences file) is no overlap, not a huge one.
TEST(SaveAll, OverlapOfNegativeSecondsWritesNoFrame) {
    const auto dir = scratchDir("save-all-overlap-zero");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 300);
    for (const int seconds : {-1, -3}) {
        SCOPED_TRACE(seconds);
        std::filesystem::remove(dir / "talk-0.mp3");
        std::filesystem::remove(dir / "talk-1.mp3");
        TestDocument test(source);
        test.doc->replaceBreakPoints({100});
        test.setOverlap(true, seconds);
        saveAllInto(test, dir);
        EXPECT_EQ(readBytes(dir / "talk-0.mp3"), frameBytes(source, 0, 100));
        EXPECT_EQ(readBytes(dir / "talk-1.mp3"), frameBytes(source, 100, 300));
        const auto lines = test.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Overlap frames has been saved, total frame 0 F"),
                  3);
    }
}

// Frame i lasts 36 ms (32 kHz) when i is a multiple of three, otherwise 26 ms (44.1 kHz). The sums
// reach one second a frame later when they start one frame off, so the counts show which frame's
// duration was added.
std::filesystem::path writeMixedDurationFrames(const std::filesystem::path& path, int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> frame = makeFrame(0xFB, i % 3 == 0 ? 0x98 : 0x90, 0x64);
        frame[100] = static_cast<std::uint8_t>(i);
        frame[101] = static_cast<std::uint8_t>(i >> 8);
        append(bytes, frame);
    }
    writeBytes(path, bytes);
    return path;
}

// Two blocks around one break point: the first piece reaches `reach` frames past it, the second
// starts `reach` frames ahead of it.
TEST(SaveAll, OverlapReachesAsFarAsTheFrameDurationsAddUp) {
    struct Case {
        const char* name;
        bool mixedDurations;
        int seconds;
        int reach;
    };
    const Case cases[] = {
        {"zero seconds writes no frame", false, 0, 0},
        {"frames of 36 and 26 ms", true, 1, 34},
    };
    const auto dir = scratchDir("save-all-overlap-reach");
    for (const Case& c : cases) {
        const auto folder = dir / c.name;
        std::filesystem::create_directories(folder);
        const auto source = c.mixedDurations ? writeMixedDurationFrames(folder / "talk.mp3", 300)
                                             : writeNumberedFrames(folder / "talk.mp3", 300);
        TestDocument test(source);
        ASSERT_EQ(test.doc->frameCount(), 300) << c.name;
        test.doc->replaceBreakPoints({150});
        test.setOverlap(true, c.seconds);
        saveAllInto(test, folder);
        EXPECT_EQ(readBytes(folder / "talk-0.mp3"), frameBytes(source, 0, 150 + c.reach)) << c.name;
        EXPECT_EQ(readBytes(folder / "talk-1.mp3"), frameBytes(source, 150 - c.reach, 300)) << c.name;
        // The first piece has nothing before it; the border is crossed once each way.
        const auto lines = test.lines();
        const auto saved = [&lines](int count) {
            return std::count(lines.begin(), lines.end(),
                              "Overlap frames has been saved, total frame " + std::to_string(count) + " F");
        };
        EXPECT_EQ(saved(0), c.reach == 0 ? 3 : 1) << c.name;
        EXPECT_EQ(saved(c.reach), c.reach == 0 ? 3 : 2) << c.name;
    }
}

// The settings may change while the thread runs; the next block border uses the new ones.
TEST(SaveAll, OverlapSettingsAreReadAtEveryBorder) {
    const auto dir = scratchDir("save-all-overlap-changed");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 300);
    TestDocument test(source);
    test.doc->replaceBreakPoints({100, 200});
    // Once the first block's own frames are copied (the progress reaches its end): its overlap after
    // is read then, and takes the new setting like every border after it.
    test.frame.setHandler([&test](unsigned message, std::uintptr_t wParam, std::intptr_t) {
        if (message == UM_PROGRESS_SET && wParam >= 100 && wParam < 200) {
            test.setOverlap(true, 1);
        }
        return std::intptr_t{0};
    });
    saveAllInto(test, dir);
    EXPECT_EQ(readBytes(dir / "talk-0.mp3"), frameBytes(source, 0, 139));
    std::vector<std::uint8_t> second = frameBytes(source, 61, 239);
    EXPECT_EQ(readBytes(dir / "talk-1.mp3"), second);
}

TEST(SaveAll, ABlockTagGoesIntoItsPieceOnly) {
    const auto dir = scratchDir("save-all-tags");
    const auto source = fixture("ten-seconds.mp3");
    TestDocument test(source);
    test.doc->replaceBreakPoints({200, 100});
    test.doc->setBlockTag(1, {"Album", "Artist", "Chapter two", "Comment", 2024});
    test.doc->setBlockTag(7, {"Never", "", "", "", 1979});
    test.setOverlap(true, 1);
    saveAllInto(test, dir);

    for (const int piece : {0, 2}) {
        const auto bytes = readBytes(dir / ("ten-seconds-" + std::to_string(piece) + ".mp3"));
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 3), "ID3") << piece;
        TagLib::FileRef file((dir / ("ten-seconds-" + std::to_string(piece) + ".mp3")).c_str());
        EXPECT_TRUE(file.tag() == nullptr || file.tag()->isEmpty()) << piece;
    }
    TagLib::FileRef tagged((dir / "ten-seconds-1.mp3").c_str());
    ASSERT_FALSE(tagged.isNull());
    EXPECT_EQ(tagged.tag()->title().to8Bit(true), "Chapter two");
    EXPECT_EQ(tagged.tag()->album().to8Bit(true), "Album");
    EXPECT_EQ(tagged.tag()->year(), 2024u);

    for (int piece = 0; piece < 3; ++piece) {
        EXPECT_EQ(toolComplaints(dir / ("ten-seconds-" + std::to_string(piece) + ".mp3")), "") << piece;
    }
}

TEST(SaveAll, TheCommandRefusesWhileBusyAndHonoursTheDefaultFolder) {
    const auto dir = scratchDir("save-all-command");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 50);

    TestDocument busy(source);
    busy.doc->m_wavThread.start([] {});
    busy.prompts.folderAnswer = dir;
    saveAll(*busy.doc);
    busy.doc->m_wavThread.clear();
    ASSERT_EQ(busy.prompts.boxes.size(), 1u);
    EXPECT_EQ(busy.prompts.boxes[0].text, kBusy);
    EXPECT_EQ(busy.prompts.boxes[0].caption, "Error");
    EXPECT_TRUE(busy.prompts.folderTitles.empty());
    EXPECT_FALSE(busy.doc->m_saveAllThread.isSet());

    TestDocument cancelled(source);
    saveAll(*cancelled.doc);
    EXPECT_EQ(cancelled.prompts.folderTitles.size(), 1u);
    EXPECT_FALSE(cancelled.doc->m_saveAllThread.isSet());
    EXPECT_TRUE(cancelled.prompts.boxes.empty());

    // A folder that is gone, and one whose name holds an unpaired surrogate from a hand-edited file.
    const struct {
        std::u16string folder;
        std::string shown;
    } missingFolders[] = {
        {(dir / "deleted").u16string(), (dir / "deleted").string()},
        {(dir / "odd").u16string() + u'\xDC01', (dir / "odd").string() + "\xEF\xBF\xBD"},
    };
    Preferences preferences;
    preferences.UseDefaultFolder = true;
    for (const auto& c : missingFolders) {
        SCOPED_TRACE(c.shown);
        TestDocument missing(source);
        preferences.DefaultOutputFolder = c.folder;
        missing.doc->setPreferences(preferences);
        ASSERT_NO_THROW(saveAll(*missing.doc));
        ASSERT_EQ(missing.prompts.boxes.size(), 1u);
        EXPECT_EQ(missing.prompts.boxes[0].text,
                  "Sorry, the default folder \"" + c.shown +
                      "\" doesn't exist, please check your preferences! Operation has "
                      "been canceled.");
        EXPECT_TRUE(missing.prompts.folderTitles.empty());
        EXPECT_FALSE(missing.doc->m_saveAllThread.isSet());
    }

    TestDocument byDefault(source);
    std::filesystem::create_directories(dir / "default");
    preferences.DefaultOutputFolder = (dir / "default").u16string();
    byDefault.doc->setPreferences(preferences);
    saveAll(*byDefault.doc);
    ASSERT_TRUE(byDefault.view.dispatchUntil(UM_SAVE_ALL_DONE));
    EXPECT_TRUE(byDefault.prompts.folderTitles.empty());
    EXPECT_EQ(byDefault.doc->m_outputFolder, dir / "default");
    EXPECT_EQ(readBytes(dir / "default" / "talk-0.mp3"), readBytes(source));
}

// A piece that cannot be made is an error line with its path; the pieces after it keep their own
// first frames and sizes, and the run is not called a success.
TEST(SaveAll, AFailedPieceIsReportedAndNotCounted) {
    const auto dir = scratchDir("save-all-failed");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    const auto original = readBytes(source);
    std::filesystem::create_directories(dir / "talk-1.mp3"); // a folder where piece 1 goes
#ifdef _WIN32
    std::filesystem::create_directories(dir / "talk-2.mp3");
    std::filesystem::create_hard_link(source, dir / "talk-3.mp3"); // the source itself
#else
    std::filesystem::create_symlink("/dev/full", dir / "talk-2.mp3"); // takes no byte
    std::filesystem::create_symlink(source, dir / "talk-3.mp3");      // the source itself
#endif

    TestDocument test(source);
    test.doc->replaceBreakPoints({100, 300, 600});
    test.setOverlap(true, 1);
    saveAllInto(test, dir);

    const auto errors = test.lines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0].rfind("Separated block 100 F - 300 F could not be saved to " +
                                  (dir / "talk-1.mp3").string() + ": ",
                              0),
              0u)
        << errors[0];
    EXPECT_EQ(errors[1].rfind(
                  "Separated block 300 F - 600 F could not be saved to " + (dir / "talk-2.mp3").string(), 0),
              0u)
        << errors[1];
    EXPECT_EQ(errors[2], "Separated block 600 F - 999 F could not be saved to " +
                             (dir / "talk-3.mp3").string() + ": it is the loaded source file");
    EXPECT_EQ(errors[3], "3 of 4 separated blocks could not be saved");

    const auto lines = test.lines();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), savedLine(0, 100, 41700, dir / "talk-0.mp3", 41700 + 39 * 417)),
        lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("has been saved, total size") != std::string::npos;
                            }),
              1);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Separated blocks have been saved successfully!"),
              lines.end());
    EXPECT_EQ(readBytes(source), original);
    std::vector<std::uint8_t> first = frameBytes(source, 0, 139);
    EXPECT_EQ(readBytes(dir / "talk-0.mp3"), first);
}

} // namespace

namespace {

// A block of nothing but the source's Info frame would be a piece ffprobe cannot read: every writer
// leaves it out and says so, and writes the other blocks as usual.
TEST(SaveAll, ABlockOfOnlyTheInfoFrameIsNotWritten) {
    const auto dir = scratchDir("save-all-info-block");
    const auto source = dir / "talk.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    const std::string skipped = " holds no audio frame, only the Info frame: it has not been saved";

    TestDocument test(source);
    test.doc->replaceBreakPoints({1, 200});
    std::filesystem::create_directories(dir / "all");
    saveAllInto(test, dir / "all");
    EXPECT_FALSE(std::filesystem::exists(dir / "all" / "talk-0.mp3"));
    EXPECT_EQ(test.lines(LogLevel::Warning), std::vector<std::string>{"Separated block 0 F - 1 F" + skipped});
    EXPECT_TRUE(test.lines(LogLevel::Error).empty());
    for (const char* piece : {"talk-1.mp3", "talk-2.mp3"}) {
        EXPECT_EQ(toolComplaints(dir / "all" / piece), "") << piece;
    }
    // Frames 1 to 199 of the source: 199 x 1152 samples at 44.1 kHz, as ffprobe reads them.
    int status = -1;
    const std::string probed = runCommand("ffprobe -v quiet -show_entries format=duration -of csv=p=0 '" +
                                              (dir / "all" / "talk-1.mp3").string() + "'",
                                          &status);
    ASSERT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
    EXPECT_NEAR(std::stod(probed), 199 * 1152 / 44100.0, 0.0001);

    // The dialog's rows: a row of only the Info frame is left out the same way.
    std::filesystem::create_directories(dir / "rows");
    MessageQueueLink dialog;
    const int failed = runSpecifiedBlocksSave(
        specifiedBlocksJob(*test.doc, dir / "rows", {{1, Block{0, 1}}, {2, Block{1, 200}}}, 2), test.frame,
        dialog);
    EXPECT_EQ(failed, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "rows" / "talk-1.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "rows" / "talk-2.mp3"));
    EXPECT_EQ(test.lines(LogLevel::Warning).back(), "Block 0 F - 1 F" + skipped);
}

} // namespace

// Blocks long enough for the system's file-to-file copy are copied that way whatever the progress
// step, and give the same bytes as the buffered copy it falls back on.
TEST(SaveAll, PiecesAreTheSameCopiedByTheSystemOrThroughTheBuffer) {
    const auto dir = scratchDir("save-all-system-copy");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    for (const bool systemCopy : {true, false}) {
        const auto out = dir / (systemCopy ? "system" : "buffered");
        std::filesystem::create_directories(out);
        PieceFile::allowSystemCopyForTesting(systemCopy);
        const std::uint64_t before = PieceFile::systemCopiedBytesForTesting();
        TestDocument test(source);
        test.doc->replaceBreakPoints({300, 600});
        saveAllInto(test, out);
        PieceFile::allowSystemCopyForTesting(true);
        const std::uint64_t copied = PieceFile::systemCopiedBytesForTesting() - before;
        if (systemCopy) {
#if defined(__linux__)
            EXPECT_EQ(copied, 1000 * 417u) << "copied";
#else
            // No file-to-file copy call elsewhere: every piece goes through the buffer.
            EXPECT_EQ(copied, 0u) << "copied";
#endif
        } else {
            EXPECT_EQ(copied, 0u);
        }
        const std::pair<int, int> pieces[] = {{0, 300}, {300, 600}, {600, 1000}};
        for (std::size_t i = 0; i < std::size(pieces); ++i) {
            EXPECT_EQ(readBytes(out / ("talk-" + std::to_string(i) + ".mp3")),
                      frameBytes(source, pieces[i].first, pieces[i].second))
                << (systemCopy ? "system" : "buffered") << " piece " << i;
        }
    }
}
