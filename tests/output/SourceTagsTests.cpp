#include "OutputTestSupport.h"

#include "output/SaveAll.h"
#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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

namespace {

// A copy of cbr128.mp3 under `name`.
std::filesystem::path untaggedSource(const std::filesystem::path& dir, const std::string& name) {
    const auto path = dir / name;
    std::filesystem::copy_file(fixture("cbr128.mp3"), path);
    return path;
}

// Save All with copied tags into dir/out; the pieces' paths.
std::vector<std::filesystem::path> piecesWithCopiedTags(const std::filesystem::path& source,
                                                        const std::filesystem::path& dir,
                                                        const std::vector<BlockTag>& blockTags = {}) {
    TestDocument test(source);
    test.doc->m_breakPoints = {30, 60};
    test.doc->m_outputFolder = dir / "out";
    std::filesystem::remove_all(dir / "out");
    std::filesystem::create_directories(dir / "out");
    test.doc->m_blockTags = blockTags;
    PieceOptions options;
    options.copyTags = true;
    test.doc->setPieceOptions(options);
    EXPECT_EQ(runSaveAll(*test.doc).failed, 0);
    std::vector<std::filesystem::path> pieces;
    for (int i = 0; i < 3; ++i) {
        pieces.push_back(dir / "out" / (source.stem().string() + "-" + std::to_string(i) + ".mp3"));
    }
    return pieces;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The 128 bytes of an ID3v1 tag at the end of the file, empty when there is none.
std::string id3v1Bytes(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    if (bytes.size() < 128) {
        return {};
    }
    const std::string tail(bytes.end() - 128, bytes.end());
    return tail.compare(0, 3, "TAG") == 0 ? tail : std::string();
}

} // namespace

// ID3v2.3 stores plain frame sizes, 2.4 syncsafe ones: a 2.3 size whose four bytes are all below 0x80
// (5,990 bytes of cover, 1,273 characters of lyrics) reads as a different, smaller 2.4 size. Covers and
// lyrics of sizes that hit and miss that pattern must come out whole from sources of both versions.
TEST(SourceTags, EveryFrameOfVersion23And24SourcesComesOutWhole) {
    const auto dir = scratchDir("source-tags-sizes");
    struct Cover {
        const char* description;
        unsigned bytes; // frame size: 15 + bytes
    };
    // 6005 = 0x1775 and 256 = 0x0100 hit the pattern, 200 = 0xC8 misses it, 65 is below 128.
    const Cover covers[] = {{"c1", 5990}, {"c2", 241}, {"c3", 185}, {"c4", 50}};
    struct Lyrics {
        const char* description;
        unsigned characters; // frame size: 7 + characters
    };
    // 1280 = 0x0500 hits the pattern, 1207 = 0x04B7 misses it.
    const Lyrics lyrics[] = {{"l1", 1273}, {"l2", 1200}};
    for (const int version : {3, 4}) {
        SCOPED_TRACE("version 2." + std::to_string(version));
        const auto source = untaggedSource(dir, "v2" + std::to_string(version) + ".mp3");
        std::vector<TagLib::ByteVector> pictures;
        std::vector<TagLib::String> texts;
        {
            TagLib::MPEG::File file(source.c_str());
            TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
            tag->setTitle("Sizes");
            for (const Cover& cover : covers) {
                TagLib::ByteVector picture(cover.bytes, 'p');
                for (unsigned i = 0; i < cover.bytes; ++i) {
                    picture[i] = static_cast<char>(i * 7 + cover.bytes);
                }
                auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
                frame->setTextEncoding(TagLib::String::Latin1);
                frame->setMimeType("image/png");
                frame->setDescription(cover.description);
                frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
                frame->setPicture(picture);
                tag->addFrame(frame);
                pictures.push_back(picture);
            }
            for (const Lyrics& text : lyrics) {
                std::string words;
                for (unsigned i = 0; i < text.characters; ++i) {
                    words += static_cast<char>('a' + i % 26);
                }
                auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::Latin1);
                frame->setLanguage("eng");
                frame->setDescription(text.description);
                frame->setText(words);
                tag->addFrame(frame);
                texts.push_back(words);
            }
            ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                                  version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4));
        }
        std::vector<std::string> expected;
        for (const std::string& line : mutagenFrames(source)) {
            if (line.rfind("APIC", 0) == 0 || line.rfind("USLT", 0) == 0) {
                expected.push_back(line);
            }
        }
        ASSERT_EQ(expected.size(), 6u);
        for (const auto& piece : piecesWithCopiedTags(source, dir)) {
            SCOPED_TRACE(piece.filename().string());
            EXPECT_EQ(toolComplaints(piece), "");
            // mutagen sees the source's covers and lyrics, byte for byte.
            const std::vector<std::string> frames = mutagenFrames(piece);
            for (const std::string& line : expected) {
                EXPECT_NE(std::find(frames.begin(), frames.end(), line), frames.end()) << line;
            }
            // And so does TagLib.
            TagLib::MPEG::File file(piece.c_str());
            ASSERT_TRUE(file.hasID3v2Tag());
            const TagLib::ID3v2::FrameList pictureFrames = file.ID3v2Tag()->frameListMap()["APIC"];
            ASSERT_EQ(pictureFrames.size(), std::size(covers));
            std::size_t index = 0;
            for (const TagLib::ID3v2::Frame* frame : pictureFrames) {
                EXPECT_EQ(static_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame)->picture(),
                          pictures[index++]);
            }
            const TagLib::ID3v2::FrameList lyricFrames = file.ID3v2Tag()->frameListMap()["USLT"];
            ASSERT_EQ(lyricFrames.size(), std::size(lyrics));
            index = 0;
            for (const TagLib::ID3v2::Frame* frame : lyricFrames) {
                EXPECT_EQ(static_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame)->text(),
                          texts[index++]);
            }
        }
    }
}

