#include "app/QtPrompts.h"

#include "app/FileFilter.h"
#include "app/QtPath.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// A box opened from a dialog belongs to that dialog, otherwise to the owner window.
QWidget* boxParent(QWidget* owner) {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return owner ? owner : QApplication::activeWindow();
}

std::optional<std::filesystem::path> runFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return toPath(dialog.selectedFiles().constFirst());
}

} // namespace

void QtPrompts::messageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    QMessageBox::Icon qtIcon = QMessageBox::Critical;
    switch (icon) {
    case MessageIcon::Error:
        qtIcon = QMessageBox::Critical;
        break;
    case MessageIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case MessageIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    }
    QMessageBox box(qtIcon, fromUtf8(caption), fromUtf8(text), QMessageBox::Ok, boxParent(m_owner));
    box.exec();
}

std::optional<std::filesystem::path> QtPrompts::chooseFolder(const std::string& title) {
    const QString folder = QFileDialog::getExistingDirectory(boxParent(m_owner), fromUtf8(title));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return toPath(folder);
}

std::optional<std::filesystem::path> QtPrompts::chooseOpenFile(const std::string& filter,
                                                               const std::string& defaultExtension) {
    QFileDialog dialog(boxParent(m_owner));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(toQtFilter(fromUtf8(filter)));
    dialog.setDefaultSuffix(fromUtf8(defaultExtension));
    return runFileDialog(dialog);
}

std::optional<std::filesystem::path> QtPrompts::chooseSaveFile(const std::string& filter,
                                                               const std::string& defaultExtension,
                                                               const std::string& proposedName,
                                                               Overwrite overwrite) {
    QFileDialog dialog(boxParent(m_owner));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(toQtFilter(fromUtf8(filter)));
    dialog.setDefaultSuffix(fromUtf8(defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, overwrite == Overwrite::DontAsk);
    if (!proposedName.empty()) {
        dialog.selectFile(fromUtf8(proposedName));
    }
    return runFileDialog(dialog);
}
