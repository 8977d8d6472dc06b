#pragma once

#include "document/DocumentTypes.h"

#include <QDialog>

class QLineEdit;
class ShellPrompts;

// Edits one block's tag: album, artist, title, year (an integer) and comment.
class CEnterID3TagDialog : public QDialog {
    Q_OBJECT
public:
    CEnterID3TagDialog(const ID3Info& tag, ShellPrompts& prompts, QWidget* parent = nullptr);

    // The values read when the dialog closed with OK.
    const ID3Info& tag() const { return m_tag; }

    void accept() override;

private:
    ShellPrompts& m_prompts;
    ID3Info m_tag;
    QLineEdit* m_edits[5];
};
