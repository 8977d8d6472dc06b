#include "output/PieceNames.h"

#include <string>

std::filesystem::path pieceName(PieceNaming rule, const std::filesystem::path& folder,
                                const std::filesystem::path& sourcePath, int number) {
    switch (rule) {
    case PieceNaming::SaveAll: {
        std::filesystem::path name = sourcePath.stem();
        name += "-" + std::to_string(number);
        name += sourcePath.extension();
        return folder / name;
    }
    case PieceNaming::SpecifiedBlocks: {
        std::filesystem::path path = folder;
        path += std::filesystem::path::preferred_separator;
        path += sourcePath.stem();
        path += "-" + std::to_string(number) + ".mp3";
        return path;
    }
    case PieceNaming::SingleBlock:
        break;
    }
    return folder;
}
