#include "cli/PieceTagOptions.h"

#include "cli/NumberText.h"
#include "document/BlockTags.h"
#include "document/SplitDocument.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tstring.h>

#include <algorithm>
#include <array>
#include <memory>
#include <regex>

namespace {

using Field = std::optional<std::string> PieceTagFields::*;

struct TagKey {
    const char* name;
    Field field;
};

constexpr std::array<TagKey, 7> kKeys = {{{"title", &PieceTagFields::title},
                                          {"artist", &PieceTagFields::artist},
                                          {"album", &PieceTagFields::album},
                                          {"year", &PieceTagFields::year},
                                          {"genre", &PieceTagFields::genre},
                                          {"comment", &PieceTagFields::comment},
                                          {"track", &PieceTagFields::track}}};

std::optional<Field> fieldOf(const std::string& key) {
    for (const TagKey& known : kKeys) {
        if (key == known.name) {
            return known.field;
        }
    }
    return std::nullopt;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string numbered(std::string value, int number, int count) {
    replaceAll(value, "{n1}", std::to_string(number + 1));
    replaceAll(value, "{n}", std::to_string(number));
    replaceAll(value, "{N}", std::to_string(count));
    return value;
}

struct PatternPart {
    std::string literal;
    std::optional<Field> field;
};

std::optional<std::vector<PatternPart>> patternParts(const std::string& pattern, std::string& problem) {
    std::vector<PatternPart> parts;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        if (open == std::string::npos) {
            parts.push_back({pattern.substr(at), std::nullopt});
            break;
        }
        if (open > at) {
            parts.push_back({pattern.substr(at, open - at), std::nullopt});
        }
        const std::size_t close = pattern.find('}', open);
        if (close == std::string::npos) {
            problem = "'{' without '}'";
            return std::nullopt;
        }
        const std::string key = pattern.substr(open + 1, close - open - 1);
        const std::optional<Field> field = fieldOf(key);
        if (!field) {
            problem = "unknown field {" + key + "} (known: " + kTagKeys + ")";
            return std::nullopt;
        }
        if (!parts.empty() && parts.back().field) {
            problem = "two fields side by side cannot be told apart";
            return std::nullopt;
        }
        parts.push_back({{}, field});
        at = close + 1;
    }
    if (std::none_of(parts.begin(), parts.end(),
                     [](const PatternPart& part) { return part.field.has_value(); })) {
        problem = "no field such as {artist}";
        return std::nullopt;
    }
    return parts;
}

std::string regexEscaped(const std::string& text) {
    static const std::string special = R"(\^$.|?*+()[]{})";
    std::string escaped;
    for (const char c : text) {
        if (special.find(c) != std::string::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

void PieceTagFields::overlay(const PieceTagFields& other) {
    for (const TagKey& key : kKeys) {
        if (other.*key.field) {
            this->*key.field = other.*key.field;
        }
    }
}

std::optional<PieceTagFields> parseTagOptions(const std::vector<std::string>& values, std::string& problem) {
    PieceTagFields fields;
    for (const std::string& value : values) {
        const std::size_t equals = value.find('=');
        const std::optional<Field> field = fieldOf(value.substr(0, equals));
        if (equals == std::string::npos || !field) {
            problem =
                "--tag needs KEY=VALUE with KEY one of " + std::string(kTagKeys) + ", not '" + value + "'";
            return std::nullopt;
        }
        const std::string text = value.substr(equals + 1);
        if (*field == &PieceTagFields::year && !parseInt(text)) {
            problem = "--tag year= needs a year such as 2024, not '" + text + "'";
            return std::nullopt;
        }
        if (*field == &PieceTagFields::track &&
            !std::regex_match(numbered(text, 0, 1), std::regex("[0-9]+(/[0-9]+)?"))) {
            problem = "--tag track= needs a number, N/TOTAL or {n1}/{N}, not '" + text + "'";
            return std::nullopt;
        }
        fields.*(*field) = text;
    }
    return fields;
}

bool validNamePattern(const std::string& pattern, std::string& problem) {
    return patternParts(pattern, problem).has_value();
}

std::optional<PieceTagFields> fieldsFromName(const std::string& pattern,
                                             const std::filesystem::path& source) {
    std::string problem;
    const auto parts = patternParts(pattern, problem);
    if (!parts) {
        return std::nullopt;
    }
    std::string expression;
    std::vector<Field> order;
    for (const PatternPart& part : *parts) {
        if (part.field) {
            // Fields take as little as they can, so a separator splits at its first occurrence.
            expression += "(.+?)";
            order.push_back(*part.field);
        } else {
            expression += regexEscaped(part.literal);
        }
    }
    const std::string name = source.stem().string();
    std::smatch match;
    if (!std::regex_match(name, match, std::regex(expression))) {
        return std::nullopt;
    }
    PieceTagFields fields;
    for (std::size_t i = 0; i < order.size(); ++i) {
        fields.*order[i] = match[static_cast<int>(i) + 1].str();
    }
    if (fields.year && !parseInt(*fields.year)) {
        fields.year.reset();
    }
    return fields;
}

void applyToBlockTags(SplitDocument& doc, const PieceTagFields& fields, int blockCount) {
    std::vector<BlockTag> tags = doc.m_blockTags;
    for (int block = 0; block < blockCount; ++block) {
        // A block without a list's record starts empty, with no year of its own.
        ID3Info tag = findBlockTag(tags, block).value_or(ID3Info{{}, {}, {}, {}, 0});
        for (const auto& [field, into] : {std::pair{&PieceTagFields::title, &ID3Info::title},
                                          std::pair{&PieceTagFields::artist, &ID3Info::artist},
                                          std::pair{&PieceTagFields::album, &ID3Info::album},
                                          std::pair{&PieceTagFields::comment, &ID3Info::comment}}) {
            if (fields.*field) {
                tag.*into = numbered(*(fields.*field), block, blockCount);
            }
        }
        if (fields.year) {
            tag.year = parseInt(*fields.year).value_or(0);
        }
        setBlockTag(tags, block, tag);
    }
    doc.m_blockTags = std::move(tags);
}

bool writeGenreAndTrack(const std::filesystem::path& piece, const PieceTagFields& fields, int number,
                        int count) {
    if (!fields.genre && !fields.track) {
        return true;
    }
    TagLib::MPEG::File file(piece.c_str(), false);
    TagLib::ID3v2::Tag* const tag = file.isValid() ? file.ID3v2Tag(true) : nullptr;
    if (tag == nullptr) {
        return false;
    }
    if (fields.genre) {
        tag->setGenre(TagLib::String(numbered(*fields.genre, number, count), TagLib::String::UTF8));
    }
    if (fields.track) {
        // TRCK itself, so "3/12" stays whole.
        tag->removeFrames("TRCK");
        auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>("TRCK", TagLib::String::UTF8);
        frame->setText(TagLib::String(numbered(*fields.track, number, count), TagLib::String::UTF8));
        tag->addFrame(frame.release()); // the tag owns its frames
    }
    return file.save();
}
