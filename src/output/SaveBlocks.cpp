#include "output/SaveBlocks.h"

#include "document/BlockTags.h"
#include "document/BreakPointLists.h"
#include "document/SplitDocument.h"
#include "document/WorkerSlot.h"
#include "output/DurableBatch.h"
#include "output/FrameCopy.h"
#include "output/PieceMaker.h"
#include "output/PieceNames.h"
#include "output/ProgressReporter.h"
#include "output/SourceCheck.h"
#include "output/SourceFrames.h"
#include "output/SpaceCheck.h"
#include "output/TemplatedNames.h"
#include "settings/PathText.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <optional>
#include <string>

namespace {

// The row of the frames [from, to).
BlockRow makeRow(const SourceFrames& frames, int rowNumber, int from, int to) {
    std::uint64_t bytes = 0;
    for (int frame = advancedPosition(frames, from); frame < advancedPosition(frames, to); ++frame) {
        bytes += static_cast<std::uint64_t>(frames.length(frame));
    }
    BlockRow row;
    row.block = {from, to};
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
    // The blocks Save All cuts: a break point's frame starts its block, and a duplicate starts none.
    const std::vector<int> starts = blockStartFrames(doc);
    const int frameCount = doc.frameCount();
    std::vector<BlockRow> rows;
    rows.reserve(starts.size());
    for (std::size_t i = 0; i < starts.size() && frameCount > 0; ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1] : frameCount;
        rows.push_back(makeRow(frames, static_cast<int>(rows.size()) + 1, starts[i], end));
    }
    if (!doc.m_blockEdits.empty()) {
        const std::vector<EditedRange> kept = doc.editedStream();
        for (BlockRow& row : rows) {
            row.removed = row.block.to > row.block.from &&
                          std::none_of(kept.begin(), kept.end(), [&row](const EditedRange& range) {
                              return range.from < row.block.to && row.block.from < range.to;
                          });
        }
    }
    return rows;
}

SpecifiedBlocksJob specifiedBlocksJob(const SplitDocument& doc, const std::filesystem::path& folder,
                                      std::vector<CheckedRow> rows, int rowCount) {
    SpecifiedBlocksJob job;
    job.sourcePath = doc.m_filePath;
    job.folder = folder;
    job.rows = std::move(rows);
    job.frameOffsets = doc.m_frameOffsets;
    job.frameLengths = doc.m_frameLengths;
    // Checked against the file as it was loaded, not as it is when the save starts.
    job.sourceStatus = doc.m_sourceStatus;
    job.options = doc.pieceOptions();
    job.mainTag = doc.m_mainTag;
    job.blockTags = doc.m_blockTags;
    job.blockCount = rowCount;
    job.levels = {blockStartsOf(doc.m_breakPoints, doc.frameCount()), doc.frameCount(), doc.m_blockEdits};
    return job;
}

PieceIdentity rowIdentity(const std::vector<BlockTag>& blockTags, int rowCount, int rowNumber) {
    const int number = rowNumber - 1;
    return {number, std::max(rowCount, rowNumber), findBlockTag(blockTags, number)};
}

