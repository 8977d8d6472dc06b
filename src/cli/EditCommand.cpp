#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/LevelOptions.h"
#include "cli/NumberText.h"

#include "document/BreakPointLists.h"
#include "document/MainTag.h"
#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "engine/FileScan.h"
#include "output/EditedCopy.h"
#include "output/ReplayGainTag.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kUsage =
    std::string("usage: kerfline-cli edit FILE -o OUT (--remove A-B ... | --keep A-B ...) "
                "[--no-tags] [--chapters] [--no-clobber] ") +
    kLevelOptionsUsage;

// A position as typed: a frame number ("45962f" or "45962") or a time ("62.5s", "1:02.5",
// "0:01:02.500").
struct Position {
    std::optional<int> frame;
    double seconds = 0.0;
};

std::optional<Position> parsePosition(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const char unit = text.back();
    if (unit == 'f' || unit == 'F') {
        const auto frame = parseInt(text.substr(0, text.size() - 1));
        return frame && *frame >= 0 ? std::optional<Position>(Position{*frame, 0.0}) : std::nullopt;
    }
    if (unit == 's') {
        const auto seconds = parseNumber(text.substr(0, text.size() - 1));
        return seconds && *seconds >= 0 ? std::optional<Position>(Position{std::nullopt, *seconds})
                                        : std::nullopt;
    }
    if (text.find(':') != std::string::npos) {
        // [h:]mm:ss[.fff]
        double seconds = 0.0;
        std::size_t start = 0;
        int fields = 0;
        while (true) {
            const std::size_t colon = text.find(':', start);
            const std::string field =
                text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
            const std::optional<double> value =
                colon == std::string::npos
                    ? parseNumber(field)
                    : (parseInt(field) ? std::optional<double>(*parseInt(field)) : std::nullopt);
            if (!value || *value < 0 || ++fields > 3) {
                return std::nullopt;
            }
            seconds = seconds * 60.0 + *value;
            if (colon == std::string::npos) {
                break;
            }
            start = colon + 1;
        }
        return fields >= 2 ? std::optional<Position>(Position{std::nullopt, seconds}) : std::nullopt;
    }
    const auto frame = parseInt(text);
    return frame && *frame >= 0 ? std::optional<Position>(Position{*frame, 0.0}) : std::nullopt;
}

// "A-B": from A up to (not including) B; "A-" runs to the end of the file.
struct RangeText {
    Position from;
    std::optional<Position> to;
};

std::optional<RangeText> parseRange(const std::string& text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        return std::nullopt;
    }
    const auto from = parsePosition(text.substr(0, dash));
    if (!from) {
        return std::nullopt;
    }
    const std::string end = text.substr(dash + 1);
    if (end.empty()) {
        return RangeText{*from, std::nullopt};
    }
    const auto to = parsePosition(end);
    return to ? std::optional<RangeText>(RangeText{*from, *to}) : std::nullopt;
}

struct EditOptions {
    std::string source;
    std::string output;
    std::vector<RangeText> remove;
    std::vector<RangeText> keep;
    EditedCopyOptions copy;
    LevelOptions level;
};

bool parseOptions(const CommandArgs& args, EditOptions& options, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "-o" || arg == "--output") {
            if (!hasValue) {
                problem = arg + " needs a file";
                return false;
            }
            options.output = args[++i];
        } else if (arg == "--remove" || arg == "--keep") {
            const auto range = hasValue ? parseRange(args[i + 1]) : std::nullopt;
            if (!range) {
                problem = arg + " needs a range A-B of frames (100-200, 45962f-46000f) or times (62.5s-75s, "
                                "1:02.5-1:15, 0:01:02.500-0:01:15)";
                return false;
            }
            (arg == "--remove" ? options.remove : options.keep).push_back(*range);
            ++i;
        } else if (arg == "--no-tags") {
            options.copy.copyTags = false;
        } else if (arg == "--chapters") {
            options.copy.chapters = true;
        } else if (arg == "--no-clobber") {
            options.copy.existing = AtomicFile::Existing::Keep;
        } else if (levelOptionTakesValue(arg) || arg == "--allow-clipping" || arg == "--replaygain") {
            const bool takesValue = levelOptionTakesValue(arg);
            if (takesValue && !hasValue) {
                problem = arg + " needs a value";
                return false;
            }
            if (!takeLevelOption(arg, takesValue ? args[++i] : std::string(), options.level, problem)) {
                return false;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            problem = "unknown option '" + arg + "'";
            return false;
        } else if (options.source.empty()) {
            options.source = arg;
        } else {
            problem = "more than one input file";
            return false;
        }
    }
    if (options.source.empty() || options.output.empty() ||
        (options.remove.empty() == options.keep.empty())) {
        problem = options.remove.empty() || options.keep.empty()
                      ? kUsage
                      : "give either --remove or --keep ranges, not both";
        return false;
    }
    return true;
}

