#pragma once

#include <QSpinBox>

// A gain in whole steps of global_gain, shown and typed in dB ("+4.5 dB"); the arrows move one step
// (1.5 dB), a typed value goes to the nearest step.
class GainSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit GainSpinBox(QWidget* parent = nullptr);

    static QString decibelText(int steps);

protected:
    QString textFromValue(int steps) const override;
    int valueFromText(const QString& text) const override;
    QValidator::State validate(QString& text, int& position) const override;
};
