#pragma once

#include "engine/FrameHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace mp3 {

// A change of level for one Layer III frame, in steps of global_gain: each step scales a granule's
// decoded samples by 2^(1/4), about 1.5 dB. A fade is a ramp of such changes, granule by granule.
struct GranuleGain {
    // Steps per channel. Mid/side and intensity stereo mix the channels, so there only equal steps
    // on both channels scale the sound exactly.
    std::array<int, 2> steps{};
    // Sets global_gain to 0 in every channel, the quietest the format can code: true silence.
    bool silence = false;
};

struct FrameGain {
    // One entry per granule: MPEG-1 frames have two, MPEG-2 and 2.5 one (the second is then unused).
    std::array<GranuleGain, 2> granules{};

    static FrameGain uniform(int steps) {
        FrameGain gain;
        for (GranuleGain& granule : gain.granules) {
            granule.steps = {steps, steps};
        }
        return gain;
    }
};

struct GainOutcome {
    // False when the bytes are not a Layer III frame holding its side information; nothing changed.
    bool changed = false;
    // The most steps of any granule that could not be applied because global_gain stops at 0 and
    // 255 (granules that code no audio are left out: they decode to silence whatever their gain).
    int shortfallSteps = 0;
};

// Changes the global_gain fields of the Layer III frame in `frame` (`length` bytes, header first),
// and its CRC when it is protected. Nothing else of the frame changes.
GainOutcome changeGlobalGain(const FrameHeader& header, std::uint8_t* frame, std::size_t length,
                             const FrameGain& gain);

} // namespace mp3
