#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/EditingSettings.h"
#include "app/QtPath.h"
#include "app/ShellChildView.h"
#include "app/ShellPrompts.h"
#include "document/Messages.h"
#include "document/SameFile.h"
#include "document/SharedTexts.h"
#include "output/EditedCopy.h"
#include "settings/PathText.h"
#include "view/EditKeys.h"
#include "view/SelectedBlock.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

// The Edit menu: undo and redo of the changes of the break points, the block tags and the block
// edits; removing, keeping and restoring blocks; hearing a cut; and the File menu's Save Edited Copy.

namespace {

// What a frame lasts when the file has told nothing yet: MPEG-1 Layer III at 44.1 kHz.
constexpr double kTypicalFrameSeconds = 1152.0 / 44100.0;

} // namespace

void CMainFrame::createEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = addCommand(edit, ID_EDIT_UNDO, QStringLiteral("&Undo"), QString(), &CMainFrame::onUndo);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setShortcutContext(Qt::WindowShortcut);
    QAction* redo = addCommand(edit, ID_EDIT_REDO, QStringLiteral("&Redo"), QString(), &CMainFrame::onRedo);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    redo->setShortcutContext(Qt::WindowShortcut);
    edit->addSeparator();
    // Delete and Shift+P are the view's keys (acting on release like its others): the texts only name them.
    addCommand(edit, ID_REMOVE_BLOCK, QStringLiteral("Re&move Block\tShift+Del"),
               QStringLiteral("Leave the selected block out of the edited result"),
               &CMainFrame::onRemoveBlock);
    addCommand(edit, ID_KEEP_ONLY_BLOCK, QStringLiteral("&Keep Only This Block"),
               QStringLiteral("Remove every block but the selected one"), &CMainFrame::onKeepOnlyBlock);
    addCommand(edit, ID_RESTORE_BLOCK, QStringLiteral("Re&store Block"),
               QStringLiteral("Put the selected removed block back"), &CMainFrame::onRestoreBlock);
    addCommand(edit, ID_RESTORE_ALL_BLOCKS, QStringLiteral("Restore A&ll Blocks"),
               QStringLiteral("Put every removed block back"), &CMainFrame::onRestoreAllBlocks);
    edit->addSeparator();
    addCommand(edit, ID_PLAY_AROUND, QStringLiteral("&Play Around Break Point\tShift+P"),
               QStringLiteral("Play the edited result around the selected break point"),
               &CMainFrame::onPlayAround);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
    updateEditPrompts();
}

void CMainFrame::addSaveEditedCopyCommand(QMenu* menu) {
    addCommand(menu, ID_SAVE_EDITED_COPY, QStringLiteral("Save Edited Cop&y ..."),
               QStringLiteral("Save the kept blocks, joined, to one mp3 file"),
               &CMainFrame::onSaveEditedCopy);
}

void CMainFrame::fillEditState(CommandState& state) const {
    // The loading thread owns the list and the edits while it runs.
    if (state.loading || state.frameCount == 0) {
        return;
    }
    const SplitDocument& doc = *m_view;
    state.selectedBlock = selectedBlock(doc, m_view->player().playPosition());
    state.selectedBlockRemoved = state.selectedBlock >= 0 && doc.isBlockRemoved(state.selectedBlock);
    state.keptBlocks = static_cast<int>(doc.editedStream().size());
    state.anyRemoved = anyRemoved(doc.m_blockEdits);
    state.anyBlockEdit = !doc.m_blockEdits.empty();
    state.breakPointSelected = doc.selectionInList();
}

void CMainFrame::runViewKey(unsigned message) {
    const int id = message == UM_REMOVE_BLOCK ? ID_REMOVE_BLOCK : ID_PLAY_AROUND;
    const CommandState state = commandState();
    if (isCommandEnabled(id, state)) {
        // A disabled action ignores trigger(): its enabling may be older than this key.
        updateCommands();
        m_commands.value(id)->trigger();
        return;
    }
    // Say why the key did nothing, as the gestures do.
    if (state.loading || state.frameCount == 0) {
        return;
    }
    if (id == ID_PLAY_AROUND) {
        m_view->log(LogLevel::Error, "No break point has been selected, play action canceled!");
    } else if (state.busy) {
        m_view->removeBlock(state.selectedBlock); // logs the refusal
    } else if (state.selectedBlock < 0) {
        m_view->log(LogLevel::Error, "No block has been selected, remove action canceled!");
    } else if (!state.selectedBlockRemoved) {
        m_view->log(LogLevel::Error, "The last kept block can not be removed!");
    }
}

void CMainFrame::updateEditPrompts() {
    const EditHistory& history = m_view->m_history;
    if (QAction* undo = m_commands.value(ID_EDIT_UNDO)) {
        undo->setStatusTip(history.canUndo()
                               ? QStringLiteral("Undo ") + QString::fromStdString(history.undoDescription())
                               : QStringLiteral("Nothing to undo"));
    }
    if (QAction* redo = m_commands.value(ID_EDIT_REDO)) {
        redo->setStatusTip(history.canRedo()
                               ? QStringLiteral("Redo ") + QString::fromStdString(history.redoDescription())
                               : QStringLiteral("Nothing to redo"));
    }
}

void CMainFrame::onUndo() {
    m_view->undoEdit();
}

void CMainFrame::onRedo() {
    m_view->redoEdit();
}

int CMainFrame::editedBlock() const {
    return selectedBlock(*m_view, m_view->player().playPosition());
}

void CMainFrame::onRemoveBlock() {
    m_view->removeBlock(editedBlock());
}

void CMainFrame::onKeepOnlyBlock() {
    m_view->keepOnlyBlock(editedBlock());
}

void CMainFrame::onRestoreBlock() {
    m_view->restoreBlock(editedBlock());
}

void CMainFrame::onRestoreAllBlocks() {
    m_view->restoreAllBlocks();
}

void CMainFrame::onPlayAround() {
    const double frameSeconds =
        m_view->secondsPerFrame() > 0.0 ? m_view->secondsPerFrame() : kTypicalFrameSeconds;
    const int each = std::max(1, static_cast<int>(std::lround(playAroundSeconds() / frameSeconds)));
    m_view->player().playAround(m_view->m_selectedBreakPoint, each);
    m_view->update();
}

// The names are settled on the GUI thread; the copy runs on the saving thread of a single block, so
// the window goes on painting and the busy rules hold while it writes.
void CMainFrame::onSaveEditedCopy() {
    SplitDocument& doc = *m_view;
    if (doc.isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        return;
    }
    const auto path = chooseCopyPath("-edited.mp3", "The edited copy", "Save Edited Copy");
    if (!path) {
        return;
    }
    // Everything the writer reads is copied now: the list may change while it writes.
    EditedCopyOptions options;
    options.copyTags = doc.m_editSettings.copyTags;
    options.chapters = doc.m_editSettings.chapters;
    options.fadeCutsMs = doc.pieceOptions().fadeCutsMs;
    auto job = std::make_shared<const EditedCopyJob>(editedCopyJob(doc, *path, options));
    // The copy logs its own result; a nonzero wParam only frees the slot, without a block's line.
    if (!doc.m_blockThread.start([&doc, job] {
            runEditedCopy(*job, doc.m_frame);
            doc.m_view.post(UM_BLOCK_SAVED, 1, 0);
        })) {
        doc.log(LogLevel::Error, kNoWorkerThreadText);
    }
    m_view->update();
}
