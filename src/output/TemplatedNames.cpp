#include "output/TemplatedNames.h"

#include "document/SameFile.h"
#include "settings/PathText.h"

#include <set>

PieceNameFields pieceNameFields(const std::filesystem::path& source, const PieceIdentity& identity,
                                const ID3Info& mainTag) {
    const ID3Info& info = identity.blockTag ? *identity.blockTag : mainTag;
    return {source.stem().string(), identity.number, identity.count, info.title, info.artist, info.album};
}

std::vector<std::filesystem::path>
templatedNames(const std::string& pattern, const std::filesystem::path& folder,
               const std::filesystem::path& source, const std::filesystem::path& extension,
               const std::vector<PieceNameFields>& pieces, std::string& problem) {
    std::vector<std::filesystem::path> names;
    std::set<std::filesystem::path> seen;
    for (const PieceNameFields& fields : pieces) {
        const ExpandedName expanded = expandPieceName(pattern, fields);
        if (!expanded.problem.empty()) {
            problem = expanded.problem;
            return {};
        }
        std::filesystem::path path = folder / expanded.relative;
        path += extension;
        if (namesSameFile(path, source)) {
            problem = "it names the source file";
            return {};
        }
        if (!seen.insert(path.lexically_normal()).second) {
            problem = "it gives two pieces the name " + pathText(path);
            return {};
        }
        names.push_back(std::move(path));
    }
    return names;
}

std::string templateRefusal(const std::string& pattern, const std::string& problem) {
    return "The piece name template \"" + pattern + "\" is refused: " + problem;
}

void makePieceFolder(const std::filesystem::path& piece) {
    std::error_code ignored;
    std::filesystem::create_directories(piece.parent_path(), ignored);
}
