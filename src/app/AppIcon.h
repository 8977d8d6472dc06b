#pragma once

#include <QIcon>

// The program's icon: a waveform cut by a break point, drawn at the usual sizes.
QIcon appIcon();
