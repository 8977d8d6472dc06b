#include "cli/BreakPointSource.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/ErrorOutput.h"
#include "engine/PlatformFile.h"

#include "document/ChapterCopy.h"

#include "cli/ClockText.h"
#include "cli/JsonWriter.h"
#include "cli/LevelOptions.h"
#include "cli/PiecePlan.h"
#include "cli/PieceTagOptions.h"
#include "cli/Playlist.h"
#include "cli/SilenceCuts.h"
#include "cli/StandardInput.h"
#include "cli/TerminalProgress.h"
#include "document/BlockTags.h"
#include "document/BreakPointLists.h"
#include "document/MainTag.h"
#include "document/SplitDocument.h"
#include "engine/Decoder.h"
#include "engine/Decoding.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "output/PieceTag.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"
#include "settings/PathText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const std::string kUsage = std::string("usage: kerfline-cli split FILE -o DIR (") + kSourceOptions +
                           ") [--overlap SECONDS] [--gapless] [--copy-tags] [--name TEMPLATE] [--no-clobber] "
                           "[--timing] " +
                           kLevelOptionsUsage + "\nSILENCE FINDER OPTIONS: " + kSilenceOptions;

// The main frame of the tool: log lines go to stdout, level-2 lines to stderr as well, progress
// to a terminal's stderr.
class StdoutFrame final : public WindowLink {
public:
    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (!quiet && progress.follow(message, wParam, lParam)) {
            return 0;
        }
        if (message == UM_OUTPUT_LOG) {
            const char* line = reinterpret_cast<const char*>(lParam);
            if (!quiet) {
                std::printf("%s\n", line);
            }
            if (wParam == static_cast<std::uintptr_t>(LogLevel::Error)) {
                printError(line);
                errors.emplace_back(line);
            }
        }
        return 0;
    }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}

    std::vector<std::string> errors; // level-2 lines printed
    bool quiet = false;              // log lines only on stderr, and only level 2
    TerminalProgress progress;
};

// The tool runs Save All on its own thread, so the view's "done" message has nowhere to go.
class IgnoringView final : public WindowLink {
public:
    std::intptr_t send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}
};

struct SplitOptions {
    std::vector<std::string> sources;
    unsigned jobs = 1;
    std::string source; // the file being split
    bool many = false;  // one of several files: each writes below a folder of its own, quietly
    std::string folder;
    BreakPointSource breakPoints;
    std::optional<double> overlapSeconds;
    bool timing = false;
    bool noClobber = false;
    bool dryRun = false;
    bool json = false;
    bool trimSilence = false;
    std::optional<std::string> playlist;
    PieceTagFields tags;
    std::optional<std::string> tagPattern;
    PieceOptions pieces;
    LevelOptions level;
};

