#pragma once

#include "document/DocumentTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class SplitDocument;

// Tag fields given for every piece: by --tag KEY=VALUE, or taken from the source's name by
// --tag-from-name PATTERN. An empty optional leaves the field as the list or the source gave it.
struct PieceTagFields {
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::optional<std::string> album;
    std::optional<std::string> year;
    std::optional<std::string> genre;
    std::optional<std::string> comment;
    std::optional<std::string> track;

    bool any() const { return title || artist || album || year || genre || comment || track; }
    // `other`'s fields over these.
    void overlay(const PieceTagFields& other);
};

// The keys --tag and --tag-from-name know, for messages and help.
constexpr const char* kTagKeys = "title, artist, album, year, genre, comment, track";

// Reads the values of --tag; empty with `problem` set for an unknown key, a missing '=' or a year
// or track that is no number.
std::optional<PieceTagFields> parseTagOptions(const std::vector<std::string>& values, std::string& problem);

// Checks a --tag-from-name pattern: literal text and {key} fields, no two fields side by side.
bool validNamePattern(const std::string& pattern, std::string& problem);

// The fields `pattern` reads from the base name of `source` (without its extension); empty when the
// name does not match.
std::optional<PieceTagFields> fieldsFromName(const std::string& pattern, const std::filesystem::path& source);

// Puts the fields into the block tags of all `blockCount` blocks, over a list's titles. {n}, {n1} and
// {N} in a value become the piece's number from 0, from 1 and the number of pieces.
void applyToBlockTags(SplitDocument& doc, const PieceTagFields& fields, int blockCount);

// Genre and track, which the block tags do not carry, written into a saved piece through TagLib;
// false when TagLib could not open or save it.
bool writeGenreAndTrack(const std::filesystem::path& piece, const PieceTagFields& fields, int number,
                        int count);
