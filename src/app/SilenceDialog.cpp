#include "app/SilenceDialog.h"

#include "app/DialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

namespace {

QDoubleSpinBox* makeSeconds(const QString& name, double low, double high) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(low, high);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" s"));
    return box;
}

QString seconds(double value) {
    return QString::number(value, 'f', 2) + QStringLiteral(" s");
}

// `deleted` is how many existing break points go, or -1 when the list stays.
QString countText(const SilenceResult& result, int deleted) {
    if (result.breakPoints.empty()) {
        return QStringLiteral("No silence found with these settings");
    }
    const auto count = static_cast<qsizetype>(result.breakPoints.size());
    QString text = count == 1 ? QStringLiteral("1 break point will be added")
                              : QStringLiteral("%1 break points will be added").arg(count);
    if (deleted == 1) {
        text += QStringLiteral(", 1 existing break point will be deleted");
    } else if (deleted > 1) {
        text += QStringLiteral(", %1 existing break points will be deleted").arg(deleted);
    }
    return text;
}

QString reportText(const SilenceReport& report, int tracks) {
    if (report.found == 0) {
        return {};
    }
    QString text = QStringLiteral("Silences found: %1, kept: %2, shortest %3, longest %4")
                       .arg(report.found)
                       .arg(report.kept)
                       .arg(seconds(report.shortestSeconds), seconds(report.longestSeconds));
    if (report.fewerThanAsked) {
        text +=
            QStringLiteral("\nFewer than asked: %1 tracks instead of %2").arg(report.kept + 1).arg(tracks);
    }
    return text;
}

} // namespace

