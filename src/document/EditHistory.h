#pragma once

#include "document/BlockEdits.h"
#include "document/DocumentTypes.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// What an edit of the break points can change: the list, the block tags, the block edits and the
// selection.
struct EditSnapshot {
    BreakPointList breakPoints;
    std::vector<BlockTag> blockTags;
    int selectedBreakPoint = -1;
    BlockEdits blockEdits;
    bool operator==(const EditSnapshot&) const = default;
};

// Undo and redo as whole snapshots of the state before each step. Snapshots are small (a few
// bytes per break point and tag), so copying them is simpler and safer than inverse operations;
// the oldest steps are forgotten when the snapshots together exceed the memory bound.
class EditHistory {
public:
    static constexpr std::size_t kDefaultMemoryBound = 16u * 1024u * 1024u;

    explicit EditHistory(std::size_t memoryBound = kDefaultMemoryBound) : m_memoryBound(memoryBound) {}

    // Called before a change with the state it is about to change. A change with the same non-empty
    // `runKey` as the step before, while that run is open, joins that step (a drag, a run of
    // nudges) and keeps its name: undo then returns to the state before the whole run. Forgets
    // what could be redone.
    void record(EditSnapshot before, std::string description, std::string runKey = {});
    // Closes the open run, so the next change starts a step of its own.
    void closeRun() { m_runOpen = false; }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // What the next undo or redo takes back or does again; empty when there is none.
    std::string undoDescription() const { return m_undo.empty() ? std::string() : m_undo.back().description; }
    std::string redoDescription() const { return m_redo.empty() ? std::string() : m_redo.back().description; }

    // The state to restore, given the current one (which redo, or undo, then returns to).
    std::optional<EditSnapshot> undo(EditSnapshot current);
    std::optional<EditSnapshot> redo(EditSnapshot current);

    void clear();
    std::size_t memoryUsed() const { return m_memoryUsed; }
    std::size_t memoryBound() const { return m_memoryBound; }
    std::size_t undoSteps() const { return m_undo.size(); }

private:
    struct Step {
        EditSnapshot state;
        std::string description;
        std::string runKey;
        std::size_t bytes = 0;
    };
    static std::size_t bytesOf(const Step& step);
    void push(std::deque<Step>& stack, Step step);
    Step pop(std::deque<Step>& stack);
    void trimToBound();

    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    std::size_t m_memoryBound;
    std::size_t m_memoryUsed = 0;
    bool m_runOpen = false;
};
