#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/ShellChildView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

// The Edit menu: undo and redo of the changes of the break points and the block tags.

void CMainFrame::createEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = addCommand(edit, ID_EDIT_UNDO, QStringLiteral("&Undo"), QString(), &CMainFrame::onUndo);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setShortcutContext(Qt::WindowShortcut);
    QAction* redo = addCommand(edit, ID_EDIT_REDO, QStringLiteral("&Redo"), QString(), &CMainFrame::onRedo);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    redo->setShortcutContext(Qt::WindowShortcut);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
    updateEditPrompts();
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