// A source whose only tag is an ID3v1 or APEv2 tag: its fields become the pieces' ID3v2 frames, nothing
// more (no comment frame for an empty comment), and an ID3v1 tag stays, with each piece's track.
TEST(SourceTags, Id3v1AndApeFieldsReachThePiecesId3v2Tag) {
    const auto dir = scratchDir("source-tags-v1-ape");
    const auto v1 = untaggedSource(dir, "v1.mp3");
    {
        TagLib::MPEG::File file(v1.c_str());
        TagLib::ID3v1::Tag* tag = file.ID3v1Tag(true);
        tag->setTitle("One");
        tag->setArtist("First Artist");
        tag->setAlbum("Old Album");
        tag->setYear(1987);
        tag->setGenre("Rock");
        tag->setTrack(5);
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers));
    }
    const auto ape = untaggedSource(dir, "ape.mp3");
    {
        TagLib::MPEG::File file(ape.c_str());
        TagLib::APE::Tag* tag = file.APETag(true);
        tag->setTitle("Two");
        tag->setArtist("Second Artist");
        tag->setAlbum("Ape Album");
        tag->setYear(2003);
        tag->setComment("said in APE");
        tag->setGenre("Jazz");
        tag->setTrack(3);
        tag->addValue("ALBUM ARTIST", "Band");
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE, TagLib::File::StripOthers));
    }
    struct Case {
        std::filesystem::path source;
        std::vector<std::string> frames; // mutagen's lines without the track number
        bool id3v1;
    };
    const Case cases[] = {
        {v1, {"TALB Old Album", "TCON Rock", "TDRC 1987", "TIT2 One", "TPE1 First Artist"}, true},
        {ape,
         {"COMM XXX||said in APE", "TALB Ape Album", "TCON Jazz", "TDRC 2003", "TIT2 Two",
          "TPE1 Second Artist", "TPE2 Band"},
         false},
    };
    for (const Case& c : cases) {
        const std::vector<std::filesystem::path> pieces = piecesWithCopiedTags(c.source, dir);
        for (std::size_t number = 0; number < pieces.size(); ++number) {
            SCOPED_TRACE(pieces[number].filename().string());
            std::vector<std::string> expected = c.frames;
            expected.push_back("TRCK " + std::to_string(number + 1) + "/3");
            expected.push_back("version 2.4");
            EXPECT_EQ(sorted(mutagenFrames(pieces[number])), sorted(expected));
            const std::string v1Tag = id3v1Bytes(pieces[number]);
            ASSERT_EQ(!v1Tag.empty(), c.id3v1);
            if (c.id3v1) {
                EXPECT_EQ(v1Tag.substr(3, 3), "One");
                EXPECT_EQ(v1Tag[125], '\0'); // ID3v1.1: a track number follows
                EXPECT_EQ(static_cast<int>(v1Tag[126]), static_cast<int>(number + 1));
            }
        }
    }
}

// With copied tags, a block tag changes only what the user typed: an empty text and the year a new
// block tag starts from (1979) leave the source's values.
TEST(SourceTags, ABlockTagChangesOnlyWhatTheUserTyped) {
    const auto dir = scratchDir("source-tags-typed");
    const auto source = taggedSource(dir);
    {
        TagLib::MPEG::File file(source.c_str());
        file.ID3v2Tag()->setComment("From the source");
        file.ID3v1Tag()->setArtist("Band");
        file.ID3v1Tag()->setYear(1999);
        file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2);
    }
    ID3Info titleOnly; // as Edit on a row without a record starts: empty texts, 1979
    titleOnly.title = "Typed title";
    ID3Info yearOnly{"", "", "", "", 2005};
    const std::vector<std::filesystem::path> pieces =
        piecesWithCopiedTags(source, dir, {{0, titleOnly}, {1, yearOnly}});
    struct Expected {
        const char* title;
        unsigned year;
    };
    const Expected expected[] = {{"Typed title", 1999}, {"Song", 2005}, {"Song", 1999}};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        SCOPED_TRACE(pieces[i].filename().string());
        const std::vector<std::string> frames = mutagenFrames(pieces[i]);
        for (const std::string& line :
             {std::string("TIT2 ") + expected[i].title, std::string("TPE1 Band"), std::string("TALB Album"),
              "TDRC " + std::to_string(expected[i].year)}) {
            EXPECT_NE(std::find(frames.begin(), frames.end(), line), frames.end()) << line;
        }
        EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                                [](const std::string& line) {
                                    return line.find("From the source") != std::string::npos;
                                }),
                  1);
        TagLib::MPEG::File file(pieces[i].c_str());
        ASSERT_TRUE(file.hasID3v1Tag());
        EXPECT_EQ(file.ID3v1Tag()->title(), expected[i].title);
        EXPECT_EQ(file.ID3v1Tag()->artist(), "Band");
        EXPECT_EQ(file.ID3v1Tag()->comment(), "From the source");
        EXPECT_EQ(file.ID3v1Tag()->year(), expected[i].year);
    }
}
