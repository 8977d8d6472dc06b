#pragma once

#include "cli/Commands.h"
#include "cli/ListOptions.h"
#include "document/DocumentTypes.h"
#include "document/SilenceFinder.h"

#include <cstddef>
#include <optional>
#include <string>

class SplitDocument;
class MessageQueueLink;

// Where the break points of a command come from: an automatic method, a break point file, a list
// of another program, or the source's own chapters. One per command.
struct BreakPointSource {
    std::optional<AutoMethod> method;
    int methodValue = 0;
    std::optional<std::string> breakPointFile;
    std::optional<ListOption> list;
    bool chapters = false;
    // Set by any of the silence finder's options; the others keep their defaults.
    std::optional<SilenceSettings> silences;
    int given = 0; // how many sources the options named (the silence finder's options count once)

    // Takes the option at args[i] (and its value) when it names a source; false otherwise.
    // `problem` is set when the option is one but its value is missing or wrong.
    bool take(const std::vector<std::string>& args, std::size_t& i, std::string& problem);
    // Puts the break points into the loaded document; false with `problem` set when it could not.
    // The silence finder's report is kept in `report`.
    bool apply(SplitDocument& doc, const MessageQueueLink& log, std::string& problem,
               SilenceReport* report = nullptr) const;
};

// Takes the silence finder's option at args[i] (and its value) into `settings`; false when args[i]
// is not one. `problem` is set when its value is missing or wrong.
bool takeSilenceOption(const std::vector<std::string>& args, std::size_t& i, SilenceSettings& settings,
                       std::string& problem);
// Whether args[i] is one of the silence finder's options.
bool isSilenceOption(const std::string& arg);
const char* silenceCutName(SilenceCut cut);

// The options of BreakPointSource, for usage texts.
constexpr const char* kSourceOptions =
    "--silence N | SILENCE FINDER OPTIONS | --count N | --length SECONDS | --breakpoints FILE.bps | "
    "--cue FILE | --labels FILE | --tracklist FILE | --chapters";

// The silence finder's options, for usage texts.
constexpr const char* kSilenceOptions =
    "[--silence-db DB] [--min-silence SECONDS] [--cut start|middle|end] [--min-piece SECONDS] "
    "[--tracks N]";
