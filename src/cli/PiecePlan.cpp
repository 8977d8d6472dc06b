#include "cli/PiecePlan.h"

#include "document/BlockTags.h"
#include "document/BreakPointLists.h"
#include "document/SplitDocument.h"
#include "output/OverlapFrames.h"
#include "output/PieceNames.h"
#include "output/SourceFrames.h"
#include "output/TemplatedNames.h"

#include <algorithm>

namespace {

struct BlockSpan {
    int first = 0;
    int end = 0; // exclusive
};

// The blocks Save All makes: one at frame 0 and one at every distinct break point inside the file.
std::vector<BlockSpan> blockSpans(const BreakPointList& breakPoints, int count) {
    std::vector<int> starts;
    for (const BreakPoint value : breakPoints) {
        if (value >= 1 && value < count) {
            starts.push_back(value);
        }
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<BlockSpan> blocks;
    int first = 0;
    for (const int start : starts) {
        blocks.push_back({first, start});
        first = start;
    }
    if (count > 0) {
        blocks.push_back({first, count});
    }
    return blocks;
}

} // namespace

std::vector<PlannedPiece> planPieces(const SplitDocument& doc, const SourceFrames& frames,
                                     std::string& problem) {
    const int count = frames.count();
    const std::vector<BlockSpan> blocks = blockSpans(doc.m_breakPoints, count);
    const int blockCount = static_cast<int>(blocks.size());
    const PieceOptions options = doc.pieceOptions();
    std::vector<std::filesystem::path> names;
    if (!options.nameTemplate.empty()) {
        std::vector<PieceNameFields> fields;
        for (int number = 0; number < blockCount; ++number) {
            const PieceIdentity identity{number, blockCount, findBlockTag(doc.m_blockTags, number)};
            fields.push_back(pieceNameFields(doc.m_filePath, identity, doc.m_mainTag));
        }
        std::string refused;
        names = templatedNames(options.nameTemplate, doc.m_outputFolder, doc.m_filePath,
                               doc.m_filePath.extension(), fields, refused);
        if (names.empty()) {
            problem = templateRefusal(options.nameTemplate, refused);
            return {};
        }
    }
    // Summed piece by piece: the pieces cover the frames about once, and a table of the bytes before
    // every frame would cost more pages than the sums.
    const auto bytesOf = [&frames](int from, int to) {
        std::uint64_t bytes = 0;
        for (int frame = from; frame < to; ++frame) {
            bytes += static_cast<std::uint64_t>(frames.length(frame));
        }
        return bytes;
    };
    const FrameTimeline timeline = documentTimeline(doc);
    const Preferences preferences = doc.preferences();
    const std::uint64_t overlapMs = preferences.Overlap ? overlapLimitMs(preferences) : 0;
    std::vector<PlannedPiece> pieces;
    for (int number = 0; number < blockCount; ++number) {
        const BlockSpan& block = blocks[static_cast<std::size_t>(number)];
        if (block.end <= std::max(block.first, timeline.leadingFrames)) {
            continue;
        }
        const bool last = number == blockCount - 1;
        PlannedPiece piece;
        piece.number = number;
        piece.path = names.empty()
                         ? pieceName(PieceNaming::SaveAll, doc.m_outputFolder, doc.m_filePath, number)
                         : names[static_cast<std::size_t>(number)];
        piece.firstFrame = overlapMs > 0
                               ? overlapRange(frames, OVERLAP_DIR_BEFORE, block.first, overlapMs).from
                               : block.first;
        const int end = overlapMs > 0 && !last
                            ? overlapRange(frames, OVERLAP_DIR_AFTER, block.end, overlapMs).to
                            : block.end;
        piece.lastFrame = end - 1;
        piece.startMs = timeline.startMs(piece.firstFrame);
        // From the piece's own samples, not two rounded starts.
        const std::int64_t samples = timeline.samplesBefore(end) - timeline.samplesBefore(piece.firstFrame);
        piece.durationMs = (samples * 1000 + timeline.sampleRate / 2) / timeline.sampleRate;
        piece.bytes = bytesOf(piece.firstFrame, end);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}
