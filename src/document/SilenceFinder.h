#pragma once
#include <vector>

enum class SilenceCut { Start, Middle, End };

struct SilenceSettings {
    double thresholdDb = -40.0;     // a frame is silent when its RMS level (dBFS) is at or below this
    double minSilenceSeconds = 0.5;
    SilenceCut cut = SilenceCut::Middle;
    double minPieceSeconds = 0.0;
    int tracks = 0;                 // 0: every silence; N > 0: keep the N - 1 longest
};

struct SilenceReport {
    int found = 0;                  // silences at least minSilenceSeconds long between sounds
    int kept = 0;                   // those that became break points
    double shortestSeconds = 0.0;   // among the found ones (0 when none)
    double longestSeconds = 0.0;
    bool fewerThanAsked = false;    // tracks > 0 and fewer than tracks - 1 silences could be kept
};

struct SilenceResult {
    std::vector<int> breakPoints;   // ascending frame numbers
    SilenceReport report;
};

// Runs on the per-frame RMS levels only (no decoding). `secondsPerFrame` is the file's frame
// duration (samples per frame / sample rate of frame 0).
SilenceResult findSilences(const std::vector<float>& frameRmsDb, double secondsPerFrame,
                           const SilenceSettings& settings);
