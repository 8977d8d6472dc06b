#include "cli/BreakPointPositions.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/LevelOptions.h"
#include "cli/NumberText.h"
#include "engine/PlatformFile.h"

#include "document/BlockEdits.h"
#include "document/BreakPointLists.h"
#include "document/EditedStream.h"
#include "document/MainTag.h"
#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "engine/FileScan.h"
#include "output/EditedCopy.h"
#include "output/ReplayGainTag.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const std::string kUsage =
    std::string("usage: kerfline-cli edit FILE... -o OUT (--remove A-B ... | --keep A-B ...) "
                "[--no-tags] [--chapters] [--no-clobber] [--jobs N] ") +
    kLevelOptionsUsage;

// "A-B": from A up to (not including) B; "A-" runs to the end of the file.
struct RangeText {
    BreakPointPosition from;
    std::optional<BreakPointPosition> to;
};

std::optional<RangeText> parseRange(const std::string& text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        return std::nullopt;
    }
    const auto from = parsePosition(text.substr(0, dash));
    if (!from || (from->frame && *from->frame < 0)) {
        return std::nullopt;
    }
    const std::string end = text.substr(dash + 1);
    if (end.empty()) {
        return RangeText{*from, std::nullopt};
    }
    const auto to = parsePosition(end);
    return to && !(to->frame && *to->frame < 0) ? std::optional<RangeText>(RangeText{*from, *to})
                                                : std::nullopt;
}

struct EditOptions {
    std::vector<std::string> sources;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::string output; // with several sources, the folder the copies go to under their own names
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
        } else if (arg == "--jobs" || arg == "-j") {
            const auto jobs = hasValue ? parseInt(args[i + 1]) : std::nullopt;
            if (!jobs || *jobs < 1 || *jobs > 256) {
                problem = arg + " needs a whole number from 1 to 256";
                return false;
            }
            options.jobs = static_cast<unsigned>(*jobs);
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
        } else {
            options.sources.push_back(arg);
        }
    }
    if (options.sources.empty() || options.output.empty() ||
        (options.remove.empty() == options.keep.empty())) {
        problem = options.remove.empty() || options.keep.empty()
                      ? kUsage
                      : "give either --remove or --keep ranges, not both";
        return false;
    }
    return true;
}

// The tool's main frame: log lines to stdout, level 2 to stderr as well. With several files only
// level 2 lines: each file gets one summary line.
class StdoutLog final : public WindowLink {
public:
    explicit StdoutLog(bool quiet) : m_quiet(quiet) {}
    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == UM_OUTPUT_LOG) {
            const char* line = reinterpret_cast<const char*>(lParam);
            if (!m_quiet) {
                std::printf("%s\n", line);
            }
            if (wParam == static_cast<std::uintptr_t>(LogLevel::Error)) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s\n", line);
            }
        }
        return 0;
    }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}

private:
    const bool m_quiet;
};

