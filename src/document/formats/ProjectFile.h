#pragma once

#include "document/BlockEdits.h"
#include "document/DocumentTypes.h"
#include "document/EditSettings.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A project: the edit state of one MP3 file, and which file it is. Written as JSON with a format
// version; the same text is what the program remembers of every file it opened.

inline constexpr int kProjectVersion = 1;
// A project holds numbers and a few tag texts; anything larger is not one of ours (and would cost
// far more memory parsed than on disk).
inline constexpr std::size_t kMaxProjectBytes = 4u * 1024u * 1024u;
// A gain further than this many steps moves global_gain past its 8 bits whatever it was.
inline constexpr int kMaxGainSteps = 255;
// A day: a longer fade is no fade a user asked for.
inline constexpr int kMaxFadeMs = 24 * 60 * 60 * 1000;

struct ProjectSource {
    std::filesystem::path path;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // modification time, nanoseconds since the epoch
    int frameCount = 0;
    bool operator==(const ProjectSource&) const = default;
};

struct Project {
    ProjectSource source;
    BreakPointList breakPoints;
    int selectedBreakPoint = -1;
    std::vector<BlockTag> blockTags;
    BlockEdits blockEdits;
    EditSettings settings;
    bool operator==(const Project&) const = default;

    // Whether there is any work in it: break points, block tags or block edits.
    bool holdsEdits() const { return !breakPoints.empty() || !blockTags.empty() || !blockEdits.empty(); }
};

// The project as JSON text. Break points outside 0..F cut nothing and are left out, so that every
// file written reads back.
std::string projectText(const Project& project);

struct ProjectParse {
    std::optional<Project> project;
    std::string error; // why the text is no project we can use, for the user
};

// Reads a project from outside data. Everything is checked: an unknown format or version, a missing
// field, a wrong type, a number out of its range, a break point past the end of the source or a
// block edit that starts no block is an error, and nothing is taken from such a file.
ProjectParse parseProject(std::string_view text);

// The file at `path`; a file that cannot be read or is larger than kMaxProjectBytes is an error.
ProjectParse readProjectFile(const std::filesystem::path& path);

// Writes the project atomically (whole or not at all); the reason when it failed, else empty.
std::string writeProjectFile(const std::filesystem::path& path, const Project& project);
