#pragma once

#include <QString>

class QDialogButtonBox;
class QPushButton;
class QWidget;
class ShellPrompts;

// A push button carrying its control id as object name.
QPushButton* makeButton(int id, const QString& text, QWidget* parent);

// OK (id 1) and Cancel (id 2) with the given texts.
QDialogButtonBox* makeOkCancel(QWidget* parent, const QString& okText = QStringLiteral("OK"),
                               const QString& cancelText = QStringLiteral("Cancel"));

// The refusal of a field that holds no integer; the dialog stays open and the field gets the focus.
void refuseNonInteger(ShellPrompts& prompts, QWidget* field);
// The same refusal with a text of its own, for an integer out of the field's range.
void refuseFieldValue(ShellPrompts& prompts, QWidget* field, const char* text);
