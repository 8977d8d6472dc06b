#include "output/PieceNameTemplate.h"

#include "engine/PlatformFile.h"

#include <algorithm>
#include <vector>

namespace {

// Stands where a field came out empty until the separators around it are settled; tag texts and
// templates never hold it (control characters are replaced or refused).
constexpr char kEmptyField = '\x01';

// Separators are '/' and '\\' on every platform: a template or a name written on Linux may be used on
// Windows, and a saved template may come from there.
bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// What may stand between two fields and means nothing once one of them is empty.
bool isFiller(char c) {
    return c == ' ' || c == '-' || c == '_' || c == '.' || c == ',' || c == ';';
}

std::string padded(int value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

// Characters no Windows file system takes in a name. Pieces move between systems, so they are kept
// out of names on every platform.
bool isRefusedOnWindows(char c) {
    return c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
}

// A tag text as one path component's worth of characters: no separator, no ':' (which names a drive
// or a stream on Windows), no control character, nothing Windows refuses.
std::string componentText(const std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        safe +=
            (isSeparator(c) || c == ':' || byte < 0x20 || byte == 0x7F || isRefusedOnWindows(c)) ? '_' : c;
    }
    return safe.empty() ? std::string(1, kEmptyField) : safe;
}

// Windows reserves these names for devices, whatever follows a dot and in any case.
bool isDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$") {
        return true;
    }
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
           base[3] <= '9';
}

// A name Windows takes as it is: it drops trailing dots and spaces itself (so "Live." and "Live"
// would be one file there) and opens a device for a reserved name.
std::string windowsSafeComponent(std::string component) {
    component.erase(component.find_last_not_of(". ") + 1);
    if (component.empty()) {
        return component;
    }
    if (isDeviceName(component)) {
        component.insert(std::min(component.find('.'), component.size()), "_");
    }
    return component;
}

// Drops each empty field with the filler on one side of it, so "{n1:02} {title}" without a title
// gives "01", not "01 ", and "{n1:02} - {artist} - {title}" without an artist "01 - Title".
std::string withoutEmptyFields(std::string text) {
    for (std::size_t at; (at = text.find(kEmptyField)) != std::string::npos;) {
        std::size_t left = at;
        while (left > 0 && isFiller(text[left - 1])) {
            --left;
        }
        std::size_t right = at + 1;
        while (right < text.size() && isFiller(text[right])) {
            ++right;
        }
        if (left == 0 || right == text.size() || (left < at && right > at + 1)) {
            // At an end, the filler towards the rest goes; between two fillers, one of them.
            if (right == text.size() && left > 0) {
                text.erase(left, right - left);
            } else {
                text.erase(at, right - at);
            }
        } else {
            text.erase(at, 1);
        }
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> splitComponents(const std::string& text) {
    std::vector<std::string> components;
    std::string current;
    for (const char c : text) {
        if (isSeparator(c)) {
            components.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    components.push_back(std::move(current));
    return components;
}

} // namespace

ExpandedName expandPieceName(const std::string& pattern, const PieceNameFields& fields) {
    ExpandedName result;
    if (pattern.empty() || isSeparator(pattern.front()) || isSeparator(pattern.back())) {
        result.problem = pattern.empty() ? "it is empty" : "it must name a file below the output folder";
        return result;
    }
    std::string expanded;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const auto byte = static_cast<unsigned char>(pattern[i]);
        if (pattern[i] == ':') {
            result.problem = "a ':' outside a field would name a drive or a stream on Windows";
            return result;
        }
        if (byte < 0x20 || byte == 0x7F) {
            result.problem = "it holds a control character";
            return result;
        }
        if (pattern[i] != '{') {
            expanded += isRefusedOnWindows(pattern[i]) ? '_' : pattern[i];
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
    std::vector<std::string> literals = splitComponents(pattern);
    if (std::find(literals.begin(), literals.end(), "..") != literals.end()) {
        result.problem = "it climbs out of the output folder";
        return result;
    }
    for (std::string& component : splitComponents(expanded)) {
        component = windowsSafeComponent(withoutEmptyFields(std::move(component)));
        if (component.empty()) {
            component = "_";
        }
        result.relative /= platform::pathFromUtf8(component);
    }
    return result;
}

std::vector<std::string> templateFieldsByComponent(const std::string& pattern) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (isSeparator(pattern[i])) {
            fields.emplace_back();
        } else if (pattern[i] == '{') {
            const std::size_t close = std::min(pattern.find('}', i), pattern.size());
            fields.back() += pattern.substr(i, close + 1 - i);
            i = close;
        }
    }
    return fields;
}
