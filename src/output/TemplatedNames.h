#pragma once

#include "output/PieceFile.h"
#include "output/PieceIdentity.h"
#include "output/PieceNameTemplate.h"

#include <filesystem>
#include <string>
#include <vector>

// The fields a name template takes for a piece of `source`: the block tag's texts, else `mainTag`'s.
PieceNameFields pieceNameFields(const std::filesystem::path& source, const PieceIdentity& identity,
                                const ID3Info& mainTag);

// The paths of pieces named by `pattern` below `folder`, each ending in `extension`, in the order of
// `pieces`; empty with `problem` set when the template is refused: it is malformed, climbs out of the
// folder, names the source, or names two pieces alike (one would replace the other).
std::vector<std::filesystem::path>
templatedNames(const std::string& pattern, const std::filesystem::path& folder,
               const std::filesystem::path& source, const std::filesystem::path& extension,
               const std::vector<PieceNameFields>& pieces, std::string& problem);

// The start of the level-2 line for a refused template.
std::string templateRefusal(const std::string& pattern, const std::string& problem);

// Creates the piece `piece` named by a template below `folder`: every folder between them is made
// and opened one step at a time, never through a link, and the piece is created in the last one, so
// a link put anywhere below the output folder cannot lead the piece elsewhere. A link on the way, or
// a folder that cannot be made, gives a failed piece that says so. With `syncs`, every folder on the
// way is synced there later (a new subfolder is an entry of its parent), and the piece's own too.
PieceFile createTemplatedPiece(const std::filesystem::path& piece, const std::filesystem::path& folder,
                               const std::filesystem::path& source,
                               AtomicFile::Existing existing = AtomicFile::Existing::Replace,
                               FolderSyncs* syncs = nullptr);
