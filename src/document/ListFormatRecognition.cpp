#include "document/BreakPointLists.h"

#include <cctype>
#include <string_view>

namespace {

std::string_view trimmed(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
        line.remove_prefix(1);
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.remove_suffix(1);
    }
    return line;
}

bool startsWithWord(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(line[i])) != word[i]) {
            return false;
        }
    }
    return line.size() == word.size() || std::isspace(static_cast<unsigned char>(line[word.size()]));
}

// "12.5" or "12": seconds as a label file writes them.
std::size_t secondsLength(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    if (at == 0) {
        return 0;
    }
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
    }
    return at;
}

// "start<TAB>end" at the start of the line.
bool isLabelLine(std::string_view line) {
    const std::size_t start = secondsLength(line);
    if (start == 0 || start >= line.size() || line[start] != '\t') {
        return false;
    }
    return secondsLength(line.substr(start + 1)) > 0;
}

// A time with a colon between digits anywhere in the line ("3:15", "[01:02:03]").
bool hasColonTime(std::string_view line) {
    for (std::size_t i = 1; i + 2 < line.size(); ++i) {
        if (line[i] == ':' && std::isdigit(static_cast<unsigned char>(line[i - 1])) &&
            std::isdigit(static_cast<unsigned char>(line[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(line[i + 2]))) {
            return true;
        }
    }
    return false;
}

} // namespace

ListFormat recogniseListFormat(std::string_view bytes, ListFormat chosen) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    // The first lines that hold something decide; a list's header says what it is early.
    constexpr int kLinesLooked = 64;
    int looked = 0;
    int labels = 0;
    int times = 0;
    bool cueTrack = false;
    bool cueIndex = false;
    while (!bytes.empty() && looked < kLinesLooked) {
        const std::size_t end = bytes.find('\n');
        const std::string_view line = trimmed(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.empty() || line.front() == '\\') {
            continue;
        }
        ++looked;
        cueTrack = cueTrack || startsWithWord(line, "TRACK");
        cueIndex = cueIndex || startsWithWord(line, "INDEX");
        if (isLabelLine(line)) {
            ++labels;
        } else if (hasColonTime(line)) {
            ++times;
        }
    }
    if (cueTrack && cueIndex) {
        return ListFormat::CueSheet;
    }
    if (labels > 0 && labels >= times) {
        return ListFormat::LabelFile;
    }
    if (times > 0) {
        return ListFormat::Tracklist;
    }
    return chosen;
}
