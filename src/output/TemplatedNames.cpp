#include "output/TemplatedNames.h"

#include "document/SameFile.h"
#include "settings/PathText.h"

#include <cerrno>
#include <set>
#include <utility>

PieceNameFields pieceNameFields(const std::filesystem::path& source, const PieceIdentity& identity,
                                const ID3Info& mainTag) {
    const ID3Info& info = identity.blockTag ? *identity.blockTag : mainTag;
    return {source.stem().string(), identity.number, identity.count, info.title, info.artist, info.album};
}

namespace {

// The longest file or folder name the file systems we write to take, in bytes.
constexpr std::size_t kNameBytes = 255;

// `text` without its last `bytes` bytes, cut before a whole UTF-8 character.
void shorten(std::string& text, std::size_t bytes) {
    std::size_t size = text.size() - std::min(bytes, text.size());
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
        --size;
    }
    text.resize(size);
}

// Expands the template for one piece, shortening its longest text field while a part of the path
// (the file name with `extension`) is longer than a file system takes: numbers, the extension and the
// template's own text stay whole.
ExpandedName fittedName(const std::string& pattern, PieceNameFields fields, const std::string& extension) {
    const std::vector<std::string> fieldsOf = templateFieldsByComponent(pattern);
    for (;;) {
        ExpandedName expanded = expandPieceName(pattern, fields);
        if (!expanded.problem.empty()) {
            return expanded;
        }
        std::vector<std::string> parts;
        for (const auto& part : expanded.relative) {
            parts.push_back(part.string());
        }
        parts.back() += extension;
        std::size_t index = 0;
        while (index < parts.size() && parts[index].size() <= kNameBytes) {
            ++index;
        }
        if (index == parts.size()) {
            return expanded;
        }
        const std::string& used = index < fieldsOf.size() ? fieldsOf[index] : std::string();
        std::string* longest = nullptr;
        for (auto [field, text] :
             {std::pair{"{name}", &fields.name}, std::pair{"{title}", &fields.title},
              std::pair{"{artist}", &fields.artist}, std::pair{"{album}", &fields.album}}) {
            if (used.find(field) != std::string::npos && !text->empty() &&
                (!longest || text->size() > longest->size())) {
                longest = text;
            }
        }
        if (!longest) {
            expanded.problem =
                "the name \"" + parts[index] + "\" is longer than " + std::to_string(kNameBytes) + " bytes";
            return expanded;
        }
        shorten(*longest, std::max<std::size_t>(1, parts[index].size() - kNameBytes));
    }
}

} // namespace

std::vector<std::filesystem::path>
templatedNames(const std::string& pattern, const std::filesystem::path& folder,
               const std::filesystem::path& source, const std::filesystem::path& extension,
               const std::vector<PieceNameFields>& pieces, std::string& problem) {
    std::vector<std::filesystem::path> names;
    std::set<std::filesystem::path> seen;
    for (const PieceNameFields& fields : pieces) {
        const ExpandedName expanded = fittedName(pattern, fields, extension.string());
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

PieceFile createTemplatedPiece(const std::filesystem::path& piece, const std::filesystem::path& folder,
                               const std::filesystem::path& source, AtomicFile::Existing existing,
                               FolderSyncs* syncs) {
    platform::Folder at = platform::openFolder(folder);
    if (!at.isOpen()) {
        return failedPieceFile(piece,
                               "the output folder could not be opened: " + platform::systemError(errno));
    }
    const std::filesystem::path below =
        folder.empty() ? piece.parent_path() : piece.parent_path().lexically_relative(folder);
    for (const std::filesystem::path& name : below) {
        if (name.empty() || name == ".") {
            continue;
        }
        platform::Folder next = platform::openSubfolder(at, name, true);
        if (!next.isOpen()) {
            const int error = errno;
            return failedPieceFile(piece, pathText(next.path()) +
                                              (error == ELOOP || error == ENOTDIR
                                                   ? " is a link or no folder, and pieces "
                                                     "are never written through one"
                                                   : " could not be made: " + platform::systemError(error)));
        }
        if (syncs) {
            syncs->add(at);
        }
        at = std::move(next);
    }
    PieceFile file = createPieceFile(std::move(at), piece, source, existing);
    if (syncs) {
        file.syncFolderWith(*syncs);
    }
    return file;
}
