#pragma once

#include "app/LogFile.h"

#include <QDockWidget>

#include <filesystem>

class QListWidget;
class QTabWidget;

// The dockable "Output" pane: one tab "Debug" listing every log line of the run, newest at the top,
// and the log file the lines are appended to when the preferences ask for it.
class COutputWnd : public QDockWidget {
    Q_OBJECT
public:
    explicit COutputWnd(QWidget* parent = nullptr);

    // Formats the text with the local time, puts the line at the top of the list and appends it to
    // the log file when one is open. The level does not change the line; the item keeps it as its
    // Qt::UserRole data.
    void appendLine(int level, const QString& text);
    // Opens the log file once at start-up; when it cannot be opened the lines go to the pane only.
    void openLogFile(const std::filesystem::path& path);

    bool hasLogFile() const { return m_logFile.isOpen(); }
    QListWidget& list() const { return *m_list; }

private:
    LogFile m_logFile;
    QTabWidget* m_tabs;
    QListWidget* m_list;
};
