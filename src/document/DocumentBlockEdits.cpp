#include "document/SplitDocument.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

std::string blockName(const std::vector<int>& starts, int block, int frameCount) {
    const auto index = static_cast<std::size_t>(block);
    const int end = index + 1 < starts.size() ? starts[index + 1] : frameCount;
    return "Block " + std::to_string(starts[index]) + " F - " + std::to_string(end) + " F";
}

} // namespace

int SplitDocument::blockAt(int frame) const {
    if (frame < 0 || frame >= frameCount()) {
        return -1;
    }
    const std::vector<int> starts = blockStarts();
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), frame) - starts.begin()) - 1;
}

BlockEdit SplitDocument::blockEdit(int block) const {
    const std::vector<int> starts = blockStarts();
    if (block < 0 || static_cast<std::size_t>(block) >= starts.size()) {
        return {};
    }
    return blockEditAt(m_blockEdits, starts[static_cast<std::size_t>(block)]);
}

std::vector<EditedRange> SplitDocument::editedStream() const {
    return ::editedStream(blockStarts(), frameCount(), m_blockEdits);
}

void SplitDocument::setBlockEdit(int block, const BlockEdit& edit) {
    const std::vector<int> starts = blockStarts();
    if (block < 0 || static_cast<std::size_t>(block) >= starts.size()) {
        return;
    }
    const int first = starts[static_cast<std::size_t>(block)];
    if (blockEditAt(m_blockEdits, first) == edit) {
        return;
    }
    rememberEdit("edit block " + std::to_string(block + 1));
    if (edit.isDefault()) {
        m_blockEdits.erase(first);
    } else {
        m_blockEdits[first] = edit;
    }
}

void SplitDocument::replaceBlockEdits(BlockEdits edits) {
    if (edits == m_blockEdits) {
        return;
    }
    rememberEdit("edit the blocks");
    m_blockEdits = std::move(edits);
}

bool SplitDocument::removeBlock(int block) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block < 0 || static_cast<std::size_t>(block) >= starts.size()) {
        log(LogLevel::Error, "No block has been selected, remove action canceled!");
        return false;
    }
    BlockEdit edit = blockEdit(block);
    if (edit.removed) {
        return false;
    }
    edit.removed = true;
    EditStep step(*this, "remove block " + std::to_string(block + 1));
    setBlockEdit(block, edit);
    log(LogLevel::Normal, blockName(starts, block, frameCount()) + " has been removed");
    invalidateView();
    return true;
}

bool SplitDocument::restoreBlock(int block) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block < 0 || static_cast<std::size_t>(block) >= starts.size()) {
        log(LogLevel::Error, "No block has been selected, restore action canceled!");
        return false;
    }
    BlockEdit edit = blockEdit(block);
    if (!edit.removed) {
        return false;
    }
    edit.removed = false;
    EditStep step(*this, "restore block " + std::to_string(block + 1));
    setBlockEdit(block, edit);
    log(LogLevel::Normal, blockName(starts, block, frameCount()) + " has been restored");
    invalidateView();
    return true;
}

bool SplitDocument::keepOnlyBlock(int block) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block < 0 || static_cast<std::size_t>(block) >= starts.size()) {
        log(LogLevel::Error, "No block has been selected, keep action canceled!");
        return false;
    }
    BlockEdits edits = m_blockEdits;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        BlockEdit edit = blockEditAt(edits, starts[i]);
        edit.removed = static_cast<int>(i) != block;
        if (edit.isDefault()) {
            edits.erase(starts[i]);
        } else {
            edits[starts[i]] = edit;
        }
    }
    if (edits == m_blockEdits) {
        return false;
    }
    EditStep step(*this, "keep only block " + std::to_string(block + 1));
    replaceBlockEdits(std::move(edits));
    log(LogLevel::Normal, blockName(starts, block, frameCount()) + " is the only block kept");
    invalidateView();
    return true;
}

bool SplitDocument::restoreAllBlocks() {
    if (refuseListChange()) {
        return false;
    }
    BlockEdits edits;
    for (const auto& [first, edit] : m_blockEdits) {
        BlockEdit kept = edit;
        kept.removed = false;
        if (!kept.isDefault()) {
            edits[first] = kept;
        }
    }
    if (edits == m_blockEdits) {
        return false;
    }
    EditStep step(*this, "restore all blocks");
    replaceBlockEdits(std::move(edits));
    log(LogLevel::Normal, "All blocks have been restored");
    invalidateView();
    return true;
}

std::vector<int> SplitDocument::startsBeforeEdit() const {
    return m_blockEdits.empty() ? std::vector<int>{} : blockStarts();
}

void SplitDocument::carryEdits(const std::vector<int>& before, std::optional<std::pair<int, int>> moved) {
    if (!m_blockEdits.empty()) {
        m_blockEdits = carryBlockEdits(m_blockEdits, before, blockStarts(), moved);
    }
}