bool parseSplitOptions(const CommandArgs& args, SplitOptions& options, std::string& problem) {
    const std::optional<ParsedOptions> parsed =
        parseOptions(args,
                     withBreakPointOptions({{"--output", OptionValue::Text, "-o"},
                                            {"--overlap", OptionValue::Seconds},
                                            {"--timing"},
                                            {"--no-clobber"},
                                            {"--gapless"},
                                            {"--copy-tags"},
                                            {"--name", OptionValue::Text},
                                            {"--dry-run", OptionValue::None, "-n"},
                                            {"--json"},
                                            {"--m3u", OptionValue::Text},
                                            {"--tag", OptionValue::Text, nullptr, true},
                                            {"--tag-from-name", OptionValue::Text},
                                            {"--trim-silence"},
                                            {"--gain", OptionValue::Text},
                                            {"--fade-in", OptionValue::Text},
                                            {"--fade-out", OptionValue::Text},
                                            {"--fade-cuts", OptionValue::Text},
                                            {"--normalize", OptionValue::Text},
                                            {"--allow-clipping"},
                                            {"--replaygain"},
                                            {"--jobs", OptionValue::Jobs, "-j"}}),
                     problem);
    if (!parsed) {
        return false;
    }
    if (parsed->operands.empty() || !parsed->has("--output")) {
        problem = kUsage;
        return false;
    }
    // Trimming alone makes one trimmed piece of the file, so it needs no break points; it reads the
    // silence finder's threshold, so that option alone then names no source.
    const bool trim = parsed->has("--trim-silence");
    const std::optional<BreakPointSource> source = breakPointSource(*parsed, problem, trim, trim);
    if (!source) {
        return false;
    }
    const std::optional<PieceTagFields> tags = parseTagOptions(parsed->texts("--tag"), problem);
    if (!tags) {
        return false;
    }
    options.tagPattern = parsed->text("--tag-from-name");
    if (options.tagPattern && !validNamePattern(*options.tagPattern, problem)) {
        problem = "--tag-from-name '" + *options.tagPattern + "': " + problem;
        return false;
    }
    if (trim && (parsed->has("--overlap") || parsed->has("--no-clobber"))) {
        problem = std::string("--trim-silence does not go with ") +
                  (parsed->has("--overlap") ? "--overlap" : "--no-clobber");
        return false;
    }
    if (parsed->has("--json") && !parsed->has("--dry-run")) {
        problem = "--json goes with --dry-run";
        return false;
    }
    options.sources = parsed->operands;
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    if (const auto jobs = parsed->number("--jobs")) {
        options.jobs = static_cast<unsigned>(*jobs);
    }
    options.folder = *parsed->text("--output");
    options.breakPoints = *source;
    options.overlapSeconds = parsed->number("--overlap");
    options.trimSilence = trim;
    options.timing = parsed->has("--timing");
    options.noClobber = parsed->has("--no-clobber");
    options.dryRun = parsed->has("--dry-run");
    options.json = parsed->has("--json");
    options.playlist = parsed->text("--m3u");
    options.tags = *tags;
    options.pieces.gapless = parsed->has("--gapless");
    options.pieces.copyTags = parsed->has("--copy-tags");
    options.pieces.nameTemplate = parsed->text("--name").value_or("");
    for (const std::string& name : parsed->names()) {
        if (!takeLevelOption(name, parsed->text(name).value_or(""), options.level, problem) &&
            !problem.empty()) {
            return false;
        }
    }
    if (options.level.normalise && options.level.gainDb) {
        problem = "--gain does not go with --normalize";
        return false;
    }
    options.pieces.fadeCutsMs = static_cast<int>(std::lround(options.level.fadeCutsSeconds * 1000));
    options.pieces.replayGain = options.level.replayGain;
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
        // A decoder of its own: several files are scanned at once, and the process's shared decoder
        // carries one file's state from frame to frame.
        std::mutex decoderLock;
        mp3::PcmCache cache(0);
        mp3::SharedDecoder decoder(decoderLock);
        mp3::LevelScan scan = mp3::scanLevels(mp3::Decoding{cache, decoder}, frames.path(), nullptr,
                                              mp3::processParallelDecode());
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

std::string blockTitle(const SplitDocument& doc, int number) {
    const std::optional<ID3Info> tag = findBlockTag(doc.m_blockTags, number);
    return tag ? tag->title : std::string();
}

std::string dryRunText(const SplitOptions& options, const SplitDocument& doc,
                       const std::vector<PlannedPiece>& pieces) {
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("file").value(options.source).key("folder").value(options.folder);
        json.key("pieces").beginArray();
        for (const PlannedPiece& piece : pieces) {
            json.beginObject()
                .key("file")
                .value(pathText(piece.path))
                .key("first_frame")
                .value(piece.firstFrame)
                .key("last_frame")
                .value(piece.lastFrame)
                .key("start_ms")
                .value(piece.startMs)
                .key("duration_ms")
                .value(piece.durationMs)
                .key("bytes")
                .value(static_cast<std::int64_t>(piece.bytes))
                .key("title")
                .value(blockTitle(doc, piece.number))
                .endObject();
        }
        json.endArray().endObject();
        return json.text() + "\n";
    }
    std::string text;
    for (const PlannedPiece& piece : pieces) {
        char line[128];
        std::snprintf(line, sizeof line, ": frames %d-%d, start %s, duration %s, %llu bytes\n",
                      piece.firstFrame, piece.lastFrame, clockText(piece.startMs).c_str(),
                      clockText(piece.durationMs).c_str(), static_cast<unsigned long long>(piece.bytes));
        text += pathText(piece.path) + line;
    }
    return text;
}

// The number of blocks Save All makes of the document's break points.
int blockCount(const SplitDocument& doc) {
    std::vector<int> starts;
    for (const BreakPoint value : doc.m_breakPoints) {
        if (value >= 1 && value < doc.frameCount()) {
            starts.push_back(value);
        }
    }
    std::sort(starts.begin(), starts.end());
    return static_cast<int>(std::unique(starts.begin(), starts.end()) - starts.begin()) + 1;
}

