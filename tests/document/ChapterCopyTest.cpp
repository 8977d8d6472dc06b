#include "DocumentHarness.h"

#include "document/BreakPointLists.h"
#include "document/ChapterCopy.h"
#include "engine/Id3v2.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <sstream>

using testing_support::fixture;
using testing_support::readBytes;
using testing_support::scratchDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

ID3Info titled(const std::string& title) {
    ID3Info tag;
    tag.title = title;
    tag.artist = "Reader";
    return tag;
}

std::string blockTagTitle(const std::vector<BlockTag>& tags, int block) {
    for (const BlockTag& record : tags) {
        if (record.block == block) {
            return record.tag.title;
        }
    }
    return "<none>";
}

std::int64_t tagSizeOf(const Bytes& bytes) {
    return bytes.size() >= 10 ? mp3::id3v2TagSize(bytes.data()) : 0;
}

struct ProbedChapter {
    double start = 0;
    double end = 0;
    std::string title;
};

// The chapters as ffprobe sees them.
std::vector<ProbedChapter> probeChapters(const std::filesystem::path& path) {
    int status = -1;
    const std::string out = testing_support::runCommand(
        "ffprobe -v quiet -show_entries chapter=start_time,end_time:chapter_tags=title -of csv=p=0 '" +
            path.string() + "'",
        &status);
    EXPECT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
    std::vector<ProbedChapter> chapters;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        ProbedChapter chapter;
        std::string start, end;
        std::getline(fields, start, ',');
        std::getline(fields, end, ',');
        std::getline(fields, chapter.title);
        chapter.start = std::stod(start);
        chapter.end = std::stod(end);
        chapters.push_back(chapter);
    }
    return chapters;
}

TEST(ChapterCopy, SameFramesNewChaptersOtherFramesKept) {
    const auto dir = scratchDir("chapters-copy");
    // id3v2-cover.mp3 carries a title and a picture in its ID3v2 tag.
    const auto source = fixture("id3v2-cover.mp3");
    DocumentHarness h;
    h.load(source);
    const int frames = h.doc.frameCount();
    h.doc.m_breakPoints = {60, 20, 20, frames + 3};
    h.doc.m_blockTags = {{0, titled("Opening")}, {2, titled("Ending")}};
    ASSERT_TRUE(saveCopyWithChapters(h.doc, dir / "copy.mp3"));
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(),
              "The copy with chapters has been saved to " + (dir / "copy.mp3").string());

    // The frames, byte for byte, right behind the new tag.
    const Bytes original = readBytes(source);
    const Bytes copy = readBytes(dir / "copy.mp3");
    const std::int64_t tagSize = tagSizeOf(copy);
    ASSERT_GT(tagSize, 0);
    const auto audioStart = static_cast<std::ptrdiff_t>(h.doc.m_frameOffsets.front());
    EXPECT_TRUE(std::equal(original.begin() + audioStart, original.end(), copy.begin() + tagSize, copy.end()))
        << "the frames differ";
    EXPECT_EQ(copy.size() - static_cast<std::size_t>(tagSize),
              original.size() - static_cast<std::size_t>(audioStart));

    // ffprobe's chapters start within one frame of the break points' frames.
    const FrameTimeline timeline = documentTimeline(h.doc);
    const double frame = static_cast<double>(timeline.samplesPerFrame) / timeline.sampleRate;
    const std::vector<ProbedChapter> chapters = probeChapters(dir / "copy.mp3");
    ASSERT_EQ(chapters.size(), 3u);
    const int starts[] = {0, 20, 60};
    // A chapter without a title is titled by its number, so players do not show its element id.
    const char* titles[] = {"Opening", "Chapter 2", "Ending"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(chapters[i].start, timeline.frameStart(starts[i]), frame) << i;
        EXPECT_EQ(chapters[i].title, titles[i]) << i;
    }
    EXPECT_NEAR(chapters[2].end, timeline.endSeconds(), frame);

    // TagLib sees the source's own frames and CHAP offsets that point at the blocks' frames.
    TagLib::MPEG::File file((dir / "copy.mp3").c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->title().to8Bit(true), "Cover");
    EXPECT_EQ(tag->frameListMap()["APIC"].size(), 1u);
    EXPECT_EQ(tag->frameListMap()["CTOC"].size(), 1u);
    std::size_t index = 0;
    for (const TagLib::ID3v2::Frame* frameOfTag : tag->frameListMap()["CHAP"]) {
        const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frameOfTag);
        ASSERT_NE(chapter, nullptr);
        const auto inSource = h.doc.m_frameOffsets[static_cast<std::size_t>(starts[index])];
        EXPECT_EQ(chapter->startOffset(), static_cast<unsigned int>(inSource - audioStart + tagSize))
            << index;
        ++index;
    }
    EXPECT_EQ(index, 3u);
}

