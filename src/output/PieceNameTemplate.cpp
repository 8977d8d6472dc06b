#include "output/PieceNameTemplate.h"

#include <algorithm>
#include <vector>

namespace {

std::string padded(int value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

// A tag text as one path component's worth of characters.
std::string componentText(const std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        safe += (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    return safe;
}

} // namespace

ExpandedName expandPieceName(const std::string& pattern, const PieceNameFields& fields) {
    ExpandedName result;
    if (pattern.empty() || pattern.front() == '/' || pattern.back() == '/') {
        result.problem = pattern.empty() ? "it is empty" : "it must name a file below the output folder";
        return result;
    }
    std::string expanded;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            expanded += pattern[i];
            continue;
        }
        const std::size_t close = pattern.find('}', i);
        if (close == std::string::npos) {
            result.problem = "a '{' is not closed";
            return result;
        }
        std::string field = pattern.substr(i + 1, close - i - 1);
        std::size_t width = 0;
        if (const std::size_t colon = field.find(':'); colon != std::string::npos) {
            const std::string padding = field.substr(colon + 1);
            field.resize(colon);
            if (padding.size() < 2 || padding.size() > 3 || padding[0] != '0' ||
                padding.find_first_not_of("0123456789") != std::string::npos) {
                result.problem = "the padding of {" + field + "} is not like :02";
                return result;
            }
            width = static_cast<std::size_t>(std::stoi(padding.substr(1)));
            if (field != "n" && field != "n1" && field != "N") {
                result.problem = "only numbers take a padding";
                return result;
            }
        }
        if (field == "name") {
            expanded += componentText(fields.name);
        } else if (field == "n") {
            expanded += padded(fields.number, width);
        } else if (field == "n1") {
            expanded += padded(fields.number + 1, width);
        } else if (field == "N") {
            expanded += padded(fields.count, width);
        } else if (field == "title") {
            expanded += componentText(fields.title);
        } else if (field == "artist") {
            expanded += componentText(fields.artist);
        } else if (field == "album") {
            expanded += componentText(fields.album);
        } else {
            result.problem = "{" + field + "} is no field of a piece name";
            return result;
        }
        i = close;
    }
    // Climbing out is refused when the template itself does it; tag texts that read "." or ".."
    // become '_'. Empty components (from empty tag texts) become '_' too.
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= expanded.size()) {
        const std::size_t slash = std::min(expanded.find('/', start), expanded.size());
        components.push_back(expanded.substr(start, slash - start));
        start = slash + 1;
    }
    for (std::size_t at = 0; at <= pattern.size();) {
        const std::size_t slash = std::min(pattern.find('/', at), pattern.size());
        const std::string literal = pattern.substr(at, slash - at);
        if (literal == "..") {
            result.problem = "it climbs out of the output folder";
            return result;
        }
        at = slash + 1;
    }
    for (std::string& component : components) {
        if (component.empty() || component == "." || component == "..") {
            component = "_";
        }
        result.relative /= component;
    }
    return result;
}
