#include "document/BlockTags.h"

#include <algorithm>

namespace {

std::vector<BlockTag>::const_iterator findRecord(const std::vector<BlockTag>& tags, int block) {
    return std::find_if(tags.begin(), tags.end(),
                        [block](const BlockTag& tag) { return tag.block == block; });
}

} // namespace

const ID3Info& findBlockTag(const std::vector<BlockTag>& tags, int block) {
    const auto found = findRecord(tags, block);
    if (found == tags.end()) {
        throw BlockNotFound();
    }
    return found->tag;
}

void setBlockTag(std::vector<BlockTag>& tags, int block, const ID3Info& info) {
    const auto found =
        std::find_if(tags.begin(), tags.end(), [block](const BlockTag& tag) { return tag.block == block; });
    if (found != tags.end()) {
        found->tag = info;
        return;
    }
    tags.push_back({block, info});
}

ID3Info emptyBlockTag() {
    return ID3Info{};
}

ID3Info blockTagOrEmpty(const std::vector<BlockTag>& tags, int block) {
    try {
        return findBlockTag(tags, block);
    } catch (const BlockNotFound&) {
        return emptyBlockTag();
    }
}

void applyTagToAllBlocks(std::vector<BlockTag>& tags, int rowCount, const ID3Info& info) {
    for (int row = 0; row < rowCount; ++row) {
        setBlockTag(tags, row, info);
    }
}
