#include "output/SaveAll.h"

#include "document/BlockTags.h"
#include "document/SharedTexts.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "document/BlockTags.h"
#include "output/FrameCopy.h"
#include "output/OverlapFrames.h"
#include "output/PieceHeader.h"
#include "output/PieceNameTemplate.h"
#include "output/PieceNames.h"
#include "output/PieceTag.h"
#include "output/ProgressReporter.h"
#include "output/SourceBytes.h"
#include "output/SourceCheck.h"
#include "output/SourceFrames.h"
#include "output/SourceTags.h"
#include "output/SpaceCheck.h"
#include "settings/PathText.h"

#include <algorithm>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// The frames that start a block besides frame 0: every distinct break point inside the file.
std::vector<int> blockStarts(const BreakPointList& breakPoints, int frameCount) {
    std::vector<int> starts;
    starts.reserve(breakPoints.size());
    for (const BreakPoint value : breakPoints) {
        if (value >= 1 && value < frameCount) {
            starts.push_back(value);
        }
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

// The paths of all pieces by the name template, or the reason it is refused: it is malformed, climbs
// out of the output folder, names the source, or names two pieces alike (one would replace the other).
std::vector<std::filesystem::path> templatedNames(const SplitDocument& doc, const std::string& pattern,
                                                  int count, std::string& problem) {
    std::vector<std::filesystem::path> names;
    std::set<std::filesystem::path> seen;
    for (int number = 0; number < count; ++number) {
        const ID3Info info = findBlockTag(doc.m_blockTags, number).value_or(doc.m_mainTag);
        const PieceNameFields fields{
            doc.m_filePath.stem().string(), number, count, info.title, info.artist, info.album};
        const ExpandedName expanded = expandPieceName(pattern, fields);
        if (!expanded.problem.empty()) {
            problem = expanded.problem;
            return {};
        }
        std::filesystem::path path = doc.m_outputFolder / expanded.relative;
        path += doc.m_filePath.extension();
        if (namesSameFile(path, doc.m_filePath)) {
            problem = "it names the source file";
            return {};
        }
        if (!seen.insert(path.lexically_normal()).second) {
            problem = "it gives two pieces the name " + pathText(path);
            return {};
        }
        names.push_back(std::move(path));
    }
    return names;
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
    doc.m_outputFolder = folder;
    doc.m_saveAllThread.start([&doc] { runSaveAll(doc); });
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
};

std::vector<PieceBlock> blocksOf(const BreakPointList& breakPoints, int count) {
    const std::vector<int> starts = blockStarts(breakPoints, count);
    std::vector<PieceBlock> blocks;
    for (std::size_t block = 0; block <= starts.size() && count > 0; ++block) {
        const bool last = block == starts.size();
        blocks.push_back({block == 0 ? 0 : starts[block - 1], last ? count : starts[block], last});
    }
    return blocks;
}

// The bytes the run will write: every frame once, and the overlap frames at every border.
std::uint64_t bytesToWrite(const SourceFrames& frames, const std::vector<PieceBlock>& blocks,
                           const Preferences& preferences) {
    // Bytes before each frame, so a range costs one subtraction however long the overlap.
    std::vector<std::uint64_t> before(static_cast<std::size_t>(frames.count()) + 1, 0);
    for (int frame = 0; frame < frames.count(); ++frame) {
        const auto at = static_cast<std::size_t>(frame);
        before[at + 1] = before[at] + static_cast<std::uint64_t>(frames.length(frame));
    }
    const auto bytesOf = [&before](const FrameRange& range) {
        return range.to > range.from
                   ? before[static_cast<std::size_t>(range.to)] - before[static_cast<std::size_t>(range.from)]
                   : 0;
    };
    std::uint64_t total = before.back();
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
          m_blocks(blocksOf(doc.m_breakPoints, frames.count())), m_pieceOptions(doc.pieceOptions()),
          m_header(frames, m_pieceOptions.gapless) {
        if (m_pieceOptions.copyTags) {
            m_tags.emplace(doc.m_filePath);
        }
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
        if (!m_pieceOptions.nameTemplate.empty()) {
            std::string problem;
            m_names = templatedNames(m_doc, m_pieceOptions.nameTemplate, static_cast<int>(m_blocks.size()),
                                     problem);
            if (m_names.empty()) {
                m_doc.log(LogLevel::Error, "The piece name template \"" + m_pieceOptions.nameTemplate +
                                               "\" is refused: " + problem + "; nothing has been saved");
                m_result.failed = 1;
                return m_result;
            }
        }
        const std::uint64_t bytes = bytesToWrite(m_frames, m_blocks, m_doc.preferences()) + extraBytes();
        if (const auto problem = spaceProblem(m_doc.m_outputFolder, bytes)) {
            m_doc.log(LogLevel::Error, *problem);
            m_result.failed = static_cast<int>(m_blocks.size());
            return m_result;
        }
        for (std::size_t block = 0; block < m_blocks.size(); ++block) {
            savePiece(static_cast<int>(block), progress);
        }
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
        m_doc.log(LogLevel::Error, "Separated blocks could not be saved: not enough memory");
        m_result.failed += static_cast<int>(m_blocks.size()) - m_result.pieces + 1;
        return m_result;
    }

private:
    // Beyond the frames: a header frame and a few lead frames per gapless piece, the tags per piece.
    std::uint64_t extraBytes() const {
        std::uint64_t perPiece = m_pieceOptions.gapless ? 4 * 1729 : 0;
        if (m_tags) {
            perPiece += m_tags->id3v2(0, static_cast<int>(m_blocks.size()), nullptr).size() + 128;
        }
        return perPiece * m_blocks.size();
    }

    void savePiece(int number, ProgressReporter& progress) {
        const PieceBlock& block = m_blocks[static_cast<std::size_t>(number)];
        const int count = m_frames.count();
        std::filesystem::path path;
        if (m_names.empty()) {
            path = pieceName(PieceNaming::SaveAll, m_doc.m_outputFolder, m_doc.m_filePath, number);
        } else {
            path = m_names[static_cast<std::size_t>(number)];
            std::error_code ignored; // a folder that cannot be made shows as a failed piece
            std::filesystem::create_directories(path.parent_path(), ignored);
        }
        PieceFile piece = createPieceFile(path, m_doc.m_filePath, m_options.existing);
        const std::optional<ID3Info> blockTag = findBlockTag(m_doc.m_blockTags, number);
        ++m_result.pieces;
        // The last piece's line shows its last frame, the others the first frame of the next block.
        const int second = block.last ? m_frames.endFrameNumber() : block.end;
        if (m_sourceChanged || !sourceUnchanged(m_frames, m_doc.m_sourceStatus)) {
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
            const PieceStart start = m_header.start(pieceFirst, pieceEnd);
            if (m_tags) {
                const std::vector<std::uint8_t> tag =
                    m_tags->id3v2(number, static_cast<int>(m_blocks.size()), blockTag ? &*blockTag : nullptr);
                piece.write(tag.data(), tag.size());
            }
            writePieceStart(start, pieceFirst, m_frames, piece);
            writeOverlapFrames(m_doc, OVERLAP_DIR_BEFORE, block.first, piece, m_frames, start.copyFrom);
            // A rewritten header frame of the source still counts as the block's own.
            const int ownFrom = std::max(block.first, std::min(block.end, start.copyFrom));
            for (int frame = block.first; frame < ownFrom; ++frame) {
                size += static_cast<std::uint64_t>(m_frames.length(frame));
            }
            for (int frame = ownFrom; frame < block.end && !piece.failed();) {
                const int chunkEnd = std::min(block.end, frame + progress.step());
                size += copyFrames(m_frames, frame, chunkEnd, piece).bytes;
                frame = chunkEnd;
                progress.set(frame < count ? frame : m_frames.endFrameNumber());
            }
            if (!block.last) {
                writeOverlapFrames(m_doc, OVERLAP_DIR_AFTER, block.end, piece, m_frames);
            }
            if (m_tags) {
                const std::vector<std::uint8_t> tag = m_tags->id3v1(number, blockTag ? &*blockTag : nullptr);
                piece.write(tag.data(), tag.size());
            }
            // A short read, or a size or time that moved while the piece was copied.
            if (piece.sourceEnded() || (piece.isOpen() && !sourceUnchanged(m_frames, m_doc.m_sourceStatus))) {
                m_sourceChanged = true;
                piece.fail(kSourceChanged);
            }
        }
        // The tag goes in before the piece takes its name, so the name never shows a piece half tagged.
        // Copied tags already hold the block's own fields.
        if (piece.finishWriting() && blockTag && !m_tags) {
            applyBlockTag(piece.temporaryPath(), *blockTag);
        }
        if (piece.close()) {
            m_doc.log(LogLevel::Normal, blockText(block.first, second) + " has been saved, total size " +
                                            std::to_string(size) + " Bytes");
        } else {
            ++m_result.failed;
            m_doc.log(LogLevel::Error, blockText(block.first, second) + " could not be saved to " +
                                           pathText(piece.path()) + ": " +
                                           (piece.sourceEnded() ? kSourceChanged : piece.error()));
        }
    }

    SplitDocument& m_doc;
    SourceFrames& m_frames;
    const SaveAllOptions& m_options;
    const std::vector<PieceBlock> m_blocks;
    const PieceOptions m_pieceOptions;
    const PieceHeader m_header;
    std::optional<SourceTags> m_tags;
    std::vector<std::filesystem::path> m_names; // by the name template; empty for the usual names
    SaveAllResult m_result;
    bool m_sourceChanged = false;
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
