#include "app/FileDialogFolders.h"

#include "app/QtPath.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace file_dialog_folders {

namespace {

constexpr const char* kGroup = "FileDialogFolders";

QString folderOf(const std::filesystem::path& file) {
    return file.empty() ? QString() : QFileInfo(toQString(file)).absolutePath();
}

bool sameFolder(const QString& a, const QString& b) {
    return !a.isEmpty() && QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

QString startFolder(QSettings& settings, const QString& kind, const std::filesystem::path& loadedFile) {
    settings.beginGroup(QLatin1String(kGroup));
    const QString folder = settings.value(kind + QStringLiteral("/Folder")).toString();
    const bool beside = settings.value(kind + QStringLiteral("/BesideLoadedFile"), true).toBool();
    settings.endGroup();
    const QString loadedFolder = folderOf(loadedFile);
    if (beside && !loadedFolder.isEmpty()) {
        return loadedFolder;
    }
    // A folder removed since is no place to start.
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        return folder;
    }
    return loadedFolder;
}

void remember(QSettings& settings, const QString& kind, const std::filesystem::path& chosen,
              const std::filesystem::path& loadedFile) {
    const QString folder =
        kind == QLatin1String("folder") ? QDir::cleanPath(toQString(chosen)) : folderOf(chosen);
    if (folder.isEmpty()) {
        return;
    }
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(kind + QStringLiteral("/Folder"), folder);
    settings.setValue(kind + QStringLiteral("/BesideLoadedFile"), sameFolder(folder, folderOf(loadedFile)));
    settings.endGroup();
}

} // namespace file_dialog_folders