// The tool's main frame: log lines to stdout, level 2 to stderr as well.
class StdoutLog final : public WindowLink {
public:
    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == UM_OUTPUT_LOG) {
            const char* line = reinterpret_cast<const char*>(lParam);
            std::printf("%s\n", line);
            if (wParam == static_cast<std::uintptr_t>(LogLevel::Error)) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s\n", line);
            }
        }
        return 0;
    }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}
};

class NoView final : public WindowLink {
public:
    std::intptr_t send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}
};

int frameOf(const Position& position, const FrameTimeline& timeline) {
    return position.frame ? *position.frame : timeline.nearestFrame(position.seconds);
}

} // namespace

int runEdit(const CommandArgs& args) {
    EditOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.source, error)) {
        return fail("cannot open '" + options.source + "': no such file");
    }

    StdoutLog log;
    NoView view;
    CliPrompts prompts;
    SplitDocument doc(log, view, prompts);
    {
        // The frames are walked by their headers only: nothing is decoded.
        const SourceFrames frames(options.source);
        if (!frames.file().isOpen()) {
            return fail("cannot read '" + options.source + "'");
        }
        doc.m_filePath = frames.path();
        doc.m_sourceStatus = frames.file().openedAs();
        for (int frame = 0; frame < frames.count(); ++frame) {
            doc.m_frameOffsets.push_back(frames.offset(frame));
            doc.m_frameLengths.push_back(static_cast<std::uint16_t>(frames.length(frame)));
        }
        doc.m_frameLevels.assign(doc.m_frameOffsets.size(), 0);
        doc.m_loaded = true;
    }
    const int count = doc.frameCount();
    if (count == 0) {
        return fail("no MP3 frame found in '" + options.source + "'");
    }
    const FrameTimeline timeline = documentTimeline(doc);
    const bool keeping = !options.keep.empty();
    std::vector<std::pair<int, int>> ranges;
    for (const RangeText& range : keeping ? options.keep : options.remove) {
        const int from = frameOf(range.from, timeline);
        const int to = range.to ? frameOf(*range.to, timeline) : count;
        if (from >= to || from >= count) {
            return usageError("the range " + std::to_string(from) + " F - " + std::to_string(to) +
                              " F holds no frame of the " + std::to_string(count) + " in '" + options.source +
                              "'");
        }
        ranges.emplace_back(from, std::min(to, count));
        doc.appendBreakPoint(from);
        doc.appendBreakPoint(std::min(to, count));
    }
    // A block is removed when a --remove range holds it, or no --keep range does.
    const std::vector<int> starts = doc.blockStarts();
    for (std::size_t block = 0; block < starts.size(); ++block) {
        const int first = starts[block];
        bool inRange = false;
        for (const auto& [from, to] : ranges) {
            inRange = inRange || (from <= first && first < to);
        }
        if (inRange != keeping) {
            BlockEdit edit = doc.blockEdit(static_cast<int>(block));
            edit.removed = true;
            doc.setBlockEdit(static_cast<int>(block), edit);
        }
    }
    if (options.level.changesAudio()) {
        if (options.level.needsPeaks()) {
            doc.m_framePeaks = mp3::scanLevels(doc.m_filePath).peaks;
        }
        std::vector<int> kept;
        for (std::size_t block = 0; block < starts.size(); ++block) {
            if (!doc.isBlockRemoved(static_cast<int>(block))) {
                kept.push_back(starts[block]);
            }
        }
        if (applyLevelOptions(doc, options.level, kept, problem) != kExitSuccess) {
            return usageError(problem);
        }
        options.copy.fadeCutsMs = static_cast<int>(std::lround(options.level.fadeCutsSeconds * 1000));
    }
    const EditedCopyResult result = saveEditedCopy(doc, options.output, options.copy);
    std::fflush(stdout);
    if (result.saved && options.level.replayGain && !writeReplayGainTags(options.output)) {
        return fail("the ReplayGain tags could not be written into '" + options.output + "'");
    }
    return result.saved ? kExitSuccess : kExitFileError;
}
