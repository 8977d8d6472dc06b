#pragma once

#include <QDialog>

class IntegerEdit;
class ShellPrompts;

// Asks for the frame of a new break point. Any integer is accepted as typed; the arrows stay within
// 0..maxFrame.
class CAddBreakPointDialog : public QDialog {
    Q_OBJECT
public:
    CAddBreakPointDialog(int initialFrame, int maxFrame, ShellPrompts& prompts, QWidget* parent = nullptr);

    // The value read when the dialog closed with OK.
    int frame() const { return m_frame; }

    void accept() override;

private:
    ShellPrompts& m_prompts;
    IntegerEdit* m_edit;
    int m_frame;
};
