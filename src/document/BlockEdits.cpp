#include "document/BlockEdits.h"

#include <algorithm>
#include <iterator>
#include <limits>

std::vector<int> cutFramesOf(const BreakPointList& breakPoints, int frameCount) {
    std::vector<int> cuts;
    cuts.reserve(breakPoints.size());
    for (const BreakPoint value : breakPoints) {
        if (value >= 1 && value < frameCount) {
            cuts.push_back(value);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

std::vector<int> blockStartsOf(const BreakPointList& breakPoints, int frameCount) {
    if (frameCount < 1) {
        return {};
    }
    std::vector<int> starts = cutFramesOf(breakPoints, frameCount);
    starts.insert(starts.begin(), 0);
    return starts;
}

BlockEdit blockEditAt(const BlockEdits& edits, int first) {
    const auto found = edits.find(first);
    return found == edits.end() ? BlockEdit{} : found->second;
}

BlockEdits carryBlockEdits(const BlockEdits& edits, const std::vector<int>& before,
                           const std::vector<int>& after, std::optional<std::pair<int, int>> moved) {
    if (edits.empty()) {
        return {};
    }
    const auto has = [](const std::vector<int>& starts, int value) {
        return std::binary_search(starts.begin(), starts.end(), value);
    };
    std::vector<int> old = before;
    BlockEdits keyed = edits;
    // A dragged break point takes its block's edit along, unless it landed on another block's start
    // (then the two blocks merge) or a copy of it stays behind (then the list only gained a start).
    if (moved && has(before, moved->first) && !has(after, moved->first) && has(after, moved->second) &&
        !has(before, moved->second)) {
        std::replace(old.begin(), old.end(), moved->first, moved->second);
        std::sort(old.begin(), old.end());
        if (const auto node = keyed.extract(moved->first)) {
            keyed[moved->second] = node.mapped();
        }
    }
    BlockEdits carried;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const int start = after[i];
        const auto containing = std::upper_bound(old.begin(), old.end(), start);
        if (containing == old.begin()) {
            continue;
        }
        BlockEdit edit = blockEditAt(keyed, *std::prev(containing));
        // The old blocks that start inside this one were merged into it.
        const int end = i + 1 < after.size() ? after[i + 1] : std::numeric_limits<int>::max();
        for (auto merged = containing; merged != old.end() && *merged < end; ++merged) {
            edit.removed = edit.removed && blockEditAt(keyed, *merged).removed;
        }
        if (!edit.isDefault()) {
            carried[start] = edit;
        }
    }
    return carried;
}
