#pragma once

#include "settings/PieceOptions.h"

class QSettings;

// The piece options in the program's settings, group "Pieces"; preferences.dat keeps its layout.
PieceOptions loadPieceOptions(QSettings& settings);
void savePieceOptions(QSettings& settings, const PieceOptions& options);
