#include "cli/BreakPointSource.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/ListOptions.h"
#include "cli/NumberText.h"

#include "document/ChapterCopy.h"

#include "cli/TerminalProgress.h"
#include "document/MainTag.h"
#include "document/SplitDocument.h"
#include "engine/FileScan.h"
#include "output/SaveAll.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: kerfline-cli split FILE -o DIR (--at F1,F2,... | --breakpoints FILE.bps | --cue FILE | "
    "--labels FILE | --tracklist FILE | --chapters | --silence N | SILENCE FINDER OPTIONS | --count N | "
    "--length SECONDS) [--overlap SECONDS] [--gapless] [--copy-tags] [--name TEMPLATE] [--no-clobber] "
    "[--timing]\nSILENCE FINDER OPTIONS: [--silence-db DB] [--min-silence SECONDS] [--cut start|middle|end] "
    "[--min-piece SECONDS] [--tracks N]";

// The main frame of the tool: log lines go to stdout, level-2 lines to stderr as well, progress
// to a terminal's stderr.
class StdoutFrame final : public WindowLink {
public:
    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (progress.follow(message, wParam, lParam)) {
            return 0;
        }
        if (message == UM_OUTPUT_LOG) {
            const char* line = reinterpret_cast<const char*>(lParam);
            std::printf("%s\n", line);
            if (wParam == static_cast<std::uintptr_t>(LogLevel::Error)) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s\n", line);
                ++errors;
            }
        }
        return 0;
    }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}

    int errors = 0; // level-2 lines printed
    TerminalProgress progress;
};

// The tool runs Save All on its own thread, so the view's "done" message has nowhere to go.
class IgnoringView final : public WindowLink {
public:
    std::intptr_t send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}
};

struct SplitOptions {
    std::string source;
    std::string folder;
    std::optional<std::string> at;
    std::optional<std::string> breakPointFile;
    std::optional<ListOption> list;
    bool chapters = false;
    std::optional<AutoMethod> method;
    int methodValue = 0;
    // Set by any of the silence finder's options.
    std::optional<SilenceSettings> silences;
    std::optional<int> overlapSecs;
    bool timing = false;
    bool noClobber = false;
    PieceOptions pieces;
};

bool parseOptions(const CommandArgs& args, SplitOptions& options, std::string& problem) {
    int sources = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const auto takeInt = [&](int& into) {
            const auto value = hasValue ? parseInt(args[i + 1]) : std::nullopt;
            if (!value) {
                problem = arg + " needs a whole number";
                return false;
            }
            into = *value;
            ++i;
            return true;
        };
        if (isSilenceOption(arg)) {
            if (!options.silences) {
                options.silences.emplace();
                ++sources;
            }
            takeSilenceOption(args, i, *options.silences, problem);
            if (!problem.empty()) {
                return false;
            }
        } else if (arg == "-o" || arg == "--output") {
            if (!hasValue) {
                problem = arg + " needs a folder";
                return false;
            }
            options.folder = args[++i];
        } else if (arg == "--at") {
            if (!hasValue) {
                problem = "--at needs frame numbers";
                return false;
            }
            options.at = args[++i];
            ++sources;
        } else if (arg == "--breakpoints") {
            if (!hasValue) {
                problem = "--breakpoints needs a file";
                return false;
            }
            options.breakPointFile = args[++i];
            ++sources;
        } else if (const auto format = listOptionFormat(arg)) {
            if (!hasValue) {
                problem = arg + " needs a file";
                return false;
            }
            options.list = ListOption{*format, args[++i]};
            ++sources;
        } else if (arg == "--chapters") {
            options.chapters = true;
            ++sources;
        } else if (arg == "--silence" || arg == "--count" || arg == "--length") {
            options.method = arg == "--silence" ? AutoMethod::Silence
                             : arg == "--count" ? AutoMethod::EqualCount
                                                : AutoMethod::EveryLength;
            if (!takeInt(options.methodValue)) {
                return false;
            }
            if (options.methodValue <= 0) {
                problem = arg + " needs a number above 0";
                return false;
            }
            ++sources;
        } else if (arg == "--timing") {
            options.timing = true;
        } else if (arg == "--no-clobber") {
            options.noClobber = true;
        } else if (arg == "--gapless") {
            options.pieces.gapless = true;
        } else if (arg == "--copy-tags") {
            options.pieces.copyTags = true;
        } else if (arg == "--name") {
            if (!hasValue) {
                problem = "--name needs a template";
                return false;
            }
            options.pieces.nameTemplate = args[++i];
        } else if (arg == "--overlap") {
            int seconds = 0;
            if (!takeInt(seconds)) {
                return false;
            }
            if (seconds < 0) {
                problem = "--overlap needs a number of seconds of 0 or more";
                return false;
            }
            options.overlapSecs = seconds;
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
    if (options.source.empty() || options.folder.empty()) {
        problem = kUsage;
        return false;
    }
    if (sources > 1) {
        problem = "give break points from one source only: --at, --breakpoints, --cue, --labels, "
                  "--tracklist, --chapters, the silence finder's options or one automatic method";
        return false;
    }
    return true;
}

// "--at 100,200,300": values are taken as typed, like the Add Break Point dialog.
bool addListedBreakPoints(const std::string& list, BreakPointList& into, std::string& problem) {
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const auto value = parseInt(list.substr(start, comma - start));
        if (!value) {
            problem = "--at takes frame numbers separated by commas, not '" + list + "'";
            return false;
        }
        into.push_back(*value);
        start = comma + 1;
    }
    return true;
}

