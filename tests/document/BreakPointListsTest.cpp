#include "DocumentHarness.h"

#include "document/BlockTags.h"
#include "document/BreakPointLists.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <fstream>

using testing_support::fixture;
using testing_support::scratchDir;

namespace {

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

ID3Info named(const std::string& title, const std::string& artist) {
    ID3Info tag;
    tag.album = "Record";
    tag.artist = artist;
    tag.title = title;
    return tag;
}

std::vector<std::string> titlesByBlock(const std::vector<BlockTag>& tags, int blocks) {
    std::vector<std::string> titles(static_cast<std::size_t>(blocks), "<none>");
    for (const BlockTag& record : tags) {
        if (record.block >= 0 && record.block < blocks) {
            titles[static_cast<std::size_t>(record.block)] = record.tag.title + "/" + record.tag.artist;
        }
    }
    return titles;
}

TEST(BreakPointLists, EveryFormatReadsBackTheBlocksAndTheirNames) {
    const auto dir = scratchDir("lists-round-trip");
    DocumentHarness source;
    source.load(fixture("ten-seconds.mp3"));
    const int frames = source.doc.frameCount();
    ASSERT_GT(frames, 300);
    // Out of order, a duplicate, frame 0 and a value past the end: the blocks are what Save All cuts.
    source.doc.m_breakPoints = {250, 40, 120, 120, 0, frames + 5};
    source.doc.replaceBlockTags({{3, named("Four", "Band")},
                                 {0, named("One", "Band")},
                                 {1, named("Two", "Guest")},
                                 {2, named("Three", "Band")}});
    const std::vector<int> blocks = {40, 120, 250};

    const struct {
        ListFormat format;
        const char* file;
        bool performers;
    } cases[] = {
        {ListFormat::CueSheet, "list.cue", true},
        {ListFormat::LabelFile, "labels.txt", false},
        {ListFormat::Tracklist, "tracks.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(exportBreakPoints(source.doc, dir / c.file, c.format));
        DocumentHarness target;
        target.load(fixture("ten-seconds.mp3"));
        target.doc.m_breakPoints = {7};
        ASSERT_TRUE(importBreakPoints(target.doc, dir / c.file, c.format, true));
        EXPECT_EQ(target.doc.m_breakPoints, blocks);
        EXPECT_EQ(titlesByBlock(target.doc.m_blockTags, 4),
                  (c.performers ? std::vector<std::string>{"One/Band", "Two/Guest", "Three/Band", "Four/Band"}
                                : std::vector<std::string>{"One/", "Two/", "Three/", "Four/"}));
        EXPECT_TRUE(target.prompts.boxes.empty());
        EXPECT_TRUE(target.link.logLines(LogLevel::Error).empty());
    }

    // The break point file keeps the list exactly as it is.
    ASSERT_TRUE(exportBreakPoints(source.doc, dir / "list.bps", ListFormat::BreakPointFile));
    DocumentHarness target;
    target.load(fixture("ten-seconds.mp3"));
    target.doc.loadBreakPointFile(dir / "list.bps");
    EXPECT_EQ(target.doc.m_breakPoints, (BreakPointList{250, 40, 120, 120, 0}));
}

TEST(BreakPointLists, ExportedCueSheetNamesTheFileAndFrameStarts) {
    const auto dir = scratchDir("lists-cue-text");
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    // ten-seconds.mp3 opens with an Info frame, so frame 77 starts 76 frames of audio in:
    // 76 * 1152 / 44100 s = 1.985 s = 00:01:74 in frames of 1/75 s.
    h.doc.m_breakPoints = {77};
    h.doc.m_blockTags = {{1, named("Second", "Band")}};
    EXPECT_EQ(listText(h.doc, ListFormat::CueSheet), "PERFORMER \"Band\"\n"
                                                     "TITLE \"Record\"\n"
                                                     "FILE \"ten-seconds.mp3\" MP3\n"
                                                     "  TRACK 01 AUDIO\n"
                                                     "    INDEX 01 00:00:00\n"
                                                     "  TRACK 02 AUDIO\n"
                                                     "    TITLE \"Second\"\n"
                                                     "    INDEX 01 00:01:74\n");
    EXPECT_EQ(listText(h.doc, ListFormat::Tracklist), "00:00.000\n00:01.985 Band - Second\n");
}

TEST(BreakPointLists, TimesPastTheEndAreDroppedByLine) {
    const auto dir = scratchDir("lists-past-end");
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    writeText(dir / "long.cue", "FILE \"x.mp3\" MP3\n"
                                "TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                                "TRACK 02 AUDIO\n  TITLE \"In\"\n  INDEX 01 00:05:00\n"
                                "TRACK 03 AUDIO\n  TITLE \"Out\"\n  INDEX 01 00:30:00\n"
                                "TRACK 04 AUDIO\n  TITLE \"Far out\"\n  INDEX 01 99:00:00\n");
    ASSERT_TRUE(importBreakPoints(h.doc, dir / "long.cue", ListFormat::CueSheet, true));
    EXPECT_EQ(h.doc.m_breakPoints.size(), 1u);
    // One line for all of them, naming each time and its line.
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("2 times of " + (dir / "long.cue").string()), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("00:30.000 of line 7, 1:39:00.000 of line 10"), std::string::npos) << errors[0];
    EXPECT_TRUE(h.prompts.boxes.empty());
}

TEST(BreakPointLists, FilesThatCannotBeReadChangeNothing) {
    const auto dir = scratchDir("lists-unreadable");
    writeText(dir / "garbage.txt", "1.0\t1.0\tfine\n2.0\t2.0\tfine too\nthis is no label\n");
    writeText(dir / "broken.cue",
              "FILE \"x.mp3\" MP3\nTRACK 01 AUDIO\n  INDEX 01 00:01:00\nTRACK 02 AUDIO\n");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
#endif
    std::filesystem::create_directory(dir / "folder.cue");
    {
        std::ofstream(dir / "huge.txt", std::ios::binary) << "00:00 Start\n";
        std::filesystem::resize_file(dir / "huge.txt", kMaxListFileBytes + 1);
    }

    const struct {
        const char* file;
        ListFormat format;
        const char* reason;
    } cases[] = {
        {"garbage.txt", ListFormat::LabelFile, "line 3: "},
        {"broken.cue", ListFormat::CueSheet, "line 4: TRACK without INDEX 01"},
#ifndef _WIN32
        {"pipe.txt", ListFormat::Tracklist, "it is not a regular file"},
#endif
        {"folder.cue", ListFormat::CueSheet, "it is not a regular file"},
        {"missing.txt", ListFormat::Tracklist, "the file does not exist"},
        {"huge.txt", ListFormat::Tracklist, "larger than 16 MB"},
    };
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        h.doc.m_breakPoints = {300, 100};
        h.doc.m_blockTags = {{1, named("Kept", "Band")}};
        h.prompts.boxes.clear();
        EXPECT_FALSE(importBreakPoints(h.doc, dir / c.file, c.format, true));
        EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{300, 100}));
        EXPECT_EQ(h.doc.m_blockTags, (std::vector<BlockTag>{{1, named("Kept", "Band")}}));
        ASSERT_EQ(h.prompts.boxes.size(), 1u);
        EXPECT_EQ(h.prompts.boxes[0].caption, "Error");
        EXPECT_NE(h.prompts.boxes[0].text.find(c.reason), std::string::npos) << h.prompts.boxes[0].text;
        EXPECT_NE(h.prompts.boxes[0].text.find("no break point has been imported"), std::string::npos);
    }
}

