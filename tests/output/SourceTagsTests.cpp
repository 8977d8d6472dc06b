#include "OutputTestSupport.h"

#include "output/SaveAll.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <filesystem>
#include <string>

using namespace output_test;
using namespace testing_support;

namespace {

const TagLib::ByteVector kPicture("\xFF\xD8\xFF\xE0 a small cover \xFF\xD9", 21);

// cbr128.mp3 with a full ID3v2 tag (cover, length, a chapter, a track number) and an ID3v1 tag.
std::filesystem::path taggedSource(const std::filesystem::path& dir) {
    const auto path = dir / "album.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), path);
    TagLib::MPEG::File file(path.c_str());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setTitle("Song");
    tag->setArtist("Band");
    tag->setAlbum("Album");
    tag->setYear(1999);
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    cover->setPicture(kPicture);
    tag->addFrame(cover);
    auto* length = new TagLib::ID3v2::TextIdentificationFrame("TLEN", TagLib::String::Latin1);
    length->setText("2000");
    tag->addFrame(length);
    tag->addFrame(new TagLib::ID3v2::ChapterFrame("chp0", 0, 1000, 0xFFFFFFFF, 0xFFFFFFFF));
    auto* track = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::Latin1);
    track->setText("7/9");
    tag->addFrame(track);
    file.ID3v1Tag(true)->setTitle("Song");
    file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2);
    return path;
}

} // namespace

TEST(SourceTags, EveryPieceGetsTheSourcesTagsWithItsOwnTrackNumber) {
    const auto dir = scratchDir("source-tags");
    const auto source = taggedSource(dir);
    const std::vector<std::uint8_t> sourceBytes = readBytes(source);
    TestDocument test(source);
    test.doc->m_breakPoints = {30, 60};
    test.doc->m_outputFolder = dir / "out";
    std::filesystem::create_directories(dir / "out");
    test.doc->m_blockTags = {{1, {"Live", "Other", "Part two", "a comment", 2001}}};
    PieceOptions options;
    options.copyTags = true;
    options.gapless = true;
    test.doc->setPieceOptions(options);
    ASSERT_EQ(runSaveAll(*test.doc).failed, 0);
    EXPECT_EQ(readBytes(source), sourceBytes);

    struct Expected {
        const char* name;
        const char* track;
        const char* title;
        const char* artist;
        unsigned year;
    };
    const Expected pieces[] = {
        {"album-0.mp3", "1/3", "Song", "Band", 1999},
        {"album-1.mp3", "2/3", "Part two", "Other", 2001}, // the block's own tag wins
        {"album-2.mp3", "3/3", "Song", "Band", 1999},
    };
    std::string joined;
    for (const Expected& piece : pieces) {
        SCOPED_TRACE(piece.name);
        const auto path = dir / "out" / piece.name;
        EXPECT_EQ(toolComplaints(path), "");
        joined += runCommand("mpg123 -q -s '" + path.string() + "' 2>/dev/null");
        TagLib::MPEG::File file(path.c_str());
        ASSERT_TRUE(file.hasID3v2Tag());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        EXPECT_EQ(tag->frameListMap()["TRCK"].front()->toString(), piece.track);
        EXPECT_EQ(tag->title(), piece.title);
        EXPECT_EQ(tag->artist(), piece.artist);
        EXPECT_EQ(tag->year(), piece.year);
        EXPECT_TRUE(tag->frameListMap()["TLEN"].isEmpty());
        EXPECT_TRUE(tag->frameListMap()["CHAP"].isEmpty());
        const TagLib::ID3v2::FrameList covers = tag->frameListMap()["APIC"];
        ASSERT_EQ(covers.size(), 1u);
        EXPECT_EQ(static_cast<TagLib::ID3v2::AttachedPictureFrame*>(covers.front())->picture(), kPicture);
        ASSERT_TRUE(file.hasID3v1Tag());
        EXPECT_EQ(file.ID3v1Tag()->title(), piece.title);
        EXPECT_EQ(file.ID3v1Tag()->track(), static_cast<unsigned>(&piece - pieces + 1));
    }
    // Tags do not disturb the joined sound.
    EXPECT_TRUE(joined == runCommand("mpg123 -q -s '" + source.string() + "' 2>/dev/null"));
}

TEST(SourceTags, WithoutTheSettingPiecesHoldOnlyFrames) {
    const auto dir = scratchDir("source-tags-off");
    const auto source = taggedSource(dir);
    TestDocument test(source);
    test.doc->m_breakPoints = {30};
    test.doc->m_outputFolder = dir;
    ASSERT_EQ(runSaveAll(*test.doc).failed, 0);
    TagLib::MPEG::File file((dir / "album-1.mp3").c_str());
    EXPECT_FALSE(file.hasID3v2Tag());
    EXPECT_FALSE(file.hasID3v1Tag());
}
