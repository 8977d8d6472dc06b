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

// A quoted value runs to the last quote of the line, so quotes inside a title survive; \" stands for
// a quote as the writer escapes it. An unquoted value is the rest of the line.
std::optional<std::string> quotedValue(std::string_view rest) {
    rest = trimmed(rest);
    if (rest.empty() || rest.front() != '"') {
        return std::string(rest);
    }
    const std::size_t close = rest.rfind('"');
    if (close == 0) {
        return std::nullopt;
    }
    const std::string_view inner = rest.substr(1, close - 1);
    std::string value;
    value.reserve(inner.size());
    for (std::size_t at = 0; at < inner.size(); ++at) {
        if (inner[at] == '\\' && at + 1 < inner.size() && inner[at + 1] == '"') {
            ++at;
        }
        value += inner[at];
    }
    return value;
}

// A value in quotes that every reader takes whole: inner quotes escaped, on one line.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : singleLine(text)) {
        if (c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
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
    const double total = *minutes * 60.0 + *seconds + static_cast<double>(*frames) / kCueFramesPerSecond;
    if (total > kMaxListSeconds) {
        return std::nullopt;
    }
    return total;
}

struct Track {
    int line = 0;
    std::optional<double> start;
    std::string title;
    std::string performer;
};

} // namespace

std::string cueTime(double seconds) {
    const auto frames = static_cast<long long>(std::llround(writableSeconds(seconds) * kCueFramesPerSecond));
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", frames / (60 * kCueFramesPerSecond),
                  frames / kCueFramesPerSecond % 60, frames % kCueFramesPerSecond);
    return text;
}

Parsed<TimedList> parseCueSheet(std::string_view bytes, const EntrySink& sink) {
    const std::string text = decodeText(bytes);
    TimedList list;
    // Only the track being read is kept; a finished one goes to the sink.
    std::optional<Track> track;
    bool anyTrack = false;
    const auto finishTrack = [&]() -> std::optional<FormatError> {
        if (!track) {
            return std::nullopt;
        }
        if (!track->start) {
            return FormatError{track->line, "TRACK without INDEX 01"};
        }
        // A track without its own performer is the disc's.
        sink(TimedEntry{*track->start, std::move(track->title),
                        track->performer.empty() ? list.artist : std::move(track->performer), track->line});
        track.reset();
        return std::nullopt;
    };
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
            if (auto error = finishTrack()) {
                return *error;
            }
            track = Track{lineNumber, std::nullopt, {}, {}};
            anyTrack = true;
        } else if (command == "INDEX") {
            const auto index = number(takeWord(rest));
            const auto start = parseCueTime(trimmed(rest));
            if (!index || !start) {
                return fail("INDEX needs a number and a time in mm:ss:ff up to 100000 hours");
            }
            if (!track) {
                return fail("INDEX before the first TRACK");
            }
            // INDEX 00 starts the pregap; the track itself starts at INDEX 01.
            if (*index == 1) {
                track->start = *start;
            }
        } else if (command == "TITLE" || command == "PERFORMER") {
            const auto value = quotedValue(rest);
            if (!value) {
                return fail(command + " has an opening quote without a closing one");
            }
            const bool title = command == "TITLE";
            if (!anyTrack) {
                (title ? list.album : list.artist) = *value;
            } else {
                (title ? track->title : track->performer) = *value;
            }
        } else if (std::find(kIgnoredCommands.begin(), kIgnoredCommands.end(), command) ==
                   kIgnoredCommands.end()) {
            // The line may be binary: quote only what can be read of it.
            const std::string shown = printableExcerpt(line, 40);
            return fail(shown.empty() ? "unknown command" : "unknown command '" + shown + "'");
        }
    }
    if (!anyTrack) {
        return FormatError{0, "the sheet holds no TRACK"};
    }
    if (auto error = finishTrack()) {
        return *error;
    }
    return list;
}

Parsed<TimedList> parseCueSheet(std::string_view bytes) {
    return collectEntries([bytes](const EntrySink& sink) { return parseCueSheet(bytes, sink); });
}

std::string writeCueSheet(const TimedList& list, const std::string& audioFileName) {
    std::string out;
    if (!list.artist.empty()) {
        out += "PERFORMER " + quoted(list.artist) + "\n";
    }
    if (!list.album.empty()) {
        out += "TITLE " + quoted(list.album) + "\n";
    }
    out += "FILE " + quoted(audioFileName) + " MP3\n";
    int number = 0;
    for (const TimedEntry& entry : list.entries) {
        // Past 99 the number simply gets a third digit, as sheets of long recordings do.
        char head[32];
        std::snprintf(head, sizeof head, "  TRACK %02d AUDIO\n", ++number);
        out += head;
        if (!entry.title.empty()) {
            out += "    TITLE " + quoted(entry.title) + "\n";
        }
        // A track without a PERFORMER is the disc's, so the disc's name need not be repeated.
        if (!entry.performer.empty() && entry.performer != list.artist) {
            out += "    PERFORMER " + quoted(entry.performer) + "\n";
        }
        out += "    INDEX 01 " + cueTime(entry.seconds) + "\n";
    }
    return out;
}
