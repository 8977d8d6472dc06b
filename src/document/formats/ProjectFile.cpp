#include "document/formats/ProjectFile.h"

#include "document/BlockTags.h"
#include "document/formats/JsonValue.h"
#include "engine/AtomicFile.h"
#include "settings/PathText.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <set>
#include <utility>

namespace {

constexpr std::string_view kFormatName = "Kerfline project";

std::string hexOf(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

std::optional<std::string> bytesOfHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = nibble(hex[i]);
        const int low = nibble(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

std::string flag(bool value) {
    return value ? "true" : "false";
}

// The first fault found while reading a project; every reader below stops at it.
class ProjectReader {
public:
    std::optional<Project> read(const JsonValue& root) {
        if (root.kind() != JsonValue::Kind::Object) {
            return fail("the file is not a Kerfline project");
        }
        const JsonValue* format = root.find("format");
        if (format == nullptr || format->kind() != JsonValue::Kind::String ||
            format->asString() != kFormatName) {
            return fail("the file is not a Kerfline project");
        }
        const auto version = integer(root, "version", "the project", 1, INT_MAX);
        if (!version) {
            return std::nullopt;
        }
        if (*version != kProjectVersion) {
            return fail("the project has format version " + std::to_string(*version) +
                        ", this Kerfline reads version " + std::to_string(kProjectVersion));
        }

        Project project;
        const JsonValue* source = member(root, "source", JsonValue::Kind::Object, "the project");
        if (source == nullptr || !readSource(*source, project.source)) {
            return std::nullopt;
        }
        const int frames = project.source.frameCount;

        const JsonValue* breakPoints = member(root, "break_points", JsonValue::Kind::Array, "the project");
        if (breakPoints == nullptr) {
            return std::nullopt;
        }
        for (const JsonValue& item : breakPoints->items()) {
            const auto value = integerValue(item, "a break point", 0, frames, frames);
            if (!value) {
                return std::nullopt;
            }
            project.breakPoints.push_back(static_cast<BreakPoint>(*value));
        }
        const auto selected = integer(root, "selected_break_point", "the project", INT_MIN, INT_MAX);
        if (!selected) {
            return std::nullopt;
        }
        project.selectedBreakPoint = static_cast<int>(*selected);

        const JsonValue* tags = member(root, "block_tags", JsonValue::Kind::Array, "the project");
        if (tags == nullptr || !readTags(*tags, project)) {
            return std::nullopt;
        }
        const JsonValue* edits = member(root, "block_edits", JsonValue::Kind::Array, "the project");
        if (edits == nullptr || !readEdits(*edits, project)) {
            return std::nullopt;
        }
        const JsonValue* settings = member(root, "settings", JsonValue::Kind::Object, "the project");
        if (settings == nullptr || !readSettings(*settings, project.settings)) {
            return std::nullopt;
        }
        return project;
    }

    const std::string& error() const { return m_error; }

private:
    std::nullopt_t fail(std::string what) {
        if (m_error.empty()) {
            m_error = std::move(what);
        }
        return std::nullopt;
    }

    const JsonValue* member(const JsonValue& object, std::string_view name, JsonValue::Kind kind,
                            const std::string& where) {
        const JsonValue* value = object.find(name);
        if (value == nullptr) {
            fail(where + " has no \"" + std::string(name) + "\"");
            return nullptr;
        }
        if (value->kind() != kind) {
            fail("\"" + std::string(name) + "\" of " + where + " has the wrong type");
            return nullptr;
        }
        return value;
    }

    // A whole number in low..high. With `sourceFrames`, a number above high is a frame past the end
    // of a source of that many frames.
    std::optional<std::int64_t> integerValue(const JsonValue& value, const std::string& what,
                                             std::int64_t low, std::int64_t high,
                                             std::optional<int> sourceFrames = std::nullopt) {
        if (value.kind() != JsonValue::Kind::Integer) {
            if (value.kind() == JsonValue::Kind::Real) {
                return fail(what + " is not a whole number in range");
            }
            return fail(what + " is not a number");
        }
        const std::int64_t number = value.asInteger();
        if (sourceFrames && number > high) {
            return fail(what + " (" + std::to_string(number) + ") lies past the end of the source (" +
                        std::to_string(*sourceFrames) + " frames)");
        }
        if (number < low || number > high) {
            return fail(what + " (" + std::to_string(number) + ") is out of range");
        }
        return number;
    }

    std::optional<std::int64_t> integer(const JsonValue& object, std::string_view name,
                                        const std::string& where, std::int64_t low, std::int64_t high) {
        const JsonValue* value = object.find(name);
        if (value == nullptr) {
            return fail(where + " has no \"" + std::string(name) + "\"");
        }
        return integerValue(*value, "\"" + std::string(name) + "\" of " + where, low, high);
    }

    std::optional<bool> boolean(const JsonValue& object, std::string_view name, const std::string& where) {
        const JsonValue* value = member(object, name, JsonValue::Kind::Bool, where);
        if (value == nullptr) {
            return std::nullopt;
        }
        return value->asBool();
    }

    std::optional<std::string> text(const JsonValue& object, std::string_view name,
                                    const std::string& where) {
        const JsonValue* value = member(object, name, JsonValue::Kind::String, where);
        if (value == nullptr) {
            return std::nullopt;
        }
        return value->asString();
    }

    bool readSource(const JsonValue& source, ProjectSource& out) {
        const std::string where = "the source";
        const JsonValue* path = source.find("path");
        const JsonValue* pathBytes = source.find("path_bytes");
        if ((path == nullptr) == (pathBytes == nullptr)) {
            fail("the source needs one \"path\"");
            return false;
        }
        if (path != nullptr) {
            const auto value = text(source, "path", where);
            if (!value) {
                return false;
            }
            out.path = std::filesystem::path(std::u8string(value->begin(), value->end()));
        } else {
            const auto value = text(source, "path_bytes", where);
            const auto bytes = value ? bytesOfHex(*value) : std::nullopt;
            if (!bytes) {
                fail("\"path_bytes\" of the source is not hexadecimal");
                return false;
            }
            out.path = std::filesystem::path(*bytes);
        }
        if (out.path.empty()) {
            fail("the source's path is empty");
            return false;
        }
        const auto size = integer(source, "size", where, 0, INT64_MAX);
        const auto modified =
            size ? integer(source, "modified_ns", where, INT64_MIN, INT64_MAX) : std::nullopt;
        const auto frames = modified ? integer(source, "frames", where, 1, INT_MAX) : std::nullopt;
        if (!frames) {
            return false;
        }
        out.size = *size;
        out.modifiedNs = *modified;
        out.frameCount = static_cast<int>(*frames);
        return true;
    }

    bool readTags(const JsonValue& tags, Project& project) {
        // The tag editor has one row more than there are break points; -1 is the whole list's record.
        const auto lastRow = static_cast<std::int64_t>(project.breakPoints.size());
        std::set<int> blocks;
        for (const JsonValue& item : tags.items()) {
            const std::string where = "a block tag";
            if (item.kind() != JsonValue::Kind::Object) {
                fail("a block tag is not an object");
                return false;
            }
            const auto block = integer(item, "block", where, kWholeListRecord, lastRow);
            if (!block) {
                return false;
            }
            if (!blocks.insert(static_cast<int>(*block)).second) {
                fail("block " + std::to_string(*block) + " has two tags");
                return false;
            }
            BlockTag tag;
            tag.block = static_cast<int>(*block);
            const auto album = text(item, "album", where);
            const auto artist = album ? text(item, "artist", where) : std::nullopt;
            const auto title = artist ? text(item, "title", where) : std::nullopt;
            const auto comment = title ? text(item, "comment", where) : std::nullopt;
            const auto year = comment ? integer(item, "year", where, INT_MIN, INT_MAX) : std::nullopt;
            if (!year) {
                return false;
            }
            tag.tag = ID3Info{*album, *artist, *title, *comment, static_cast<int>(*year)};
            project.blockTags.push_back(std::move(tag));
        }
        std::sort(project.blockTags.begin(), project.blockTags.end(),
                  [](const BlockTag& a, const BlockTag& b) { return a.block < b.block; });
        return true;
    }

    bool readEdits(const JsonValue& edits, Project& project) {
        const std::vector<int> starts = blockStartsOf(project.breakPoints, project.source.frameCount);
        for (const JsonValue& item : edits.items()) {
            const std::string where = "a block edit";
            if (item.kind() != JsonValue::Kind::Object) {
                fail("a block edit is not an object");
                return false;
            }
            const JsonValue* firstValue = item.find("first_frame");
            if (firstValue == nullptr) {
                fail("a block edit has no \"first_frame\"");
                return false;
            }
            const auto first = integerValue(*firstValue, "the first frame of a block edit", 0,
                                            project.source.frameCount - 1, project.source.frameCount);
            if (!first) {
                return false;
            }
            if (!std::binary_search(starts.begin(), starts.end(), static_cast<int>(*first))) {
                fail("the block edit at frame " + std::to_string(*first) + " does not start a block");
                return false;
            }
            if (project.blockEdits.count(static_cast<int>(*first)) != 0) {
                fail("the block at frame " + std::to_string(*first) + " has two edits");
                return false;
            }
            BlockEdit edit;
            const auto removed = boolean(item, "removed", where);
            const auto gain =
                removed ? integer(item, "gain_steps", where, -kMaxGainSteps, kMaxGainSteps) : std::nullopt;
            const auto fadeIn = gain ? integer(item, "fade_in_ms", where, 0, kMaxFadeMs) : std::nullopt;
            const auto fadeOut = fadeIn ? integer(item, "fade_out_ms", where, 0, kMaxFadeMs) : std::nullopt;
            if (!fadeOut) {
                return false;
            }
            edit.removed = *removed;
            edit.gainSteps = static_cast<int>(*gain);
            edit.fadeInMs = static_cast<int>(*fadeIn);
            edit.fadeOutMs = static_cast<int>(*fadeOut);
            if (!edit.isDefault()) {
                project.blockEdits[static_cast<int>(*first)] = edit;
            }
        }
        return true;
    }

    bool readSettings(const JsonValue& settings, EditSettings& out) {
        const std::string where = "the settings";
        const auto copyTags = boolean(settings, "edited_copy_tags", where);
        const auto chapters = copyTags ? boolean(settings, "edited_copy_chapters", where) : std::nullopt;
        if (!chapters) {
            return false;
        }
        out.copyTags = *copyTags;
        out.chapters = *chapters;
        return true;
    }

    std::string m_error;
};

} // namespace

std::string projectText(const Project& project) {
    const int frames = project.source.frameCount;
    std::string out = "{\n";
    out += "  \"format\": " + jsonQuoted(kFormatName) + ",\n";
    out += "  \"version\": " + std::to_string(kProjectVersion) + ",\n";
    out += "  \"source\": {\n";
    const std::u8string path = project.source.path.u8string();
    const std::string pathBytes(path.begin(), path.end());
    // A name that is not UTF-8 (possible on Linux) would not survive as text: its bytes go instead.
    if (isUtf8(pathBytes)) {
        out += "    \"path\": " + jsonQuoted(pathBytes) + ",\n";
    } else {
        out += "    \"path_bytes\": \"" + hexOf(pathBytes) + "\",\n";
    }
    out += "    \"size\": " + std::to_string(project.source.size) + ",\n";
    out += "    \"modified_ns\": " + std::to_string(project.source.modifiedNs) + ",\n";
    out += "    \"frames\": " + std::to_string(frames) + "\n";
    out += "  },\n";
    out += "  \"break_points\": [";
    bool first = true;
    for (const BreakPoint value : project.breakPoints) {
        if (value < 0 || value > frames) {
            continue;
        }
        out += first ? "" : ", ";
        out += std::to_string(value);
        first = false;
    }
    out += "],\n";
    out += "  \"selected_break_point\": " + std::to_string(project.selectedBreakPoint) + ",\n";
    out += "  \"block_tags\": [";
    first = true;
    for (const BlockTag& tag : project.blockTags) {
        out += first ? "\n" : ",\n";
        out += "    {\"block\": " + std::to_string(tag.block) + ", \"album\": " + jsonQuoted(tag.tag.album) +
               ", \"artist\": " + jsonQuoted(tag.tag.artist) + ", \"title\": " + jsonQuoted(tag.tag.title) +
               ", \"comment\": " + jsonQuoted(tag.tag.comment) +
               ", \"year\": " + std::to_string(tag.tag.year) + "}";
        first = false;
    }
    out += first ? "],\n" : "\n  ],\n";
    out += "  \"block_edits\": [";
    first = true;
    for (const auto& [firstFrame, edit] : project.blockEdits) {
        out += first ? "\n" : ",\n";
        out += "    {\"first_frame\": " + std::to_string(firstFrame) +
               ", \"removed\": " + flag(edit.removed) +
               ", \"gain_steps\": " + std::to_string(edit.gainSteps) +
               ", \"fade_in_ms\": " + std::to_string(edit.fadeInMs) +
               ", \"fade_out_ms\": " + std::to_string(edit.fadeOutMs) + "}";
        first = false;
    }
    out += first ? "],\n" : "\n  ],\n";
    out += "  \"settings\": {\"edited_copy_tags\": " + flag(project.settings.copyTags) +
           ", \"edited_copy_chapters\": " + flag(project.settings.chapters) + "}\n";
    out += "}\n";
    return out;
}

ProjectParse parseProject(std::string_view text) {
    ProjectParse result;
    JsonParse json = parseJson(text);
    if (!json.value) {
        result.error = "the file is not valid JSON: " + json.error;
        return result;
    }
    ProjectReader reader;
    result.project = reader.read(*json.value);
    if (!result.project) {
        result.error = reader.error();
    }
    return result;
}

ProjectParse readProjectFile(const std::filesystem::path& path) {
    ProjectParse result;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.error = "the file " + pathText(path) + " could not be read";
        return result;
    }
    std::string text;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxProjectBytes) {
            result.error = "the file " + pathText(path) + " is too large for a project";
            return result;
        }
    }
    if (file.bad()) {
        result.error = "the file " + pathText(path) + " could not be read";
        return result;
    }
    return parseProject(text);
}

std::string writeProjectFile(const std::filesystem::path& path, const Project& project) {
    const std::string text = projectText(project);
    AtomicFile file(path);
    if (!file.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) || !file.commit()) {
        return file.error().empty() ? "the file could not be written" : file.error();
    }
    return {};
}
