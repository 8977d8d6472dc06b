#include "document/BlockTags.h"

#include <algorithm>

namespace {

bool beforeBlock(const BlockTag& record, int block) {
    return record.block < block;
}

bool byBlock(const BlockTag& first, const BlockTag& second) {
    return first.block < second.block;
}

} // namespace

std::optional<ID3Info> findBlockTag(const std::vector<BlockTag>& tags, int block) {
    const auto found = std::lower_bound(tags.begin(), tags.end(), block, beforeBlock);
    if (found == tags.end() || found->block != block) {
        return std::nullopt;
    }
    return found->tag;
}

void setBlockTag(std::vector<BlockTag>& tags, int block, const ID3Info& info) {
    const auto found = std::lower_bound(tags.begin(), tags.end(), block, beforeBlock);
    if (found != tags.end() && found->block == block) {
        found->tag = info;
        return;
    }
    tags.insert(found, BlockTag{block, info});
}

void eraseBlockTag(std::vector<BlockTag>& tags, int block) {
    const auto found = std::lower_bound(tags.begin(), tags.end(), block, beforeBlock);
    if (found != tags.end() && found->block == block) {
        tags.erase(found);
    }
}

void setBlockTags(std::vector<BlockTag>& tags, std::vector<BlockTag> updates) {
    std::stable_sort(updates.begin(), updates.end(), byBlock);
    std::vector<BlockTag> merged;
    merged.reserve(tags.size() + updates.size());
    auto old = tags.begin();
    for (auto update = updates.begin(); update != updates.end(); ++update) {
        // Only the last update for a block counts.
        if (update + 1 != updates.end() && (update + 1)->block == update->block) {
            continue;
        }
        while (old != tags.end() && old->block < update->block) {
            merged.push_back(std::move(*old++));
        }
        if (old != tags.end() && old->block == update->block) {
            ++old;
        }
        merged.push_back(std::move(*update));
    }
    std::move(old, tags.end(), std::back_inserter(merged));
    tags = std::move(merged);
}

std::vector<BlockTag> sortedBlockTags(std::vector<BlockTag> tags) {
    std::stable_sort(tags.begin(), tags.end(), byBlock);
    tags.erase(std::unique(
                   tags.begin(), tags.end(),
                   [](const BlockTag& first, const BlockTag& second) { return first.block == second.block; }),
               tags.end());
    return tags;
}

ID3Info emptyBlockTag() {
    return ID3Info{};
}

ID3Info blockTagOrEmpty(const std::vector<BlockTag>& tags, int block) {
    return findBlockTag(tags, block).value_or(emptyBlockTag());
}

void applyTagToAllBlocks(std::vector<BlockTag>& tags, int rowCount, const ID3Info& info) {
    std::vector<BlockTag> updates;
    updates.reserve(static_cast<std::size_t>(std::max(rowCount, 0)));
    for (int row = 0; row < rowCount; ++row) {
        updates.push_back({row, info});
    }
    setBlockTags(tags, std::move(updates));
}
