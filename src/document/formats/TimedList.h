#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One cut point of an outside list: where a block starts, in seconds of the decoded timeline, and
// what the block is called. `line` is where the entry came from (0 when it was not read from text).
struct TimedEntry {
    double seconds = 0.0;
    std::string title;
    std::string performer;
    int line = 0;
    bool operator==(const TimedEntry&) const = default;
};

// The cut points of a CUE sheet, label file or tracklist, in the order the text gives them, with
// the album and artist the whole list names (CUE sheets only). Texts are UTF-8.
struct TimedList {
    std::string album;
    std::string artist;
    std::vector<TimedEntry> entries;
    bool operator==(const TimedList&) const = default;
};

// The latest time a list may give: 100,000 hours, beyond any MP3 (2^31 frames of the longest kind
// last under 86,000 hours) and small enough that every writer's form of it reads back.
constexpr double kMaxListSeconds = 360'000'000.0;

// A time as the writers write it: within 0 .. kMaxListSeconds (0 for what is no number).
double writableSeconds(double seconds);

// Takes the entries of a list one by one as they are read, so that a reader of a huge list can
// count, fold or drop them instead of keeping them all.
using EntrySink = std::function<void(TimedEntry&&)>;

// Why a text could not be read; `line` is 1-based, 0 when the text as a whole is at fault.
struct FormatError {
    int line = 0;
    std::string message;
};

// A parsed value, or the error that stopped the parse. Nothing of a failed parse is kept.
template <class T> class Parsed {
public:
    Parsed(T value) : m_value(std::move(value)) {}
    Parsed(FormatError error) : m_error(std::move(error)) {}

    explicit operator bool() const { return m_value.has_value(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const FormatError& error() const { return m_error; }
    // "line 12: ..." or the bare message for errors of the whole text.
    std::string describe() const {
        return m_error.line > 0 ? "line " + std::to_string(m_error.line) + ": " + m_error.message
                                : m_error.message;
    }

private:
    std::optional<T> m_value;
    FormatError m_error;
};

// Runs `parse` (a parser taking an EntrySink) and keeps every entry in the list it returns.
template <class Parse> Parsed<TimedList> collectEntries(const Parse& parse) {
    std::vector<TimedEntry> entries;
    Parsed<TimedList> list = parse([&entries](TimedEntry&& entry) { entries.push_back(std::move(entry)); });
    if (list) {
        list.value().entries = std::move(entries);
    }
    return list;
}
