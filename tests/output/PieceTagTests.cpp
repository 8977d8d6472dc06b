#include "output/PieceTag.h"

#include "support/FrameFiles.h"
#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace testing_support;

// TagLib looks for a tag up to the first two frames it trusts; in a piece of one frame it goes on into
// whatever follows. A tag found there that nests its chapters too deep is never handed to TagLib.
TEST(PieceTag, APieceShowingATagThatNestsTooDeepIsLeftUntagged) {
    const auto dir = scratchDir("piece-tag-nested");
    std::vector<std::uint8_t> bytes = numberedFrame(0);
    append(bytes, nestedChapterTag(4, "CHAP", 20000));
    writeBytes(dir / "piece.mp3", bytes);
    ID3Info tag;
    tag.title = "Piece";
    EXPECT_FALSE(applyBlockTag(dir / "piece.mp3", tag));
    EXPECT_EQ(readBytes(dir / "piece.mp3"), bytes);
}

// What a block tag changes of copied source tags: only typed texts, and a year other than the 1979 a
// new block tag starts from.
TEST(PieceTag, ABlockTagOverASourceTagChangesOnlyWhatWasTyped) {
    const ID3Info source{"Album", "Band", "Song", "Note", 1999};
    struct Case {
        ID3Info block;
        ID3Info expected;
    };
    const Case cases[] = {
        {{"", "", "", "", 1979}, source},
        {{"", "", "New", "", 1979}, {"Album", "Band", "New", "Note", 1999}},
        {{"Other", "Them", "", "Said", 2005}, {"Other", "Them", "Song", "Said", 2005}},
        {{"", "", "", "", 0}, source},
        {{"", "", "", "", 1980}, {"Album", "Band", "Song", "Note", 1980}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(typedOver(source, c.block), c.expected) << c.block.title << " " << c.block.year;
    }
}
