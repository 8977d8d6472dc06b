#include "app/PreferencesPiecesPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CPreferencesPiecesPage::CPreferencesPiecesPage(const PieceOptions& options, QWidget* parent)
    : QWidget(parent), m_gapless(new QCheckBox(
                           QStringLiteral("&Gapless pieces: each piece plays on from the one before"), this)),
      m_copyTags(new QCheckBox(QStringLiteral("&Copy the source's tags and cover into every piece"), this)),
      m_nameTemplate(new QLineEdit(this)) {
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
    layout->addStretch();
}

PieceOptions CPreferencesPiecesPage::options() const {
    PieceOptions options;
    options.gapless = m_gapless->isChecked();
    options.copyTags = m_copyTags->isChecked();
    options.nameTemplate = m_nameTemplate->text().trimmed().toStdString();
    return options;
}
