#pragma once

#include <QString>

#include <filesystem>

class QSettings;

// Where a file dialog opens, per kind of file (its extension, or "folder" for folder choosers),
// kept in the settings group "FileDialogFolders". A kind last chosen beside the loaded file opens
// beside the file loaded now; a kind kept in a folder of its own opens there; a kind never used
// opens beside the loaded file.
namespace file_dialog_folders {

// The folder to open in; empty when there is nothing to go by (the toolkit's default then).
QString startFolder(QSettings& settings, const QString& kind, const std::filesystem::path& loadedFile);
// Remembers the folder of `chosen` (a file, or a folder for the kind "folder").
void remember(QSettings& settings, const QString& kind, const std::filesystem::path& chosen,
              const std::filesystem::path& loadedFile);

} // namespace file_dialog_folders
