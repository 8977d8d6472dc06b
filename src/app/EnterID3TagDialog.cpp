#include "app/EnterID3TagDialog.h"

#include "app/DialogParts.h"
#include "app/TagFields.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

CEnterID3TagDialog::CEnterID3TagDialog(const ID3Info& tag, ShellPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_tag(tag) {
    setWindowTitle(QStringLiteral("ID3 Tag editor"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    addTagFields(*grid, m_edits);
    layout->addLayout(grid);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    showTag(m_edits, m_tag);
    setMinimumWidth(420);
}

void CEnterID3TagDialog::accept() {
    const auto tag = readTag(m_edits);
    if (!tag) {
        refuseNonInteger(m_prompts, m_edits[3]);
        return;
    }
    m_tag = *tag;
    QDialog::accept();
}
