#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JsonMember;

// A JSON value read from outside data. Whole numbers that fit 64 bits are kept exactly (file sizes,
// times in nanoseconds); other numbers as doubles. Strings are UTF-8.
class JsonValue {
public:
    enum class Kind { Null, Bool, Integer, Real, String, Array, Object };

    JsonValue() = default;
    static JsonValue boolean(bool flag);
    static JsonValue integer(std::int64_t number);
    static JsonValue real(double number);
    static JsonValue string(std::string text);
    static JsonValue array(std::vector<JsonValue> items);
    static JsonValue object(std::vector<JsonMember> members);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool asBool() const { return m_bool; }
    std::int64_t asInteger() const { return m_integer; }
    double asReal() const { return m_real; }
    const std::string& asString() const { return m_string; }
    const std::vector<JsonValue>& items() const { return m_items; }
    const std::vector<JsonMember>& members() const { return m_members; }
    // The member named `name` of an object; null when there is none (or this is no object).
    const JsonValue* find(std::string_view name) const;

private:
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    std::int64_t m_integer = 0;
    double m_real = 0;
    std::string m_string;
    std::vector<JsonValue> m_items;
    std::vector<JsonMember> m_members;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// What a parse gives: the value, or a message naming the line and column of the first fault.
struct JsonParse {
    std::optional<JsonValue> value;
    std::string error;
};

// Strict RFC 8259 JSON, for files a user may hand us from anywhere: invalid UTF-8, control
// characters in strings, unpaired surrogates, repeated names in an object, text after the value and
// nesting deeper than `maxDepth` are all faults, never a crash.
JsonParse parseJson(std::string_view text, int maxDepth = 32);

// `text` as a JSON string literal with its quotes; bytes that are not UTF-8 become U+FFFD, so the
// result always parses.
std::string jsonQuoted(std::string_view text);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view text);
