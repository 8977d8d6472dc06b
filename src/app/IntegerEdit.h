#pragma once

#include <QWidget>

#include <optional>

class QLineEdit;
class QToolButton;

// An integer edit box with an up-down control beside it. The edit accepts any text (it is checked
// when the dialog reads it); the range bounds only the arrows, which step from the typed number.
class IntegerEdit : public QWidget {
    Q_OBJECT
public:
    // The edit and the up-down control carry the given control ids as object names.
    IntegerEdit(int editId, int upDownId, QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    void setValue(int value);
    std::optional<int> value() const;
    QString text() const;
    void setText(const QString& text);
    QLineEdit& edit() const { return *m_edit; }
    // Enables or disables the edit and the arrows together.
    void setControlsEnabled(bool enabled);

    void stepBy(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QWidget* m_upDown;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 32767;
    int m_position = 0;
};
