#include "document/BlockTags.h"

#include <gtest/gtest.h>

namespace {

TEST(BlockTags, FindAndSetKeepOneRecordPerBlock) {
    std::vector<BlockTag> tags;
    EXPECT_EQ(findBlockTag(tags, 0), std::nullopt);

    setBlockTag(tags, 2, {"A", "B", "C", "D", 2000});
    setBlockTag(tags, 0, {"a", "", "", "", 1979});
    setBlockTag(tags, 2, {"X", "Y", "Z", "W", 2001});
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].block, 0);
    EXPECT_EQ(findBlockTag(tags, 2), (ID3Info{"X", "Y", "Z", "W", 2001}));
    EXPECT_EQ(findBlockTag(tags, 0)->album, "a");
    EXPECT_EQ(findBlockTag(tags, 1), std::nullopt);

    // A list handed in out of order with two records for one block: sorted, and the first counts.
    tags.push_back({0, {"later", "", "", "", 1}});
    tags = sortedBlockTags(tags);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(findBlockTag(tags, 0)->album, "a");

    EXPECT_EQ(blockTagOrEmpty(tags, 5), (ID3Info{"", "", "", "", 1979}));
    applyTagToAllBlocks(tags, 3, {"", "", "", "", 1999});
    EXPECT_EQ(findBlockTag(tags, 1)->year, 1999);
    EXPECT_EQ(findBlockTag(tags, 2)->year, 1999);
    EXPECT_EQ(tags.size(), 3u);
}

TEST(BlockTags, SettingManyAtOnceMergesInBlockOrder) {
    std::vector<BlockTag> tags = {{1, {"one", "", "", "", 1}}, {4, {"four", "", "", "", 4}}};
    // Out of order, a block twice (the last counts), a block before, between and after the kept ones.
    setBlockTags(tags, {{6, {"six", "", "", "", 6}},
                        {4, {"first four", "", "", "", 4}},
                        {kWholeListRecord, {"disc", "", "", "", 0}},
                        {4, {"new four", "", "", "", 4}},
                        {2, {"two", "", "", "", 2}}});
    std::vector<std::pair<int, std::string>> seen;
    for (const BlockTag& record : tags) {
        seen.emplace_back(record.block, record.tag.album);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{
                        {-1, "disc"}, {1, "one"}, {2, "two"}, {4, "new four"}, {6, "six"}}));
    eraseBlockTag(tags, 2);
    eraseBlockTag(tags, 3);
    EXPECT_EQ(findBlockTag(tags, 2), std::nullopt);
    EXPECT_EQ(findBlockTag(tags, 6)->album, "six");
    EXPECT_EQ(tags.size(), 4u);
}

} // namespace
