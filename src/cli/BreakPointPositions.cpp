#include "cli/BreakPointPositions.h"

#include "cli/NumberText.h"

#include <algorithm>
#include <cctype>

namespace {

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// "62.5": digits with an optional fraction, no sign or exponent.
std::optional<double> plainSeconds(const std::string& text) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    if (!allDigits(whole) || (dot != std::string::npos && !allDigits(text.substr(dot + 1)))) {
        return std::nullopt;
    }
    return parseNumber(text);
}

// "m:ss[.fff]" or "h:mm:ss[.fff]": minutes and seconds below 60 after the first field.
std::optional<double> clockSeconds(const std::string& text) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    if (fields.size() < 2 || fields.size() > 3) {
        return std::nullopt;
    }
    double seconds = 0.0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        const std::optional<double> value =
            last ? plainSeconds(fields[i]) : (allDigits(fields[i]) ? parseNumber(fields[i]) : std::nullopt);
        // Only the leading field may reach 60: "1:75" is a slip, not 2:15.
        if (!value || (i > 0 && *value >= 60.0)) {
            return std::nullopt;
        }
        seconds = seconds * 60.0 + *value;
    }
    return seconds;
}

} // namespace

std::optional<BreakPointPosition> parsePosition(const std::string& typed) {
    BreakPointPosition position{typed, std::nullopt, 0.0};
    if (typed.empty()) {
        return std::nullopt;
    }
    const char unit = typed.back();
    if (unit == 'f' || unit == 'F') {
        position.frame = parseInt(typed.substr(0, typed.size() - 1));
        return position.frame ? std::optional(position) : std::nullopt;
    }
    if (unit == 's') {
        const std::optional<double> seconds = plainSeconds(typed.substr(0, typed.size() - 1));
        if (!seconds) {
            return std::nullopt;
        }
        position.seconds = *seconds;
        return position;
    }
    if (typed.find(':') != std::string::npos) {
        const std::optional<double> seconds = clockSeconds(typed);
        if (!seconds) {
            return std::nullopt;
        }
        position.seconds = *seconds;
        return position;
    }
    // A bare integer is a frame number, as it always was.
    position.frame = parseInt(typed);
    return position.frame ? std::optional(position) : std::nullopt;
}

std::optional<std::vector<BreakPointPosition>> parsePositions(const std::string& list) {
    std::vector<BreakPointPosition> positions;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const std::optional<BreakPointPosition> position = parsePosition(list.substr(start, comma - start));
        if (!position) {
            return std::nullopt;
        }
        positions.push_back(*position);
        if (comma == std::string::npos) {
            return positions;
        }
        start = comma + 1;
    }
}

std::vector<int> positionFrames(const std::vector<BreakPointPosition>& positions,
                                const FrameTimeline& timeline, std::vector<std::string>& outside) {
    std::vector<int> frames;
    for (const BreakPointPosition& position : positions) {
        const int frame = position.frame ? *position.frame : timeline.nearestFrame(position.seconds);
        if (frame < 1 || frame >= timeline.frameCount) {
            outside.push_back(position.typed);
        } else {
            frames.push_back(frame);
        }
    }
    return frames;
}
