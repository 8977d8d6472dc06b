#include "app/DialogParts.h"

#include "app/DialogInteger.h"
#include "app/ShellPrompts.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

QPushButton* makeButton(int id, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

QDialogButtonBox* makeOkCancel(QWidget* parent, const QString& okText, const QString& cancelText) {
    auto* box = new QDialogButtonBox(parent);
    QPushButton* ok = box->addButton(okText, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(cancelText, QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    return box;
}

void refuseNonInteger(ShellPrompts& prompts, QWidget* field) {
    refuseFieldValue(prompts, field, kEnterAnInteger);
}

void refuseFieldValue(ShellPrompts& prompts, QWidget* field, const char* text) {
    prompts.messageBox(text, "Kerfline", MessageIcon::Warning);
    if (field != nullptr) {
        field->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            edit->selectAll();
        }
    }
}
