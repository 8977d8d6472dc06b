#pragma once

#include "cli/ListOptions.h"
#include "document/DocumentTypes.h"

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
    int given = 0; // how many sources the options named

    // Takes the option at args[i] (and its value) when it names a source; false otherwise.
    // `problem` is set when the option is one but its value is missing or wrong.
    bool take(const std::vector<std::string>& args, std::size_t& i, std::string& problem);
    // Puts the break points into the loaded document; false with `problem` set when it could not.
    bool apply(SplitDocument& doc, const MessageQueueLink& log, std::string& problem) const;
};

// The options of BreakPointSource, for usage texts.
constexpr const char* kSourceOptions =
    "--silence N | --count N | --length SECONDS | --breakpoints FILE.bps | "
    "--cue FILE | --labels FILE | --tracklist FILE | --chapters";
