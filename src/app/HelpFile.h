#pragma once

#include <QString>
#include <QUrl>

// What Help Topics opens for the program at `programPath`: the compiled help file beside it
// ("kerfline.chm") when there is one, otherwise the HTML manual, installed under
// ../share/doc/kerfline/manual or copied beside the program in a build folder. Empty when there is
// neither.
QString helpFileFor(const QString& programPath);

// A section of the HTML manual (installed, or beside the program in a build folder) as a local
// page, `section` being the anchor; an empty URL when there is no manual.
QUrl manualPageFor(const QString& programPath, const QString& section);
