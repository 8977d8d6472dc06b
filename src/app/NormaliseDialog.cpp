#include "app/NormaliseDialog.h"

#include "app/DialogParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>
#include <utility>

namespace {

constexpr double kDefaultPeakDbfs = -1.0;
constexpr double kDefaultLufs = -16.0;

QDoubleSpinBox* decibelBox(double value, double lowest, const QString& suffix, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(lowest, 0.0);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(suffix);
    box->setValue(value);
    return box;
}

} // namespace

CNormaliseDialog::CNormaliseDialog(Source source, QWidget* parent)
    : QDialog(parent), m_source(std::move(source)),
      m_toPeak(new QRadioButton(QStringLiteral("To a &peak of"), this)),
      m_toLoudness(new QRadioButton(QStringLiteral("To a &loudness of"), this)),
      m_peak(decibelBox(kDefaultPeakDbfs, -40.0, QStringLiteral(" dBFS"), this)),
      m_loudness(decibelBox(kDefaultLufs, -40.0, QStringLiteral(" LUFS"), this)),
      m_selected(new QRadioButton(QStringLiteral("The &selected block"), this)),
      m_whole(new QRadioButton(QStringLiteral("The &whole file"), this)),
      m_allowClipping(new QCheckBox(QStringLiteral("&Allow clipping"), this)),
      m_progress(new QProgressBar(this)), m_outcome(new QLabel(this)), m_poll(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Normalise"));
    auto* layout = new QVBoxLayout(this);

    auto* targets = new QGridLayout;
    auto* targetGroup = new QButtonGroup(this);
    targetGroup->addButton(m_toPeak);
    targetGroup->addButton(m_toLoudness);
    auto* presets = new QComboBox(this);
    presets->addItem(QStringLiteral("Podcasts: -16 LUFS"), -16.0);
    presets->addItem(QStringLiteral("Broadcast: -23 LUFS"), -23.0);
    targets->addWidget(m_toPeak, 0, 0);
    targets->addWidget(m_peak, 0, 1);
    targets->addWidget(m_toLoudness, 1, 0);
    targets->addWidget(m_loudness, 1, 1);
    targets->addWidget(presets, 1, 2);
    layout->addLayout(targets);

    auto* subjectGroup = new QButtonGroup(this);
    subjectGroup->addButton(m_selected);
    subjectGroup->addButton(m_whole);
    if (m_source.selectedBlock >= 0) {
        m_selected->setText(QStringLiteral("The &selected block: %1").arg(m_source.blockTitle));
    }
    m_selected->setEnabled(m_source.selectedBlock >= 0);
    (m_source.selectedBlock >= 0 ? m_selected : m_whole)->setChecked(true);
    layout->addWidget(m_selected);
    layout->addWidget(m_whole);
    layout->addWidget(m_allowClipping);
    layout->addWidget(new QLabel(QStringLiteral("The gain changes in steps of 1.5 dB without re-encoding.")));
    m_progress->setRange(0, std::max(1, m_source.frameCount));
    m_progress->setVisible(false);
    layout->addWidget(m_progress);
    m_outcome->setWordWrap(true);
    m_outcome->setObjectName(QStringLiteral("outcome"));
    layout->addWidget(m_outcome);
    QDialogButtonBox* buttons = makeOkCancel(this);
    m_ok = buttons->findChild<QPushButton*>(QStringLiteral("1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_toPeak->setChecked(true);
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, [this] { pollMeasuring(); });
    connect(presets, &QComboBox::activated, this,
            [this, presets](int index) { chooseLoudness(presets->itemData(index).toDouble()); });
    for (QRadioButton* button : {m_toPeak, m_toLoudness, m_selected, m_whole}) {
        connect(button, &QRadioButton::toggled, this, [this] { update(); });
    }
    for (QDoubleSpinBox* box : {m_peak, m_loudness}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { update(); });
    }
    connect(m_allowClipping, &QCheckBox::toggled, this, [this] { update(); });
    update();
}

CNormaliseDialog::~CNormaliseDialog() {
    m_stop = true;
    if (m_measuring.valid()) {
        m_measuring.wait();
    }
}

