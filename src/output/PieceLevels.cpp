#include "output/PieceLevels.h"

#include <algorithm>

bool PieceLevelSource::changesAny() const {
    return fadeCutsMs > 0 || std::any_of(edits.begin(), edits.end(), [](const auto& entry) {
               return entry.second.gainSteps != 0 || entry.second.fadeInMs > 0 || entry.second.fadeOutMs > 0;
           });
}

LevelApplier pieceLevels(LevelApplier format, const PieceLevelSource& source, int first, int end) {
    const int firstAudio = format.firstAudio();
    LevelApplier levels = std::move(format);
    for (std::size_t block = 0; block < source.blockStarts.size(); ++block) {
        const int blockFirst = source.blockStarts[block];
        const int blockEnd =
            block + 1 < source.blockStarts.size() ? source.blockStarts[block + 1] : source.frameCount;
        if (blockEnd <= first || blockFirst >= end) {
            continue;
        }
        const BlockEdit edit = blockEditAt(source.edits, blockFirst);
        levels.addGain(std::max(first, blockFirst), std::min(end, blockEnd), edit.gainSteps);
        // The source's Info frame holds no sound to fade.
        levels.addFades(std::max(blockFirst, firstAudio), blockEnd, edit.fadeInMs / 1000.0,
                        edit.fadeOutMs / 1000.0);
    }
    if (source.fadeCutsMs > 0) {
        const double seconds = source.fadeCutsMs / 1000.0;
        levels.addFades(std::max(first, firstAudio), end, first > firstAudio ? seconds : 0,
                        end < source.frameCount ? seconds : 0);
    }
    levels.limitTo(first, end);
    return levels;
}