// A binary file or text in an encoding with NUL bytes: the box quotes only printable text, so the
// message is whole and readable (a NUL would end it, control bytes garble it).
TEST(BreakPointLists, ABinaryFileIsReportedInPrintableText) {
    const auto dir = scratchDir("lists-binary");
    const struct {
        const char* file;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"elf.cue",
         std::string("FILE \"x.mp3\" MP3\n\x7F"
                     "ELF\x02\x01\x01\0\0\0\0\x03\0>\0",
                     32),
         "line 2: unknown command 'ELF>'), no break point"},
        {"zeros.cue", std::string("\0\0\0\0\x01\x02junk\n", 11),
         "line 1: unknown command 'junk'), no break point"},
        {"bytes.cue", std::string("\x01\x02\0\x03\x04", 5), "line 1: unknown command), no break point"},
        {"utf32.cue",
         std::string("\xFF\xFE\0\0"
                     "A\0\0\0\x01\0\0\0"
                     "B\0\0\0",
                     16),
         "line 1: unknown command 'AB'), no break point"},
        {"unmarked-utf16.cue", std::string("F\0I\0L\0E\0 \0", 10),
         "line 1: unknown command 'FILE '), no break point"},
    };
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeText(dir / c.file, c.bytes);
        h.prompts.boxes.clear();
        EXPECT_FALSE(importBreakPoints(h.doc, dir / c.file, ListFormat::CueSheet, true));
        ASSERT_EQ(h.prompts.boxes.size(), 1u);
        const std::string& text = h.prompts.boxes[0].text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char ch) {
            return static_cast<unsigned char>(ch) >= 0x20;
        })) << text;
    }
}

