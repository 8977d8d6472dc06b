#pragma once

#include <string>
#include <vector>

// Break points in the silences of a recording, found on the per-frame RMS levels of the loading scan.

enum class SilenceCut { Start, Middle, End };

struct SilenceSettings {
    double thresholdDb = -40.0; // a frame is silent when its RMS level (dBFS) is at or below this
    double minSilenceSeconds = 0.5;
    SilenceCut cut = SilenceCut::Middle;
    double minPieceSeconds = 0.0;
    int tracks = 0; // 0: every silence; N > 0: keep the N - 1 longest
};

struct SilenceReport {
    int found = 0;                // silences at least minSilenceSeconds long between sounds
    int kept = 0;                 // those that became break points
    double shortestSeconds = 0.0; // among the found ones (0 when none)
    double longestSeconds = 0.0;
    bool fewerThanAsked = false; // tracks > 0 and fewer than tracks - 1 silences could be kept
};

struct SilenceResult {
    std::vector<int> breakPoints; // ascending frame numbers
    SilenceReport report;
};

// Runs on the per-frame RMS levels only (no decoding). `secondsPerFrame` is the file's frame
// duration (samples per frame / sample rate of frame 0).
//
// A silence is a run of silent frames with a loud frame on either side (a run touching the start or
// the end of the file is no gap between two sounds). Its break point is its first silent frame
// (Start: the piece before ends with its sound), the frame half way into it (Middle) or the first
// loud frame after it (End: the piece after opens with its sound). With a minimum piece length or a
// number of tracks, the longest silences are taken first and a silence whose break point would
// leave a piece shorter than the minimum is passed over, so short pieces merge into their
// neighbours at the shorter silences.
SilenceResult findSilences(const std::vector<float>& frameRmsDb, double secondsPerFrame,
                           const SilenceSettings& settings);

// "Silences found: 3, kept: 2, shortest 0.80 s, longest 1.60 s".
std::string silenceReportLine(const SilenceReport& report);
// "Only 3 tracks could be made of 5 asked for".
std::string fewerTracksLine(const SilenceReport& report, int tracks);
