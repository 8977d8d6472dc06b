#include "app/PreferencesSplitPage.h"

#include "app/DialogInteger.h"
#include "app/DialogParts.h"
#include "app/IntegerEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QVBoxLayout>

CPreferencesSplitPage::CPreferencesSplitPage(const Preferences& preferences, ShellPrompts& prompts,
                                             QWidget* parent)
    : QWidget(parent), m_preferences(preferences), m_prompts(prompts),
      m_overlap(new QCheckBox(QStringLiteral("Overlap separated pieces"))),
      m_before(new QLabel(QStringLiteral("Overlap"))), m_seconds(new IntegerEdit(1041, 1042)),
      m_after(new QLabel(QStringLiteral("seconds"))) {
    m_overlap->setObjectName(QStringLiteral("1043"));
    m_before->setObjectName(QStringLiteral("1044"));
    m_after->setObjectName(QStringLiteral("1045"));
    m_seconds->setMaximumWidth(80);

    auto* group = new QGroupBox(QStringLiteral("Overlap:"));
    auto* grid = new QGridLayout(group);
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MediaSeekForward).pixmap(32, 32));
    grid->addWidget(m_overlap, 0, 0, 1, 4);
    grid->addWidget(icon, 1, 0);
    grid->addWidget(m_before, 1, 1);
    grid->addWidget(m_seconds, 1, 2);
    grid->addWidget(m_after, 1, 3);
    grid->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);

    m_seconds->setValue(m_preferences.OverlapSecs);
    m_overlap->setChecked(m_preferences.Overlap);
    updateEnabling();
    connect(m_overlap, &QCheckBox::clicked, this, &CPreferencesSplitPage::updateEnabling);
}

void CPreferencesSplitPage::showEvent(QShowEvent* event) {
    m_shown = true;
    QWidget::showEvent(event);
}

void CPreferencesSplitPage::updateEnabling() {
    const bool overlap = m_overlap->isChecked();
    m_before->setEnabled(overlap);
    m_after->setEnabled(overlap);
    m_seconds->setControlsEnabled(overlap);
}

bool CPreferencesSplitPage::readControls() {
    const auto seconds = m_seconds->value();
    if (!seconds) {
        refuseNonInteger(m_prompts, &m_seconds->edit());
        return false;
    }
    // A negative overlap would make every piece reach back to the file's ends.
    if (*seconds < 0) {
        refuseFieldValue(m_prompts, &m_seconds->edit(), kEnterZeroOrMore);
        return false;
    }
    m_preferences.Overlap = m_overlap->isChecked();
    m_preferences.OverlapSecs = *seconds;
    return true;
}
