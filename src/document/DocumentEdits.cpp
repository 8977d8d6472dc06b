#include "document/BlockTags.h"
#include "document/SplitDocument.h"

#include <algorithm>
#include <utility>

void SplitDocument::appendBreakPoint(BreakPoint value) {
    m_breakPoints.push_back(value);
}

void SplitDocument::removeBreakPointAt(std::size_t index) {
    if (index < m_breakPoints.size()) {
        m_breakPoints.erase(m_breakPoints.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void SplitDocument::moveBreakPoint(std::size_t index, BreakPoint value) {
    if (index < m_breakPoints.size()) {
        m_breakPoints[index] = value;
    }
}

void SplitDocument::replaceBreakPoints(BreakPointList breakPoints) {
    m_breakPoints = std::move(breakPoints);
}

void SplitDocument::sortBreakPoints() {
    std::sort(m_breakPoints.begin(), m_breakPoints.end());
}

void SplitDocument::setBlockTag(int block, const ID3Info& tag) {
    ::setBlockTag(m_blockTags, block, tag);
}

void SplitDocument::clearBlockTag(int block) {
    std::erase_if(m_blockTags, [block](const BlockTag& record) { return record.block == block; });
}

void SplitDocument::replaceBlockTags(std::vector<BlockTag> tags) {
    m_blockTags = std::move(tags);
}
