#pragma once

#include "cli/BreakPointPositions.h"
#include "cli/ListOptions.h"
#include "cli/OptionParser.h"
#include "document/DocumentTypes.h"
#include "document/SilenceFinder.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class SplitDocument;

// Where the break points of a command come from: positions given with --at, an automatic method, a
// break point file, a list of another program, the source's own chapters, or the silence finder. One
// per command, the same for every command that takes break points.
struct BreakPointSource {
    std::optional<std::vector<BreakPointPosition>> positions;
    std::optional<AutoMethod> method;
    int methodValue = 0;
    std::optional<std::string> breakPointFile;
    std::optional<ListOption> list;
    bool chapters = false;
    // Set by any of the silence finder's options; the others keep their defaults.
    std::optional<SilenceSettings> silences;
    // With --length: each cut moves to the longest silence within this many seconds of it.
    std::optional<double> nearSilenceSeconds;
    // The silence finder's options as given, for the near-silence cuts and trimming.
    SilenceSettings silenceSettings;

    // Whether the silence finder or --silence needs the frames' levels.
    bool needsLevels() const {
        return silences.has_value() || method == AutoMethod::Silence || nearSilenceSeconds.has_value();
    }
    // What placed the break points, as --json names it.
    const char* name() const;
};

// The source the checked options name; empty with `problem` set when they name none (unless `optional`)
// or more than one. With --near-silence the silence finder's options only set its settings; with
// `thresholdAlone`, --silence-db does (a threshold for trimming) and the others still name the finder.
std::optional<BreakPointSource> breakPointSource(const ParsedOptions& options, std::string& problem,
                                                 bool optional = false, bool thresholdAlone = false);

// The level-2 lines the command's log has printed so far.
using ErrorLines = std::function<std::vector<std::string>()>;

// How putting the break points into the document went.
enum class Placed {
    Done,
    NoSilence, // the silence finder found none; the document has said so
    BadValue,  // a value the file refuses (say more blocks than frames, or --at past the end)
    Failed,    // a file could not be read
};

// Puts the source's break points into the loaded document. Anything but Done leaves `problem` saying
// why, as it has been printed or is to be printed. The silence finder's report is kept in `report`.
// With --near-silence, the cuts made without a silence are told in `plainCuts`, one line each.
Placed placeBreakPoints(const BreakPointSource& source, SplitDocument& doc, const ErrorLines& errors,
                        std::string& problem, SilenceReport* report = nullptr,
                        std::vector<std::string>* plainCuts = nullptr);

const char* silenceCutName(SilenceCut cut);

// The options of BreakPointSource, for usage texts.
constexpr const char* kSourceOptions =
    "--at POSITIONS | --silence N | SILENCE FINDER OPTIONS | --count N | --length SECONDS | "
    "--breakpoints FILE.bps | --cue FILE | --labels FILE | --tracklist FILE | --chapters";

// The silence finder's options, for usage texts.
constexpr const char* kSilenceOptions =
    "[--silence-db DB] [--min-silence SECONDS] [--cut start|middle|end] [--min-piece SECONDS] "
    "[--tracks N]";
