#pragma once

#include "document/DocumentTypes.h"

#include <optional>

// Which piece a writer makes: its block's number from 0 among `count` blocks, and the tag the user gave
// that block, if any.
struct PieceIdentity {
    int number = 0;
    int count = 0;
    std::optional<ID3Info> blockTag;
};
