#include "output/SaveAll.h"

#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "output/BlockTags.h"
#include "output/FrameCopy.h"
#include "output/OverlapFrames.h"
#include "output/PieceHeader.h"
#include "output/PieceNameTemplate.h"
#include "output/PieceNames.h"
#include "output/PieceTag.h"
#include "output/ProgressReporter.h"
#include "output/SourceTags.h"
#include "output/Utf8Path.h"

#include <algorithm>
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

std::optional<ID3Info> tagOfBlock(const std::vector<BlockTag>& tags, int number) {
    try {
        return findBlockTag(tags, number);
    } catch (const BlockNotFound&) {
        return std::nullopt;
    }
}

// The paths of all pieces by the name template, or the reason it is refused: it is malformed, climbs
// out of the output folder, names the source, or names two pieces alike (one would replace the other).
std::vector<std::filesystem::path> templatedNames(const SplitDocument& doc, const std::string& pattern,
                                                  int count, std::string& problem) {
    std::vector<std::filesystem::path> names;
    std::set<std::filesystem::path> seen;
    for (int number = 0; number < count; ++number) {
        const ID3Info info = tagOfBlock(doc.m_blockTags, number).value_or(doc.m_mainTag);
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
            problem = "it gives two pieces the name " + utf8Path(path);
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
    doc.m_prompts.messageBox("Can not process, because there is a loading or saving thread is running ...",
                             "Error", MessageIcon::Error);
    return true;
}

void saveAll(SplitDocument& doc) {
    if (refuseWhenBusy(doc)) {
        return;
    }
    const Preferences preferences = doc.preferences();
    std::filesystem::path folder;
    if (preferences.UseDefaultFolder) {
        folder = std::filesystem::path(preferences.DefaultOutputFolder);
        std::error_code error;
        if (!std::filesystem::exists(folder, error)) {
            doc.m_prompts.messageBox(
                "Sorry, the default folder \"" + utf8Path(folder) +
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

SaveAllResult runSaveAll(SplitDocument& doc) {
    SourceFrames frames(doc.m_filePath, &doc.m_frameOffsets, &doc.m_frameLengths);
    return runSaveAll(doc, frames);
}

SaveAllResult runSaveAll(SplitDocument& doc, SourceFrames& frames) {
    SaveAllResult result;
    doc.invalidateView();
    {
        ProgressReporter progress(doc.m_frame, doc.frameCount());
        const int count = frames.count();
        const PieceOptions options = doc.pieceOptions();
        const PieceHeader header(frames, options.gapless);
        const std::optional<SourceTags> sourceTags =
            options.copyTags ? std::optional<SourceTags>(std::in_place, doc.m_filePath) : std::nullopt;
        const std::vector<int> starts = blockStarts(doc.m_breakPoints, count);
        const int pieceCount = static_cast<int>(starts.size()) + 1;
        std::vector<std::filesystem::path> names;
        if (!options.nameTemplate.empty() && count > 0) {
            std::string problem;
            names = templatedNames(doc, options.nameTemplate, pieceCount, problem);
            if (names.empty()) {
                doc.log(LogLevel::Error, "The piece name template \"" + options.nameTemplate +
                                             "\" is refused: " + problem + "; nothing has been saved");
                doc.m_view.post(UM_SAVE_ALL_DONE, 1, 0);
                return result;
            }
        }
        for (std::size_t block = 0; block <= starts.size() && count > 0; ++block) {
            const int first = block == 0 ? 0 : starts[block - 1];
            const bool last = block == starts.size();
            const int end = last ? count : starts[block];
            const int number = static_cast<int>(block);

            std::filesystem::path path;
            if (names.empty()) {
                path = pieceName(PieceNaming::SaveAll, doc.m_outputFolder, doc.m_filePath, number);
            } else {
                path = names[block];
                std::error_code ignored; // a folder that cannot be made shows as a failed piece
                std::filesystem::create_directories(path.parent_path(), ignored);
            }
            PieceFile piece = createPieceFile(path, doc.m_filePath);
            ++result.pieces;
            const Preferences preferences = doc.preferences();
            const int pieceFirst = overlapBefore(preferences, first, frames);
            const int pieceEnd = last ? end : overlapAfter(preferences, end, frames);
            const PieceStart start = header.start(pieceFirst, pieceEnd);
            const std::optional<ID3Info> blockTag = tagOfBlock(doc.m_blockTags, number);
            if (sourceTags) {
                const std::vector<std::uint8_t> tag =
                    sourceTags->id3v2(number, pieceCount, blockTag ? &*blockTag : nullptr);
                piece.write(tag.data(), tag.size());
            }
            writePieceStart(start, pieceFirst, frames, piece);
            writeOverlapFrames(doc, OVERLAP_DIR_BEFORE, first, piece, frames, start.copyFrom);
            std::uint64_t size = 0;
            // A rewritten header frame of the source still counts as the block's own.
            for (int frame = first; frame < std::min(end, start.copyFrom); ++frame) {
                size += static_cast<std::uint64_t>(frames.length(frame));
            }
            for (int frame = std::max(first, std::min(end, start.copyFrom)); frame < end;) {
                const int chunkEnd = std::min(end, frame + progress.step());
                size += copyFrames(frames, frame, chunkEnd, piece).bytes;
                frame = chunkEnd;
                progress.set(frame < count ? frame : frames.endFrameNumber());
            }
            if (!last) {
                writeOverlapFrames(doc, OVERLAP_DIR_AFTER, end, piece, frames);
            }
            if (sourceTags) {
                const std::vector<std::uint8_t> tag =
                    sourceTags->id3v1(number, blockTag ? &*blockTag : nullptr);
                piece.write(tag.data(), tag.size());
            }
            // The last piece's line shows its last frame, the others the first frame of the next block.
            const int second = last ? frames.endFrameNumber() : end;
            if (piece.close()) {
                doc.log(Normal, blockText(first, second) + " has been saved, total size " +
                                    std::to_string(size) + " Bytes");
                // Copied tags already hold the block's own fields.
                if (blockTag && !sourceTags) {
                    applyBlockTag(piece.path(), *blockTag);
                }
            } else {
                ++result.failed;
                doc.log(Error, blockText(first, second) + " could not be saved to " + utf8Path(piece.path()) +
                                   ": " + piece.error());
            }
        }
        if (count == 0) {
            doc.log(Error, "No MP3 frame found in " + utf8Path(doc.m_filePath) + ", nothing has been saved");
        }
        if (result.failed > 0) {
            doc.log(Error, std::to_string(result.failed) + " of " + std::to_string(result.pieces) +
                               " separated blocks could not be saved");
        }
    }
    doc.m_view.post(UM_SAVE_ALL_DONE,
                    static_cast<std::uintptr_t>(result.failed + (frames.count() == 0 ? 1 : 0)), 0);
    return result;
}