// A break point file: signed 32-bit little-endian values; values outside the file's frames are
// dropped and a partial value at the end is ignored.
bool addFileBreakPoints(const std::filesystem::path& path, int frameCount, BreakPointList& into,
                        std::string& problem) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = "cannot open break point file '" + path.string() + "': not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "cannot open break point file '" + path.string() + "'";
        return false;
    }
    unsigned char bytes[4];
    while (in.read(reinterpret_cast<char*>(bytes), 4)) {
        const auto value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
        if (value >= 0 && value < frameCount) {
            into.push_back(value);
        }
    }
    return true;
}

// Fills the document the way a load does, from the walk the pieces are written by. Levels are
// decoded only when silences are looked for.
void loadDocument(SplitDocument& doc, const SourceFrames& frames, bool needLevels) {
    doc.m_filePath = frames.path();
    doc.m_sourceStatus = frames.file().openedAs();
    doc.m_mainTag = readMainTag(frames.path());
    if (needLevels) {
        mp3::LevelScan scan = mp3::scanLevels(frames.path());
        doc.m_frameLevels = std::move(scan.levels);
        doc.m_frameRmsDb = std::move(scan.rmsDb);
        doc.m_framePeaks = std::move(scan.peaks);
        doc.m_frameOffsets = std::move(scan.offsets);
        doc.m_frameLengths = std::move(scan.lengths);
        doc.takeFrameDuration();
    } else {
        doc.m_frameOffsets.reserve(static_cast<std::size_t>(frames.count()));
        doc.m_frameLengths.reserve(static_cast<std::size_t>(frames.count()));
        for (int frame = 0; frame < frames.count(); ++frame) {
            doc.m_frameOffsets.push_back(frames[frame].offset);
            doc.m_frameLengths.push_back(static_cast<std::uint16_t>(frames[frame].length));
        }
        doc.m_frameLevels.assign(doc.m_frameOffsets.size(), 0);
    }
    doc.m_loaded = true;
}

} // namespace

int runSplit(const CommandArgs& args) {
    SplitOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.source, error)) {
        return fail("cannot open '" + options.source + "': no such file");
    }
    std::filesystem::create_directories(options.folder, error);
    if (!std::filesystem::is_directory(options.folder, error)) {
        return fail("cannot use '" + options.folder + "' as the output folder");
    }

    StdoutFrame frame;
    IgnoringView view;
    CliPrompts prompts;
    SplitDocument doc(frame, view, prompts);
    {
        const SourceFrames frames(options.source);
        if (!frames.file().isOpen()) {
            return fail("cannot read '" + options.source + "'");
        }
        loadDocument(doc, frames, options.method == AutoMethod::Silence || options.silences.has_value());
    }
    if (doc.frameCount() == 0) {
        return fail("no MP3 frame found in '" + options.source + "'");
    }

    BreakPointList given;
    if (options.at && !addListedBreakPoints(*options.at, given, problem)) {
        return fail(problem);
    }
    if (options.breakPointFile &&
        !addFileBreakPoints(*options.breakPointFile, doc.frameCount(), given, problem)) {
        return fail(problem);
    }
    for (const BreakPoint value : given) {
        doc.appendBreakPoint(value);
    }
    // The list's names become the pieces' tags through the block tags.
    if (options.list && !importBreakPoints(doc, options.list->path, options.list->format, false)) {
        std::fflush(stdout);
        return fail("the break point list could not be read, nothing has been saved");
    }
    if (options.chapters && !importFileChapters(doc, false)) {
        std::fflush(stdout);
        return fail("the file has no chapters, nothing has been saved");
    }
    if (options.method) {
        const int errorsBefore = frame.errors;
        doc.placeAutomaticBreakPoints(*options.method, options.methodValue, false);
        // Its line is printed; splitting without the break points asked for would be no answer.
        if (frame.errors != errorsBefore) {
            std::fflush(stdout);
            return usageError("the break point method was refused, nothing has been saved");
        }
    }
    // Nothing found writes nothing: one piece of the whole file is no answer either.
    if (options.silences && doc.placeSilenceBreakPoints(*options.silences, false).report.kept == 0) {
        std::fflush(stdout);
        return kExitNoSilence;
    }
    if (options.overlapSecs) {
        Preferences preferences = doc.preferences();
        preferences.Overlap = true;
        preferences.OverlapSecs = *options.overlapSecs;
        doc.setPreferences(preferences);
    }

    doc.setPieceOptions(options.pieces);
    doc.m_outputFolder = options.folder;
    // Save All as the window program runs it: over the document's frame offsets.
    const auto started = std::chrono::steady_clock::now();
    SaveAllOptions saveOptions;
    if (options.noClobber) {
        saveOptions.existing = AtomicFile::Existing::Keep;
    }
    const SaveAllResult result = runSaveAll(doc, saveOptions);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - started;
    std::fflush(stdout);
    if (options.timing) {
        std::fprintf(stderr, "save_all_ms: %.1f\n", took.count());
    }
    return result.failed == 0 && result.pieces > 0 ? 0 : 1;
}
