#pragma once

#include "document/BreakPointLists.h"

#include <filesystem>
#include <optional>
#include <string>

// A list of another program given on the command line: --cue, --labels or --tracklist FILE.
struct ListOption {
    ListFormat format = ListFormat::CueSheet;
    std::filesystem::path path;
};

// The format an option names (--cue, --labels, --tracklist), or nothing.
std::optional<ListFormat> listOptionFormat(const std::string& option);

// The format --export names (cue, labels, tracklist, bps), or nothing.
std::optional<ListFormat> exportFormat(const std::string& name);