// The tags of --tag-from-name and --tag over the list's; false with `problem` set when the source's
// name does not match the pattern.
bool setPieceTags(const SplitOptions& options, SplitDocument& doc, PieceTagFields& fields,
                  std::string& problem) {
    if (options.tagPattern) {
        const std::optional<PieceTagFields> fromName = fieldsFromName(*options.tagPattern, options.source);
        if (!fromName) {
            problem = "the name of '" + options.source + "' does not match --tag-from-name '" +
                      *options.tagPattern + "'";
            return false;
        }
        fields = *fromName;
    }
    fields.overlay(options.tags);
    if (fields.any()) {
        applyToBlockTags(doc, fields, blockCount(doc));
    }
    return true;
}

// When a list names every block, the pieces carry the titles in their names too.
std::string defaultTemplate(const SplitDocument& doc) {
    const int blocks = blockCount(doc);
    for (int number = 0; number < blocks; ++number) {
        if (blockTitle(doc, number).empty()) {
            return {};
        }
    }
    return "{name}-{n} {title}";
}

// The pieces without the silence at their ends; a piece silent throughout is left out with a line.
std::vector<PlannedPiece> trimmedPlan(const std::vector<PlannedPiece>& plan, SplitDocument& doc,
                                      double thresholdDb) {
    const FrameTimeline timeline = documentTimeline(doc);
    std::vector<PlannedPiece> trimmed;
    for (PlannedPiece piece : plan) {
        const FrameSpanRange range =
            trimmedRange(doc.frameRmsDb(), piece.firstFrame, piece.lastFrame + 1, thresholdDb);
        if (range.to <= std::max(range.from, timeline.leadingFrames)) {
            doc.log(LogLevel::Warning, "Separated block " + std::to_string(piece.firstFrame) + " F - " +
                                           std::to_string(piece.lastFrame + 1) +
                                           " F is silent throughout: it has not been saved");
            continue;
        }
        piece.firstFrame = range.from;
        piece.lastFrame = range.to - 1;
        piece.startMs = timeline.startMs(range.from);
        const std::int64_t samples = timeline.samplesBefore(range.to) - timeline.samplesBefore(range.from);
        piece.durationMs = (samples * 1000 + timeline.sampleRate / 2) / timeline.sampleRate;
        piece.bytes = 0;
        for (int frame = range.from; frame < range.to; ++frame) {
            piece.bytes += doc.m_frameLengths[static_cast<std::size_t>(frame)];
        }
        trimmed.push_back(std::move(piece));
    }
    return trimmed;
}

// Genre and track, and for the writer of chosen blocks the block tag it leaves out, written into each
// piece before it takes its name: a piece never shows up half tagged.
PieceTagWriter pieceTagWriter(const PieceTagFields& fields, int count, bool withBlockTag) {
    if (!fields.genre && !fields.track && !withBlockTag) {
        return {};
    }
    return
        [fields, count, withBlockTag](const std::filesystem::path& temporary, const PieceIdentity& identity) {
            if (withBlockTag && identity.blockTag && !applyBlockTag(temporary, *identity.blockTag)) {
                return false;
            }
            return writeGenreAndTrack(temporary, fields, identity.number, count);
        };
}

// Writes the trimmed pieces as chosen blocks under the names Save All gives them; the block tags go
// in as Save All puts them in. Returns the number of pieces that failed.
int saveTrimmed(const std::vector<PlannedPiece>& plan, SplitDocument& doc, StdoutFrame& frame,
                IgnoringView& view, const PieceTagFields& tags) {
    std::vector<CheckedRow> rows;
    for (const PlannedPiece& piece : plan) {
        rows.push_back({piece.number + 1, Block{piece.firstFrame, piece.lastFrame + 1}});
    }
    SpecifiedBlocksJob job = specifiedBlocksJob(doc, doc.m_outputFolder, std::move(rows), blockCount(doc));
    if (job.options.nameTemplate.empty()) {
        job.options.nameTemplate = "{name}-{n}";
    }
    job.tagWriter = pieceTagWriter(tags, static_cast<int>(plan.size()), !job.options.copyTags);
    return runSpecifiedBlocksSave(job, frame, view);
}

