#include "document/formats/CueSheet.h"

#include "document/formats/TextDecoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int kCueFramesPerSecond = 75;

// Commands a sheet may hold that give no cut point and no name.
constexpr std::array<std::string_view, 15> kIgnoredCommands = {
    "CATALOG",  "CDTEXTFILE", "FLAGS",   "ISRC",  "POSTGAP",   "PREGAP",    "SONGWRITER", "COMPOSER",
    "ARRANGER", "MESSAGE",    "DISC_ID", "GENRE", "TOC_INFO1", "TOC_INFO2", "UPC_EAN"};

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Splits off the first word of `rest`.
std::string_view takeWord(std::string_view& rest) {
    rest = trimmed(rest);
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : trimmed(rest.substr(end));
    return word;
}

// A quoted value runs to the last quote of the line, so quotes inside a title survive; an unquoted
// value is the rest of the line.
std::optional<std::string> quotedValue(std::string_view rest) {
    rest = trimmed(rest);
    if (rest.empty() || rest.front() != '"') {
        return std::string(rest);
    }
    const std::size_t close = rest.rfind('"');
    if (close == 0) {
        return std::nullopt;
    }
    return std::string(rest.substr(1, close - 1));
}

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// mm:ss:ff with any number of minutes.
std::optional<double> parseCueTime(std::string_view text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto minutes = number(text.substr(0, first));
    const auto seconds = number(text.substr(first + 1, second - first - 1));
    const auto frames = number(text.substr(second + 1));
    if (!minutes || !seconds || !frames || *seconds >= 60 || *frames >= kCueFramesPerSecond ||
        second - first - 1 != 2 || text.size() - second - 1 != 2) {
        return std::nullopt;
    }
    return *minutes * 60.0 + *seconds + static_cast<double>(*frames) / kCueFramesPerSecond;
}

struct Track {
    int line = 0;
    std::optional<double> start;
    std::string title;
    std::string performer;
};

} // namespace

std::string cueTime(double seconds) {
    const auto frames = static_cast<long long>(std::llround(std::max(seconds, 0.0) * kCueFramesPerSecond));
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", frames / (60 * kCueFramesPerSecond),
                  frames / kCueFramesPerSecond % 60, frames % kCueFramesPerSecond);
    return text;
}

Parsed<TimedList> parseCueSheet(std::string_view bytes) {
    const std::string text = decodeText(bytes);
    TimedList list;
    std::vector<Track> tracks;
    bool haveFile = false;
    int lineNumber = 0;
    for (const std::string_view line : splitLines(text)) {
        ++lineNumber;
        std::string_view rest = line;
        const std::string command = upper(takeWord(rest));
        const auto fail = [&](const std::string& why) { return FormatError{lineNumber, why}; };
        if (command.empty() || command == "REM") {
            continue;
        }
        if (command == "FILE") {
            // Times count from the start of their FILE, so a sheet of several files has no single timeline.
            if (haveFile) {
                return fail("the sheet names more than one audio file");
            }
            haveFile = true;
        } else if (command == "TRACK") {
            const auto trackNumber = number(takeWord(rest));
            if (!trackNumber || takeWord(rest).empty()) {
                return fail("TRACK needs a number and a type");
            }
            tracks.push_back(Track{lineNumber, std::nullopt, {}, {}});
        } else if (command == "INDEX") {
            const auto index = number(takeWord(rest));
            const auto start = parseCueTime(trimmed(rest));
            if (!index || !start) {
                return fail("INDEX needs a number and a time in mm:ss:ff");
            }
            if (tracks.empty()) {
                return fail("INDEX before the first TRACK");
            }
            if (*index == 1) {
                tracks.back().start = *start;
            }
        } else if (command == "TITLE" || command == "PERFORMER") {
            const auto value = quotedValue(rest);
            if (!value) {
                return fail(command + " has an opening quote without a closing one");
            }
            const bool title = command == "TITLE";
            if (tracks.empty()) {
                (title ? list.album : list.artist) = *value;
            } else {
                (title ? tracks.back().title : tracks.back().performer) = *value;
            }
        } else if (std::find(kIgnoredCommands.begin(), kIgnoredCommands.end(), command) ==
                   kIgnoredCommands.end()) {
            return fail("unknown command '" + std::string(line.substr(0, 40)) + "'");
        }
    }
    if (tracks.empty()) {
        return FormatError{0, "the sheet holds no TRACK"};
    }
    for (const Track& track : tracks) {
        if (!track.start) {
            return FormatError{track.line, "TRACK without INDEX 01"};
        }
        // A track without its own performer is the disc's.
        list.entries.push_back(TimedEntry{
            *track.start, track.title, track.performer.empty() ? list.artist : track.performer, track.line});
    }
    return list;
}

std::string writeCueSheet(const TimedList& list, const std::string& audioFileName) {
    std::string out;
    if (!list.artist.empty()) {
        out += "PERFORMER \"" + singleLine(list.artist) + "\"\n";
    }
    if (!list.album.empty()) {
        out += "TITLE \"" + singleLine(list.album) + "\"\n";
    }
    out += "FILE \"" + singleLine(audioFileName) + "\" MP3\n";
    int number = 0;
    for (const TimedEntry& entry : list.entries) {
        char head[32];
        std::snprintf(head, sizeof head, "  TRACK %02d AUDIO\n", ++number);
        out += head;
        if (!entry.title.empty()) {
            out += "    TITLE \"" + singleLine(entry.title) + "\"\n";
        }
        if (!entry.performer.empty()) {
            out += "    PERFORMER \"" + singleLine(entry.performer) + "\"\n";
        }
        out += "    INDEX 01 " + cueTime(entry.seconds) + "\n";
    }
    return out;
}
