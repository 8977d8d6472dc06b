#include "app/OutputWnd.h"

#include "app/LogLine.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QTabWidget>

COutputWnd::COutputWnd(QWidget* parent)
    : QDockWidget(QStringLiteral("Output"), parent), m_tabs(new QTabWidget(this)), m_list(new QListWidget) {
    setObjectName(QStringLiteral("OutputPane"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);

    m_tabs->setObjectName(QStringLiteral("1"));
    m_tabs->setDocumentMode(true);
    m_tabs->setTabPosition(QTabWidget::South);
    m_list->setObjectName(QStringLiteral("3"));
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Its two scroll bars alone would ask for more than the pane's 100 pixels with caption and tab.
    m_list->setMinimumHeight(20);
    m_tabs->addTab(m_list, QStringLiteral("Debug"));
    setWidget(m_tabs);
}

void COutputWnd::appendLine(int level, const QString& text) {
    const QString line = formatLogLine(QTime::currentTime(), text);
    m_list->insertItem(0, line);
    m_list->item(0)->setData(Qt::UserRole, level);
    m_logFile.writeLine(line);
}

void COutputWnd::openLogFile(const std::filesystem::path& path) {
    m_logFile.open(path);
}
