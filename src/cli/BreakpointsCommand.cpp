#include "cli/BreakPointSource.h"
#include "cli/DocumentCommands.h"
#include "cli/ErrorOutput.h"
#include "cli/JsonWriter.h"
#include "cli/StandardInput.h"
#include "document/BreakPointLists.h"
#include "engine/PlatformFile.h"

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
    std::string file;
    BreakPointSource source;
    std::optional<ListFormat> exportAs;
    std::optional<std::string> output;
    bool json = false;
};

bool parseBreakpointsOptions(const CommandArgs& args, BreakpointsOptions& options, std::string& problem) {
    const std::optional<ParsedOptions> parsed = parseOptions(
        args,
        withBreakPointOptions(
            {{"--json"}, {"--export", OptionValue::ListFormat}, {"--output", OptionValue::Text, "-o"}}),
        problem);
    if (!parsed) {
        return false;
    }
    if (parsed->operands.size() != 1 || parsed->has("--export") != parsed->has("--output")) {
        problem = kUsage;
        return false;
    }
    const std::optional<BreakPointSource> source = breakPointSource(*parsed, problem);
    if (!source) {
        return false;
    }
    options.file = parsed->operands.front();
    options.source = *source;
    options.json = parsed->has("--json");
    if (const auto format = parsed->text("--export")) {
        options.exportAs = exportFormat(*format);
        options.output = parsed->text("--output");
    }
    return true;
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
    const FrameTimeline timeline = documentTimeline(document);
    JsonWriter out;
    out.beginObject()
        .key("file")
        .value(path)
        .key("method")
        .value(source.name())
        .key("value")
        .value(source.methodValue)
        .key("frames")
        .value(document.frameCount())
        .key("duration_ms")
        .value(timeline.endMs())
        .key("break_points")
        .beginArray();
    for (std::size_t i = firstPlaced; i < document.m_breakPoints.size(); ++i) {
        const int frame = document.m_breakPoints[i];
        out.beginObject().key("frame").value(frame).key("time_ms").value(timeline.startMs(frame)).endObject();
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
    if (!parseBreakpointsOptions(args, options, problem)) {
        return usageError(problem);
    }
    const std::size_t told = printedErrorCount();
    std::unique_ptr<StandardInputCopy> input;
    if (isStandardInput(options.file) &&
        !(input = StandardInputCopy::make(std::filesystem::temp_directory_path(), problem))) {
        return fail(problem);
    }
    CliDocument cli(false);
    // Only silences need the decoded levels; every other source needs only where the frames are.
    if (!cli.load(input ? input->path() : platform::pathFromUtf8(options.file), problem,
                  options.source.needsLevels() ? CliDocument::Levels::Scan : CliDocument::Levels::Skip)) {
        return failUnlessTold(told, problem);
    }
    SplitDocument& document = cli.document;
    const std::size_t before = document.m_breakPoints.size();
    SilenceReport report;
    std::vector<std::string> plainCuts;
    const Placed placed = placeBreakPoints(
        options.source, document, [&cli] { return cli.link.logLines(LogLevel::Error); }, problem, &report,
        &plainCuts);
    // Notes, not failures: the plain cut stands.
    for (const std::string& line : plainCuts) {
        std::fprintf(stderr, "kerfline-cli: %s\n", line.c_str());
    }
    switch (placed) {
    case Placed::Done:
        break;
    case Placed::NoSilence:
        // The document's line has gone to stderr; the report still goes out as JSON, the export not.
        if (options.json) {
            printJson(options.file, options.source, document, before, report);
        }
        return kExitNoSilence;
    case Placed::BadValue:
        return usageError(problem);
    case Placed::Failed:
        return fail(problem);
    }
    if (options.source.silences && report.fewerThanAsked) {
        printError(fewerTracksLine(report, options.source.silences->tracks));
    }
    if (options.exportAs && !exportBreakPoints(document, *options.output, *options.exportAs)) {
        const auto errors = cli.link.logLines(LogLevel::Error);
        return fail(errors.empty() ? "cannot write '" + *options.output + "'" : errors.back());
    }
    if (options.json) {
        printJson(options.file, options.source, document, before, report);
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
