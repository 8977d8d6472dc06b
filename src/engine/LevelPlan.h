#pragma once

#include <vector>

namespace mp3 {

// One step of global_gain scales a granule by 2^(1/4): 20 log10(2^(1/4)) dB.
inline constexpr double kDbPerGainStep = 1.5051499783199060;

// A gain chosen to bring a block to a target, in whole steps, and how the choice fell short or over.
struct GainPlan {
    int steps = 0;
    double gainDb = 0;
    // The target was not reached by this much: a smaller gain was taken so as not to clip.
    double shortOfTargetDb = 0;
    // The gain was allowed past the clipping point: the peak lands this far over full scale.
    double overFullScaleDb = 0;
    // Nothing to measure (digital silence): no gain is planned.
    bool silent = false;
};

// Steps that bring the sample peak as close to `targetDbfs` as the steps allow without passing it
// (a peak normalise never goes over its own target). Peaks in dB against full scale.
GainPlan planPeakNormalise(double peakDbfs, double targetDbfs);

// Steps that bring the integrated loudness nearest to `targetLufs`. Unless `allowClipping`, no
// more than the peak allows before it passes full scale; then shortOfTargetDb says by how much the
// target is missed. With it, overFullScaleDb says how far the peak goes over.
GainPlan planLoudnessNormalise(double loudnessLufs, double peakDbfs, double targetLufs, bool allowClipping);

// What a normalise brings to its target: the sample peak (dBFS) or the integrated loudness (LUFS).
enum class NormaliseTarget { Peak, Loudness };

// The plan of either kind, from the measured peak and loudness (the loudness is not read for a peak).
GainPlan planNormalise(NormaliseTarget target, double value, double peakDbfs, double loudnessLufs,
                       bool allowClipping);

// The most steps a peak takes before it passes full scale (0 dBFS); may be negative for a peak
// already over it.
int stepsBeforeClipping(double peakDbfs);

// One granule of a fade: a change in steps, or true silence (global_gain 0).
struct RampStep {
    int steps = 0;
    bool silence = false;
    bool operator==(const RampStep&) const = default;
};

// Default depth of a fade before the granule that is silent.
inline constexpr double kFadeFloorDb = -60.0;

// How many granules a fade of `seconds` covers: 576 samples each, to the nearest granule.
int fadeGranules(double seconds, int sampleRate);

// The gain of each granule of a fade out over `granules` granules: falling evenly in dB, granule by
// granule, in whole steps to the floor (reached on the last granule but one), and the last granule
// silent. A fade in is the same read
// backwards (see fadeInRamp).
std::vector<RampStep> fadeOutRamp(int granules, double floorDb = kFadeFloorDb);
std::vector<RampStep> fadeInRamp(int granules, double floorDb = kFadeFloorDb);
// Granule `index` of those ramps, without building them.
RampStep fadeOutStep(int granules, int index, double floorDb = kFadeFloorDb);
RampStep fadeInStep(int granules, int index, double floorDb = kFadeFloorDb);

} // namespace mp3