// Entries past the end are counted, not kept or logged one by one; entries on one frame are folded.
TEST(BreakPointLists, HugeListsAreFoldedAndSummed) {
    const auto dir = scratchDir("lists-huge");
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    std::string labels;
    for (int i = 0; i < 20000; ++i) {
        labels += "5\t5\tsame frame\n";
    }
    for (int i = 0; i < 200000; ++i) {
        labels += "99\t99\tlate\n";
    }
    labels += "1\t1\tearly\n";
    writeText(dir / "labels.txt", labels);
    h.doc.m_breakPoints = {100};
    ASSERT_TRUE(importBreakPoints(h.doc, dir / "labels.txt", ListFormat::LabelFile, false));
    const FrameTimeline timeline = documentTimeline(h.doc);
    EXPECT_EQ(h.doc.m_breakPoints,
              (BreakPointList{100, timeline.nearestFrame(1.0), timeline.nearestFrame(5.0)}));
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("200000 times of "), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("01:39.000 of line 20001, 01:39.000 of line 20002"), std::string::npos);
    EXPECT_NE(errors[0].find(" and 199995 more"), std::string::npos) << errors[0];
    const auto normal = h.link.logLines(LogLevel::Normal);
    EXPECT_NE(normal.back().find("(20001 of 220001)"), std::string::npos) << normal.back();
    // Importing the same list again adds no break point the list holds already.
    ASSERT_TRUE(importBreakPoints(h.doc, dir / "labels.txt", ListFormat::LabelFile, false));
    EXPECT_EQ(h.doc.m_breakPoints.size(), 3u);
}

// A sheet whose tracks all have their own PERFORMER keeps the disc's PERFORMER and TITLE.
TEST(BreakPointLists, CueRoundTripKeepsTheDiscNames) {
    const auto dir = scratchDir("lists-disc");
    writeText(dir / "disc.cue", "PERFORMER \"Various Artists\"\nTITLE \"Compilation\"\nFILE \"x.mp3\" MP3\n"
                                "TRACK 01 AUDIO\n  TITLE \"A\"\n  PERFORMER \"Alpha\"\n  INDEX 01 00:00:00\n"
                                "TRACK 02 AUDIO\n  TITLE \"B\"\n  PERFORMER \"Beta\"\n  INDEX 01 00:04:00\n");
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.doc.m_mainTag.artist = "Tag Artist";
    h.doc.m_mainTag.album = "Tag Album";
    ASSERT_TRUE(importBreakPoints(h.doc, dir / "disc.cue", ListFormat::CueSheet, true));
    const std::string text = listText(h.doc, ListFormat::CueSheet);
    EXPECT_TRUE(text.starts_with("PERFORMER \"Various Artists\"\nTITLE \"Compilation\"\n")) << text;
    EXPECT_NE(text.find("TITLE \"A\"\n    PERFORMER \"Alpha\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TITLE \"B\"\n    PERFORMER \"Beta\"\n"), std::string::npos) << text;
    // The disc's names are no block: the editor's rows and the pieces see only the two tracks.
    EXPECT_EQ(findBlockTag(h.doc.m_blockTags, 0)->artist, "Alpha");
    EXPECT_EQ(findBlockTag(h.doc.m_blockTags, 1)->album, "Compilation");
    // Undo takes them back with the import.
    ASSERT_TRUE(h.doc.undoEdit());
    EXPECT_EQ(listText(h.doc, ListFormat::CueSheet).substr(0, 23), "PERFORMER \"Tag Artist\"\n");
}

TEST(BreakPointLists, AddingKeepsTheListAndNamesTheNewBlocks) {
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    const FrameTimeline timeline = documentTimeline(h.doc);
    ASSERT_EQ(timeline.leadingFrames, 1);
    h.doc.m_breakPoints = {200};
    h.doc.m_blockTags = {{5, named("Untouched", "Band")}};
    TimedList list;
    list.entries = {{timeline.frameStart(100), "Hundred", "", 3}, {timeline.frameStart(300), "", "", 4}};
    ASSERT_TRUE(importTimedList(h.doc, list, false, "a list"));
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{200, 100, 300}));
    // Block 1 starts at 100; a record for a block the import does not name stays.
    ASSERT_EQ(h.doc.m_blockTags.size(), 3u);
    EXPECT_EQ(h.doc.m_blockTags[0].block, 1);
    EXPECT_EQ(h.doc.m_blockTags[0].tag.title, "Hundred");
    EXPECT_EQ(h.doc.m_blockTags[1].block, 3);
    EXPECT_EQ(h.doc.m_blockTags[1].tag.title, "");
    EXPECT_EQ(h.doc.m_blockTags[2].block, 5);
    EXPECT_EQ(h.doc.m_blockTags[2].tag.title, "Untouched");
}

