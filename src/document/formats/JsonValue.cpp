#include "document/formats/JsonValue.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

JsonValue JsonValue::boolean(bool flag) {
    JsonValue value;
    value.m_kind = Kind::Bool;
    value.m_bool = flag;
    return value;
}

JsonValue JsonValue::integer(std::int64_t number) {
    JsonValue value;
    value.m_kind = Kind::Integer;
    value.m_integer = number;
    return value;
}

JsonValue JsonValue::real(double number) {
    JsonValue value;
    value.m_kind = Kind::Real;
    value.m_real = number;
    return value;
}

JsonValue JsonValue::string(std::string text) {
    JsonValue value;
    value.m_kind = Kind::String;
    value.m_string = std::move(text);
    return value;
}

JsonValue JsonValue::array(std::vector<JsonValue> items) {
    JsonValue value;
    value.m_kind = Kind::Array;
    value.m_items = std::move(items);
    return value;
}

JsonValue JsonValue::object(std::vector<JsonMember> members) {
    JsonValue value;
    value.m_kind = Kind::Object;
    value.m_members = std::move(members);
    return value;
}

const JsonValue* JsonValue::find(std::string_view name) const {
    for (const JsonMember& member : m_members) {
        if (member.name == name) {
            return &member.value;
        }
    }
    return nullptr;
}

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when it is not a valid one.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t point = 0;
    std::uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void appendUtf8(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

class Parser {
public:
    Parser(std::string_view text, int maxDepth) : m_text(text), m_maxDepth(maxDepth) {}

    JsonParse run() {
        JsonParse result;
        skipSpace();
        std::optional<JsonValue> value = parseValue(0);
        if (value) {
            skipSpace();
            if (m_at != m_text.size()) {
                fail("text after the end of the value");
                value.reset();
            }
        }
        if (value) {
            result.value = std::move(value);
        } else {
            result.error = m_error;
        }
        return result;
    }

private:
    bool atEnd() const { return m_at >= m_text.size(); }
    char peek() const { return m_text[m_at]; }

    // Records the first fault only, with its place.
    std::nullopt_t fail(const std::string& what) {
        if (m_error.empty()) {
            std::size_t line = 1;
            std::size_t column = 1;
            for (std::size_t i = 0; i < m_at && i < m_text.size(); ++i) {
                if (m_text[i] == '\n') {
                    ++line;
                    column = 1;
                } else {
                    ++column;
                }
            }
            m_error = what + " at line " + std::to_string(line) + ", column " + std::to_string(column);
        }
        return std::nullopt;
    }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++m_at;
        }
    }

    bool take(std::string_view word) {
        if (m_text.substr(m_at, word.size()) == word) {
            m_at += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> parseValue(int depth) {
        if (atEnd()) {
            return fail("unexpected end of the text");
        }
        switch (peek()) {
        case '{':
            return parseObject(depth + 1);
        case '[':
            return parseArray(depth + 1);
        case '"': {
            auto text = parseString();
            if (!text) {
                return std::nullopt;
            }
            return JsonValue::string(std::move(*text));
        }
        case 't':
            if (take("true")) {
                return JsonValue::boolean(true);
            }
            break;
        case 'f':
            if (take("false")) {
                return JsonValue::boolean(false);
            }
            break;
        case 'n':
            if (take("null")) {
                return JsonValue();
            }
            break;
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                return parseNumber();
            }
            break;
        }
        return fail("unexpected character");
    }

    std::optional<JsonValue> parseObject(int depth) {
        if (depth > m_maxDepth) {
            return fail("nesting too deep");
        }
        ++m_at;
        std::vector<JsonMember> members;
        skipSpace();
        if (!atEnd() && peek() == '}') {
            ++m_at;
            return JsonValue::object(std::move(members));
        }
        for (;;) {
            skipSpace();
            if (atEnd() || peek() != '"') {
                return fail("expected a member name");
            }
            const std::size_t nameAt = m_at;
            auto name = parseString();
            if (!name) {
                return std::nullopt;
            }
            for (const JsonMember& member : members) {
                if (member.name == *name) {
                    m_at = nameAt;
                    return fail("the name \"" + *name + "\" appears twice");
                }
            }
            skipSpace();
            if (atEnd() || peek() != ':') {
                return fail("expected ':'");
            }
            ++m_at;
            skipSpace();
            auto value = parseValue(depth);
            if (!value) {
                return std::nullopt;
            }
            members.push_back({std::move(*name), std::move(*value)});
            skipSpace();
            if (atEnd()) {
                return fail("unexpected end of the text");
            }
            if (peek() == ',') {
                ++m_at;
                continue;
            }
            if (peek() == '}') {
                ++m_at;
                return JsonValue::object(std::move(members));
            }
            return fail("expected ',' or '}'");
        }
    }

    std::optional<JsonValue> parseArray(int depth) {
        if (depth > m_maxDepth) {
            return fail("nesting too deep");
        }
        ++m_at;
        std::vector<JsonValue> items;
        skipSpace();
        if (!atEnd() && peek() == ']') {
            ++m_at;
            return JsonValue::array(std::move(items));
        }
        for (;;) {
            skipSpace();
            auto value = parseValue(depth);
            if (!value) {
                return std::nullopt;
            }
            items.push_back(std::move(*value));
            skipSpace();
            if (atEnd()) {
                return fail("unexpected end of the text");
            }
            if (peek() == ',') {
                ++m_at;
                continue;
            }
            if (peek() == ']') {
                ++m_at;
                return JsonValue::array(std::move(items));
            }
            return fail("expected ',' or ']'");
        }
    }

    std::optional<std::uint32_t> parseHex4() {
        if (m_at + 4 > m_text.size()) {
            return fail("short \\u escape");
        }
        std::uint32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at + static_cast<std::size_t>(i)];
            unit <<= 4;
            if (c >= '0' && c <= '9') {
                unit |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                unit |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                unit |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        m_at += 4;
        return unit;
    }

    std::optional<std::string> parseString() {
        ++m_at;
        std::string out;
        for (;;) {
            if (atEnd()) {
                return fail("unterminated string");
            }
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++m_at;
                return out;
            }
            if (c < 0x20) {
                return fail("control character in a string");
            }
            if (c != '\\') {
                const std::size_t length = utf8SequenceAt(m_text, m_at);
                if (length == 0) {
                    return fail("invalid UTF-8");
                }
                out.append(m_text.substr(m_at, length));
                m_at += length;
                continue;
            }
            ++m_at;
            if (atEnd()) {
                return fail("unterminated string");
            }
            const char escape = peek();
            ++m_at;
            switch (escape) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                auto unit = parseHex4();
                if (!unit) {
                    return std::nullopt;
                }
                std::uint32_t point = *unit;
                if (point >= 0xDC00 && point <= 0xDFFF) {
                    return fail("unpaired surrogate");
                }
                if (point >= 0xD800 && point <= 0xDBFF) {
                    if (!take("\\u")) {
                        return fail("unpaired surrogate");
                    }
                    auto low = parseHex4();
                    if (!low) {
                        return std::nullopt;
                    }
                    if (*low < 0xDC00 || *low > 0xDFFF) {
                        return fail("unpaired surrogate");
                    }
                    point = 0x10000 + ((point - 0xD800) << 10) + (*low - 0xDC00);
                }
                appendUtf8(out, point);
                break;
            }
            default:
                --m_at;
                return fail("bad escape");
            }
        }
    }

    std::optional<JsonValue> parseNumber() {
        const std::size_t start = m_at;
        bool whole = true;
        if (peek() == '-') {
            ++m_at;
        }
        if (atEnd() || peek() < '0' || peek() > '9') {
            return fail("bad number");
        }
        if (peek() == '0') {
            ++m_at;
        } else {
            while (!atEnd() && peek() >= '0' && peek() <= '9') {
                ++m_at;
            }
        }
        if (!atEnd() && peek() == '.') {
            whole = false;
            ++m_at;
            if (atEnd() || peek() < '0' || peek() > '9') {
                return fail("bad number");
            }
            while (!atEnd() && peek() >= '0' && peek() <= '9') {
                ++m_at;
            }
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            whole = false;
            ++m_at;
            if (!atEnd() && (peek() == '+' || peek() == '-')) {
                ++m_at;
            }
            if (atEnd() || peek() < '0' || peek() > '9') {
                return fail("bad number");
            }
            while (!atEnd() && peek() >= '0' && peek() <= '9') {
                ++m_at;
            }
        }
        const std::string digits(m_text.substr(start, m_at - start));
        if (whole) {
            errno = 0;
            char* end = nullptr;
            const long long number = std::strtoll(digits.c_str(), &end, 10);
            if (errno == 0 && end == digits.c_str() + digits.size()) {
                return JsonValue::integer(number);
            }
        }
        // Too large for 64 bits, or not whole: the reader of the value decides whether it may be.
        const double number = std::strtod(digits.c_str(), nullptr);
        return JsonValue::real(number);
    }

    std::string_view m_text;
    int m_maxDepth;
    std::size_t m_at = 0;
    std::string m_error;
};

} // namespace

JsonParse parseJson(std::string_view text, int maxDepth) {
    return Parser(text, maxDepth).run();
}

bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceAt(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string jsonQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++at;
        } else if (c == '\n') {
            out += "\\n";
            ++at;
        } else if (c == '\r') {
            out += "\\r";
            ++at;
        } else if (c == '\t') {
            out += "\\t";
            ++at;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
            ++at;
        } else {
            const std::size_t length = utf8SequenceAt(text, at);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++at;
            } else {
                out.append(text.substr(at, length));
                at += length;
            }
        }
    }
    out += '"';
    return out;
}
