#pragma once

#include "document/SilenceFinder.h"
#include "document/formats/FrameTimeline.h"

#include <vector>

// Cuts every `lengthSeconds`, each moved to the longest silence within `windowSeconds` of where it
// would fall. A silence is a run of frames at or below the settings' threshold lasting at least their
// minimum; the cut goes where the settings' cut place puts it in the run.
struct NearSilenceCuts {
    std::vector<int> breakPoints;     // ascending
    std::vector<int> plainCuts;       // the break points for which no silence was near
    std::vector<double> plainTargets; // the seconds each of those was aimed at
};
NearSilenceCuts cutsNearSilence(const std::vector<float>& frameRmsDb, const FrameTimeline& timeline,
                                double lengthSeconds, double windowSeconds, const SilenceSettings& settings);

// Frames [from, to) without the silent frames (at or below `thresholdDb`) at either end; from == to
// when every frame is silent.
struct FrameSpanRange {
    int from = 0;
    int to = 0;
};
FrameSpanRange trimmedRange(const std::vector<float>& frameRmsDb, int from, int to, double thresholdDb);
