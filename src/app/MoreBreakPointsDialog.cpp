#include "app/MoreBreakPointsDialog.h"

#include "app/DialogParts.h"
#include "app/IntegerEdit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(int id, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::number(id));
    return label;
}

} // namespace

CMoreBreakPointsDialog::CMoreBreakPointsDialog(ShellPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts),
      m_deleteCheck(new QCheckBox(QStringLiteral("Please delete original break points"))) {
    setWindowTitle(QStringLiteral("Add more break points ..."));
    struct MethodGroup {
        int radioId;
        const char* radioText;
        int beforeId;
        const char* beforeText;
        int editId;
        int upDownId;
        int afterId;
        const char* afterText;
        int initial;
    };
    const MethodGroup groups[3] = {
        {1025, "Add break points by silence detection", 1035, "When the silence length is more than", 1029,
         1030, 1038, "frames", m_silenceFrames},
        {1026, "Split to same size blocks", 1036, "Number of blocks", 1027, 1028, 1039, "blocks",
         m_blockCount},
        {1031, "Each block has same length", 1037, "Length of each block", 1032, 1033, 1040, "seconds",
         m_blockSeconds},
    };

    auto* group = new QGroupBox(QStringLiteral("Add break points by following options:"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 3; ++i) {
        const MethodGroup& group = groups[i];
        Group& g = m_groups[static_cast<std::size_t>(i)];
        g.radio = new QRadioButton(QString::fromLatin1(group.radioText));
        g.radio->setObjectName(QString::number(group.radioId));
        g.before = makeLabel(group.beforeId, QString::fromLatin1(group.beforeText));
        g.edit = new IntegerEdit(group.editId, group.upDownId);
        g.edit->setValue(group.initial);
        g.after = makeLabel(group.afterId, QString::fromLatin1(group.afterText));
        grid->addWidget(g.radio, 2 * i, 0, 1, 4);
        grid->addWidget(g.before, 2 * i + 1, 1);
        grid->addWidget(g.edit, 2 * i + 1, 2);
        grid->addWidget(g.after, 2 * i + 1, 3);
        connect(g.radio, &QRadioButton::clicked, this, [this, i] { selectMethod(i); });
    }
    grid->setColumnMinimumWidth(0, 16);
    grid->setColumnStretch(3, 1);
    m_deleteCheck->setObjectName(QStringLiteral("1034"));
    grid->addWidget(m_deleteCheck, 6, 0, 1, 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_groups[0].radio->setChecked(true);
    selectMethod(0);
}

void CMoreBreakPointsDialog::selectMethod(int method) {
    m_method = method;
    for (int i = 0; i < 3; ++i) {
        const Group& g = m_groups[static_cast<std::size_t>(i)];
        const bool enabled = i == method;
        g.before->setEnabled(enabled);
        g.edit->setControlsEnabled(enabled);
        g.after->setEnabled(enabled);
    }
}

AutoMethod CMoreBreakPointsDialog::method() const {
    switch (m_method) {
    case 1:
        return AutoMethod::EqualCount;
    case 2:
        return AutoMethod::EveryLength;
    default:
        return AutoMethod::Silence;
    }
}

int CMoreBreakPointsDialog::value() const {
    switch (m_method) {
    case 1:
        return m_blockCount;
    case 2:
        return m_blockSeconds;
    default:
        return m_silenceFrames;
    }
}

void CMoreBreakPointsDialog::accept() {
    // Only the chosen method's number must be an integer: the others are greyed and cannot be
    // corrected there, and nothing reads them.
    int* const fields[3] = {&m_silenceFrames, &m_blockCount, &m_blockSeconds};
    const Group& chosen = m_groups[static_cast<std::size_t>(m_method)];
    if (!chosen.edit->value()) {
        refuseNonInteger(m_prompts, &chosen.edit->edit());
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (const auto value = m_groups[static_cast<std::size_t>(i)].edit->value()) {
            *fields[i] = *value;
        }
    }
    m_deleteOriginal = m_deleteCheck->isChecked();
    QDialog::accept();
}
