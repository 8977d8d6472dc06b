#include "document/SplitDocument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// About ±60 dB: far past what any frame's global_gain can follow, so the dialog never stops short.
constexpr int kMaxGainSteps = 40;

std::string gainText(int steps) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dB", steps * mp3::kDbPerGainStep);
    return text;
}

std::string secondsText(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

std::string decibelText(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", db);
    return text;
}

} // namespace

int SplitDocument::selectedBlock() const {
    if (!selectionInList()) {
        return -1;
    }
    // The 'S' button saves from its break point to the next: a break point at F starts no block.
    return blockAt(m_selectedBreakPoint);
}

mp3::LevelMap SplitDocument::levelMap() const {
    if (m_blockEdits.empty()) {
        return {};
    }
    const std::vector<int> starts = blockStarts();
    std::vector<mp3::LevelRange> ranges;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const BlockEdit edit = blockEditAt(m_blockEdits, starts[i]);
        const int end = i + 1 < starts.size() ? starts[i + 1] : frameCount();
        // Fades run over the sound: a header frame at the start has none.
        ranges.push_back({std::max(starts[i], m_firstAudioFrame), end, edit.gainSteps,
                          mp3::fadeGranules(edit.fadeInMs / 1000.0, m_sampleRate),
                          mp3::fadeGranules(edit.fadeOutMs / 1000.0, m_sampleRate)});
    }
    // Layer III frames hold 1152 samples (two granules) in MPEG-1 and 576 (one) in MPEG-2 and 2.5.
    return mp3::LevelMap(ranges, m_samplesPerFrame == 576 ? 1 : 2);
}

std::optional<int> SplitDocument::commonGain() const {
    const std::vector<int> starts = blockStarts();
    std::optional<int> common;
    for (const int first : starts) {
        const int gain = blockEditAt(m_blockEdits, first).gainSteps;
        if (common && *common != gain) {
            return std::nullopt;
        }
        common = gain;
    }
    return common.value_or(0);
}

double SplitDocument::peakWithGain(int block, int steps) const {
    const std::vector<int> starts = blockStarts();
    double peak = 0.0;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const BlockEdit edit = blockEditAt(m_blockEdits, starts[i]);
        const bool wanted = block < 0 ? !edit.removed : static_cast<int>(i) == block;
        if (!wanted) {
            continue;
        }
        const int end = i + 1 < starts.size() ? starts[i + 1] : frameCount();
        const int gain = block < 0 ? edit.gainSteps + steps : steps;
        peak = std::max(peak, mp3::peakAfterGain(m_framePeaks, starts[i], end, gain));
    }
    return peak;
}

namespace {

// "Block 0 F - 500 F", or "The whole file" for block -1.
std::string blockTitle(const std::vector<int>& starts, int block, int frameCount) {
    if (block < 0) {
        return "The whole file";
    }
    const auto index = static_cast<std::size_t>(block);
    const int end = index + 1 < starts.size() ? starts[index + 1] : frameCount;
    return "Block " + std::to_string(starts[index]) + " F - " + std::to_string(end) + " F";
}

} // namespace

bool SplitDocument::setGain(int block, int steps) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block >= static_cast<int>(starts.size()) || starts.empty()) {
        return false;
    }
    steps = std::clamp(steps, -kMaxGainSteps, kMaxGainSteps);
    BlockEdits edits = m_blockEdits;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (block >= 0 && static_cast<int>(i) != block) {
            continue;
        }
        BlockEdit edit = blockEditAt(edits, starts[i]);
        edit.gainSteps = steps;
        if (edit.isDefault()) {
            edits.erase(starts[i]);
        } else {
            edits[starts[i]] = edit;
        }
    }
    if (edits == m_blockEdits) {
        return false;
    }
    EditStep step(*this, "gain of " + (block < 0 ? std::string("the whole file")
                                                 : "block " + std::to_string(block + 1)));
    replaceBlockEdits(std::move(edits));
    log(LogLevel::Normal, blockTitle(starts, block, frameCount()) + ": gain " + gainText(steps));
    invalidateView();
    return true;
}

