#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds one JSON value as compact text for scripts. Objects and arrays nest by begin/end calls;
// commas are placed by the writer. Keys and strings are taken as UTF-8: bytes that are not valid
// UTF-8 (a file name from an old file system) become U+FFFD, so the output is always valid JSON.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The name of the next member of the current object.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(bool flag);
    // The shortest text that reads back as `number`; null for infinity and NaN, which JSON lacks.
    JsonWriter& value(double number);
    JsonWriter& null();

    const std::string& text() const { return m_text; }

private:
    void beforeValue();

    std::string m_text;
    // One entry per open object or array: whether it already holds a member.
    std::vector<bool> m_hasMember;
    bool m_afterKey = false;
};

// `text` as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);
