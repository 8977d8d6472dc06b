#pragma once

#include "document/DocumentTypes.h"

#include <QDialog>

#include <array>

class IntegerEdit;
class QCheckBox;
class QLabel;
class QRadioButton;
class ShellPrompts;

// Chooses one of the three ways of placing break points automatically and its number.
class CMoreBreakPointsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMoreBreakPointsDialog(ShellPrompts& prompts, QWidget* parent = nullptr);

    // Read when the dialog closed with OK. 0 silence detection, 1 same size blocks, 2 same length.
    int m_method = 0;
    int m_silenceFrames = 25;
    int m_blockCount = 3;
    int m_blockSeconds = 10;
    bool m_deleteOriginal = false;

    AutoMethod method() const;
    // The number of the chosen method.
    int value() const;

    void accept() override;

private:
    struct Group {
        QRadioButton* radio;
        QLabel* before;
        IntegerEdit* edit;
        QLabel* after;
    };
    void selectMethod(int method);

    ShellPrompts& m_prompts;
    std::array<Group, 3> m_groups{};
    QCheckBox* m_deleteCheck;
};
