#pragma once

#include <QString>

#include <filesystem>

// The main window's caption: the open file's name first, so that windows and task bar entries tell
// the files apart, then the program's name and version; the program alone when no file is open.
QString windowTitleFor(const std::filesystem::path& openFile);
