#include "document/formats/TextDecoding.h"

#include <array>
#include <cstdint>

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t at) {
        const auto first = static_cast<std::uint8_t>(bytes[at]);
        const auto second = static_cast<std::uint8_t>(bytes[at + 1]);
        return static_cast<std::uint32_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    };
    constexpr std::uint32_t kReplacement = 0xFFFD;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const std::uint32_t code = unit(at);
        if (code >= 0xD800 && code < 0xDC00 && at + 3 < bytes.size()) {
            const std::uint32_t low = unit(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        appendUtf8(out, code >= 0xD800 && code < 0xE000 ? kReplacement : code);
    }
    // A byte left over is half a character, not text.
    if (bytes.size() % 2 != 0) {
        appendUtf8(out, kReplacement);
    }
    return out;
}

// Windows-1252 at 0x80..0x9F; the five bytes the code page leaves undefined keep their C1 code, as
// Windows itself and web browsers read them.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string fromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char byte : bytes) {
        const auto code = static_cast<std::uint8_t>(byte);
        appendUtf8(out, code >= 0x80 && code < 0xA0 ? kWindows1252High[code - 0x80] : code);
    }
    return out;
}

std::string fromUtf32(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    constexpr std::uint32_t kReplacement = 0xFFFD;
    for (std::size_t at = 0; at + 3 < bytes.size(); at += 4) {
        std::uint32_t code = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes[at + (bigEndian ? i : 3 - i)]);
            code = code << 8 | byte;
        }
        appendUtf8(out, code > 0x10FFFF || (code >= 0xD800 && code < 0xE000) ? kReplacement : code);
    }
    if (bytes.size() % 4 != 0) {
        appendUtf8(out, kReplacement);
    }
    return out;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[at]);
        int follow = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            follow = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            follow = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            follow = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (at + static_cast<std::size_t>(follow) >= bytes.size()) {
            return false;
        }
        for (int i = 1; i <= follow; ++i) {
            const auto next = static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((follow == 2 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (follow == 3 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        at += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

std::string decodeText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        // A BOM promises UTF-8; bytes that break the promise still must not reach the tags raw.
        if (isValidUtf8(bytes)) {
            return std::string(bytes);
        }
    } else if (bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4))) {
        return fromUtf32(bytes.substr(4), false);
    } else if (bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return fromUtf32(bytes.substr(4), true);
    } else if (bytes.starts_with("\xFF\xFE")) {
        return fromUtf16(bytes.substr(2), false);
    } else if (bytes.starts_with("\xFE\xFF")) {
        return fromUtf16(bytes.substr(2), true);
    } else if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return fromWindows1252(bytes);
}

std::string printableExcerpt(std::string_view utf8, std::size_t maxCharacters) {
    std::string out;
    std::size_t characters = 0;
    std::size_t at = 0;
    while (at < utf8.size() && characters < maxCharacters) {
        const auto lead = static_cast<std::uint8_t>(utf8[at]);
        const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string_view character = utf8.substr(at, length);
        at += length;
        if (!isValidUtf8(character)) {
            continue;
        }
        std::uint32_t code = lead;
        if (length == 2) {
            code = (lead & 0x1Fu) << 6 | (static_cast<std::uint8_t>(character[1]) & 0x3Fu);
        }
        // Control characters, C1 codes and the replacement character say nothing a reader can use.
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) || character == "\xEF\xBF\xBD") {
            continue;
        }
        out += character;
        ++characters;
    }
    return out;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' || text[at] == '\r') {
            lines.push_back(text.substr(start, at - start));
            if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
                ++at;
            }
            start = at + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string singleLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return out;
}
