#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class GainSpinBox;
class QLabel;

// Edit > Gain ...: a gain in 1.5 dB steps for a block or the whole file. Before OK it says where the
// loudest sample lands, and by how much the gain clips when it goes past full scale.
class CGainDialog : public QDialog {
    Q_OBJECT
public:
    // `subject` names what the gain is for. `relative`: the value is added to each block's own gain
    // (blocks with different gains). `peakWith` gives the largest sample magnitude a value leaves
    // (mp3::kFullScale is full scale).
    CGainDialog(const QString& subject, int initialSteps, bool relative, std::function<double(int)> peakWith,
                QWidget* parent = nullptr);

    int steps() const;
    void setSteps(int steps);
    QString warning() const;
    bool clips() const { return m_clips; }

private:
    void showPeak();

    std::function<double(int)> m_peakWith;
    GainSpinBox* m_gain;
    QLabel* m_warning;
    bool m_clips = false;
};