std::vector<std::string> templatedRowNames(const SplitDocument& doc, int rowCount) {
    const std::string pattern = doc.pieceOptions().nameTemplate;
    if (pattern.empty()) {
        return {};
    }
    std::vector<std::string> names;
    for (int row = 1; row <= rowCount; ++row) {
        const ExpandedName expanded = expandPieceName(
            pattern,
            pieceNameFields(doc.m_filePath, rowIdentity(doc.m_blockTags, rowCount, row), doc.m_mainTag));
        names.push_back(expanded.problem.empty() ? expanded.relative.generic_string() + ".mp3"
                                                 : std::string());
    }
    return names;
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

PieceIdentity jobRowIdentity(const SpecifiedBlocksJob& job, const CheckedRow& row) {
    return rowIdentity(job.blockTags, job.blockCount, row.number);
}

// The path of every row; empty with `problem` set when the name template is refused.
std::vector<std::filesystem::path> rowPaths(const SpecifiedBlocksJob& job, std::string& problem) {
    std::vector<std::filesystem::path> paths;
    if (job.options.nameTemplate.empty()) {
        for (const CheckedRow& row : job.rows) {
            paths.push_back(pieceName(PieceNaming::SpecifiedBlocks, job.folder, job.sourcePath, row.number));
        }
        return paths;
    }
    std::vector<PieceNameFields> fields;
    for (const CheckedRow& row : job.rows) {
        fields.push_back(pieceNameFields(job.sourcePath, jobRowIdentity(job, row), job.mainTag));
    }
    return templatedNames(job.options.nameTemplate, job.folder, job.sourcePath, ".mp3", fields, problem);
}

int saveRows(const SpecifiedBlocksJob& job, WindowLink& frame) {
    const int rowCount = static_cast<int>(job.rows.size());
    std::string problem;
    const std::vector<std::filesystem::path> paths = rowPaths(job, problem);
    if (!problem.empty()) {
        sendLog(frame, LogLevel::Error,
                templateRefusal(job.options.nameTemplate, problem) + "; nothing has been saved");
        return rowCount;
    }
    SourceFrames frames(job.sourcePath, &job.frameOffsets, &job.frameLengths);
    PieceMaker maker(job.sourcePath, frames, job.options, PieceMaker::BlockTagAlone::Skip);
    maker.setLevels(job.levels);
    maker.setTagWriter(job.tagWriter);
    std::uint64_t bytes = maker.extraBytes(job.blockCount) * job.rows.size();
    for (const CheckedRow& row : job.rows) {
        bytes += rangeBytes(frames, advancedPosition(frames, row.block.from),
                            advancedPosition(frames, row.block.to));
    }
    if (const auto problem = spaceProblem(job.folder, bytes)) {
        sendLog(frame, LogLevel::Error, *problem);
        return rowCount;
    }
    int failed = 0;
    bool sourceChanged = false;
    FolderSyncs folderSyncs;
    DurableBatch batch(folderSyncs);
    for (int i = 0; i < rowCount; ++i) {
        const CheckedRow& row = job.rows[static_cast<std::size_t>(i)];
        const PieceIdentity identity = jobRowIdentity(job, row);
        const std::filesystem::path& path = paths[static_cast<std::size_t>(i)];
        if (!maker.holdsAudio(advancedPosition(frames, row.block.from),
                              advancedPosition(frames, row.block.to))) {
            sendLog(frame, LogLevel::Warning,
                    "Block " + rangeText(row.block) +
                        " holds no audio frame, only the Info frame: it has not been saved");
            continue;
        }
        PieceFile piece = job.options.nameTemplate.empty()
                              ? createPieceFile(path, job.sourcePath)
                              : createTemplatedPiece(path, job.folder, job.sourcePath);
        if (sourceChanged || !sourceUnchanged(frames, job.sourceStatus)) {
            piece.fail(kSourceChanged);
        }
        if (piece.isOpen() && !piece.failed()) {
            const int from = advancedPosition(frames, row.block.from);
            const int to = advancedPosition(frames, row.block.to);
            const int copyFrom = maker.writeOpening(piece, identity, from, to);
            copyFrames(frames, copyFrom, to, piece, maker.levels());
            maker.writeClosing(piece, identity);
            checkSource(frames, job.sourceStatus, piece);
            if (const std::string shortfall = pieceShortfallText(maker.levels()); !shortfall.empty()) {
                sendLog(frame, LogLevel::Error, "Block " + rangeText(row.block) + ": " + shortfall);
            }
        }
        maker.finish(piece, identity);
        // Known before the commit: a source that changed spoils the pieces after this one too.
        sourceChanged = sourceChanged || failureReason(piece) == kSourceChanged;
        const Block block = row.block;
        batch.add(std::move(piece), [&failed, &frame, block](PieceFile& saved, bool whole) {
            if (!whole) {
                ++failed;
                sendLog(frame, LogLevel::Error,
                        "Block " + rangeText(block) + " could not be saved to " + pathText(saved.path()) +
                            ": " + failureReason(saved));
            }
        });
    }
    batch.commit();
    if (!folderSyncs.syncAll()) {
        sendLog(frame, LogLevel::Error,
                "The folder " + pathText(folderSyncs.failed()) +
                    " could not be synced, the pieces in it may be lost in a crash: " +
                    platform::systemError(errno));
    }
    return failed;
}

// The block that starts at break point `value` of the sorted list, as the block tags count blocks (one
// more than break points); none when the value is not in the list.
std::optional<PieceIdentity> breakPointBlock(const BreakPointList& sorted, const std::vector<BlockTag>& tags,
                                             int value) {
    const auto found = std::find(sorted.begin(), sorted.end(), value);
    if (found == sorted.end()) {
        return std::nullopt;
    }
    const int number = static_cast<int>(found - sorted.begin()) + 1;
    return PieceIdentity{number, static_cast<int>(sorted.size()) + 1, findBlockTag(tags, number)};
}

// The file name the name template gives the block of break point `value`; the user picks the folder.
std::string proposedBlockName(SplitDocument& doc, int value) {
    const std::string pattern = doc.pieceOptions().nameTemplate;
    if (pattern.empty()) {
        return {};
    }
    BreakPointList sorted = doc.m_breakPoints;
    std::sort(sorted.begin(), sorted.end());
    const std::optional<PieceIdentity> identity = breakPointBlock(sorted, doc.m_blockTags, value);
    if (!identity) {
        return {};
    }
    const ExpandedName expanded =
        expandPieceName(pattern, pieceNameFields(doc.m_filePath, *identity, doc.m_mainTag));
    if (!expanded.problem.empty()) {
        doc.log(LogLevel::Error, templateRefusal(pattern, expanded.problem) + "; no name is proposed");
        return {};
    }
    return expanded.relative.filename().string() + ".mp3";
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

bool startSpecifiedBlocksSave(WorkerSlot& slot, SpecifiedBlocksJob job, WindowLink& frame,
                              WindowLink& dialog) {
    if (!slot.start(
            [job = std::move(job), &frame, &dialog] { runSpecifiedBlocksSave(job, frame, dialog); })) {
        sendLog(frame, LogLevel::Error, kNoWorkerThreadText);
        return false;
    }
    return true;
}

void saveBlockFromBreakPoint(SplitDocument& doc, int value) {
    if (doc.m_loadThread || doc.m_saveAllThread || doc.m_wavThread || doc.m_blockThread) {
        return;
    }
    const auto chosen = doc.m_prompts.chooseSaveFile("MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||", "mp3",
                                                     proposedBlockName(doc, value));
    if (!chosen) {
        return;
    }
    // Sorted here rather than on the thread: the view keeps reading the list while the thread runs.
    const BreakPointList unsorted = doc.m_breakPoints;
    const std::filesystem::path previousPath = doc.m_blockPath;
    const int previousFrom = doc.m_blockFrom;
    doc.sortBreakPoints();
    doc.m_blockPath = *chosen;
    doc.m_blockFrom = value;
    if (!doc.m_blockThread.start([&doc] { runBlockSave(doc); })) {
        doc.m_breakPoints = unsorted;
        doc.m_blockPath = previousPath;
        doc.m_blockFrom = previousFrom;
        doc.log(LogLevel::Error, kNoWorkerThreadText);
    }
}

namespace {

bool saveBlock(SplitDocument& doc) {
    PieceFile piece = createPieceFile(doc.m_blockPath, doc.m_filePath);
    SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
    // A sorted copy: what the thread reads never depends on who last sorted the user's list.
    BreakPointList breakPoints = doc.m_breakPoints;
    std::sort(breakPoints.begin(), breakPoints.end());
    const std::optional<PieceIdentity> identity =
        breakPointBlock(breakPoints, doc.m_blockTags, doc.m_blockFrom);
    if (!identity) {
        doc.log(LogLevel::Error, "Block " + std::to_string(doc.m_blockFrom) +
                                     " F could not be saved: its break point is no longer in the list");
        return false;
    }
    // With a duplicate of the break point the next element is equal and the block is empty.
    const auto found = breakPoints.begin() + identity->number - 1;
    const int end = std::next(found) == breakPoints.end() ? doc.frameCount() : *std::next(found);
    doc.m_blockTo = end;
    const int from = advancedPosition(frames, doc.m_blockFrom);
    const int to = end >= doc.frameCount() ? frames.count() : advancedPosition(frames, end);
    PieceMaker maker(doc.m_filePath, frames, doc.pieceOptions(), PieceMaker::BlockTagAlone::Skip);
    maker.setLevels({blockStartsOf(breakPoints, doc.frameCount()), doc.frameCount(), doc.m_blockEdits});
    if (const auto problem = spaceProblem(doc.m_blockPath.parent_path(),
                                          rangeBytes(frames, from, to) + maker.extraBytes(identity->count))) {
        doc.log(LogLevel::Error, *problem);
        return false;
    }
    if (!sourceUnchanged(frames, doc.m_sourceStatus)) {
        piece.fail(kSourceChanged);
    }
    ProgressReporter progress(doc.m_frame, end - doc.m_blockFrom);
    int copyFrom = from;
    if (piece.isOpen() && !piece.failed()) {
        copyFrom = maker.writeOpening(piece, *identity, from, to);
    }
    for (int frame = copyFrom; frame < to && piece.isOpen() && !piece.failed();) {
        const int chunkEnd = std::min(to, frame + std::max(progress.step(), kFramesPerCopyStep));
        copyFrames(frames, frame, chunkEnd, piece, maker.levels());
        frame = chunkEnd;
        progress.set(frame - from);
    }
    if (const std::string shortfall = pieceShortfallText(maker.levels()); !shortfall.empty()) {
        doc.log(LogLevel::Error, "Block " + rangeText({doc.m_blockFrom, end}) + ": " + shortfall);
    }
    maker.writeClosing(piece, *identity);
    checkSource(frames, doc.m_sourceStatus, piece);
    maker.finish(piece, *identity);
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
