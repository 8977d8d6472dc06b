#pragma once

#include "settings/Preferences.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ShellPrompts;

// The page "Standard": the log file and the default output folder, on its own copy of the settings.
class CPreferencesStandardPage : public QWidget {
    Q_OBJECT
public:
    CPreferencesStandardPage(const Preferences& preferences, ShellPrompts& prompts,
                             QWidget* parent = nullptr);

    // Reads the controls into the page's copy; the sheet calls it when it closes, with OK or Cancel.
    void storeControls();
    const Preferences& preferences() const { return m_preferences; }

private:
    void updateEnabling();
    void browseLogFile();
    void browseFolder();

    Preferences m_preferences;
    ShellPrompts& m_prompts;
    QCheckBox* m_saveLog;
    QLabel* m_logLabel;
    QLineEdit* m_logFile;
    QPushButton* m_logBrowse;
    QCheckBox* m_useFolder;
    QLabel* m_folderLabel;
    QLineEdit* m_folder;
    QPushButton* m_folderBrowse;
};
