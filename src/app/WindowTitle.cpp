#include "app/WindowTitle.h"

#include "app/QtPath.h"

#include "kerfline/Version.h"

QString windowTitleFor(const std::filesystem::path& openFile) {
    const QString program = QLatin1String(kKerflineProductLine);
    if (openFile.filename().empty()) {
        return program;
    }
    return toQString(openFile.filename()) + QStringLiteral(" \u2014 ") + program;
}
