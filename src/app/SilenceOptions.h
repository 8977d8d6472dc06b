#pragma once

#include "document/SilenceFinder.h"

class QSettings;

// What the Find Silences dialog holds: the finder's settings and whether the new break points
// replace the list.
struct SilenceOptions {
    SilenceSettings settings;
    bool deleteOriginal = false;
    bool operator==(const SilenceOptions& other) const;
};

// The ranges the dialog offers; stored values outside them are brought back inside.
namespace silence_limits {
constexpr double kMinThresholdDb = -120.0;
constexpr double kMaxThresholdDb = 0.0;
constexpr double kMinSilenceSeconds = 0.01;
constexpr double kMaxSilenceSeconds = 600.0;
constexpr double kMaxPieceSeconds = 86400.0;
constexpr int kMinTracks = 2;
constexpr int kMaxTracks = 9999;
} // namespace silence_limits

// The options in the program's settings, group "Silence"; preferences.dat keeps its layout.
// deleteOriginal is never stored: it is read as false.
SilenceOptions loadSilenceOptions(QSettings& settings);
void saveSilenceOptions(QSettings& settings, const SilenceOptions& options);
