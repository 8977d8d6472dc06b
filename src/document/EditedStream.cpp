#include "document/EditedStream.h"

#include <algorithm>

std::vector<EditedRange> editedStream(const std::vector<int>& blockStarts, int frameCount,
                                      const BlockEdits& edits) {
    std::vector<EditedRange> stream;
    stream.reserve(blockStarts.size());
    for (std::size_t block = 0; block < blockStarts.size(); ++block) {
        const BlockEdit edit = blockEditAt(edits, blockStarts[block]);
        if (edit.removed) {
            continue;
        }
        const int to = block + 1 < blockStarts.size() ? blockStarts[block + 1] : frameCount;
        stream.push_back({static_cast<int>(block), blockStarts[block], to, edit});
    }
    return stream;
}

bool anyRemoved(const BlockEdits& edits) {
    return std::any_of(edits.begin(), edits.end(), [](const auto& entry) { return entry.second.removed; });
}

int keptFrameFrom(const std::vector<EditedRange>& stream, int frame, int frameCount) {
    // The first range that ends after `frame`.
    const auto range = std::upper_bound(stream.begin(), stream.end(), frame,
                                        [](int value, const EditedRange& r) { return value < r.to; });
    if (range == stream.end()) {
        return frameCount;
    }
    return std::max(frame, range->from);
}

int editedFrameCount(const std::vector<EditedRange>& stream) {
    int count = 0;
    for (const EditedRange& range : stream) {
        count += range.to - range.from;
    }
    return count;
}
