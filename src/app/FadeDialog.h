#pragma once

#include <QDialog>
#include <QString>

class QDoubleSpinBox;

// Edit > Fade In/Out ...: the lengths of the fades at the start and the end of a block (or of the
// whole file) in seconds; 0 is none. The level falls in 1.5 dB steps, granule by granule, to -60 dB
// and then to silence.
class CFadeDialog : public QDialog {
    Q_OBJECT
public:
    CFadeDialog(const QString& subject, int fadeInMs, int fadeOutMs, QWidget* parent = nullptr);

    int fadeInMs() const;
    int fadeOutMs() const;
    void setFades(int fadeInMs, int fadeOutMs);

private:
    QDoubleSpinBox* m_fadeIn;
    QDoubleSpinBox* m_fadeOut;
};
