#include "output/SaveAll.h"

#include "document/BlockEdits.h"
#include "document/BlockTags.h"
#include "document/SharedTexts.h"
#include "document/SplitDocument.h"
#include "output/DurableBatch.h"
#include "output/FrameCopy.h"
#include "output/OverlapFrames.h"
#include "output/PieceMaker.h"
#include "output/PieceNames.h"
#include "output/ProgressReporter.h"
#include "output/SourceBytes.h"
#include "output/SourceCheck.h"
#include "output/SourceFrames.h"
#include "output/SpaceCheck.h"
#include "output/TemplatedNames.h"
#include "settings/PathText.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The frames that start a block besides frame 0.
std::vector<int> blockStarts(const BreakPointList& breakPoints, int frameCount) {
    return cutFramesOf(breakPoints, frameCount);
}

std::string blockText(int first, int second) {
    return "Separated block " + std::to_string(first) + " F - " + std::to_string(second) + " F";
}

} // namespace

bool refuseWhenBusy(SplitDocument& doc) {
    if (!doc.isBusy()) {
        return false;
    }
    doc.m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
    return true;
}

void saveAll(SplitDocument& doc) {
    if (refuseWhenBusy(doc)) {
        return;
    }
    const Preferences preferences = doc.preferences();
    std::filesystem::path folder;
    if (preferences.UseDefaultFolder) {
        folder = pathFromText(preferences.DefaultOutputFolder);
        std::error_code error;
        if (!std::filesystem::exists(folder, error)) {
            doc.m_prompts.messageBox(
                "Sorry, the default folder \"" + pathText(folder) +
                    "\" doesn't exist, please check your preferences! Operation has been "
                    "canceled.",
                "Error", MessageIcon::Error);
            return;
        }
    } else {
        const auto chosen = doc.m_prompts.chooseFolder("Please select a folder for separated mp3 files");
        if (!chosen) {
            return;
        }
        folder = *chosen;
    }
    const std::filesystem::path previousFolder = doc.m_outputFolder;
    doc.m_outputFolder = folder;
    if (!doc.m_saveAllThread.start([&doc] { runSaveAll(doc); })) {
        doc.m_outputFolder = previousFolder;
        doc.log(LogLevel::Error, kNoWorkerThreadText);
    }
}

SaveAllResult runSaveAll(SplitDocument& doc, const SaveAllOptions& options) {
    try {
        SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
        return runSaveAll(doc, frames, options);
    } catch (const std::bad_alloc&) {
        // Before the walk was done: nothing was written, and the view still waits for its message.
        doc.log(LogLevel::Error, "Separated blocks could not be saved: not enough memory");
        doc.m_view.post(UM_SAVE_ALL_DONE, 1, 0);
        return {0, 1};
    }
}

