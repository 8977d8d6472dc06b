#pragma once

#include "engine/Loudness.h"

#include <optional>
#include <string>

namespace mp3 {

// ReplayGain 2.0 measures against -18 LUFS.
inline constexpr double kReplayGainReferenceLufs = -18.0;

// The texts of a piece's TXXX:REPLAYGAIN_TRACK_GAIN and TXXX:REPLAYGAIN_TRACK_PEAK frames.
struct ReplayGainValues {
    std::string trackGain; // "-7.03 dB", "+2.50 dB"
    std::string trackPeak; // the sample peak against full scale, "0.988553"
};

// None for a piece the gate leaves nothing of (digital silence): no gain can be given for it.
std::optional<ReplayGainValues> replayGainValues(const LoudnessFigures& figures);

} // namespace mp3
