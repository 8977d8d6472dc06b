#include "document/SplitDocument.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

// Index of the first element equal to `value`, in list order.
std::optional<std::size_t> indexOf(const BreakPointList& list, int value) {
    const auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - list.begin());
}

} // namespace

bool SplitDocument::refuseListChange() const {
    if (m_saveAllThread || m_blockThread) {
        log(LogLevel::Error, "You can not change break points while separated blocks are saving ...");
        return true;
    }
    // The loading thread empties the list; the GUI must not touch it meanwhile.
    if (m_loadThread) {
        log(LogLevel::Error, "You can not change break points while a mp3 file is loading ...");
        return true;
    }
    return false;
}

void SplitDocument::addBreakPointAt(int frame) {
    if (isBusy()) {
        log(LogLevel::Error, "You can not set a break point while separated blocks are saving ...");
        return;
    }
    if (frameCount() < 1 || frame < 0) {
        log(LogLevel::Error, "You can not set a break point before you load a mp3 file!");
        return;
    }
    appendBreakPoint(frame);
    m_selectedBreakPoint = frame;
    invalidateView();
    log(LogLevel::Normal, "Break point has been added at " + std::to_string(frame) + " F");
}

void SplitDocument::addBreakPointByDialog(int typedValue) {
    if (!canEditBreakPoints()) {
        return;
    }
    appendBreakPoint(typedValue);
    invalidateView();
    log(LogLevel::Normal, "Set break point at " + std::to_string(typedValue) + " F");
}

int SplitDocument::hitBreakPoint(int frame) const {
    if (m_loadThread) {
        return -1;
    }
    for (const BreakPoint value : m_breakPoints) {
        if (std::abs(static_cast<long long>(value) - frame) < 7) {
            return value;
        }
    }
    return -1;
}

void SplitDocument::selectBreakPoint(int frame) {
    m_selectedBreakPoint = hitBreakPoint(frame);
}

std::optional<std::size_t> SplitDocument::beginDrag() {
    if (m_loadThread) {
        return std::nullopt;
    }
    const auto index = indexOf(m_breakPoints, m_selectedBreakPoint);
    if (m_selectedBreakPoint == -1 || !index) {
        return std::nullopt;
    }
    if (refuseListChange()) {
        return std::nullopt;
    }
    log(LogLevel::Normal,
        "Starting to move break point from " + std::to_string(m_breakPoints[*index]) + " F");
    return index;
}

void SplitDocument::trackDrag(std::size_t index, int frame) {
    // A save that started during the drag reads the list: the element keeps its value.
    if (index >= m_breakPoints.size() || m_saveAllThread || m_blockThread || m_loadThread) {
        return;
    }
    moveBreakPoint(index, std::clamp(frame, 0, frameCount()));
    invalidateView();
}

void SplitDocument::endDrag(std::size_t index) {
    if (m_loadThread || index >= m_breakPoints.size()) {
        return;
    }
    const int value = m_breakPoints[index];
    log(LogLevel::Normal, "Break point has been moved to " + std::to_string(value) + " F");
    m_selectedBreakPoint = value;
    // Nudges after a drag are a step of their own.
    m_history.closeRun();
}

bool SplitDocument::selectionInList() const {
    return !m_loadThread &&
           std::find(m_breakPoints.begin(), m_breakPoints.end(), m_selectedBreakPoint) != m_breakPoints.end();
}

void SplitDocument::nudgeSelected(int step) {
    if (step == 0 || !selectionInList()) {
        return;
    }
    const int old = m_selectedBreakPoint;
    // Right stops at F (one past the last frame), compared unsigned as the list may hold negatives.
    const bool allowed =
        step < 0 ? old >= -step
                 : std::uint64_t{static_cast<std::uint32_t>(old)} + static_cast<std::uint64_t>(step) <=
                       static_cast<std::uint64_t>(frameCount());
    if (!allowed) {
        return;
    }
    if (refuseListChange()) {
        return;
    }
    const int moved = old + step;
    moveBreakPoint(*indexOf(m_breakPoints, old), moved);
    m_selectedBreakPoint = moved;
    invalidateView();
    log(LogLevel::Normal, "Move break point from " + std::to_string(old) + " to " + std::to_string(moved));
}

void SplitDocument::deleteSelected() {
    if (refuseListChange()) {
        return;
    }
    const auto index = indexOf(m_breakPoints, m_selectedBreakPoint);
    if (!index) {
        log(LogLevel::Error, "No break point has been selected, delete action canceled!");
        return;
    }
    removeBreakPointAt(*index);
    invalidateView();
    log(LogLevel::Normal,
        "Break point at frame " + std::to_string(m_selectedBreakPoint) + " F has been deleted!");
}

void SplitDocument::removeBreakPoint(int value) {
    if (m_loadThread) {
        return;
    }
    const auto index = indexOf(m_breakPoints, value);
    if (!index) {
        return;
    }
    if (refuseListChange()) {
        return;
    }
    removeBreakPointAt(*index);
    invalidateView();
    log(LogLevel::Normal, "Break point at frame " + std::to_string(value) + " F has been deleted!");
}

void SplitDocument::clearBreakPoints() {
    if (!canEditBreakPoints()) {
        return;
    }
    const EditStep step(*this, "clear break points");
    replaceBreakPoints({});
    invalidateView();
    log(LogLevel::Normal, "All break points have been deleted!");
}
