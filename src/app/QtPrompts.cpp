#include "app/QtPrompts.h"

#include "app/FileDialogFolders.h"
#include "app/FileFilter.h"
#include "app/QtPath.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

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

// The parts every file dialog of the program shares: an open dialog takes an existing file, a save
// dialog any name, proposed as `proposedName` when one is given.
void setUpFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode, const std::string& filter,
                     const std::string& defaultExtension, const std::string& proposedName) {
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(toQtFilter(fromUtf8(filter)));
    dialog.setDefaultSuffix(fromUtf8(defaultExtension));
    if (!proposedName.empty()) {
        // Chosen again once the dialog has its folder.
        dialog.setProperty("proposedName", fromUtf8(proposedName));
        dialog.selectFile(fromUtf8(proposedName));
    }
}

QSettings programSettings() {
    return QSettings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
}

// Files of one extension share a folder; the import and export dialogs go by their first one.
QString kindOf(const std::string& defaultExtension) {
    return defaultExtension.empty() ? QStringLiteral("file") : fromUtf8(defaultExtension).toLower();
}

std::optional<std::filesystem::path> runFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return toPath(dialog.selectedFiles().constFirst());
}

// The chosen file with the index of the filter selected in the dialog. A name typed without an
// extension gets the one of the selected filter.
std::optional<ShellPrompts::ChosenFile>
runKindDialog(QFileDialog& dialog,
              const std::function<std::optional<std::filesystem::path>(QFileDialog&)>& run) {
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype star = filter.indexOf(QStringLiteral("*."));
        if (star >= 0) {
            const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ ;)]")), star);
            dialog.setDefaultSuffix(filter.mid(star + 2, end < 0 ? -1 : end - star - 2));
        }
    });
    const auto path = run(dialog);
    if (!path) {
        return std::nullopt;
    }
    const QStringList filters = dialog.nameFilters();
    return ShellPrompts::ChosenFile{
        *path, std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())))};
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

std::optional<std::filesystem::path> QtPrompts::runInFolder(QFileDialog& dialog, const std::string& kind) {
    QSettings settings = programSettings();
    const QString start = file_dialog_folders::startFolder(settings, kindOf(kind), loadedFile());
    if (!start.isEmpty()) {
        dialog.setDirectory(start);
        if (const QString proposed = dialog.property("proposedName").toString(); !proposed.isEmpty()) {
            dialog.selectFile(proposed);
        }
    }
    auto path = runFileDialog(dialog);
    if (path) {
        file_dialog_folders::remember(settings, kindOf(kind), *path, loadedFile());
    }
    return path;
}

std::optional<std::filesystem::path> QtPrompts::chooseFolder(const std::string& title) {
    QFileDialog dialog(boxParent(m_owner), fromUtf8(title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    return runInFolder(dialog, "folder");
}

std::optional<std::filesystem::path> QtPrompts::chooseOpenFile(const std::string& filter,
                                                               const std::string& defaultExtension) {
    QFileDialog dialog(boxParent(m_owner));
    setUpFileDialog(dialog, QFileDialog::AcceptOpen, filter, defaultExtension, "");
    return runInFolder(dialog, defaultExtension);
}

std::optional<std::filesystem::path> QtPrompts::chooseSaveFile(const std::string& filter,
                                                               const std::string& defaultExtension,
                                                               const std::string& proposedName,
                                                               Overwrite overwrite) {
    QFileDialog dialog(boxParent(m_owner));
    setUpFileDialog(dialog, QFileDialog::AcceptSave, filter, defaultExtension, proposedName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, overwrite == Overwrite::DontAsk);
    return runInFolder(dialog, defaultExtension);
}

std::optional<ShellPrompts::ChosenFile> QtPrompts::chooseOpenFileOfKind(const std::string& filter,
                                                                        const std::string& defaultExtension) {
    QFileDialog dialog(boxParent(m_owner));
    setUpFileDialog(dialog, QFileDialog::AcceptOpen, filter, defaultExtension, "");
    return runKindDialog(dialog, [&](QFileDialog& shown) { return runInFolder(shown, defaultExtension); });
}

std::optional<ShellPrompts::ChosenFile> QtPrompts::chooseSaveFileOfKind(const std::string& filter,
                                                                        const std::string& defaultExtension,
                                                                        const std::string& proposedName) {
    QFileDialog dialog(boxParent(m_owner));
    setUpFileDialog(dialog, QFileDialog::AcceptSave, filter, defaultExtension, proposedName);
    return runKindDialog(dialog, [&](QFileDialog& shown) { return runInFolder(shown, defaultExtension); });
}

ShellPrompts::Answer QtPrompts::askYesNoCancel(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, fromUtf8(caption), fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, boxParent(m_owner));
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

int QtPrompts::askChoice(const std::string& text, const std::string& caption,
                         const std::vector<std::string>& buttons) {
    QMessageBox box(QMessageBox::Question, fromUtf8(caption), fromUtf8(text), QMessageBox::NoButton,
                    boxParent(m_owner));
    std::vector<QAbstractButton*> made;
    for (const std::string& label : buttons) {
        made.push_back(
            box.addButton(fromUtf8(label), made.empty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole));
    }
    if (made.empty()) {
        return -1;
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(made.front()));
    box.setEscapeButton(made.back());
    box.exec();
    const auto pressed = std::find(made.begin(), made.end(), box.clickedButton());
    return pressed == made.end() ? static_cast<int>(made.size()) - 1
                                 : static_cast<int>(pressed - made.begin());
}
