#include "DocumentHarness.h"

#include "document/ChapterCopy.h"
#include "document/formats/Id3Chapters.h"
#include "support/FrameFiles.h"
#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::uint32_t tagSizeOf(const std::vector<std::uint8_t>& file) {
    std::uint32_t size = 0;
    for (int i = 6; i < 10; ++i) {
        size = size << 7 | file[static_cast<std::size_t>(i)];
    }
    return size + 10;
}

// The lines of mutagen's view that start with `kind`.
std::vector<std::string> linesOf(const std::vector<std::string>& lines, const std::string& kind) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(kind + " ", 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

std::string idList(const std::string& prefix, int from, int to) {
    std::string list;
    for (int i = from; i < to; ++i) {
        list += (list.empty() ? "" : ",") + prefix + std::to_string(i);
    }
    return list;
}

} // namespace

// Every field of every CHAP and of the CTOC of a copy with chapters, as mutagen reads them, against a
// table worked out by hand: ten-seconds.mp3 is 385 frames of 1152 samples at 44100 Hz, the first an
// Info frame that holds no audio, so frame k starts at (k - 1) * 1152 / 44100 s.
TEST(Id3Chapters, EveryFieldOfTheWrittenChaptersMatchesAHandTable) {
    const auto dir = scratchDir("id3-chapters-fields");
    const auto source = fixture("ten-seconds.mp3");
    DocumentHarness h;
    h.load(source);
    ASSERT_EQ(h.doc.frameCount(), 385);
    h.doc.m_breakPoints = {200, 100, 300};
    ID3Info second;
    second.title = "Second";
    second.artist = "Reader";
    h.doc.m_blockTags = {{1, second}};
    const auto copy = dir / "copy.mp3";
    ASSERT_TRUE(saveCopyWithChapters(h.doc, copy));

    const std::vector<std::uint8_t> bytes = readBytes(copy);
    const std::uint32_t tagSize = tagSizeOf(bytes);
    // Frame offsets in the copy by a walk of our own: the frames follow the tag unchanged.
    const std::vector<WalkedFrame> frames = independentWalk(source);
    ASSERT_EQ(frames.size(), 385u);
    const auto at = [&](int frame) {
        return std::to_string(tagSize + (frame < 385 ? frames[static_cast<std::size_t>(frame)].offset
                                                     : std::int64_t(readBytes(source).size())));
    };
    struct Chapter {
        int first, end;    // frames
        const char* start; // ms, by hand
        const char* stop;  // ms, by hand
        const char* names; // the embedded frames
    };
    const Chapter table[] = {
        {0, 100, "0", "2586", "TIT2=Chapter 1"},
        {100, 200, "2586", "5198", "TIT2=Second TPE1=Reader"},
        {200, 300, "5198", "7811", "TIT2=Chapter 3"},
        {300, 385, "7811", "10031", "TIT2=Chapter 4"},
    };
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const Chapter& c = table[i];
        expected.push_back("CHAP chp" + std::to_string(i) + " " + c.start + " " + c.stop + " " + at(c.first) +
                           " " + at(c.end) + " [" + c.names + "]");
    }
    const std::vector<std::string> lines = mutagenFrames(copy);
    EXPECT_EQ(linesOf(lines, "CHAP"), expected);
    // Top level (2) and ordered (1), each chapter listed once, in order.
    EXPECT_EQ(linesOf(lines, "CTOC"),
              std::vector<std::string>{"CTOC toc flags=3 children=chp0,chp1,chp2,chp3"});
    EXPECT_EQ(tagSize + readBytes(source).size(), bytes.size());
}

// A CTOC counts its entries in one byte: up to 255 chapters one table lists them all, more go into
// tables of at most 255 under the top-level one. mutagen reads every list whole.
TEST(Id3Chapters, MoreThan255ChaptersAreListedByTablesOfAtMost255) {
    const auto dir = scratchDir("id3-chapters-tables");
    struct Case {
        int chapters;
        std::vector<std::string> tables;
    };
    const Case cases[] = {
        {255, {"CTOC toc flags=3 children=" + idList("chp", 0, 255)}},
        {256,
         {"CTOC toc1 flags=1 children=" + idList("chp", 0, 255), "CTOC toc2 flags=1 children=chp255",
          "CTOC toc flags=3 children=toc1,toc2"}},
        {600,
         {"CTOC toc1 flags=1 children=" + idList("chp", 0, 255),
          "CTOC toc2 flags=1 children=" + idList("chp", 255, 510),
          "CTOC toc3 flags=1 children=" + idList("chp", 510, 600),
          "CTOC toc flags=3 children=toc1,toc2,toc3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.chapters) + " chapters");
        std::vector<ChapterMark> marks;
        for (int i = 0; i < c.chapters; ++i) {
            ChapterMark mark;
            mark.startSeconds = i;
            mark.endSeconds = i + 1;
            mark.startOffset = 0xFFFFFFFF;
            mark.endOffset = 0xFFFFFFFF;
            marks.push_back(mark);
        }
        const std::string tag = renderChapterTag({}, marks);
        std::vector<std::uint8_t> bytes(tag.begin(), tag.end());
        append(bytes, readBytes(fixture("cbr128.mp3")));
        const auto path = dir / ("chapters-" + std::to_string(c.chapters) + ".mp3");
        writeBytes(path, bytes);
        const std::vector<std::string> lines = mutagenFrames(path);
        EXPECT_EQ(linesOf(lines, "CTOC"), c.tables);
        const std::vector<std::string> chapters = linesOf(lines, "CHAP");
        ASSERT_EQ(chapters.size(), static_cast<std::size_t>(c.chapters));
        EXPECT_EQ(chapters.back(),
                  "CHAP chp" + std::to_string(c.chapters - 1) + " " +
                      std::to_string((c.chapters - 1) * 1000) + " " + std::to_string(c.chapters * 1000) +
                      " 4294967295 4294967295 [TIT2=Chapter " + std::to_string(c.chapters) + "]");
        // Our own reader takes them back too.
        const Parsed<TimedList> read = parseChapterTag(tag);
        ASSERT_TRUE(read);
        EXPECT_EQ(read.value().entries.size(), static_cast<std::size_t>(c.chapters));
    }
}
