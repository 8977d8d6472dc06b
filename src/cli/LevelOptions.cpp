#include "cli/LevelOptions.h"

#include "cli/Commands.h"
#include "cli/NumberText.h"
#include "document/SplitDocument.h"
#include "engine/LevelMap.h"
#include "engine/LevelPlan.h"
#include "engine/Loudness.h"
#include "engine/LoudnessScan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const char* const kLevelOptionsUsage =
    "[--gain DB] [--fade-in S] [--fade-out S] [--fade-cuts S] [--normalize peak=DBFS|lufs=LUFS] "
    "[--allow-clipping] [--replaygain]";

namespace {

std::string decibels(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dB", db);
    return text;
}

std::optional<double> seconds(const std::string& value) {
    const std::optional<double> number = parseNumber(value);
    return number && *number >= 0 && *number <= 86400 ? number : std::nullopt;
}

// The loudest decoded sample of the frames [from, to), in dB against full scale.
double peakDbfs(const std::vector<std::uint16_t>& peaks, int from, int to) {
    return mp3::dbOverFullScale(mp3::peakAfterGain(peaks, from, to, 0));
}

std::string blockText(int number, int from, int to) {
    return "block " + std::to_string(number + 1) + " (" + std::to_string(from) + " F - " +
           std::to_string(to) + " F)";
}

} // namespace

bool LevelOptions::changesAudio() const {
    return (gainDb && std::lround(*gainDb / mp3::kDbPerGainStep) != 0) || fadeInSeconds > 0 ||
           fadeOutSeconds > 0 || fadeCutsSeconds > 0 || normalise;
}

bool levelOptionTakesValue(const std::string& name) {
    return name == "--gain" || name == "--fade-in" || name == "--fade-out" || name == "--fade-cuts" ||
           name == "--normalize";
}

bool takeLevelOption(const std::string& name, const std::string& value, LevelOptions& options,
                     std::string& problem) {
    problem.clear();
    if (name == "--gain") {
        const std::optional<double> db = parseNumber(value);
        if (!db || std::abs(*db) > 120) {
            problem = "--gain needs a gain in dB from -120 to 120, such as -3 or 4.5";
            return false;
        }
        options.gainDb = db;
    } else if (name == "--fade-in" || name == "--fade-out" || name == "--fade-cuts") {
        const std::optional<double> length = seconds(value);
        if (!length) {
            problem = name + " needs a length in seconds from 0 to 86400";
            return false;
        }
        (name == "--fade-in"    ? options.fadeInSeconds
         : name == "--fade-out" ? options.fadeOutSeconds
                                : options.fadeCutsSeconds) = *length;
    } else if (name == "--normalize") {
        const std::size_t equals = value.find('=');
        const std::string kind = value.substr(0, equals);
        std::optional<double> level;
        if (equals != std::string::npos) {
            level = parseNumber(value.substr(equals + 1));
        }
        if ((kind != "peak" && kind != "lufs") || !level || *level > 0 || *level < -70) {
            problem = "--normalize needs peak=DBFS or lufs=LUFS, such as peak=-1 or lufs=-16";
            return false;
        }
        options.normalise = LevelOptions::Normalise{
            kind == "peak" ? LevelOptions::Target::Peak : LevelOptions::Target::Loudness, *level};
    } else if (name == "--allow-clipping") {
        options.allowClipping = true;
    } else if (name == "--replaygain") {
        options.replayGain = true;
    } else {
        return false;
    }
    return true;
}

int applyLevelOptions(SplitDocument& doc, const LevelOptions& options, const std::vector<int>& kept,
                      std::string& problem) {
    const std::vector<int> starts = doc.blockStarts();
    const int count = doc.frameCount();
    const auto endOf = [&](std::size_t block) {
        return block + 1 < starts.size() ? starts[block + 1] : count;
    };
    std::vector<std::size_t> blocks;
    for (std::size_t block = 0; block < starts.size(); ++block) {
        if (std::find(kept.begin(), kept.end(), starts[block]) != kept.end()) {
            blocks.push_back(block);
        }
    }
    std::optional<mp3::LoudnessReport> loudness;
    if (options.normalise && options.normalise->target == LevelOptions::Target::Loudness) {
        mp3::LoudnessScanOptions scan;
        scan.breakPoints.assign(starts.begin() + 1, starts.end());
        loudness = mp3::measureLoudness(doc.m_filePath, scan);
    }
    for (const std::size_t block : blocks) {
        const int from = starts[block];
        const int to = endOf(block);
        const double peak = peakDbfs(doc.framePeaks(), from, to);
        int steps = 0;
        if (options.normalise) {
            const bool byPeak = options.normalise->target == LevelOptions::Target::Peak;
            const double loudnessLufs =
                byPeak ? 0.0
                       : (block < loudness->blocks.size() ? loudness->blocks[block].figures : loudness->file)
                             .integratedLufs;
            const mp3::GainPlan plan =
                mp3::planNormalise(byPeak ? mp3::NormaliseTarget::Peak : mp3::NormaliseTarget::Loudness,
                                   options.normalise->value, peak, loudnessLufs, options.allowClipping);
            steps = plan.silent ? 0 : plan.steps;
            if (plan.shortOfTargetDb > 0.05) {
                std::fprintf(stderr, "kerfline-cli: %s stays %.1f LU short of %.1f LUFS so as not to clip\n",
                             blockText(static_cast<int>(block), from, to).c_str(), plan.shortOfTargetDb,
                             options.normalise->value);
            }
        } else if (options.gainDb) {
            steps = static_cast<int>(std::lround(*options.gainDb / mp3::kDbPerGainStep));
        }
        const double over = peak + steps * mp3::kDbPerGainStep;
        if (steps > 0 && over > 0 && std::isfinite(peak)) {
            if (!options.allowClipping) {
                problem = "a gain of " + decibels(steps * mp3::kDbPerGainStep) + " on " +
                          blockText(static_cast<int>(block), from, to) + " would clip by " +
                          decibels(over).substr(1) + "; give --allow-clipping to apply it anyway";
                return kExitBadUsage;
            }
            std::fprintf(stderr, "kerfline-cli: %s clips by %s\n",
                         blockText(static_cast<int>(block), from, to).c_str(),
                         decibels(over).substr(1).c_str());
        }
        BlockEdit edit = doc.blockEdit(static_cast<int>(block));
        edit.gainSteps = steps;
        if (block == blocks.front()) {
            edit.fadeInMs = static_cast<int>(std::lround(options.fadeInSeconds * 1000));
        }
        if (block == blocks.back()) {
            edit.fadeOutMs = static_cast<int>(std::lround(options.fadeOutSeconds * 1000));
        }
        doc.setBlockEdit(static_cast<int>(block), edit);
    }
    return kExitSuccess;
}