CSilenceDialog::CSilenceDialog(const SilenceOptions& initial, Finder finder, Preview preview, QWidget* parent)
    : QDialog(parent), m_finder(std::move(finder)), m_preview(std::move(preview)),
      m_threshold(new QDoubleSpinBox),
      m_minSilence(makeSeconds(QStringLiteral("MinSilence"), silence_limits::kMinSilenceSeconds,
                               silence_limits::kMaxSilenceSeconds)),
      m_cut(new QComboBox),
      m_minPiece(makeSeconds(QStringLiteral("MinPiece"), 0.0, silence_limits::kMaxPieceSeconds)),
      m_tracksCheck(new QCheckBox(QStringLiteral("Number of &tracks:"))), m_tracks(new QSpinBox),
      m_deleteCheck(new QCheckBox(QStringLiteral("Please delete original break points"))),
      m_count(new QLabel), m_report(new QLabel), m_ok(nullptr) {
    setWindowTitle(QStringLiteral("Find silences ..."));

    m_threshold->setObjectName(QStringLiteral("Threshold"));
    m_threshold->setRange(silence_limits::kMinThresholdDb, silence_limits::kMaxThresholdDb);
    m_threshold->setDecimals(1);
    m_threshold->setSingleStep(1.0);
    m_threshold->setSuffix(QStringLiteral(" dBFS"));
    m_cut->setObjectName(QStringLiteral("Cut"));
    // In the order of SilenceCut.
    m_cut->addItems({QStringLiteral("At the start of the silence"),
                     QStringLiteral("In the middle of the silence"),
                     QStringLiteral("At the end of the silence")});
    m_tracksCheck->setObjectName(QStringLiteral("TracksCheck"));
    m_tracks->setObjectName(QStringLiteral("Tracks"));
    m_tracks->setRange(silence_limits::kMinTracks, silence_limits::kMaxTracks);
    m_deleteCheck->setObjectName(QStringLiteral("DeleteOriginal"));
    m_count->setObjectName(QStringLiteral("Count"));
    m_report->setObjectName(QStringLiteral("Report"));

    const SilenceSettings& settings = initial.settings;
    m_threshold->setValue(settings.thresholdDb);
    m_minSilence->setValue(settings.minSilenceSeconds);
    m_cut->setCurrentIndex(static_cast<int>(settings.cut));
    m_minPiece->setValue(settings.minPieceSeconds);
    m_tracksCheck->setChecked(settings.tracks > 0);
    m_tracks->setValue(settings.tracks > 0 ? settings.tracks : silence_limits::kMinTracks);
    m_tracks->setEnabled(settings.tracks > 0);
    // Deleting the list is a choice for this search only: it starts unticked every time.
    m_deleteCheck->setChecked(false);

    auto* group = new QGroupBox(QStringLiteral("Add break points in the silences:"));
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("T&hreshold:"), m_threshold);
    form->addRow(QStringLiteral("Minimum &silence:"), m_minSilence);
    form->addRow(QStringLiteral("&Cut:"), m_cut);
    form->addRow(QStringLiteral("Minimum &piece:"), m_minPiece);
    form->addRow(m_tracksCheck, m_tracks);
    form->addRow(m_deleteCheck);
    for (auto* label : {m_count, m_report}) {
        label->setTextFormat(Qt::PlainText);
        form->addRow(label);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    QDialogButtonBox* buttons = makeOkCancel(this);
    m_ok = buttons->findChild<QPushButton*>(QStringLiteral("1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_threshold, &QDoubleSpinBox::valueChanged, this, &CSilenceDialog::refresh);
    connect(m_minSilence, &QDoubleSpinBox::valueChanged, this, &CSilenceDialog::refresh);
    connect(m_cut, &QComboBox::currentIndexChanged, this, &CSilenceDialog::refresh);
    connect(m_minPiece, &QDoubleSpinBox::valueChanged, this, &CSilenceDialog::refresh);
    connect(m_tracks, &QSpinBox::valueChanged, this, &CSilenceDialog::refresh);
    connect(m_deleteCheck, &QCheckBox::toggled, this, &CSilenceDialog::updateCount);
    connect(m_tracksCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_tracks->setEnabled(on);
        refresh();
    });
    refresh();
}

CSilenceDialog::~CSilenceDialog() {
    clearPreview();
}

SilenceOptions CSilenceDialog::options() const {
    SilenceOptions options;
    options.settings.thresholdDb = m_threshold->value();
    options.settings.minSilenceSeconds = m_minSilence->value();
    options.settings.cut = static_cast<SilenceCut>(m_cut->currentIndex());
    options.settings.minPieceSeconds = m_minPiece->value();
    options.settings.tracks = m_tracksCheck->isChecked() ? m_tracks->value() : 0;
    options.deleteOriginal = m_deleteCheck->isChecked();
    return options;
}

void CSilenceDialog::setExistingCount(ExistingCount existing) {
    m_existing = std::move(existing);
    updateCount();
}

void CSilenceDialog::setApply(Apply apply) {
    m_apply = std::move(apply);
}

void CSilenceDialog::refresh() {
    const SilenceOptions current = options();
    m_result = m_finder ? m_finder(current.settings) : SilenceResult{};
    updateCount();
    m_report->setText(reportText(m_result.report, current.settings.tracks));
    if (m_ok) {
        m_ok->setEnabled(!m_result.breakPoints.empty());
    }
    if (m_preview) {
        m_preview(m_result.breakPoints);
        m_previewShown = true;
    }
}

void CSilenceDialog::updateCount() {
    const int deleted = m_deleteCheck->isChecked() && m_existing ? m_existing() : -1;
    const QString text = countText(m_result, deleted);
    if (m_count->text() != text) {
        m_count->setText(text);
    }
}

void CSilenceDialog::accept() {
    // A keyboard Return reaches accept() even while the button is disabled.
    if (m_result.breakPoints.empty()) {
        return;
    }
    if (m_apply && !m_apply(options())) {
        return;
    }
    QDialog::accept();
}

void CSilenceDialog::clearPreview() {
    if (m_previewShown && m_preview) {
        m_preview({});
    }
    m_previewShown = false;
}

void CSilenceDialog::done(int result) {
    clearPreview();
    QDialog::done(result);
}
