#pragma once

#include "settings/Preferences.h"

#include <QDialog>

class CPreferencesSplitPage;
class CPreferencesStandardPage;
class QTabWidget;
class ShellPrompts;

// The "Preferences" sheet with the pages "Standard" and "Split options", each on its own copy of the
// settings. OK assembles a new record from the two copies; a page never shown keeps its copy.
class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(const Preferences& preferences, ShellPrompts& prompts, QWidget* parent = nullptr);

    // The record assembled from the pages' copies (meaningful after OK).
    Preferences assembled() const;

    QTabWidget& tabs() const { return *m_tabs; }
    CPreferencesStandardPage& standardPage() const { return *m_standard; }
    CPreferencesSplitPage& splitPage() const { return *m_split; }

    void accept() override;
    void done(int result) override;

private:
    void pageChanged(int index);

    CPreferencesStandardPage* m_standard;
    CPreferencesSplitPage* m_split;
    QTabWidget* m_tabs;
    int m_currentPage = 0;
    bool m_returningToPage = false;
};