TEST(ChapterCopy, ChaptersReadBackAsBreakPointsAndOldOnesAreReplaced) {
    const auto dir = scratchDir("chapters-again");
    DocumentHarness first;
    first.load(fixture("ten-seconds.mp3"));
    first.doc.m_breakPoints = {100, 200, 300};
    first.doc.m_blockTags = {{1, titled("Second")}};
    ASSERT_TRUE(saveCopyWithChapters(first.doc, dir / "first.mp3"));

    // The copy's own chapters, imported into the copy.
    DocumentHarness second;
    second.load(dir / "first.mp3");
    ASSERT_EQ(second.doc.frameCount(), first.doc.frameCount());
    ASSERT_TRUE(importFileChapters(second.doc, true));
    EXPECT_EQ(second.doc.m_breakPoints, (BreakPointList{100, 200, 300}));
    EXPECT_EQ(blockTagTitle(second.doc.m_blockTags, 1), "Second");

    // A copy of the copy with other break points carries only the new chapters.
    second.doc.m_breakPoints = {150};
    second.doc.m_blockTags.clear();
    ASSERT_TRUE(saveCopyWithChapters(second.doc, dir / "second.mp3"));
    const Parsed<TimedList> chapters = readFileChapters(dir / "second.mp3");
    ASSERT_TRUE(chapters);
    ASSERT_EQ(chapters.value().entries.size(), 2u);
    EXPECT_EQ(documentTimeline(second.doc).nearestFrame(chapters.value().entries[1].seconds), 150);
    EXPECT_EQ(probeChapters(dir / "second.mp3").size(), 2u);
}

TEST(ChapterCopy, NeverWritesIntoTheLoadedFile) {
    const auto dir = scratchDir("chapters-over-source");
    std::filesystem::copy_file(fixture("cbr128.mp3"), dir / "song.mp3");
    std::vector<std::filesystem::path> targets = {dir / "song.mp3", dir / "." / "song.mp3"};
#ifndef _WIN32
    std::filesystem::create_symlink(dir / "song.mp3", dir / "link.mp3");
    targets.push_back(dir / "link.mp3");
#endif
    const Bytes before = readBytes(dir / "song.mp3");
    DocumentHarness h;
    h.load(dir / "song.mp3");
    h.doc.m_breakPoints = {10};
    for (const auto& target : targets) {
        EXPECT_FALSE(saveCopyWithChapters(h.doc, target));
    }
    EXPECT_EQ(readBytes(dir / "song.mp3"), before);
    ASSERT_EQ(h.prompts.boxes.size(), targets.size());
    EXPECT_EQ(
        h.prompts.boxes[0].text,
        "The copy with chapters can not replace the mp3 file it is made from, please choose another name!");
    EXPECT_EQ(h.prompts.boxes[0].caption, "Error");
}

TEST(ChapterCopy, AFileWithoutChaptersImportsNothing) {
    DocumentHarness h;
    h.load(fixture("id3v2-cover.mp3"));
    h.doc.m_breakPoints = {5};
    EXPECT_FALSE(importFileChapters(h.doc, true));
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{5}));
    EXPECT_EQ(h.link.logLines(LogLevel::Error).size(), 1u);
}

} // namespace
