#include "app/HelpFile.h"

#include <QDir>
#include <QFileInfo>

QString helpFileFor(const QString& programPath) {
    const QFileInfo program(programPath);
    const QDir folder = program.absoluteDir();
    const QString candidates[] = {
        folder.filePath(program.completeBaseName() + QStringLiteral(".chm")),
        folder.filePath(QStringLiteral("../share/doc/kerfline/manual/index.html")),
        folder.filePath(QStringLiteral("manual/index.html")),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QFileInfo(candidate).absoluteFilePath();
        }
    }
    return {};
}

QUrl manualPageFor(const QString& programPath, const QString& section) {
    const QDir folder = QFileInfo(programPath).absoluteDir();
    for (const QString& candidate :
         {folder.filePath(QStringLiteral("../share/doc/kerfline/manual/index.html")),
          folder.filePath(QStringLiteral("manual/index.html"))}) {
        if (QFileInfo(candidate).isFile()) {
            QUrl page = QUrl::fromLocalFile(QFileInfo(candidate).absoluteFilePath());
            if (!section.isEmpty()) {
                page.setFragment(section);
            }
            return page;
        }
    }
    return {};
}