TEST(BreakPointLists, RefusedWhileASaveReadsTheList) {
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.doc.m_breakPoints = {10};
    TimedList list;
    list.entries = {{2.0, "x", "", 1}};
    {
        HeldThread saving(h.doc.m_saveAllThread);
        EXPECT_FALSE(importTimedList(h.doc, list, true, "a list"));
    }
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{10}));
    EXPECT_EQ(
        h.link.logLines(LogLevel::Error),
        (std::vector<std::string>{"You can not change break points while separated blocks are saving ..."}));
}

// The window's import and export run on the list thread: the document is busy until UM_LIST_DONE
// is handled, and the result is what the direct calls give.
TEST(BreakPointLists, ImportAndExportRunOnTheListThread) {
    const auto dir = scratchDir("lists-thread");
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.doc.replaceBreakPoints({250, 40});
    h.doc.setBlockTag(1, named("Two", "Guest"));
    const std::string expected = listText(h.doc, ListFormat::CueSheet);

    ASSERT_TRUE(startExportBreakPoints(h.doc, dir / "list.cue", ListFormat::CueSheet));
    EXPECT_TRUE(h.doc.isBusy());
    EXPECT_FALSE(h.doc.canEditBreakPoints());
    // A second job waits for the first, with a line that says why.
    EXPECT_FALSE(startImportBreakPoints(h.doc, dir / "list.cue", ListFormat::CueSheet, true));
    ASSERT_TRUE(h.link.dispatchUntil(UM_LIST_DONE));
    EXPECT_FALSE(h.doc.isBusy());
    std::ifstream in(dir / "list.cue", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
    EXPECT_EQ(
        h.link.logLines(LogLevel::Error),
        (std::vector<std::string>{"Break points can not be imported or exported while another job runs"}));

    DocumentHarness target;
    target.load(fixture("ten-seconds.mp3"));
    target.doc.m_breakPoints = {7};
    ASSERT_TRUE(startImportBreakPoints(target.doc, dir / "list.cue", ListFormat::CueSheet, true));
    EXPECT_EQ(target.doc.m_breakPoints, (BreakPointList{7}));
    ASSERT_TRUE(target.link.dispatchUntil(UM_LIST_DONE));
    EXPECT_EQ(target.doc.m_breakPoints, (BreakPointList{40, 250}));
    EXPECT_EQ(findBlockTag(target.doc.m_blockTags, 1)->title, "Two");
    EXPECT_FALSE(target.doc.isBusy());
    EXPECT_TRUE(target.doc.undoEdit());
    EXPECT_EQ(target.doc.m_breakPoints, (BreakPointList{7}));

    // A file that cannot be read gets its box when the thread has ended, and changes nothing.
    writeText(dir / "bad.cue", "FILE \"x.mp3\" MP3\nnonsense\n");
    ASSERT_TRUE(startImportBreakPoints(target.doc, dir / "bad.cue", ListFormat::CueSheet, true));
    ASSERT_TRUE(target.link.dispatchUntil(UM_LIST_DONE));
    EXPECT_EQ(target.doc.m_breakPoints, (BreakPointList{7}));
    ASSERT_EQ(target.prompts.boxes.size(), 1u);
    EXPECT_NE(target.prompts.boxes[0].text.find("line 2: unknown command 'nonsense'"), std::string::npos);
}

TEST(BreakPointLists, ExportNeverReplacesTheLoadedFile) {
    const auto dir = scratchDir("lists-over-source");
    std::filesystem::copy_file(fixture("cbr128.mp3"), dir / "song.mp3");
    const auto before = testing_support::readBytes(dir / "song.mp3");
    DocumentHarness h;
    h.load(dir / "song.mp3");
    h.doc.m_breakPoints = {10};
    EXPECT_FALSE(exportBreakPoints(h.doc, dir / "." / "song.mp3", ListFormat::CueSheet));
    EXPECT_EQ(testing_support::readBytes(dir / "song.mp3"), before);
    EXPECT_EQ(h.link.logLines(LogLevel::Error).size(), 1u);
}

} // namespace
