#include "app/IntegerEdit.h"

#include "app/DialogInteger.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

IntegerEdit::IntegerEdit(int editId, int upDownId, QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_upDown(new QWidget(this)),
      m_up(new QToolButton(m_upDown)), m_down(new QToolButton(m_upDown)) {
    m_edit->setObjectName(QString::number(editId));
    m_upDown->setObjectName(QString::number(upDownId));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
    }
    auto* arrows = new QVBoxLayout(m_upDown);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_upDown);
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void IntegerEdit::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void IntegerEdit::setValue(int value) {
    m_edit->setText(QString::number(value));
    m_position = std::clamp(value, m_minimum, m_maximum);
}

std::optional<int> IntegerEdit::value() const {
    return parseDialogInteger(m_edit->text());
}

QString IntegerEdit::text() const {
    return m_edit->text();
}

void IntegerEdit::setText(const QString& text) {
    m_edit->setText(text);
}

void IntegerEdit::setControlsEnabled(bool enabled) {
    m_edit->setEnabled(enabled);
    m_upDown->setEnabled(enabled);
}

void IntegerEdit::stepBy(int steps) {
    // The arrows start from the number in the edit when there is one, kept within the range.
    const int from = std::clamp(value().value_or(m_position), m_minimum, m_maximum);
    const long long next = std::clamp(static_cast<long long>(from) + steps, static_cast<long long>(m_minimum),
                                      static_cast<long long>(m_maximum));
    m_position = static_cast<int>(next);
    m_edit->setText(QString::number(m_position));
}

bool IntegerEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress && m_upDown->isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
