#include "output/SaveBlocks.h"

#include "document/SplitDocument.h"
#include "document/WorkerSlot.h"
#include "output/FrameCopy.h"
#include "output/PieceHeader.h"
#include "output/PieceNames.h"
#include "output/ProgressReporter.h"
#include "output/SourceCheck.h"
#include "output/SourceFrames.h"
#include "output/SpaceCheck.h"
#include "settings/PathText.h"

#include <algorithm>
#include <limits>
#include <new>
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

namespace {

std::uint64_t rangeBytes(const SourceFrames& frames, int from, int to) {
    std::uint64_t bytes = 0;
    for (int frame = from; frame < to; ++frame) {
        bytes += static_cast<std::uint64_t>(frames.length(frame));
    }
    return bytes;
}

// The copy into `piece` is only good when the source did not change meanwhile.
void checkSource(const SourceFrames& frames, const std::optional<platform::FileStatus>& loaded,
                 PieceFile& piece) {
    if (piece.sourceEnded() || (piece.isOpen() && !sourceUnchanged(frames, loaded))) {
        piece.fail(kSourceChanged);
    }
}

std::string failureReason(const PieceFile& piece) {
    return piece.sourceEnded() ? kSourceChanged : piece.error();
}

int saveRows(const SpecifiedBlocksJob& job, WindowLink& frame) {
    SourceFrames frames(job.sourcePath, &job.frameOffsets, &job.frameLengths);
    std::uint64_t bytes = 0;
    for (const CheckedRow& row : job.rows) {
        bytes += rangeBytes(frames, advancedPosition(frames, row.block.from),
                            advancedPosition(frames, row.block.to));
    }
    if (const auto problem = spaceProblem(job.folder, bytes)) {
        sendLog(frame, LogLevel::Error, *problem);
        return static_cast<int>(job.rows.size());
    }
    int failed = 0;
    bool sourceChanged = false;
    const PieceHeader header(frames, job.options.gapless);
    for (const CheckedRow& row : job.rows) {
        PieceFile piece = createPieceFile(
            pieceName(PieceNaming::SpecifiedBlocks, job.folder, job.sourcePath, row.number), job.sourcePath);
        if (sourceChanged || !sourceUnchanged(frames, job.sourceStatus)) {
            piece.fail(kSourceChanged);
        }
        if (piece.isOpen() && !piece.failed()) {
            const int from = advancedPosition(frames, row.block.from);
            const int to = advancedPosition(frames, row.block.to);
            const PieceStart start = header.start(from, to);
            writePieceStart(start, from, frames, piece);
            copyFrames(frames, std::max(from, start.copyFrom), to, piece);
            checkSource(frames, job.sourceStatus, piece);
        }
        if (!piece.close()) {
            ++failed;
            sourceChanged = sourceChanged || failureReason(piece) == kSourceChanged;
            sendLog(frame, LogLevel::Error,
                    "Block " + rangeText(row.block) + " could not be saved to " + pathText(piece.path()) +
                        ": " + failureReason(piece));
        }
    }
    return failed;
}

} // namespace

int runSpecifiedBlocksSave(const SpecifiedBlocksJob& job, WindowLink& frame, WindowLink& dialog) {
    int failed = 0;
    try {
        failed = saveRows(job, frame);
    } catch (const std::bad_alloc&) {
        sendLog(frame, LogLevel::Error, "The blocks could not be saved: not enough memory");
        failed = std::max<int>(1, static_cast<int>(job.rows.size()));
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

namespace {

bool saveBlock(SplitDocument& doc) {
    PieceFile piece = createPieceFile(doc.m_blockPath, doc.m_filePath);
    SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
    // A sorted copy: what the thread reads never depends on who last sorted the user's list.
    BreakPointList breakPoints = doc.m_breakPoints;
    std::sort(breakPoints.begin(), breakPoints.end());
    const auto found = std::find(breakPoints.begin(), breakPoints.end(), doc.m_blockFrom);
    if (found == breakPoints.end()) {
        doc.log(LogLevel::Error, "Block " + std::to_string(doc.m_blockFrom) +
                                     " F could not be saved: its break point is no longer in the list");
        return false;
    }
    const int end = std::next(found) == breakPoints.end() ? doc.frameCount() : *std::next(found);
    doc.m_blockTo = end;
    const int from = advancedPosition(frames, doc.m_blockFrom);
    const int to = end >= doc.frameCount() ? frames.count() : advancedPosition(frames, end);
    if (const auto problem = spaceProblem(doc.m_blockPath.parent_path(), rangeBytes(frames, from, to))) {
        doc.log(LogLevel::Error, *problem);
        return false;
    }
    if (!sourceUnchanged(frames, doc.m_sourceStatus)) {
        piece.fail(kSourceChanged);
    }
    ProgressReporter progress(doc.m_frame, end - doc.m_blockFrom);
    const PieceStart start = PieceHeader(frames, doc.pieceOptions().gapless).start(from, to);
    if (piece.isOpen() && !piece.failed()) {
        writePieceStart(start, from, frames, piece);
    }
    for (int frame = std::max(from, start.copyFrom); frame < to && piece.isOpen() && !piece.failed();) {
        const int chunkEnd = std::min(to, frame + progress.step());
        copyFrames(frames, frame, chunkEnd, piece);
        frame = chunkEnd;
        progress.set(frame - from);
    }
    checkSource(frames, doc.m_sourceStatus, piece);
    const bool saved = piece.close();
    if (!saved) {
        doc.log(LogLevel::Error, "Block " + rangeText({doc.m_blockFrom, end}) + " could not be saved to " +
                                     pathText(piece.path()) + ": " + failureReason(piece));
    }
    return saved;
}

} // namespace

bool runBlockSave(SplitDocument& doc) {
    bool saved = false;
    try {
        saved = saveBlock(doc);
    } catch (const std::bad_alloc&) {
        doc.log(LogLevel::Error, "The block could not be saved: not enough memory");
    }
    doc.m_view.post(UM_BLOCK_SAVED, saved ? 0 : 1, 0);
    return saved;
}
