#pragma once

#include "engine/Loudness.h"

#include <atomic>
#include <filesystem>
#include <vector>

namespace mp3 {

struct BlockLoudness {
    int firstFrame = 0;
    int endFrame = 0;
    LoudnessFigures figures;
};

struct LoudnessReport {
    int frames = 0;
    LoudnessFigures file;
    // One per block between the break points; empty when none were given.
    std::vector<BlockLoudness> blocks;
    // Parts measured side by side (1: in file order).
    int parts = 1;
};

struct LoudnessScanOptions {
    // Break points (frame numbers, ascending) that start blocks of their own.
    std::vector<int> breakPoints;
    // A file of at least this many frames is measured in two parts on two cores.
    int splitFrames = 5000;
    // Counts the frames measured so far, for a progress bar on another thread.
    std::atomic<int>* framesDone = nullptr;
    // Set from another thread to stop early: the report is then incomplete.
    const std::atomic<bool>* stop = nullptr;
    TruePeakScan truePeakScan = TruePeakScan::Gated;
};

// Decodes the file once and measures it with the loudness meter, and each block with one of its
// own. A long file is measured as two parts side by side, split at the break point nearest its
// middle (so no block is split), and the parts' meters combined: only the gating blocks that would
// span the split are missing, a few hundred milliseconds of an hour.
LoudnessReport measureLoudness(const std::filesystem::path& path, const LoudnessScanOptions& options);

} // namespace mp3
