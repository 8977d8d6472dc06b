#include "cli/ListOptions.h"

std::optional<ListFormat> listOptionFormat(const std::string& option) {
    if (option == "--cue") {
        return ListFormat::CueSheet;
    }
    if (option == "--labels") {
        return ListFormat::LabelFile;
    }
    if (option == "--tracklist") {
        return ListFormat::Tracklist;
    }
    return std::nullopt;
}

std::optional<ListFormat> exportFormat(const std::string& name) {
    if (name == "cue") {
        return ListFormat::CueSheet;
    }
    if (name == "labels") {
        return ListFormat::LabelFile;
    }
    if (name == "tracklist") {
        return ListFormat::Tracklist;
    }
    if (name == "bps") {
        return ListFormat::BreakPointFile;
    }
    return std::nullopt;
}