namespace {

struct PieceBlock {
    int first = 0;
    int end = 0;
    bool last = false;
    int block = 0; // its number among all blocks, removed ones included: the block tags' key
};

// The blocks to save: removed blocks get no piece, and the pieces are numbered without them.
std::vector<PieceBlock> blocksOf(const BreakPointList& breakPoints, int count, const BlockEdits& edits) {
    const std::vector<int> starts = blockStarts(breakPoints, count);
    std::vector<PieceBlock> blocks;
    for (std::size_t block = 0; block <= starts.size() && count > 0; ++block) {
        const bool last = block == starts.size();
        const int first = block == 0 ? 0 : starts[block - 1];
        if (!blockEditAt(edits, first).removed) {
            blocks.push_back({first, last ? count : starts[block], last, static_cast<int>(block)});
        }
    }
    return blocks;
}

// The bytes the run will write: every frame once, and the overlap frames at every border.
std::uint64_t bytesToWrite(const SourceFrames& frames, const std::vector<PieceBlock>& blocks,
                           const Preferences& preferences) {
    // Summed range by range: the blocks cover every frame once and the overlaps are short, so a table
    // of the bytes before every frame would cost more pages than the sums.
    const auto bytesOf = [&frames](const FrameRange& range) {
        std::uint64_t bytes = 0;
        for (int frame = range.from; frame < range.to; ++frame) {
            bytes += static_cast<std::uint64_t>(frames.length(frame));
        }
        return bytes;
    };
    std::uint64_t total = 0;
    for (const PieceBlock& block : blocks) {
        total += bytesOf({block.first, block.end});
    }
    if (!preferences.Overlap) {
        return total;
    }
    const std::uint64_t limit = overlapLimitMs(preferences);
    for (const PieceBlock& block : blocks) {
        total += bytesOf(overlapRange(frames, OVERLAP_DIR_BEFORE, block.first, limit));
        if (!block.last) {
            total += bytesOf(overlapRange(frames, OVERLAP_DIR_AFTER, block.end, limit));
        }
    }
    return total;
}

class SaveAllRun {
public:
    SaveAllRun(SplitDocument& doc, SourceFrames& frames, const SaveAllOptions& options)
        : m_doc(doc), m_frames(frames), m_options(options),
          m_blocks(blocksOf(doc.m_breakPoints, frames.count(), doc.m_blockEdits)),
          m_pieceOptions(doc.pieceOptions()),
          m_maker(doc.m_filePath, frames, m_pieceOptions, PieceMaker::BlockTagAlone::Write) {
        m_maker.setTagWriter(options.tagWriter);
        m_maker.setLevels(
            {blockStartsOf(doc.m_breakPoints, frames.count()), frames.count(), doc.m_blockEdits});
    }

    SaveAllResult run() {
        m_doc.invalidateView();
        ProgressReporter progress(m_doc.m_frame, m_doc.frameCount());
        if (!m_frames.file().isOpen()) {
            m_doc.log(LogLevel::Error, "The file " + pathText(m_doc.m_filePath) +
                                           " could not be read, nothing has been saved");
            m_result.failed = 1;
            return m_result;
        }
        if (m_frames.count() == 0) {
            m_doc.log(LogLevel::Error,
                      "No MP3 frame found in " + pathText(m_doc.m_filePath) + ", nothing has been saved");
            return m_result;
        }
        if (m_blocks.empty()) {
            m_doc.log(LogLevel::Error, "Every block has been removed, nothing has been saved");
            m_result.failed = 1;
            return m_result;
        }
        // Default names too long for a file system (a long source name, a large piece number) would
        // fail only at the piece that reaches the limit: they are fitted like a template's, up front.
        const std::string pattern = m_pieceOptions.nameTemplate.empty() && defaultNamesTooLong()
                                        ? std::string(kDefaultNamePattern)
                                        : m_pieceOptions.nameTemplate;
        if (!pattern.empty()) {
            std::vector<PieceNameFields> fields;
            for (int number = 0; number < blockCount(); ++number) {
                fields.push_back(pieceNameFields(m_doc.m_filePath, identity(number), m_doc.m_mainTag));
            }
            std::string problem;
            m_names = templatedNames(pattern, m_doc.m_outputFolder, m_doc.m_filePath,
                                     m_doc.m_filePath.extension(), fields, problem);
            if (m_names.empty()) {
                m_doc.log(LogLevel::Error, templateRefusal(pattern, problem) + "; nothing has been saved");
                m_result.failed = 1;
                return m_result;
            }
        }
        const std::uint64_t bytes = bytesToWrite(m_frames, m_blocks, m_doc.preferences()) +
                                    m_maker.extraBytes(blockCount()) * m_blocks.size();
        if (const auto problem = spaceProblem(m_doc.m_outputFolder, bytes)) {
            m_doc.log(LogLevel::Error, *problem);
            m_result.failed = static_cast<int>(m_blocks.size());
            return m_result;
        }
        for (std::size_t block = 0; block < m_blocks.size(); ++block) {
            savePiece(static_cast<int>(block), progress);
        }
        if (m_options.beforeSync) {
            m_options.beforeSync();
        }
        commitPieces();
        if (m_result.failed > 0) {
            m_doc.log(LogLevel::Error, std::to_string(m_result.failed) + " of " +
                                           std::to_string(m_blocks.size()) +
                                           " separated blocks could not be saved");
        }
        return m_result;
    }