class NoView final : public WindowLink {
public:
    std::intptr_t send(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
    void post(unsigned, std::uintptr_t, std::intptr_t) override {}
};

int frameOf(const BreakPointPosition& position, const FrameTimeline& timeline) {
    return position.frame ? *position.frame : timeline.nearestFrame(position.seconds);
}

std::string noFrameText(int from, int to, int count, const std::string& source) {
    return "the range " + std::to_string(from) + " F - " + std::to_string(to) + " F holds no frame of the " +
           std::to_string(count) + " in '" + source + "'";
}

// Ranges all given in frames, without a level change or chapters to plan first: the copy can be made
// behind the walk of the source, before the number of frames is known.
bool copiesBehindWalk(const EditOptions& options) {
    if (options.level.changesAudio() || options.copy.chapters) {
        return false;
    }
    for (const RangeText& range : options.keep.empty() ? options.remove : options.keep) {
        if (!range.from.frame || (range.to && (!range.to->frame || *range.to->frame <= *range.from.frame))) {
            return false;
        }
    }
    return true;
}

// The edit made while the source is walked: the blocks as the document would make them, the last one
// running to the end of the source wherever that turns out to be.
// Nothing, when there is no room for the walk's lists: the caller then walks first, which needs less.
std::optional<int> editBehindWalk(const EditOptions& options, const std::string& source,
                                  const std::filesystem::path& output, bool quiet) {
    constexpr int kOpenEnd = INT_MAX;
    std::unique_ptr<SourceFrames> walked;
    try {
        walked = std::make_unique<SourceFrames>(source, true, SourceFrames::InBackground{});
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::system_error&) {
        return std::nullopt; // no thread for the walk
    }
    SourceFrames& frames = *walked;
    StdoutLog log(quiet);
    if (!frames.file().isOpen()) {
        return fail("cannot read '" + source + "'");
    }
    if (frames.waitForFrames(1) == 0) {
        return fail("no MP3 frame found in '" + source + "'");
    }
    const bool keeping = !options.keep.empty();
    std::vector<std::pair<int, int>> ranges;
    BreakPointList breakPoints;
    EditedCopyJob job;
    for (const RangeText& range : keeping ? options.keep : options.remove) {
        const int from = *range.from.frame;
        const int to = range.to ? *range.to->frame : kOpenEnd;
        ranges.emplace_back(from, to);
        breakPoints.push_back(from);
        breakPoints.push_back(to);
        job.framesNamed = std::max(job.framesNamed, from + 1);
    }
    // A block is removed when a --remove range holds it, or no --keep range does.
    const std::vector<int> starts = blockStartsOf(breakPoints, kOpenEnd);
    BlockEdits edits;
    for (const int first : starts) {
        bool inRange = false;
        for (const auto& [from, to] : ranges) {
            inRange = inRange || (from <= first && first < to);
        }
        if (inRange != keeping) {
            edits[first].removed = true;
        }
    }
    job.source = frames.path();
    job.output = output;
    job.stream = editedStream(starts, kOpenEnd, edits);
    job.sourceStatus = frames.file().openedAs();
    job.options = options.copy;
    const EditedCopyResult result = runEditedCopy(job, log, &frames);
    std::fflush(stdout);
    if (result.tooFewFrames) {
        for (const auto& [from, to] : ranges) {
            if (from >= result.sourceFrames) {
                return usageError(noFrameText(from, to == kOpenEnd ? result.sourceFrames : to,
                                              result.sourceFrames, source));
            }
        }
    }
    if (result.saved && options.level.replayGain && !writeReplayGainTags(output.string())) {
        return fail("the ReplayGain tags could not be written into '" + output.string() + "'");
    }
    return result.saved ? kExitSuccess : kExitFileError;
}

int editFile(const EditOptions& options, const std::string& source, const std::filesystem::path& output,
             bool quiet) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(source, error)) {
        return fail("cannot open '" + source + "': no such file");
    }
    if (copiesBehindWalk(options)) {
        if (const std::optional<int> status = editBehindWalk(options, source, output, quiet)) {
            return *status;
        }
    }

    StdoutLog log(quiet);
    NoView view;
    CliPrompts prompts;
    SplitDocument doc(log, view, prompts);
    // The frames are walked by their headers only: nothing is decoded. The copy is made by this walk,
    // which sums each frame's CRC on the way for the copy's music CRC.
    SourceFrames frames(source, true);
    {
        if (!frames.file().isOpen()) {
            return fail("cannot read '" + source + "'");
        }
        doc.m_filePath = frames.path();
        doc.m_sourceStatus = frames.file().openedAs();
        // The copy takes the frames from the walk itself: the document needs their number only.
        doc.m_frameLevels.assign(static_cast<std::size_t>(frames.count()), 0);
        doc.m_loaded = true;
    }
    const int count = doc.frameCount();
    if (count == 0) {
        return fail("no MP3 frame found in '" + source + "'");
    }
    const FrameTimeline timeline = documentTimeline(doc);
    const bool keeping = !options.keep.empty();
    std::vector<std::pair<int, int>> ranges;
    for (const RangeText& range : keeping ? options.keep : options.remove) {
        const int from = frameOf(range.from, timeline);
        const int to = range.to ? frameOf(*range.to, timeline) : count;
        if (from >= to || from >= count) {
            return usageError(noFrameText(from, to, count, source));
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
    EditedCopyOptions copyOptions = options.copy;
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
        std::string problem;
        if (applyLevelOptions(doc, options.level, kept, problem) != kExitSuccess) {
            return usageError(problem);
        }
        copyOptions.fadeCutsMs = static_cast<int>(std::lround(options.level.fadeCutsSeconds * 1000));
    }
    const EditedCopyResult result = saveEditedCopy(doc, output, copyOptions, &frames);
    std::fflush(stdout);
    if (result.saved && options.level.replayGain && !writeReplayGainTags(output.string())) {
        return fail("the ReplayGain tags could not be written into '" + output.string() + "'");
    }
    return result.saved ? kExitSuccess : kExitFileError;
}

// Several files, `jobs` at a time, each copy into the output folder under the source's name: one
// summary line per file as it ends, and the worst status of them all.
int editFiles(const EditOptions& options) {
    const std::filesystem::path folder = options.output;
    std::vector<std::filesystem::path> outputs;
    for (const std::string& source : options.sources) {
        const std::filesystem::path output = folder / platform::pathFromUtf8(source).filename();
        if (std::find(outputs.begin(), outputs.end(), output) != outputs.end()) {
            return usageError("two input files are named '" + output.filename().string() +
                              "'; their copies would share a name in '" + options.output + "'");
        }
        outputs.push_back(output);
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        return fail("cannot create the folder '" + options.output + "'");
    }
    const std::size_t count = options.sources.size();
    std::vector<int> statuses(count, kExitSuccess);
    std::atomic<std::size_t> next{0};
    std::mutex printing;
    const auto work = [&] {
        for (std::size_t file = next++; file < count; file = next++) {
            statuses[file] = editFile(options, options.sources[file], outputs[file], true);
            const std::lock_guard<std::mutex> lock(printing);
            if (statuses[file] == kExitSuccess) {
                std::printf("%s: edited copy written to %s\n", options.sources[file].c_str(),
                            outputs[file].string().c_str());
            } else {
                std::printf("%s: failed (status %d)\n", options.sources[file].c_str(), statuses[file]);
            }
            std::fflush(stdout);
        }
    };
    {
        std::vector<std::jthread> workers;
        for (unsigned job = 0; job < std::min<std::size_t>(options.jobs, count); ++job) {
            workers.emplace_back(work);
        }
    }
    int status = kExitSuccess;
    for (const int one : statuses) {
        if (one == kExitBadUsage || (one == kExitFileError && status != kExitBadUsage)) {
            status = one;
        }
    }
    return status;
}

} // namespace

int runEdit(const CommandArgs& args) {
    EditOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    if (options.sources.size() > 1) {
        return editFiles(options);
    }
    return editFile(options, options.sources.front(), options.output, false);
}
