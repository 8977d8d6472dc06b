#include "engine/ReplayGain.h"

#include <cmath>
#include <cstdio>

namespace mp3 {

std::optional<ReplayGainValues> replayGainValues(const LoudnessFigures& figures) {
    if (!std::isfinite(figures.integratedLufs)) {
        return std::nullopt;
    }
    ReplayGainValues values;
    char text[32];
    // Readers parse the number and ignore the sign's absence, but the usual writers give it both ways.
    std::snprintf(text, sizeof text, "%+.2f dB", kReplayGainReferenceLufs - figures.integratedLufs);
    values.trackGain = text;
    const double peak =
        std::isfinite(figures.samplePeakDbfs) ? std::pow(10.0, figures.samplePeakDbfs / 20.0) : 0.0;
    std::snprintf(text, sizeof text, "%.6f", peak);
    values.trackPeak = text;
    return values;
}

} // namespace mp3