    // Running out of memory midway: the piece being written is gone with its object, the ones not
    // started count as failed.
    SaveAllResult outOfMemory() {
        commitPieces();
        m_doc.log(LogLevel::Error, "Separated blocks could not be saved: not enough memory");
        m_result.failed += static_cast<int>(m_blocks.size()) - m_result.pieces + 1;
        return m_result;
    }

private:
    int blockCount() const { return static_cast<int>(m_blocks.size()); }

    // The template that gives Save All's own names ("%s-%d" and the source's extension).
    static constexpr const char* kDefaultNamePattern = "{name}-{n}";
    static constexpr std::size_t kNameBytes = 255;

    // Whether the last, longest default name is longer than a file system takes.
    bool defaultNamesTooLong() const {
        return pieceName(PieceNaming::SaveAll, {}, m_doc.m_filePath, blockCount() - 1).string().size() >
               kNameBytes;
    }

    // The pieces go to the disk together, then their names; the folders' new entries once, after all
    // pieces are renamed into them.
    void commitPieces() {
        m_batch.commit();
        if (!m_folderSyncs.syncAll()) {
            m_doc.log(LogLevel::Error, "The folder " + pathText(m_folderSyncs.failed()) +
                                           " could not be synced, the pieces in it may be lost in a crash: " +
                                           platform::systemError(errno));
        }
    }

    PieceIdentity identity(int number) const {
        const int block = m_blocks[static_cast<std::size_t>(number)].block;
        return {number, blockCount(), findBlockTag(m_doc.m_blockTags, block)};
    }

    // A piece under its usual name, in the output folder opened once for the whole run rather than
    // once a piece.
    PieceFile createPlainPiece(const std::filesystem::path& path) {
        const std::filesystem::path folder = path.parent_path();
        if (!m_plainFolder.isOpen() || m_plainFolder.path() != folder) {
            m_plainFolder = platform::openFolder(folder);
            if (!m_plainFolder.isOpen()) {
                return createPieceFile(path, m_doc.m_filePath, m_options.existing);
            }
        }
        return createPieceFile(m_plainFolder.duplicate(), path, m_doc.m_filePath, m_options.existing);
    }