// Splits options.source. A dry run's pieces go to `dryRun`; `pieces` gets the number written.
// `beforeSync` is called when the pieces are written and the disk is all that is left to wait for.
int splitFile(SplitOptions options, std::string& dryRun, int& pieces,
              const std::function<void()>& beforeSync = {}) {
    std::string problem;
    std::error_code error;
    // A pipe is read once into the output folder (made first), then split like a file named stdin.
    std::unique_ptr<StandardInputCopy> input;
    if (isStandardInput(options.source)) {
        std::filesystem::path holder = std::filesystem::temp_directory_path();
        if (!options.dryRun) {
            std::filesystem::create_directories(options.folder, error);
            holder = options.folder;
        }
        if (!(input = StandardInputCopy::make(holder, problem))) {
            return fail(problem);
        }
        options.source = input->path().string();
    }
    if (options.many && options.pieces.nameTemplate.empty()) {
        options.folder =
            (platform::pathFromUtf8(options.folder) / platform::pathFromUtf8(options.source).stem()).string();
    }
    if (!std::filesystem::is_regular_file(options.source, error)) {
        return fail("cannot open '" + options.source + "': no such file");
    }
    if (!options.dryRun) {
        std::filesystem::create_directories(options.folder, error);
        if (!std::filesystem::is_directory(options.folder, error)) {
            return fail("cannot use '" + options.folder + "' as the output folder");
        }
    }

    StdoutFrame frame;
    IgnoringView view;
    CliPrompts prompts;
    SplitDocument doc(frame, view, prompts);
    SourceFrames frames(options.source);
    if (!frames.file().isOpen()) {
        return fail("cannot read '" + options.source + "'");
    }
    const bool needLevels =
        options.breakPoints.needsLevels() || options.trimSilence || options.level.needsPeaks();
    loadDocument(doc, frames, needLevels);
    if (doc.frameCount() == 0) {
        return fail("no MP3 frame found in '" + options.source + "'");
    }
    // The list's names become the pieces' tags through the block tags. Whatever is refused here
    // writes nothing: one piece of the whole file is no answer either. A dry run prints only the
    // pieces.
    frame.quiet = options.dryRun || options.many;
    std::vector<std::string> plainCuts;
    const Placed placed = placeBreakPoints(
        options.breakPoints, doc, [&frame] { return frame.errors; }, problem, nullptr, &plainCuts);
    // Notes, not failures: the plain cut stands.
    for (const std::string& line : plainCuts) {
        std::fprintf(stderr, "kerfline-cli: %s\n", line.c_str());
    }
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
    if (options.overlapSeconds) {
        Preferences preferences = doc.preferences();
        const auto ms = static_cast<std::int64_t>(std::llround(*options.overlapSeconds * 1000.0));
        preferences.Overlap = ms > 0;
        preferences.OverlapSecs = static_cast<std::int32_t>(ms / 1000);
        preferences.OverlapExtraMs = static_cast<std::int32_t>(ms % 1000);
        doc.setPreferences(preferences);
    }
    const bool listTitles = options.breakPoints.list || options.breakPoints.chapters;
    if (options.pieces.nameTemplate.empty() && listTitles) {
        options.pieces.nameTemplate = defaultTemplate(doc);
    }
    PieceTagFields tags;
    if (!setPieceTags(options, doc, tags, problem)) {
        return fail(problem);
    }
    if (options.level.changesAudio() &&
        applyLevelOptions(doc, options.level, doc.blockStarts(), problem) != kExitSuccess) {
        return usageError(problem);
    }
    doc.setPieceOptions(options.pieces);
    doc.m_outputFolder = options.folder;
    std::vector<PlannedPiece> plan = planPieces(doc, frames, problem);
    if (plan.empty() && !problem.empty()) {
        return fail(problem);
    }
    if (options.trimSilence) {
        plan = trimmedPlan(plan, doc, options.breakPoints.silenceSettings.thresholdDb);
        if (plan.empty()) {
            return fail("'" + options.source + "' is silent throughout, no piece has been written");
        }
    }
    if (options.dryRun) {
        dryRun = dryRunText(options, doc, plan);
        return kExitSuccess;
    }

    // Save All as the window program runs it: over the document's frame offsets.
    const auto started = std::chrono::steady_clock::now();
    SaveAllOptions saveOptions;
    if (options.noClobber) {
        saveOptions.existing = AtomicFile::Existing::Keep;
    }
    saveOptions.tagWriter = pieceTagWriter(tags, static_cast<int>(plan.size()), false);
    saveOptions.beforeSync = beforeSync;
    SaveAllResult result;
    if (options.trimSilence) {
        result.pieces = static_cast<int>(plan.size());
        result.failed = saveTrimmed(plan, doc, frame, view, tags);
    } else if (needLevels) {
        result = runSaveAll(doc, saveOptions);
    } else {
        // The document's offsets are this walk's own: no second look at the file is needed to trust them.
        result = runSaveAll(doc, frames, saveOptions);
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - started;
    std::fflush(stdout);
    if (options.timing) {
        std::fprintf(stderr, "save_all_ms: %.1f\n", took.count());
    }
    if (result.failed == 0 && result.pieces == 0) {
        // Every block was left out for holding no audio frame; the log has said which.
        return fail("no block holds an audio frame, no piece has been written");
    }
    pieces = result.pieces - result.failed;
    int status = result.failed == 0 ? kExitSuccess : kExitFileError;
    if (options.playlist) {
        std::vector<PlaylistEntry> written;
        for (const PlannedPiece& piece : plan) {
            if (!std::filesystem::is_regular_file(piece.path, error)) {
                continue;
            }
            written.push_back({piece.path, piece.durationMs, blockTitle(doc, piece.number)});
        }
        const std::filesystem::path playlist = platform::pathFromUtf8(options.folder) / *options.playlist;
        if (!writePlaylist(playlist, written, problem)) {
            status = fail(problem);
        }
    }
    return status;
}

// Several files, `jobs` at a time: one summary line per file as it ends, dry runs in the files' order.
// A file whose pieces are written and wait only for the disk gives its turn to the next file, so the
// processors stay busy while the disk catches up; at most `jobs` more files wait that way.
int splitFiles(const SplitOptions& options) {
    const std::size_t count = options.sources.size();
    std::vector<std::string> dryRuns(count);
    std::vector<int> statuses(count, kExitSuccess);
    std::atomic<std::size_t> next{0};
    std::mutex printing;
    std::counting_semaphore<> turns(options.jobs);
    const auto work = [&] {
        for (std::size_t file = next++; file < count; file = next++) {
            SplitOptions one = options;
            one.source = options.sources[file];
            one.many = true;
            int pieces = 0;
            turns.acquire();
            bool holdsTurn = true;
            const auto giveTurn = [&] {
                if (std::exchange(holdsTurn, false)) {
                    turns.release();
                }
            };
            statuses[file] = splitFile(one, dryRuns[file], pieces, giveTurn);
            giveTurn();
            if (!options.dryRun) {
                const std::lock_guard<std::mutex> lock(printing);
                if (statuses[file] == kExitSuccess) {
                    std::printf("%s: %d pieces written\n", one.source.c_str(), pieces);
                } else {
                    std::printf("%s: failed (status %d), %d pieces written\n", one.source.c_str(),
                                statuses[file], pieces);
                }
                std::fflush(stdout);
            }
        }
    };
    {
        std::vector<std::jthread> workers;
        for (std::size_t worker = 0; worker < std::min<std::size_t>(2 * std::size_t{options.jobs}, count);
             ++worker) {
            workers.emplace_back(work);
        }
    }
    for (const std::string& text : dryRuns) {
        std::fputs(text.c_str(), stdout);
    }
    // The worst status of any file: a bad value beats a failed file beats a file without silence.
    int status = kExitSuccess;
    for (const int one : statuses) {
        if (one == kExitBadUsage || (one == kExitFileError && status != kExitBadUsage) ||
            (one == kExitNoSilence && status == kExitSuccess)) {
            status = one;
        }
    }
    return status;
}

} // namespace

int runSplit(const CommandArgs& args) {
    SplitOptions options;
    std::string problem;
    if (!parseSplitOptions(args, options, problem)) {
        return usageError(problem);
    }
    if (options.sources.size() > 1) {
        return splitFiles(options);
    }
    options.source = options.sources.front();
    std::string dryRun;
    int pieces = 0;
    const int status = splitFile(options, dryRun, pieces);
    std::fputs(dryRun.c_str(), stdout);
    return status;
}
