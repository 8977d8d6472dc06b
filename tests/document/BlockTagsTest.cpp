#include "document/BlockTags.h"

#include <gtest/gtest.h>

namespace {

TEST(BlockTags, FindAndSetKeepOneRecordPerBlock) {
    std::vector<BlockTag> tags;
    EXPECT_THROW(findBlockTag(tags, 0), BlockNotFound);

    setBlockTag(tags, 2, {"A", "B", "C", "D", 2000});
    setBlockTag(tags, 0, {"a", "", "", "", 1979});
    setBlockTag(tags, 2, {"X", "Y", "Z", "W", 2001});
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].block, 2);
    EXPECT_EQ(findBlockTag(tags, 2), (ID3Info{"X", "Y", "Z", "W", 2001}));
    EXPECT_EQ(findBlockTag(tags, 0).album, "a");
    EXPECT_THROW(findBlockTag(tags, 1), BlockNotFound);

    // A list handed in with two records for one block: the first counts.
    tags.push_back({0, {"later", "", "", "", 1}});
    EXPECT_EQ(findBlockTag(tags, 0).album, "a");

    EXPECT_EQ(blockTagOrEmpty(tags, 5), (ID3Info{"", "", "", "", 1979}));
    applyTagToAllBlocks(tags, 3, {"", "", "", "", 1999});
    EXPECT_EQ(findBlockTag(tags, 1).year, 1999);
    EXPECT_EQ(findBlockTag(tags, 2).year, 1999);
    EXPECT_EQ(tags.size(), 4u);
}

} // namespace
