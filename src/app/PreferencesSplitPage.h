#pragma once

#include "settings/Preferences.h"

#include <QWidget>

class IntegerEdit;
class QCheckBox;
class QLabel;
class ShellPrompts;

// The page "Split options": the overlap of the pieces, on its own copy of the settings.
class CPreferencesSplitPage : public QWidget {
    Q_OBJECT
public:
    CPreferencesSplitPage(const Preferences& preferences, ShellPrompts& prompts, QWidget* parent = nullptr);

    // Reads the controls into the copy. Refuses, with "Enter an integer.", when the seconds are no
    // integer: then the copy is unchanged and the page must stay.
    bool readControls();
    bool wasShown() const { return m_shown; }
    const Preferences& preferences() const { return m_preferences; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateEnabling();

    Preferences m_preferences;
    ShellPrompts& m_prompts;
    bool m_shown = false;
    QCheckBox* m_overlap;
    QLabel* m_before;
    IntegerEdit* m_seconds;
    QLabel* m_after;
};
