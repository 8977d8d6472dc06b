#pragma once

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
