#include "document/formats/LabelFile.h"

#include "document/formats/TextDecoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

// Seconds as "12.345678"; a decimal comma (some locales) is read too. No sign, no exponent.
std::optional<double> parseSeconds(std::string_view text) {
    text = trimmed(text);
    double whole = 0.0;
    double fraction = 0.0;
    double scale = 1.0;
    bool digits = false;
    bool point = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10.0;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10.0 + (c - '0');
            }
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits || !(whole + fraction <= kMaxListSeconds)) {
        return std::nullopt;
    }
    return whole + fraction;
}

std::string secondsText(double seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%.6f", writableSeconds(seconds));
    return text;
}

} // namespace

Parsed<TimedList> parseLabelFile(std::string_view bytes) {
    return collectEntries([bytes](const EntrySink& sink) { return parseLabelFile(bytes, sink); });
}

Parsed<TimedList> parseLabelFile(std::string_view bytes, const EntrySink& sink) {
    const std::string text = decodeText(bytes);
    TimedList list;
    int lineNumber = 0;
    for (const std::string_view line : splitLines(text)) {
        ++lineNumber;
        if (trimmed(line).empty() || line.front() == '\\') {
            continue;
        }
        const std::size_t firstTab = line.find('\t');
        const std::size_t secondTab =
            firstTab == std::string_view::npos ? firstTab : line.find('\t', firstTab + 1);
        const auto start = parseSeconds(line.substr(0, firstTab));
        const std::optional<double> end =
            firstTab == std::string_view::npos
                ? start
                : parseSeconds(line.substr(firstTab + 1, secondTab == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : secondTab - firstTab - 1));
        if (!start || !end) {
            return FormatError{lineNumber, "a label line is start<TAB>end<TAB>name with times in seconds "
                                           "up to 100000 hours"};
        }
        const std::string_view name =
            secondTab == std::string_view::npos ? std::string_view() : line.substr(secondTab + 1);
        sink(TimedEntry{*start, std::string(name), {}, lineNumber});
    }
    return list;
}

std::string writeLabelFile(const TimedList& list, double endSeconds) {
    std::string out;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const TimedEntry& entry = list.entries[i];
        const double end = i + 1 < list.entries.size() ? list.entries[i + 1].seconds : endSeconds;
        out += secondsText(entry.seconds) + '\t' + secondsText(end) + '\t' + singleLine(entry.title) + '\n';
    }
    return out;
}
