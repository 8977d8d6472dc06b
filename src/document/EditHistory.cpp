#include "document/EditHistory.h"

#include <utility>

std::size_t EditHistory::bytesOf(const Step& step) {
    std::size_t bytes = sizeof(Step) + step.description.size() + step.runKey.size() +
                        step.state.breakPoints.size() * sizeof(BreakPoint);
    for (const BlockTag& record : step.state.blockTags) {
        const ID3Info& tag = record.tag;
        bytes +=
            sizeof(BlockTag) + tag.album.size() + tag.artist.size() + tag.title.size() + tag.comment.size();
    }
    // A map node: the key, the edit and the tree's links.
    bytes += step.state.blockEdits.size() * (sizeof(BlockEdits::value_type) + 4 * sizeof(void*));
    return bytes;
}

void EditHistory::push(std::deque<Step>& stack, Step step) {
    step.bytes = bytesOf(step);
    m_memoryUsed += step.bytes;
    stack.push_back(std::move(step));
}

EditHistory::Step EditHistory::pop(std::deque<Step>& stack) {
    Step step = std::move(stack.back());
    stack.pop_back();
    m_memoryUsed -= step.bytes;
    return step;
}

void EditHistory::record(EditSnapshot before, std::string description, std::string runKey) {
    for (const Step& step : m_redo) {
        m_memoryUsed -= step.bytes;
    }
    m_redo.clear();
    if (m_runOpen && !runKey.empty() && !m_undo.empty() && m_undo.back().runKey == runKey) {
        // The step already holds the state before the run, and the name of its first change.
        trimToBound();
        return;
    }
    push(m_undo, Step{std::move(before), std::move(description), std::move(runKey), 0});
    m_runOpen = !m_undo.back().runKey.empty();
    trimToBound();
}

std::optional<EditSnapshot> EditHistory::undo(EditSnapshot current) {
    if (m_undo.empty()) {
        return std::nullopt;
    }
    m_runOpen = false;
    Step step = pop(m_undo);
    push(m_redo, Step{std::move(current), step.description, {}, 0});
    trimToBound();
    return std::move(step.state);
}

std::optional<EditSnapshot> EditHistory::redo(EditSnapshot current) {
    if (m_redo.empty()) {
        return std::nullopt;
    }
    m_runOpen = false;
    Step step = pop(m_redo);
    push(m_undo, Step{std::move(current), step.description, {}, 0});
    trimToBound();
    return std::move(step.state);
}

void EditHistory::clear() {
    m_undo.clear();
    m_redo.clear();
    m_memoryUsed = 0;
    m_runOpen = false;
}

void EditHistory::trimToBound() {
    // The oldest undo steps go first, then the farthest redo steps; the newest step always stays.
    while (m_memoryUsed > m_memoryBound && m_undo.size() + m_redo.size() > 1) {
        std::deque<Step>& stack = m_undo.size() > 1 || m_redo.empty() ? m_undo : m_redo;
        m_memoryUsed -= stack.front().bytes;
        stack.pop_front();
    }
}
