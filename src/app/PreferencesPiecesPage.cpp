#include "app/PreferencesPiecesPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// "Fade at every cut": 0 ms is none; a fade is at most ten seconds.
QHBoxLayout* fadeCutsRow(QSpinBox* box, int ms, QWidget* parent) {
    box->setObjectName(QStringLiteral("fadeCutsMs"));
    box->setRange(0, 10000);
    box->setSingleStep(100);
    box->setSuffix(QStringLiteral(" ms"));
    box->setSpecialValueText(QStringLiteral("None"));
    box->setValue(ms);
    auto* label = new QLabel(QStringLiteral("&Fade at every cut:"), parent);
    label->setBuddy(box);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(box);
    row->addStretch();
    return row;
}

} // namespace

CPreferencesPiecesPage::CPreferencesPiecesPage(const PieceOptions& options, QWidget* parent)
    : QWidget(parent), m_gapless(new QCheckBox(
                           QStringLiteral("&Gapless pieces: each piece plays on from the one before"), this)),
      m_copyTags(new QCheckBox(QStringLiteral("&Copy the source's tags and cover into every piece"), this)),
      m_nameTemplate(new QLineEdit(this)),
      m_replayGain(
          new QCheckBox(QStringLiteral("&ReplayGain tags in every piece (the audio is not changed)"), this)),
      m_fadeCutsMs(new QSpinBox(this)) {
    m_gapless->setObjectName(QStringLiteral("gapless"));
    m_copyTags->setObjectName(QStringLiteral("copyTags"));
    m_nameTemplate->setObjectName(QStringLiteral("nameTemplate"));
    m_gapless->setChecked(options.gapless);
    m_copyTags->setChecked(options.copyTags);
    m_nameTemplate->setText(QString::fromStdString(options.nameTemplate));
    m_nameTemplate->setPlaceholderText(QStringLiteral("{name}-{n}"));

    auto* label = new QLabel(QStringLiteral("Piece &names:"), this);
    label->setBuddy(m_nameTemplate);
    auto* fields = new QLabel(QStringLiteral("Fields: {name} {n} {n1} {N} {title} {artist} {album}; "
                                             "{n1:02} pads with zeros; '/' makes subfolders. "
                                             "Empty: the usual names."),
                              this);
    fields->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_gapless);
    layout->addWidget(m_copyTags);
    layout->addSpacing(8);
    layout->addWidget(label);
    layout->addWidget(m_nameTemplate);
    layout->addWidget(fields);
    layout->addSpacing(8);
    layout->addWidget(m_replayGain);
    layout->addLayout(fadeCutsRow(m_fadeCutsMs, options.fadeCutsMs, this));
    layout->addStretch();
    m_replayGain->setObjectName(QStringLiteral("replayGain"));
    m_replayGain->setChecked(options.replayGain);
}

PieceOptions CPreferencesPiecesPage::options() const {
    PieceOptions options;
    options.gapless = m_gapless->isChecked();
    options.copyTags = m_copyTags->isChecked();
    options.nameTemplate = m_nameTemplate->text().trimmed().toStdString();
    options.replayGain = m_replayGain->isChecked();
    options.fadeCutsMs = m_fadeCutsMs->value();
    return options;
}
