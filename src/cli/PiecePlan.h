#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class SourceFrames;
class SplitDocument;

// One piece Save All would write for the loaded document: its file and the source frames it holds,
// the overlap frames of its neighbours included.
struct PlannedPiece {
    int number = 0; // the block's number from 0, as in the piece's default name
    std::filesystem::path path;
    int firstFrame = 0;
    int lastFrame = 0; // inclusive
    std::int64_t startMs = 0;
    std::int64_t durationMs = 0;
    std::uint64_t bytes = 0; // of its frames; copied tags or a header frame add to it
};

// The pieces of the document's break points, in order, named as Save All names them (the template
// of the piece options, else NAME-n). Blocks that hold only the Info frame are left out, as Save
// All leaves them out. Empty with `problem` set when the name template is refused.
std::vector<PlannedPiece> planPieces(const SplitDocument& doc, const SourceFrames& frames,
                                     std::string& problem);
