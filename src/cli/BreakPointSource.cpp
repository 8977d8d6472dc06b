#include "cli/BreakPointSource.h"

#include "cli/ClockText.h"
#include "cli/SilenceCuts.h"
#include "document/BreakPointLists.h"
#include "document/ChapterCopy.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

bool anySilenceOption(const ParsedOptions& options, bool countThreshold) {
    for (const char* name : {"--silence-db", "--min-silence", "--cut", "--min-piece", "--tracks"}) {
        if (options.has(name) && (countThreshold || std::string(name) != "--silence-db")) {
            return true;
        }
    }
    return false;
}

// The silence finder's settings: the options given, the defaults for the others. The parser has
// checked every value.
SilenceSettings silenceSettings(const ParsedOptions& options) {
    SilenceSettings settings;
    settings.thresholdDb = options.number("--silence-db").value_or(settings.thresholdDb);
    settings.minSilenceSeconds = options.number("--min-silence").value_or(settings.minSilenceSeconds);
    settings.minPieceSeconds = options.number("--min-piece").value_or(settings.minPieceSeconds);
    if (const auto tracks = options.number("--tracks")) {
        settings.tracks = static_cast<int>(*tracks);
    }
    const std::string cut = options.text("--cut").value_or("middle");
    settings.cut = cut == "start" ? SilenceCut::Start : cut == "end" ? SilenceCut::End : SilenceCut::Middle;
    return settings;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

std::string joined(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values) {
        text += (text.empty() ? "" : ", ") + value;
    }
    return text;
}

} // namespace

const char* BreakPointSource::name() const {
    if (positions) {
        return "at";
    }
    if (silences) {
        return "silences";
    }
    if (method) {
        switch (*method) {
        case AutoMethod::Silence:
            return "silence";
        case AutoMethod::EqualCount:
            return "count";
        case AutoMethod::EveryLength:
            return "length";
        }
    }
    if (breakPointFile) {
        return "bps";
    }
    if (list) {
        switch (list->format) {
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

std::optional<BreakPointSource> breakPointSource(const ParsedOptions& options, std::string& problem,
                                                 bool optional, bool thresholdAlone) {
    BreakPointSource source;
    source.silenceSettings = silenceSettings(options);
    source.nearSilenceSeconds = options.number("--near-silence");
    if (source.nearSilenceSeconds && !options.has("--length")) {
        problem = "--near-silence goes with --length SECONDS";
        return std::nullopt;
    }
    int given = 0;
    if (const auto at = options.text("--at")) {
        source.positions = parsePositions(*at);
        ++given;
    }
    for (const auto& [option, method] :
         {std::pair{"--silence", AutoMethod::Silence}, std::pair{"--count", AutoMethod::EqualCount},
          std::pair{"--length", AutoMethod::EveryLength}}) {
        if (const auto value = options.number(option)) {
            source.method = method;
            source.methodValue = static_cast<int>(*value);
            ++given;
        }
    }
    if (const auto file = options.text("--breakpoints")) {
        source.breakPointFile = *file;
        ++given;
    }
    for (const char* option : {"--cue", "--labels", "--tracklist"}) {
        if (const auto file = options.text(option)) {
            source.list = ListOption{*listOptionFormat(option), *file};
            ++given;
        }
    }
    if (options.has("--chapters")) {
        source.chapters = true;
        ++given;
    }
    if (anySilenceOption(options, !thresholdAlone) && !source.nearSilenceSeconds) {
        source.silences = source.silenceSettings;
        ++given;
    }
    if (given == 0 && optional) {
        return source;
    }
    if (given == 0) {
        problem = std::string("give the break points: ") + kSourceOptions;
        return std::nullopt;
    }
    if (given > 1) {
        problem = "give break points from one source only: --at, --breakpoints, --cue, --labels, "
                  "--tracklist, --chapters, the silence finder's options or one automatic method";
        return std::nullopt;
    }
    return source;
}

Placed placeBreakPoints(const BreakPointSource& source, SplitDocument& doc, const ErrorLines& errors,
                        std::string& problem, SilenceReport* report, std::vector<std::string>* plainCuts) {
    const std::size_t errorsBefore = errors().size();
    // The step's own level-2 line says best what went wrong.
    const auto refused = [&](Placed how, const std::string& otherwise) {
        const std::vector<std::string> lines = errors();
        problem = lines.size() > errorsBefore ? lines.back() : otherwise;
        return how;
    };
    if (source.positions) {
        std::vector<std::string> outside;
        const std::vector<int> frames = positionFrames(*source.positions, documentTimeline(doc), outside);
        if (!outside.empty()) {
            problem = "--at " + joined(outside) + ": no break point of '" + pathText(doc.m_filePath) +
                      "', where frames 1 F to " + std::to_string(doc.frameCount() - 1) +
                      " F can start a block";
            return Placed::BadValue;
        }
        for (const int frame : frames) {
            doc.appendBreakPoint(frame);
        }
    } else if (source.method == AutoMethod::EveryLength && source.nearSilenceSeconds) {
        const FrameTimeline timeline = documentTimeline(doc);
        const NearSilenceCuts cuts = cutsNearSilence(doc.frameRmsDb(), timeline, source.methodValue,
                                                     *source.nearSilenceSeconds, source.silenceSettings);
        for (const int frame : cuts.breakPoints) {
            doc.appendBreakPoint(frame);
        }
        for (std::size_t i = 0; plainCuts && i < cuts.plainCuts.size(); ++i) {
            plainCuts->push_back("no silence within " + secondsText(*source.nearSilenceSeconds) + " s of " +
                                 clockText(std::llround(cuts.plainTargets[i] * 1000.0)) + ": cut at frame " +
                                 std::to_string(cuts.plainCuts[i]));
        }
    } else if (source.method) {
        doc.placeAutomaticBreakPoints(*source.method, source.methodValue, false);
        if (errors().size() != errorsBefore) {
            return refused(Placed::BadValue, "");
        }
    } else if (source.breakPointFile) {
        // The window program passes over a file it cannot open; asked for by name, it is an error.
        const std::filesystem::path path = *source.breakPointFile;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error) || !std::ifstream(path, std::ios::binary)) {
            problem = "cannot open break point file '" + pathText(path) + "'" +
                      (std::filesystem::exists(path, error) ? ": not a regular file" : "");
            return Placed::Failed;
        }
        doc.loadBreakPointFile(path);
        if (errors().size() != errorsBefore) {
            return refused(Placed::Failed, "");
        }
    } else if (source.list) {
        if (!importBreakPoints(doc, source.list->path, source.list->format, false)) {
            return refused(Placed::Failed, "the break point list could not be read");
        }
    } else if (source.silences) {
        const SilenceResult result = doc.placeSilenceBreakPoints(*source.silences, false);
        if (report) {
            *report = result.report;
        }
        if (result.report.kept == 0) {
            return refused(Placed::NoSilence, "No silence found with these settings");
        }
    } else if (source.chapters) {
        if (!importFileChapters(doc, false)) {
            return refused(Placed::Failed, "the file has no chapters");
        }
    }
    return Placed::Done;
}

const char* silenceCutName(SilenceCut cut) {
    switch (cut) {
    case SilenceCut::Start:
        return "start";
    case SilenceCut::End:
        return "end";
    case SilenceCut::Middle:
        break;
    }
    return "middle";
}
