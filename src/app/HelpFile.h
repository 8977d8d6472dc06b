#pragma once

#include <QString>

// What Help Topics opens for the program at `programPath`: the compiled help file beside it
// ("kerfline.chm") when there is one, otherwise the HTML manual, installed under
// ../share/doc/kerfline/manual or copied beside the program in a build folder. Empty when there is
// neither.
QString helpFileFor(const QString& programPath);
