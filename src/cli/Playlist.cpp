#include "cli/Playlist.h"

#include "engine/AtomicFile.h"

namespace {

std::string entryPath(const std::filesystem::path& piece, const std::filesystem::path& folder) {
    const std::filesystem::path relative =
        piece.lexically_normal().lexically_relative(folder.lexically_normal());
    const bool below = !relative.empty() && *relative.begin() != "..";
    return (below ? relative : std::filesystem::absolute(piece)).generic_string();
}

} // namespace

bool writePlaylist(const std::filesystem::path& playlist, const std::vector<PlaylistEntry>& entries,
                   std::string& problem) {
    std::string text = "#EXTM3U\n";
    const std::filesystem::path folder = std::filesystem::absolute(playlist).parent_path();
    for (const PlaylistEntry& entry : entries) {
        const std::string title = entry.title.empty() ? entry.path.stem().string() : entry.title;
        // Line breaks in a title would start a line the player reads as a path.
        std::string oneLine;
        for (const char c : title) {
            oneLine += c == '\n' || c == '\r' ? ' ' : c;
        }
        text += "#EXTINF:" + std::to_string((entry.durationMs + 500) / 1000) + "," + oneLine + "\n";
        text += entryPath(std::filesystem::absolute(entry.path), folder) + "\n";
    }
    AtomicFile file(playlist);
    if (!file.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) || !file.commit()) {
        problem = "the playlist '" + playlist.string() + "' could not be written: " + file.error();
        return false;
    }
    return true;
}
