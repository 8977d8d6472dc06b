#pragma once

#include <filesystem>

enum class PieceNaming {
    SaveAll,         // folder / "<base>-<n>" + the source's own extension, n from 0
    SpecifiedBlocks, // "<folder>/<base>-<n>.mp3", n the 1-based row number
    SingleBlock,     // the path the user chose, as it is
};

// The path of a piece. For SingleBlock `folder` is the chosen path and the other arguments are unused.
std::filesystem::path pieceName(PieceNaming rule, const std::filesystem::path& folder,
                                const std::filesystem::path& sourcePath, int number);