    void savePiece(int number, ProgressReporter& progress) {
        const PieceBlock& block = m_blocks[static_cast<std::size_t>(number)];
        const int count = m_frames.count();
        if (!m_maker.holdsAudio(block.first, block.end)) {
            m_doc.log(LogLevel::Warning,
                      blockText(block.first, block.end) +
                          " holds no audio frame, only the Info frame: it has not been saved");
            return;
        }
        PieceFile piece =
            m_names.empty()
                ? createPlainPiece(
                      pieceName(PieceNaming::SaveAll, m_doc.m_outputFolder, m_doc.m_filePath, number))
                : createTemplatedPiece(m_names[static_cast<std::size_t>(number)], m_doc.m_outputFolder,
                                       m_doc.m_filePath, m_options.existing, &m_folderSyncs);
        piece.syncFolderWith(m_folderSyncs);
        const PieceIdentity identity = this->identity(number);
        ++m_result.pieces;
        // The last piece's line shows its last frame, the others the first frame of the next block.
        const int second = block.last ? m_frames.endFrameNumber() : block.end;
        // A look just after the last piece's copy serves as this piece's look before.
        const bool lookedJustBefore = std::exchange(m_sourceLookedAfterCopy, false);
        if (m_sourceChanged || (!lookedJustBefore && !sourceUnchanged(m_frames, m_doc.m_sourceStatus))) {
            m_sourceChanged = true;
            piece.fail(kSourceChanged);
        }
        std::uint64_t size = 0;
        if (!m_sourceChanged) {
            const Preferences preferences = m_doc.preferences();
            const std::uint64_t limit = preferences.Overlap ? overlapLimitMs(preferences) : 0;
            const int pieceFirst = preferences.Overlap
                                       ? overlapRange(m_frames, OVERLAP_DIR_BEFORE, block.first, limit).from
                                       : block.first;
            const int pieceEnd = preferences.Overlap && !block.last
                                     ? overlapRange(m_frames, OVERLAP_DIR_AFTER, block.end, limit).to
                                     : block.end;
            const int copyFrom = m_maker.writeOpening(piece, identity, pieceFirst, pieceEnd);
            writeOverlapFrames(m_doc, OVERLAP_DIR_BEFORE, block.first, piece, m_frames, copyFrom,
                               m_maker.levels());
            // A rewritten header frame of the source still counts as the block's own.
            const int ownFrom = std::max(block.first, std::min(block.end, copyFrom));
            for (int frame = block.first; frame < ownFrom; ++frame) {
                size += static_cast<std::uint64_t>(m_frames.length(frame));
            }
            for (int frame = ownFrom; frame < block.end && !piece.failed();) {
                const int chunkEnd =
                    std::min(block.end, frame + std::max(progress.step(), kFramesPerCopyStep));
                size += copyFrames(m_frames, frame, chunkEnd, piece, m_maker.levels()).bytes;
                frame = chunkEnd;
                progress.set(frame < count ? frame : m_frames.endFrameNumber());
            }
            if (!block.last) {
                writeOverlapFrames(m_doc, OVERLAP_DIR_AFTER, block.end, piece, m_frames, 0, m_maker.levels());
            }
            m_maker.writeClosing(piece, identity);
            // A short read, or a size or time that moved while the piece was copied.
            if (piece.sourceEnded() || (piece.isOpen() && !sourceUnchanged(m_frames, m_doc.m_sourceStatus))) {
                m_sourceChanged = true;
                piece.fail(kSourceChanged);
            } else {
                m_sourceLookedAfterCopy = piece.isOpen();
            }
        }
        m_maker.finish(piece, identity);
        if (const std::string shortfall = pieceShortfallText(m_maker.levels()); !shortfall.empty()) {
            m_doc.log(LogLevel::Error, blockText(block.first, second) + ": " + shortfall);
        }
        const std::string range = blockText(block.first, second);
        m_batch.add(std::move(piece), [this, range, size](PieceFile& saved, bool whole) {
            if (whole) {
                // The size counts the block's own frames, as before; the file also holds overlap and tags.
                m_doc.log(LogLevel::Normal, range + " has been saved, total size " + std::to_string(size) +
                                                " Bytes of the block's frames, written to " +
                                                pathText(saved.path()) + " as " +
                                                std::to_string(saved.savedSize()) + " Bytes");
            } else {
                ++m_result.failed;
                m_doc.log(LogLevel::Error, range + " could not be saved to " + pathText(saved.path()) + ": " +
                                               (saved.sourceEnded() ? kSourceChanged : saved.error()));
            }
        });
    }

    SplitDocument& m_doc;
    SourceFrames& m_frames;
    const SaveAllOptions& m_options;
    const std::vector<PieceBlock> m_blocks;
    const PieceOptions m_pieceOptions;
    PieceMaker m_maker;
    std::vector<std::filesystem::path> m_names; // by the name template; empty for the usual names
    platform::Folder m_plainFolder;             // where the pieces under their usual names go
    SaveAllResult m_result;
    FolderSyncs m_folderSyncs;
    DurableBatch m_batch{m_folderSyncs}; // after the folder syncs it uses
    bool m_sourceChanged = false;
    bool m_sourceLookedAfterCopy = false;
};

} // namespace

SaveAllResult runSaveAll(SplitDocument& doc, SourceFrames& frames, const SaveAllOptions& options) {
    SaveAllResult result;
    bool noFrames = false;
    try {
        SaveAllRun run(doc, frames, options);
        try {
            result = run.run();
        } catch (const std::bad_alloc&) {
            result = run.outOfMemory();
        }
        noFrames = frames.count() == 0;
    } catch (const std::bad_alloc&) {
        doc.log(LogLevel::Error, "Separated blocks could not be saved: not enough memory");
        result.failed = 1;
    }
    doc.m_view.post(UM_SAVE_ALL_DONE, static_cast<std::uintptr_t>(result.failed + (noFrames ? 1 : 0)), 0);
    return result;
}
