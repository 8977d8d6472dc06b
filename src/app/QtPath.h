#pragma once

#include <QFile>
#include <QString>

#include <filesystem>

// Paths cross between the toolkit's strings and the core's std::filesystem::path here, so that file
// names that are not valid UTF-8 survive on systems that allow them.
inline std::filesystem::path toPath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

inline QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}
