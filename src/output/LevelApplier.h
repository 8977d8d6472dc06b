#pragma once

#include "engine/GlobalGain.h"
#include "engine/LevelPlan.h"
#include "engine/LevelRule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SourceFrames;

// The level changes of one output file, by source frame: gains over ranges of frames and fades at
// the ends of ranges. Applied to each frame's bytes as it is copied; frames it leaves alone are
// copied as they are.
class LevelApplier {
public:
    // Changes nothing.
    LevelApplier() = default;
    // For a source whose audio frames start at `firstAudio` (its Xing/Info frame, which the LAME
    // tag's own CRC covers, is never changed), with `granulesPerFrame` granules of `sampleRate` Hz.
    LevelApplier(int firstAudio, int granulesPerFrame, int sampleRate);

    // The gain of `steps` over the source frames [from, to); gains that overlap add up.
    void addGain(int from, int to, int steps);
    // A fade in over the first `inSeconds` of the frames [from, to) and a fade out over the last
    // `outSeconds`, each at most the whole range.
    void addFades(int from, int to, double inSeconds, double outSeconds, double floorDb = mp3::kFadeFloorDb);
    // Frames outside [first, end) take the level of the nearest frame inside: frames a decoder runs
    // through ahead of a piece's first frame feed its first granule.
    void limitTo(int first, int end);

    int firstAudio() const { return m_firstAudio; }
    bool changesAny() const { return !m_ranges.empty(); }
    // Whether any frame of [from, to) is changed.
    bool changes(int from, int to) const;
    // The change of one frame.
    mp3::FrameGain gainOf(int frame) const;
    // Changes the bytes of source frame `frame` as it goes into the output.
    void apply(int frame, std::uint8_t* bytes, std::size_t length);
    // The most steps of any granule that global_gain could not take (it stops at 0 and 255).
    int shortfallSteps() const { return m_shortfallSteps; }
    // The changes as ranges of frames (without the limit), as the player's level map takes them.
    const std::vector<mp3::LevelRange>& ranges() const { return m_ranges; }
    int granulesPerFrame() const { return m_granulesPerFrame; }

private:
    int m_firstAudio = 0;
    int m_granulesPerFrame = 2;
    int m_sampleRate = 44100;
    int m_limitFirst = 0;
    int m_limitEnd = -1; // none
    std::vector<mp3::LevelRange> m_ranges;
    int m_shortfallSteps = 0;
};

// An applier for `frames`, the format taken from its first audio frame; empty (changing nothing)
// when the source holds no Layer III frame.
LevelApplier levelApplierFor(const SourceFrames& frames);

// The text that tells the user how much gain a file could not take, or empty when all was applied.
std::string shortfallText(int shortfallSteps);
