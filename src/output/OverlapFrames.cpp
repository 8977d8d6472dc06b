#include "output/OverlapFrames.h"

#include "document/SplitDocument.h"
#include "output/FrameCopy.h"

#include <cstdint>
#include <string>

int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames) {
    const Preferences preferences = doc.preferences();
    if (!preferences.Overlap) {
        return 0;
    }
    // Whole seconds, taken as an unsigned count.
    const std::uint64_t limit = std::uint64_t{static_cast<std::uint32_t>(preferences.OverlapSecs)} * 1000;
    std::uint64_t sum = 0;
    int written = 0;
    if (direction == OVERLAP_DIR_BEFORE) {
        doc.log(Normal, "Save overlap frames: OVERLAP_DIR_BEFORE ...");
        // Back from the block's own first frame, whose duration counts first, until frame 0.
        int first = frame;
        if (first < frames.count()) {
            while (first > 0 && sum < limit) {
                sum += static_cast<std::uint64_t>(frames[first].durationMs);
                --first;
            }
        }
        written = copyFrames(frames, first, frame, piece).frames;
    } else {
        doc.log(Normal, "Save overlap frames: OVERLAP_DIR_AFTER ...");
        int end = frame;
        if (limit != 0) {
            do {
                if (end >= frames.count()) {
                    break;
                }
                sum += static_cast<std::uint64_t>(frames[end].durationMs);
                ++end;
            } while (sum < limit);
        }
        written = copyFrames(frames, frame, end, piece).frames;
    }
    doc.log(Normal, "Overlap frames has been saved, total frame " + std::to_string(written) + " F");
    return written;
}
