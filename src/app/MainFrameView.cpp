// The main frame's part in seeing a long file: the overview strip under the view, the zoom
// commands of the View menu, the time pane of the status bar and the caption naming the file.
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/WindowTitle.h"
#include "view/ChildView.h"
#include "view/OverviewStrip.h"
#include "view/TimePane.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QVBoxLayout>

QWidget* CMainFrame::createWaveArea() {
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("WaveArea"));
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    m_overview = new COverviewStrip(*m_view, area);
    layout->addWidget(m_overview);
    return area;
}

void CMainFrame::addViewCommands(QMenu* menu) {
    menu->addSeparator();
    struct Zoom {
        int id;
        const char* text;
        const char* prompt;
        QList<QKeySequence> keys;
        void (CMainFrame::*handler)();
    };
    const Zoom zooms[] = {
        {ID_ZOOM_IN,
         "Zoom &In\tCtrl++",
         "Show fewer frames per column",
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
         &CMainFrame::onZoomIn},
        {ID_ZOOM_OUT,
         "Zoom O&ut\tCtrl+-",
         "Show more frames per column",
         {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
         &CMainFrame::onZoomOut},
        {ID_ZOOM_WHOLE_FILE,
         "Zoom to &Whole File\tCtrl+0",
         "Show the whole file in the view",
         {QKeySequence(Qt::CTRL | Qt::Key_0)},
         &CMainFrame::onZoomWholeFile},
        {ID_ZOOM_ONE_FRAME,
         "One &Frame per Column\tCtrl+1",
         "Show one frame per column",
         {QKeySequence(Qt::CTRL | Qt::Key_1)},
         &CMainFrame::onZoomOneFrame},
    };
    for (const Zoom& zoom : zooms) {
        QAction* action = addCommand(menu, zoom.id, QString::fromLatin1(zoom.text),
                                     QString::fromLatin1(zoom.prompt), zoom.handler);
        action->setShortcuts(zoom.keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    menu->addSeparator();
    addCommand(menu, ID_VIEW_OVERVIEW, QStringLiteral("O&verview"),
               QStringLiteral("Show or hide the overview of the whole file"), &CMainFrame::onViewOverview)
        ->setCheckable(true);
}

void CMainFrame::addTimePane() {
    m_timePane = new CTimePane(*m_view);
    statusBar()->insertPermanentWidget(0, m_timePane);
    // The progress bar keeps clear of the pane as it grows or moves.
    m_timePane->installEventFilter(this);
}

void CMainFrame::onViewOverview() {
    m_overview->setVisible(m_overview->isHidden());
}

void CMainFrame::onZoomIn() {
    m_view->zoomIn();
}

void CMainFrame::onZoomOut() {
    m_view->zoomOut();
}

void CMainFrame::onZoomWholeFile() {
    m_view->zoomToWholeFile();
}

void CMainFrame::onZoomOneFrame() {
    m_view->zoomToOneFramePerColumn();
}

void CMainFrame::updateTitle() {
    setWindowTitle(windowTitleFor(m_view->m_filePath));
}
