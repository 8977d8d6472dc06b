#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct PlaylistEntry {
    std::filesystem::path path;
    std::int64_t durationMs = 0;
    std::string title; // empty: the file's base name
};

// Writes an extended M3U playlist (UTF-8) of `entries`, each path relative to the playlist's folder
// where it lies below it. Written whole or not at all; false with `problem` set when it failed.
bool writePlaylist(const std::filesystem::path& playlist, const std::vector<PlaylistEntry>& entries,
                   std::string& problem);
