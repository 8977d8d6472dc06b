#include "document/formats/Tracklist.h"

#include "document/formats/TextDecoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<long long> digitsValue(std::string_view text, std::size_t minimum, std::size_t maximum) {
    if (text.size() < minimum || text.size() > maximum) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// The dashes that part an artist from a title.
constexpr std::array<std::string_view, 3> kSeparators = {" - ", " \xE2\x80\x93 ", " \xE2\x80\x94 "};

// What may stand between the time and the title: spaces and one dash, bar or colon.
std::string_view stripJoiners(std::string_view text, bool front) {
    text = trimmed(text);
    for (const std::string_view joiner :
         {std::string_view("-"), std::string_view("|"), std::string_view(":"),
          std::string_view("\xE2\x80\x93"), std::string_view("\xE2\x80\x94")}) {
        if (front && text.starts_with(joiner) &&
            (text.size() == joiner.size() || text[joiner.size()] == ' ' || text[joiner.size()] == '\t')) {
            return trimmed(text.substr(joiner.size()));
        }
        if (!front && text.ends_with(joiner) &&
            (text.size() == joiner.size() || text[text.size() - joiner.size() - 1] == ' ' ||
             text[text.size() - joiner.size() - 1] == '\t')) {
            return trimmed(text.substr(0, text.size() - joiner.size()));
        }
    }
    return text;
}

// A time token, optionally in [] or ().
std::optional<double> bracketedTime(std::string_view token) {
    if (token.size() >= 2 &&
        ((token.front() == '[' && token.back() == ']') || (token.front() == '(' && token.back() == ')'))) {
        token = token.substr(1, token.size() - 2);
    }
    return parseTrackTime(token);
}

// "3." or "12)" before the time.
std::string_view withoutTrackNumber(std::string_view line) {
    std::size_t at = 0;
    while (at < line.size() && isDigit(line[at])) {
        ++at;
    }
    if (at == 0 || at + 1 >= line.size() || (line[at] != '.' && line[at] != ')') ||
        (line[at + 1] != ' ' && line[at + 1] != '\t')) {
        return line;
    }
    return trimmed(line.substr(at + 1));
}

void setNames(TimedEntry& entry, std::string_view text) {
    for (const std::string_view separator : kSeparators) {
        const std::size_t at = text.find(separator);
        if (at != std::string_view::npos) {
            entry.performer = std::string(trimmed(text.substr(0, at)));
            entry.title = std::string(trimmed(text.substr(at + separator.size())));
            return;
        }
    }
    entry.title = std::string(text);
}

} // namespace

std::optional<double> parseTrackTime(std::string_view text) {
    std::string_view fraction;
    if (const std::size_t point = text.find('.'); point != std::string_view::npos) {
        fraction = text.substr(point + 1);
        text = text.substr(0, point);
        if (fraction.empty()) {
            return std::nullopt;
        }
    }
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t second = text.find(':', first + 1);
    std::optional<long long> hours = 0;
    std::optional<long long> minutes;
    std::optional<long long> seconds;
    if (second == std::string_view::npos) {
        minutes = digitsValue(text.substr(0, first), 1, 5);
        seconds = digitsValue(text.substr(first + 1), 2, 2);
    } else {
        // As many hour digits as the writer may write for the latest time a list may give.
        hours = digitsValue(text.substr(0, first), 1, 6);
        minutes = digitsValue(text.substr(first + 1, second - first - 1), 2, 2);
        seconds = digitsValue(text.substr(second + 1), 2, 2);
        if (minutes && *minutes >= 60) {
            return std::nullopt;
        }
    }
    const auto thousandths = fraction.empty() ? std::optional<long long>(0) : digitsValue(fraction, 1, 3);
    if (!hours || !minutes || !seconds || !thousandths || *seconds >= 60) {
        return std::nullopt;
    }
    const double part =
        fraction.empty() ? 0.0 : *thousandths / std::pow(10.0, static_cast<double>(fraction.size()));
    const double total = static_cast<double>((*hours * 60 + *minutes) * 60 + *seconds) + part;
    if (total > kMaxListSeconds) {
        return std::nullopt;
    }
    return total;
}

std::string trackTime(double seconds) {
    const auto millis = static_cast<long long>(std::llround(writableSeconds(seconds) * 1000.0));
    const long long totalSeconds = millis / 1000;
    char text[48];
    if (totalSeconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", totalSeconds / 3600,
                      totalSeconds / 60 % 60, totalSeconds % 60, millis % 1000);
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", totalSeconds / 60, totalSeconds % 60,
                      millis % 1000);
    }
    return text;
}

Parsed<TimedList> parseTracklist(std::string_view bytes) {
    return collectEntries([bytes](const EntrySink& sink) { return parseTracklist(bytes, sink); });
}

Parsed<TimedList> parseTracklist(std::string_view bytes, const EntrySink& sink) {
    const std::string text = decodeText(bytes);
    TimedList list;
    int lineNumber = 0;
    for (const std::string_view rawLine : splitLines(text)) {
        ++lineNumber;
        const std::string_view line = withoutTrackNumber(trimmed(rawLine));
        if (line.empty()) {
            continue;
        }
        TimedEntry entry;
        entry.line = lineNumber;
        const std::size_t firstSpace = line.find_first_of(" \t");
        const std::size_t lastSpace = line.find_last_of(" \t");
        if (const auto start = bracketedTime(line.substr(0, firstSpace))) {
            entry.seconds = *start;
            setNames(entry, firstSpace == std::string_view::npos
                                ? std::string_view()
                                : stripJoiners(line.substr(firstSpace), true));
        } else if (const auto end = lastSpace == std::string_view::npos
                                        ? std::nullopt
                                        : bracketedTime(line.substr(lastSpace + 1))) {
            entry.seconds = *end;
            setNames(entry, stripJoiners(line.substr(0, lastSpace), false));
        } else {
            return FormatError{lineNumber, "no time ([h:]mm:ss[.fff], up to 100000 hours) at the start or "
                                           "the end of the line"};
        }
        sink(std::move(entry));
    }
    return list;
}

std::string writeTracklist(const TimedList& list) {
    std::string out;
    for (const TimedEntry& entry : list.entries) {
        out += trackTime(entry.seconds);
        const std::string names =
            entry.performer.empty() ? entry.title : entry.performer + " - " + entry.title;
        if (!names.empty()) {
            out += ' ' + singleLine(names);
        }
        out += '\n';
    }
    return out;
}
