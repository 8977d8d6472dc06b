#include "engine/Id3v2Nesting.h"

#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

bool within(const Bytes& tag) {
    return mp3::chapterNestingWithinLimit(tag.data(), tag.size());
}

int depthOf(const TagLib::ID3v2::FrameList& frames) {
    int deepest = 0;
    for (const TagLib::ID3v2::Frame* frame : frames) {
        if (const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame)) {
            deepest = std::max(deepest, 1 + depthOf(chapter->embeddedFrameList()));
        } else if (const auto* table = dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame*>(frame)) {
            deepest = std::max(deepest, 1 + depthOf(table->embeddedFrameList()));
        }
    }
    return deepest;
}

// How deep TagLib itself nests the chapter frames of the tag (only for tags it survives).
int taglibDepth(const Bytes& tag) {
    TagLib::ByteVector bytes(reinterpret_cast<const char*>(tag.data()), static_cast<unsigned>(tag.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    return file.hasID3v2Tag() ? depthOf(file.ID3v2Tag()->frameList()) : 0;
}

// A CHAP frame's fields ahead of its embedded frames.
Bytes chapterFields(const std::string& element) {
    Bytes fields(element.begin(), element.end());
    fields.resize(fields.size() + 17, 0);
    return fields;
}

// A CTOC frame's fields: element id, flags and no children.
Bytes tableFields() {
    return {'t', 0, 3, 0};
}

// `depth` chapter frames nested in each other, CHAP and CTOC by turns when `alternate`, around `inner`.
Bytes nested(int depth, int version, std::uint8_t formatFlags = 0, bool alternate = false,
             Bytes inner = id3TextFrame("TIT2", "x", 4)) {
    for (int level = 0; level < depth; ++level) {
        const bool table = alternate && level % 2 == 1;
        Bytes body = table ? tableFields() : chapterFields("c");
        append(body, inner);
        inner = id3Frame(table ? "CTOC" : "CHAP", body, version, formatFlags);
    }
    return inner;
}

// Inserts a zero byte after every 0xFF, as an unsynchronising writer does.
Bytes unsynchronised(const Bytes& bytes) {
    Bytes out;
    for (const std::uint8_t byte : bytes) {
        out.push_back(byte);
        if (byte == 0xFF) {
            out.push_back(0);
        }
    }
    return out;
}

} // namespace

// The walk must never say "within" where TagLib nests deeper than the limit: each tag small enough for
// TagLib to survive is also parsed by TagLib, and the verdicts must agree.
TEST(Id3v2Nesting, AgreesWithTagLibAboutHowDeepChaptersNest) {
    struct Case {
        const char* what;
        Bytes tag;
    };
    Bytes flat;
    for (int i = 0; i < 300; ++i) {
        Bytes body = chapterFields("chp" + std::to_string(i));
        append(body, id3TextFrame("TIT2", "Track", 4));
        append(flat, id3Frame("CHAP", body, 4));
    }
    // Frames of 255 bytes and more put 0xFF into sizes, which an unsynchronised tag follows by zeros.
    const Bytes wide = id3TextFrame("TIT2", std::string(300, '\xFF'), 3);
    Bytes plainSized = nested(40, 3, 0, false, id3TextFrame("TIT2", "x", 3));
    append(plainSized, id3TextFrame("TIT2", "after", 3));
    const Case cases[] = {
        {"32 CHAP levels", id3Tag(4, nested(32, 4))},
        {"33 CHAP levels", id3Tag(4, nested(33, 4))},
        {"33 CTOC levels", nestedChapterTag(4, "CTOC", 33)},
        {"32 CTOC levels", nestedChapterTag(4, "CTOC", 32)},
        {"40 levels of CHAP and CTOC by turns", id3Tag(4, nested(40, 4, 0, true))},
        {"40 CHAP levels, version 2.3", id3Tag(3, nested(40, 3, 0, false, id3TextFrame("TIT2", "x", 3)))},
        {"unsynchronised version 2.3 tag", id3Tag(3, unsynchronised(nested(40, 3, 0, false, wide)), 0x80)},
        {"unsynchronised version 2.4 frames", id3Tag(4, nested(40, 4, 0x02))},
        {"version 2.4 tag with plain sizes", id3Tag(4, plainSized)},
        {"encrypted chapter frames", id3Tag(4, nested(40, 4, 0x04))},
        {"300 chapters side by side", id3Tag(4, flat)},
        {"a tag without chapters", id3Tag(4, id3TextFrame("TIT2", "Song", 4))},
    };
    for (const Case& c : cases) {
        const int depth = taglibDepth(c.tag);
        EXPECT_EQ(within(c.tag), depth <= mp3::kMaxChapterNesting) << c.what << ": TagLib nests " << depth;
    }
    // The deep ones, which TagLib does not survive, and a compressed chapter frame, whose content the
    // walk can not see.
    EXPECT_FALSE(within(nestedChapterTag(4, "CHAP", 20000)));
    EXPECT_FALSE(within(nestedChapterTag(4, "CTOC", 20000)));
    EXPECT_FALSE(within(nestedChapterTag(3, "CHAP", 20000)));
    EXPECT_FALSE(within(id3Tag(4, id3Frame("CHAP", chapterFields("c"), 4, 0x08 | 0x01))));
    EXPECT_TRUE(within(Bytes(100, 0xFF)));
}

TEST(Id3v2Nesting, DisarmingRenamesEveryChapterIdAndKeepsTheLength) {
    Bytes tag = nestedChapterTag(4, "CTOC", 50);
    append(tag, id3Frame("CHAP", chapterFields("CHAP in an element id"), 4));
    const std::size_t size = tag.size();
    mp3::disarmChapterFrames(tag.data(), tag.size());
    EXPECT_EQ(tag.size(), size);
    const std::string text(tag.begin(), tag.end());
    EXPECT_EQ(text.find("CHAP"), std::string::npos);
    EXPECT_EQ(text.find("CTOC"), std::string::npos);
    EXPECT_NE(text.find(mp3::kDisarmedTocId), std::string::npos);
    EXPECT_TRUE(within(tag));
    EXPECT_EQ(taglibDepth(tag), 0);
}
