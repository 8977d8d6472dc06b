#include "cli/BreakPointSource.h"
#include "cli/DocumentCommands.h"
#include "cli/JsonWriter.h"
#include "engine/FrameReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kUsage =
    std::string("usage: kerfline-cli breakpoints [--json] FILE (") + kSourceOptions +
    ") [--export cue|labels|tracklist|bps -o OUT]\nSILENCE FINDER OPTIONS: " + kSilenceOptions;

struct BreakpointsOptions {
    std::optional<std::string> file;
    BreakPointSource source;
    std::optional<ListFormat> exportAs;
    std::optional<std::string> output;
    bool json = false;
};

bool parseOptions(const CommandArgs& args, BreakpointsOptions& options, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (options.source.take(args, i, problem)) {
            if (!problem.empty()) {
                return false;
            }
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--export") {
            options.exportAs = hasValue ? exportFormat(args[i + 1]) : std::nullopt;
            if (!options.exportAs) {
                problem = "--export needs one of cue, labels, tracklist and bps";
                return false;
            }
            ++i;
        } else if (arg == "-o" || arg == "--output") {
            if (!hasValue) {
                problem = arg + " needs a file";
                return false;
            }
            options.output = args[++i];
        } else if (!options.file && (arg.empty() || arg[0] != '-')) {
            options.file = arg;
        } else {
            problem = kUsage;
            return false;
        }
    }
    if (!options.file || options.source.given == 0 ||
        options.exportAs.has_value() != options.output.has_value()) {
        problem = kUsage;
        return false;
    }
    if (options.source.given > 1) {
        problem = "give break points from one source only";
        return false;
    }
    return true;
}

const char* methodName(AutoMethod method) {
    switch (method) {
    case AutoMethod::Silence:
        return "silence";
    case AutoMethod::EqualCount:
        return "count";
    case AutoMethod::EveryLength:
        return "length";
    }
    return "";
}

// What placed the break points: the automatic method, or the kind of list they were read from.
const char* sourceName(const BreakPointSource& source) {
    if (source.silences) {
        return "silences";
    }
    if (source.method) {
        return methodName(*source.method);
    }
    if (source.breakPointFile) {
        return "bps";
    }
    if (source.list) {
        switch (source.list->format) {
        case ListFormat::CueSheet:
            return "cue";
        case ListFormat::LabelFile:
            return "labels";
        case ListFormat::Tracklist:
            return "tracklist";
        case ListFormat::BreakPointFile:
            return "bps";
        }
    }
    return "chapters";
}

// The start time of every frame, and the duration of the whole file at the end.
std::vector<std::int64_t> frameStartsMs(const std::string& path) {
    std::vector<std::int64_t> starts{0};
    mp3::FrameReader reader(path);
    const mp3::FrameReader end;
    while (!(reader == end)) {
        starts.push_back(starts.back() + reader.header().durationMs());
        reader.readNext();
    }
    reader.close();
    return starts;
}

// The settings the silence finder ran with and what it found.
void writeSilences(JsonWriter& out, const SilenceSettings& settings, const SilenceReport& report) {
    out.beginObject()
        .key("silence_db")
        .value(settings.thresholdDb)
        .key("min_silence_s")
        .value(settings.minSilenceSeconds)
        .key("cut")
        .value(silenceCutName(settings.cut))
        .key("min_piece_s")
        .value(settings.minPieceSeconds)
        .key("tracks");
    if (settings.tracks > 0) {
        out.value(settings.tracks);
    } else {
        out.null();
    }
    out.key("found")
        .value(report.found)
        .key("kept")
        .value(report.kept)
        .key("shortest_s")
        .value(report.shortestSeconds)
        .key("longest_s")
        .value(report.longestSeconds)
        .key("fewer_than_asked")
        .value(report.fewerThanAsked)
        .endObject();
}

void printJson(const std::string& path, const BreakPointSource& source, const SplitDocument& document,
               std::size_t firstPlaced, const SilenceReport& report) {
    const std::vector<std::int64_t> startsMs = frameStartsMs(path);
    const auto startMs = [&](int frame) {
        return startsMs[static_cast<std::size_t>(std::clamp<std::int64_t>(frame, 0, startsMs.size() - 1))];
    };
    JsonWriter out;
    out.beginObject()
        .key("file")
        .value(path)
        .key("method")
        .value(sourceName(source))
        .key("value")
        .value(source.methodValue)
        .key("frames")
        .value(document.frameCount())
        .key("duration_ms")
        .value(startsMs.back())
        .key("break_points")
        .beginArray();
    for (std::size_t i = firstPlaced; i < document.m_breakPoints.size(); ++i) {
        const int frame = document.m_breakPoints[i];
        out.beginObject().key("frame").value(frame).key("time_ms").value(startMs(frame)).endObject();
    }
    out.endArray();
    if (source.silences) {
        out.key("silences");
        writeSilences(out, *source.silences, report);
    }
    out.endObject();
    std::printf("%s\n", out.text().c_str());
}

} // namespace

int runBreakpoints(const CommandArgs& args) {
    BreakpointsOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    CliDocument cli(false);
    if (!cli.load(*options.file, problem)) {
        return fail(problem);
    }
    SplitDocument& document = cli.document;
    const std::size_t before = document.m_breakPoints.size();
    SilenceReport report;
    if (!options.source.apply(document, cli.link, problem, &report)) {
        // A value the method refuses for this file (say more blocks than frames) is bad usage.
        return options.source.method ? usageError(problem) : fail(problem);
    }
    if (options.source.silences) {
        // The document's line has gone to stderr; the report still goes out as JSON, the export not.
        if (report.kept == 0) {
            if (options.json) {
                printJson(*options.file, options.source, document, before, report);
            }
            return kExitNoSilence;
        }
        if (report.fewerThanAsked) {
            std::fprintf(stderr, "kerfline-cli: %s\n",
                         fewerTracksLine(report, options.source.silences->tracks).c_str());
        }
    }
    // Times past the end are skipped, not fatal: say which.
    for (const std::string& line : cli.link.logLines(LogLevel::Error)) {
        std::fprintf(stderr, "kerfline-cli: %s\n", line.c_str());
    }
    if (options.exportAs && !exportBreakPoints(document, *options.output, *options.exportAs)) {
        const auto errors = cli.link.logLines(LogLevel::Error);
        return fail(errors.empty() ? "cannot write '" + *options.output + "'" : errors.back());
    }
    if (options.json) {
        printJson(*options.file, options.source, document, before, report);
        return kExitSuccess;
    }
    std::string out;
    for (std::size_t i = before; i < document.m_breakPoints.size(); ++i) {
        out += std::to_string(document.m_breakPoints[i]);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitSuccess;
}
