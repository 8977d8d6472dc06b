#include "app/GainDialog.h"

#include "app/DialogParts.h"
#include "app/GainSpinBox.h"
#include "engine/LevelMap.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

CGainDialog::CGainDialog(const QString& subject, int initialSteps, bool relative,
                         std::function<double(int)> peakWith, QWidget* parent)
    : QDialog(parent), m_peakWith(std::move(peakWith)), m_gain(new GainSpinBox), m_warning(new QLabel) {
    setWindowTitle(QStringLiteral("Gain"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(subject));
    auto* form = new QFormLayout;
    form->addRow(relative ? QStringLiteral("Change every block's gain by:") : QStringLiteral("Gain:"),
                 m_gain);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("The gain changes in steps of 1.5 dB without re-encoding.")));
    m_warning->setWordWrap(true);
    layout->addWidget(m_warning);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_gain->setValue(initialSteps);
    connect(m_gain, &QSpinBox::valueChanged, this, [this] { showPeak(); });
    showPeak();
    m_gain->selectAll();
    m_gain->setFocus();
}

int CGainDialog::steps() const {
    return m_gain->value();
}

void CGainDialog::setSteps(int steps) {
    m_gain->setValue(steps);
}

QString CGainDialog::warning() const {
    return m_warning->text();
}

void CGainDialog::showPeak() {
    const double peak = m_peakWith ? m_peakWith(steps()) : 0.0;
    const double db = mp3::dbOverFullScale(peak);
    m_clips = peak > mp3::kFullScale;
    if (peak <= 0) {
        m_warning->setText(QStringLiteral("There is no sound to change."));
    } else if (m_clips) {
        m_warning->setText(
            QString::asprintf("This gain clips: the loudest sample goes %.1f dB over full scale.", db));
    } else {
        m_warning->setText(QString::asprintf("The loudest sample will be at %.1f dBFS.", db));
    }
    m_warning->setStyleSheet(m_clips ? QStringLiteral("color: #c00000; font-weight: bold") : QString());
}