int CNormaliseDialog::block() const {
    return m_whole->isChecked() ? -1 : m_source.selectedBlock;
}

QString CNormaliseDialog::outcome() const {
    return m_outcome->text();
}

void CNormaliseDialog::chooseLoudness(double lufs) {
    m_loudness->setValue(lufs);
    m_toLoudness->setChecked(true);
}

void CNormaliseDialog::choosePeak(double dbfs) {
    m_peak->setValue(dbfs);
    m_toPeak->setChecked(true);
}

void CNormaliseDialog::chooseWholeFile(bool whole) {
    (whole || m_source.selectedBlock < 0 ? m_whole : m_selected)->setChecked(true);
}

void CNormaliseDialog::allowClipping(bool allow) {
    m_allowClipping->setChecked(allow);
}

void CNormaliseDialog::startMeasuring() {
    if (m_report || m_measuring.valid()) {
        return;
    }
    mp3::LoudnessScanOptions options;
    options.breakPoints.assign(m_source.blockStarts.begin() + (m_source.blockStarts.empty() ? 0 : 1),
                               m_source.blockStarts.end());
    options.framesDone = &m_framesDone;
    options.stop = &m_stop;
    try {
        m_measuring = std::async(std::launch::async, [file = m_source.file, options] {
            return mp3::measureLoudness(file, options);
        });
    } catch (const std::system_error&) {
        // No thread to spare: measure here, as the command-line tool does.
        m_report = mp3::measureLoudness(m_source.file, options);
        return;
    }
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_poll->start();
}

void CNormaliseDialog::pollMeasuring() {
    if (!m_measuring.valid()) {
        m_poll->stop();
        return;
    }
    m_progress->setValue(std::min(m_framesDone.load(), m_progress->maximum()));
    if (m_measuring.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return;
    }
    m_report = m_measuring.get();
    m_poll->stop();
    m_progress->setVisible(false);
    update();
}

void CNormaliseDialog::update() {
    m_plan.reset();
    const bool byLoudness = m_toLoudness->isChecked();
    m_peak->setEnabled(!byLoudness);
    m_loudness->setEnabled(byLoudness);
    const int subject = block();
    const double peak = m_source.peakDbfs ? m_source.peakDbfs(subject) : -INFINITY;
    double loudness = 0.0;
    if (byLoudness) {
        startMeasuring();
        if (!m_report) {
            m_outcome->setText(QStringLiteral("Measuring the loudness ..."));
            m_ok->setEnabled(false);
            return;
        }
        const auto index = static_cast<std::size_t>(subject);
        loudness = subject >= 0 && index < m_report->blocks.size()
                       ? m_report->blocks[index].figures.integratedLufs
                       : m_report->file.integratedLufs;
    }
    const mp3::GainPlan plan = mp3::planNormalise(
        byLoudness ? mp3::NormaliseTarget::Loudness : mp3::NormaliseTarget::Peak,
        byLoudness ? m_loudness->value() : m_peak->value(), peak, loudness, m_allowClipping->isChecked());
    if (plan.silent) {
        m_outcome->setText(QStringLiteral("There is no sound to measure."));
        m_ok->setEnabled(false);
        return;
    }
    m_plan = plan;
    QString text = QString::asprintf("Gain: %+.1f dB. The loudest sample will be at %.1f dBFS", plan.gainDb,
                                     peak + plan.gainDb);
    if (byLoudness) {
        text += QString::asprintf(", the loudness at %.1f LUFS", loudness + plan.gainDb);
    }
    text += QStringLiteral(".");
    if (plan.shortOfTargetDb > 0.05) {
        text += QString::asprintf(" It stays %.1f LU short of the target so as not to clip.",
                                  plan.shortOfTargetDb);
    }
    if (plan.overFullScaleDb > 0) {
        text += QString::asprintf(" It clips: the loudest sample goes %.1f dB over full scale.",
                                  plan.overFullScaleDb);
    }
    m_outcome->setText(text);
    m_ok->setEnabled(true);
}