bool SplitDocument::changeGain(int block, int deltaSteps) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block >= static_cast<int>(starts.size()) || starts.empty() || deltaSteps == 0) {
        return false;
    }
    BlockEdits edits = m_blockEdits;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (block >= 0 && static_cast<int>(i) != block) {
            continue;
        }
        BlockEdit edit = blockEditAt(edits, starts[i]);
        edit.gainSteps = std::clamp(edit.gainSteps + deltaSteps, -kMaxGainSteps, kMaxGainSteps);
        if (edit.isDefault()) {
            edits.erase(starts[i]);
        } else {
            edits[starts[i]] = edit;
        }
    }
    if (edits == m_blockEdits) {
        return false;
    }
    EditStep step(*this, "gain of " + (block < 0 ? std::string("the whole file")
                                                 : "block " + std::to_string(block + 1)));
    replaceBlockEdits(std::move(edits));
    const std::string title = blockTitle(starts, block, frameCount());
    if (block >= 0) {
        log(LogLevel::Normal, title + ": gain " + gainText(blockEdit(block).gainSteps));
    } else {
        log(LogLevel::Normal, title + ": gain changed by " + gainText(deltaSteps));
    }
    invalidateView();
    return true;
}

bool SplitDocument::setFades(int block, int fadeInMs, int fadeOutMs) {
    if (refuseListChange()) {
        return false;
    }
    const std::vector<int> starts = blockStarts();
    if (block >= static_cast<int>(starts.size()) || starts.empty()) {
        return false;
    }
    const int firstBlock = block < 0 ? 0 : block;
    const int lastBlock = block < 0 ? static_cast<int>(starts.size()) - 1 : block;
    BlockEdits edits = m_blockEdits;
    const auto change = [&](int index, auto setField) {
        const int first = starts[static_cast<std::size_t>(index)];
        BlockEdit edit = blockEditAt(edits, first);
        setField(edit);
        if (edit.isDefault()) {
            edits.erase(first);
        } else {
            edits[first] = edit;
        }
    };
    change(firstBlock, [&](BlockEdit& edit) { edit.fadeInMs = std::max(0, fadeInMs); });
    change(lastBlock, [&](BlockEdit& edit) { edit.fadeOutMs = std::max(0, fadeOutMs); });
    if (edits == m_blockEdits) {
        return false;
    }
    EditStep step(*this, "fades of " + (block < 0 ? std::string("the whole file")
                                                  : "block " + std::to_string(block + 1)));
    replaceBlockEdits(std::move(edits));
    log(LogLevel::Normal, blockTitle(starts, block, frameCount()) + ": fade in " + secondsText(fadeInMs) +
                              ", fade out " + secondsText(fadeOutMs));
    invalidateView();
    return true;
}

bool SplitDocument::stepGain(int direction) {
    if (direction == 0 || refuseListChange() || frameCount() == 0) {
        return false;
    }
    const int block = selectedBlock();
    const int step = direction > 0 ? 1 : -1;
    if (step > 0) {
        const int current = block >= 0 ? blockEdit(block).gainSteps : 0;
        const double before = block >= 0 ? peakWithGain(block, current) : peakWithGain(-1, 0);
        const double after = block >= 0 ? peakWithGain(block, current + 1) : peakWithGain(-1, 1);
        if (after > mp3::kFullScale && after > before) {
            const std::vector<int> starts = blockStarts();
            log(LogLevel::Error, blockTitle(starts, block, frameCount()) + " would clip by " +
                                     decibelText(mp3::dbOverFullScale(after)) +
                                     ": use Edit > Gain ... to raise it past full scale");
            return false;
        }
    }
    return changeGain(block, step);
}
