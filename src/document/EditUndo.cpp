#include "document/SplitDocument.h"

#include <utility>

// Undo and redo over the document's edit methods: each method records the state before it, a
// gesture with several edits records once through an EditStep.

SplitDocument::EditStep::EditStep(SplitDocument& doc, std::string description) : m_doc(doc) {
    if (m_doc.m_editStepDepth++ == 0) {
        m_doc.m_editStepName = std::move(description);
        m_doc.m_editStepRecorded = false;
    }
}

SplitDocument::EditStep::~EditStep() {
    if (--m_doc.m_editStepDepth == 0) {
        m_doc.m_history.closeRun();
    }
}

void SplitDocument::rememberEdit(const std::string& description, const std::string& runKey) {
    // The loading thread empties the list of the file before; a load starts a new history anyway.
    if (m_loadThread) {
        return;
    }
    if (m_editStepDepth > 0) {
        if (!m_editStepRecorded) {
            m_history.record(editSnapshot(), m_editStepName);
            m_history.closeRun();
            m_editStepRecorded = true;
        }
        return;
    }
    m_history.record(editSnapshot(), description, runKey);
}

EditSnapshot SplitDocument::editSnapshot() const {
    return EditSnapshot{m_breakPoints, m_blockTags, m_selectedBreakPoint, m_blockEdits};
}

void SplitDocument::restoreSnapshot(EditSnapshot snapshot) {
    m_breakPoints = std::move(snapshot.breakPoints);
    m_blockTags = std::move(snapshot.blockTags);
    m_blockEdits = std::move(snapshot.blockEdits);
    m_selectedBreakPoint = snapshot.selectedBreakPoint;
    invalidateView();
}

bool SplitDocument::undoEdit() {
    if (dragInProgress() || !m_history.canUndo() || refuseListChange()) {
        return false;
    }
    const std::string description = m_history.undoDescription();
    restoreSnapshot(*m_history.undo(editSnapshot()));
    log(LogLevel::Normal, "Undo: " + description);
    return true;
}

bool SplitDocument::redoEdit() {
    if (dragInProgress() || !m_history.canRedo() || refuseListChange()) {
        return false;
    }
    const std::string description = m_history.redoDescription();
    restoreSnapshot(*m_history.redo(editSnapshot()));
    log(LogLevel::Normal, "Redo: " + description);
    return true;
}
