#include "cli/BreakPointSource.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/ErrorOutput.h"

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
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kUsage = std::string("usage: kerfline-cli split FILE -o DIR (") + kSourceOptions +
                           ") [--overlap SECONDS] [--gapless] [--copy-tags] [--name TEMPLATE] [--no-clobber] "
                           "[--timing]\nSILENCE FINDER OPTIONS: " +
                           kSilenceOptions;

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
                printError(line);
                errors.emplace_back(line);
            }
        }
        return 0;
    }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}

    std::vector<std::string> errors; // level-2 lines printed
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
    BreakPointSource breakPoints;
    std::optional<int> overlapSecs;
    bool timing = false;
    bool noClobber = false;
    PieceOptions pieces;
};

bool parseSplitOptions(const CommandArgs& args, SplitOptions& options, std::string& problem) {
    const std::optional<ParsedOptions> parsed =
        parseOptions(args,
                     withBreakPointOptions({{"--output", OptionValue::Text, "-o"},
                                            {"--overlap", OptionValue::SecondsFrom0},
                                            {"--timing"},
                                            {"--no-clobber"},
                                            {"--gapless"},
                                            {"--copy-tags"},
                                            {"--name", OptionValue::Text}}),
                     problem);
    if (!parsed) {
        return false;
    }
    if (parsed->operands.size() > 1) {
        problem = "more than one input file";
        return false;
    }
    if (parsed->operands.empty() || !parsed->has("--output")) {
        problem = kUsage;
        return false;
    }
    const std::optional<BreakPointSource> source = breakPointSource(*parsed, problem);
    if (!source) {
        return false;
    }
    options.source = parsed->operands.front();
    options.folder = *parsed->text("--output");
    options.breakPoints = *source;
    if (const auto overlap = parsed->number("--overlap")) {
        options.overlapSecs = static_cast<int>(*overlap);
    }
    options.timing = parsed->has("--timing");
    options.noClobber = parsed->has("--no-clobber");
    options.pieces.gapless = parsed->has("--gapless");
    options.pieces.copyTags = parsed->has("--copy-tags");
    options.pieces.nameTemplate = parsed->text("--name").value_or("");
    return true;
}

// Fills the document the way a load does, from the walk the pieces are written by. Levels are
// decoded only when silences are looked for.
void loadDocument(SplitDocument& doc, const SourceFrames& frames, bool needLevels) {
    doc.m_filePath = frames.path();
    doc.m_sourceStatus = frames.file().openedAs();
    std::string tagProblem;
    doc.m_mainTag = readMainTag(frames.path(), &tagProblem);
    if (!tagProblem.empty()) {
        doc.log(LogLevel::Error, tagProblem);
    }
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
    if (!parseSplitOptions(args, options, problem)) {
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
        loadDocument(doc, frames, options.breakPoints.needsLevels());
    }
    if (doc.frameCount() == 0) {
        return fail("no MP3 frame found in '" + options.source + "'");
    }
    // The list's names become the pieces' tags through the block tags. Whatever is refused here
    // writes nothing: one piece of the whole file is no answer either.
    const Placed placed = placeBreakPoints(
        options.breakPoints, doc, [&frame] { return frame.errors; }, problem);
    std::fflush(stdout);
    switch (placed) {
    case Placed::Done:
        break;
    case Placed::NoSilence:
        return kExitNoSilence;
    case Placed::BadValue:
        return usageError(problem);
    case Placed::Failed:
        return fail(problem);
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
    if (result.failed == 0 && result.pieces == 0) {
        // Every block was left out for holding no audio frame; the log has said which.
        return fail("no block holds an audio frame, no piece has been written");
    }
    return result.failed == 0 ? kExitSuccess : kExitFileError;
}
