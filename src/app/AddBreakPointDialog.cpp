#include "app/AddBreakPointDialog.h"

#include "app/DialogParts.h"
#include "app/IntegerEdit.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CAddBreakPointDialog::CAddBreakPointDialog(int initialFrame, int maxFrame, ShellPrompts& prompts,
                                           QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_edit(new IntegerEdit(1006, 1007)), m_frame(initialFrame) {
    setWindowTitle(QStringLiteral("Add break point"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please enter the break point frame position:")));
    m_edit->setRange(0, maxFrame);
    m_edit->setValue(initialFrame);
    layout->addWidget(m_edit);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_edit->edit().selectAll();
    m_edit->setFocus();
}

void CAddBreakPointDialog::accept() {
    const auto value = m_edit->value();
    if (!value) {
        refuseNonInteger(m_prompts, &m_edit->edit());
        return;
    }
    m_frame = *value;
    QDialog::accept();
}
