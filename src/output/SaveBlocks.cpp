#include "output/SaveBlocks.h"

#include "document/SplitDocument.h"
#include "document/WorkerSlot.h"
#include "output/PieceWriter.h"
#include "output/ProgressReporter.h"
#include "output/Utf8Path.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

namespace {

// A row from `first` that counts frames until the frame numbered `endBreakPoint` or the end of the
// stream.
BlockRow makeRow(const SourceFrames& frames, int rowNumber, int first, std::optional<int> endBreakPoint) {
    int frame = advancedPosition(frames, first);
    std::uint64_t bytes = 0;
    const int start = frame;
    while (frame < frames.count() && frame != endBreakPoint) {
        bytes += static_cast<std::uint64_t>(frames.length(frame));
        ++frame;
    }
    BlockRow row;
    row.block = {first, first + (frame - start)};
    row.bytes = bytes;
    row.number = "# " + std::to_string(rowNumber);
    row.range = std::to_string(row.block.from) + " F - " + std::to_string(row.block.to) + " F";
    row.size = bytes <= 1024 ? std::to_string(bytes) + " Bytes" : std::to_string(bytes / 1024) + " KB";
    const std::int64_t bitrate = frames.firstBitrate();
    row.timeLength = std::to_string(static_cast<std::int64_t>(bytes) * 8 / bitrate) + " Seconds";
    return row;
}

std::string rangeText(const Block& block) {
    return std::to_string(block.from) + " F - " + std::to_string(block.to) + " F";
}

} // namespace

std::vector<BlockRow> buildBlockRows(SplitDocument& doc) {
    doc.sortBreakPoints();
    const SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
    std::vector<BlockRow> rows;
    rows.reserve(doc.m_breakPoints.size() + 1);
    int first = 0;
    for (const BreakPoint breakPoint : doc.m_breakPoints) {
        rows.push_back(makeRow(frames, static_cast<int>(rows.size()) + 1, first, breakPoint));
        // The largest value a typed break point can have is followed by nothing: its row is empty.
        first = breakPoint < std::numeric_limits<BreakPoint>::max() ? breakPoint + 1 : breakPoint;
    }
    rows.push_back(makeRow(frames, static_cast<int>(rows.size()) + 1, first, std::nullopt));
    return rows;
}

bool outputFolderExists(const std::filesystem::path& folder) {
    std::error_code error;
    return !folder.empty() && std::filesystem::exists(folder, error);
}

int runSpecifiedBlocksSave(const SpecifiedBlocksJob& job, WindowLink& frame, WindowLink& dialog) {
    int failed = 0;
    {
        SourceFrames frames(job.sourcePath, &job.frameOffsets, &job.frameLengths);
        for (const CheckedRow& row : job.rows) {
            PieceFile piece = createPieceFile(
                pieceName(PieceNaming::SpecifiedBlocks, job.folder, job.sourcePath, row.number),
                job.sourcePath);
            if (piece.isOpen()) {
                copyFrames(frames, advancedPosition(frames, row.block.from),
                           advancedPosition(frames, row.block.to), piece);
            }
            if (!piece.close()) {
                ++failed;
                sendLog(frame, LogLevel::Error,
                        "Block " + rangeText(row.block) + " could not be saved to " + utf8Path(piece.path()) +
                            ": " + piece.error());
            }
        }
    }
    dialog.post(UM_SAVE_ALL_DONE, static_cast<std::uintptr_t>(failed), 0);
    return failed;
}

void startSpecifiedBlocksSave(WorkerSlot& slot, SpecifiedBlocksJob job, WindowLink& frame,
                              WindowLink& dialog) {
    slot.start([job = std::move(job), &frame, &dialog] { runSpecifiedBlocksSave(job, frame, dialog); });
}

void saveBlockFromBreakPoint(SplitDocument& doc, int value) {
    if (doc.m_loadThread || doc.m_saveAllThread || doc.m_wavThread || doc.m_blockThread) {
        return;
    }
    const auto chosen =
        doc.m_prompts.chooseSaveFile("MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||", "mp3", "");
    if (!chosen) {
        return;
    }
    // Sorted here rather than on the thread: the view keeps reading the list while the thread runs.
    doc.sortBreakPoints();
    doc.m_blockPath = *chosen;
    doc.m_blockFrom = value;
    doc.m_blockThread.start([&doc] { runBlockSave(doc); });
}

bool runBlockSave(SplitDocument& doc) {
    bool saved = false;
    {
        PieceFile piece = createPieceFile(doc.m_blockPath, doc.m_filePath);
        SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
        // A sorted copy: what the thread reads never depends on who last sorted the user's list.
        BreakPointList breakPoints = doc.m_breakPoints;
        std::sort(breakPoints.begin(), breakPoints.end());
        const auto found = std::find(breakPoints.begin(), breakPoints.end(), doc.m_blockFrom);
        if (found == breakPoints.end()) {
            doc.log(LogLevel::Error, "Block " + std::to_string(doc.m_blockFrom) +
                                         " F could not be saved: its break point is no longer in the list");
        } else {
            const int end = std::next(found) == breakPoints.end() ? doc.frameCount() : *std::next(found);
            doc.m_blockTo = end;
            ProgressReporter progress(doc.m_frame, end - doc.m_blockFrom);
            const int from = advancedPosition(frames, doc.m_blockFrom);
            const int to = end >= doc.frameCount() ? frames.count() : advancedPosition(frames, end);
            for (int frame = from; frame < to && piece.isOpen();) {
                const int chunkEnd = std::min(to, frame + progress.step());
                copyFrames(frames, frame, chunkEnd, piece);
                frame = chunkEnd;
                progress.set(frame - from);
            }
            saved = piece.close();
            if (!saved) {
                doc.log(LogLevel::Error, "Block " + rangeText({doc.m_blockFrom, end}) +
                                             " could not be saved to " + utf8Path(piece.path()) + ": " +
                                             piece.error());
            }
        }
    }
    doc.m_view.post(UM_BLOCK_SAVED, saved ? 0 : 1, 0);
    return saved;
}
