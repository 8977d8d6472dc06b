#include "output/SaveAll.h"

#include "document/BlockTags.h"
#include "document/SharedTexts.h"
#include "document/SplitDocument.h"
#include "output/PieceWriter.h"
#include "output/ProgressReporter.h"
#include "output/Utf8Path.h"

#include <algorithm>
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
        const std::vector<int> starts = blockStarts(doc.m_breakPoints, count);
        for (std::size_t block = 0; block <= starts.size() && count > 0; ++block) {
            const int first = block == 0 ? 0 : starts[block - 1];
            const bool last = block == starts.size();
            const int end = last ? count : starts[block];
            const int number = static_cast<int>(block);

            PieceFile piece = createPieceFile(
                pieceName(PieceNaming::SaveAll, doc.m_outputFolder, doc.m_filePath, number), doc.m_filePath);
            ++result.pieces;
            writeOverlapFrames(doc, OVERLAP_DIR_BEFORE, first, piece, frames);
            std::uint64_t size = 0;
            for (int frame = first; frame < end;) {
                const int chunkEnd = std::min(end, frame + progress.step());
                size += copyFrames(frames, frame, chunkEnd, piece).bytes;
                frame = chunkEnd;
                progress.set(frame < count ? frame : frames.endFrameNumber());
            }
            if (!last) {
                writeOverlapFrames(doc, OVERLAP_DIR_AFTER, end, piece, frames);
            }
            // The last piece's line shows its last frame, the others the first frame of the next block.
            const int second = last ? frames.endFrameNumber() : end;
            if (piece.close()) {
                doc.log(LogLevel::Normal, blockText(first, second) + " has been saved, total size " +
                                              std::to_string(size) + " Bytes");
                if (const auto tag = findBlockTag(doc.m_blockTags, number)) {
                    applyBlockTag(piece.path(), *tag);
                }
            } else {
                ++result.failed;
                doc.log(LogLevel::Error, blockText(first, second) + " could not be saved to " +
                                             utf8Path(piece.path()) + ": " + piece.error());
            }
        }
        if (count == 0) {
            doc.log(LogLevel::Error,
                    "No MP3 frame found in " + utf8Path(doc.m_filePath) + ", nothing has been saved");
        }
        if (result.failed > 0) {
            doc.log(LogLevel::Error, std::to_string(result.failed) + " of " + std::to_string(result.pieces) +
                                         " separated blocks could not be saved");
        }
    }
    doc.m_view.post(UM_SAVE_ALL_DONE,
                    static_cast<std::uintptr_t>(result.failed + (frames.count() == 0 ? 1 : 0)), 0);
    return result;
}
