#pragma once

#include "engine/LevelPlan.h"
#include "engine/LoudnessScan.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QPushButton;
class QTimer;

// Edit > Normalise ...: a gain in 1.5 dB steps that brings the selected block or the whole file to a
// sample peak or to an integrated loudness, never past full scale unless clipping is allowed. The
// loudness is measured on a thread of the dialog's own, so a long file never blocks the window.
class CNormaliseDialog : public QDialog {
    Q_OBJECT
public:
    struct Source {
        std::filesystem::path file;
        std::vector<int> blockStarts; // 0, then every break point
        int frameCount = 0;
        int selectedBlock = -1; // -1: none, only the whole file is offered
        QString blockTitle;
        // The sample peak in dBFS of a block, or of the whole file for -1.
        std::function<double(int)> peakDbfs;
    };

    explicit CNormaliseDialog(Source source, QWidget* parent = nullptr);
    ~CNormaliseDialog() override;
    CNormaliseDialog(const CNormaliseDialog&) = delete;
    CNormaliseDialog& operator=(const CNormaliseDialog&) = delete;

    // The block the gain is for, -1 for the whole file.
    int block() const;
    // The planned gain; empty while the loudness is being measured or when there is nothing to do.
    std::optional<mp3::GainPlan> plan() const { return m_plan; }
    QString outcome() const;
    bool measuring() const { return m_measuring.valid(); }

    // For tests and keyboard users alike: the controls by what they do.
    void chooseLoudness(double lufs);
    void choosePeak(double dbfs);
    void chooseWholeFile(bool whole);
    void allowClipping(bool allow);

private:
    void startMeasuring();
    void pollMeasuring();
    void update();

    Source m_source;
    QRadioButton* m_toPeak;
    QRadioButton* m_toLoudness;
    QDoubleSpinBox* m_peak;
    QDoubleSpinBox* m_loudness;
    QRadioButton* m_selected;
    QRadioButton* m_whole;
    QCheckBox* m_allowClipping;
    QProgressBar* m_progress;
    QLabel* m_outcome;
    QTimer* m_poll;
    QPushButton* m_ok = nullptr;

    std::optional<mp3::LoudnessReport> m_report;
    std::future<mp3::LoudnessReport> m_measuring;
    std::atomic<int> m_framesDone{0};
    std::atomic<bool> m_stop{false};
    std::optional<mp3::GainPlan> m_plan;
};
