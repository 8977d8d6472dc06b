#include "document/BlockTags.h"
#include "document/SplitDocument.h"

#include <algorithm>
#include <string>
#include <utility>

void SplitDocument::appendBreakPoint(BreakPoint value) {
    rememberEdit("add break point at " + std::to_string(value) + " F");
    const std::vector<int> before = startsBeforeEdit();
    m_breakPoints.push_back(value);
    carryEdits(before);
}

void SplitDocument::removeBreakPointAt(std::size_t index) {
    if (index < m_breakPoints.size()) {
        rememberEdit("delete break point at " + std::to_string(m_breakPoints[index]) + " F");
        const std::vector<int> before = startsBeforeEdit();
        m_breakPoints.erase(m_breakPoints.begin() + static_cast<std::ptrdiff_t>(index));
        carryEdits(before);
    }
}

void SplitDocument::moveBreakPoint(std::size_t index, BreakPoint value) {
    if (index < m_breakPoints.size()) {
        // The moves of one drag or of a run of nudges on one element are one step.
        rememberEdit("move break point from " + std::to_string(m_breakPoints[index]) + " F",
                     "move " + std::to_string(index));
        const std::vector<int> before = startsBeforeEdit();
        const BreakPoint from = m_breakPoints[index];
        m_breakPoints[index] = value;
        carryEdits(before, std::pair{from, value});
    }
}

void SplitDocument::replaceBreakPoints(BreakPointList breakPoints) {
    rememberEdit("replace the break points");
    const std::vector<int> before = startsBeforeEdit();
    m_breakPoints = std::move(breakPoints);
    carryEdits(before);
}

void SplitDocument::sortBreakPoints() {
    std::sort(m_breakPoints.begin(), m_breakPoints.end());
}

void SplitDocument::setBlockTag(int block, const ID3Info& tag) {
    rememberEdit("set the tag of block " + std::to_string(block + 1));
    ::setBlockTag(m_blockTags, block, tag);
}

void SplitDocument::clearBlockTag(int block) {
    rememberEdit("remove the tag of block " + std::to_string(block + 1));
    eraseBlockTag(m_blockTags, block);
}

void SplitDocument::replaceBlockTags(std::vector<BlockTag> tags) {
    rememberEdit("edit the block tags");
    m_blockTags = sortedBlockTags(std::move(tags));
}
