#include "engine/GlobalGain.h"

#include "engine/FrameCrc.h"
#include "engine/LayerThreeSideInfo.h"

#include <algorithm>
#include <cstdlib>

namespace mp3 {

GainOutcome changeGlobalGain(const FrameHeader& header, std::uint8_t* frame, std::size_t length,
                             const FrameGain& gain) {
    GainOutcome outcome;
    const LayerThreeSideInfo side(header, frame, length);
    if (!side.valid()) {
        return outcome;
    }
    std::uint8_t* const sideBytes = frame + side.sideOffset();
    for (int granule = 0; granule < side.granules(); ++granule) {
        const GranuleGain& change = gain.granules[static_cast<std::size_t>(granule)];
        for (int channel = 0; channel < side.channels(); ++channel) {
            const int old = side.globalGain(granule, channel);
            int wanted = 0;
            if (!change.silence) {
                wanted = old + change.steps[static_cast<std::size_t>(channel)];
            }
            const int written = std::clamp(wanted, 0, 255);
            if (!change.silence && side.part23Length(granule, channel) > 0) {
                outcome.shortfallSteps = std::max(outcome.shortfallSteps, std::abs(wanted - written));
            }
            LayerThreeSideInfo::setGlobalGain(sideBytes, side.globalGainBit(granule, channel), written);
        }
    }
    refreshFrameCrc(header, frame, static_cast<std::size_t>(side.sideBytes()));
    outcome.changed = true;
    return outcome;
}

} // namespace mp3
