#include "app/FadeDialog.h"

#include "app/DialogParts.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace {

QDoubleSpinBox* secondsBox(int ms) {
    auto* box = new QDoubleSpinBox;
    box->setRange(0.0, 600.0);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(ms / 1000.0);
    return box;
}

int milliseconds(const QDoubleSpinBox* box) {
    return static_cast<int>(std::lround(box->value() * 1000.0));
}

} // namespace

CFadeDialog::CFadeDialog(const QString& subject, int fadeInMs, int fadeOutMs, QWidget* parent)
    : QDialog(parent), m_fadeIn(secondsBox(fadeInMs)), m_fadeOut(secondsBox(fadeOutMs)) {
    setWindowTitle(QStringLiteral("Fade In/Out"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(subject));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Fade &in:"), m_fadeIn);
    form->addRow(QStringLiteral("Fade &out:"), m_fadeOut);
    layout->addLayout(form);
    layout->addWidget(new QLabel(
        QStringLiteral("The level falls in 1.5 dB steps to -60 dB, then to silence. 0 s is no fade.")));
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_fadeIn->selectAll();
    m_fadeIn->setFocus();
}

int CFadeDialog::fadeInMs() const {
    return milliseconds(m_fadeIn);
}

int CFadeDialog::fadeOutMs() const {
    return milliseconds(m_fadeOut);
}

void CFadeDialog::setFades(int fadeInMs, int fadeOutMs) {
    m_fadeIn->setValue(fadeInMs / 1000.0);
    m_fadeOut->setValue(fadeOutMs / 1000.0);
}
