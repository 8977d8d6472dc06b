#pragma once

#include "document/DocumentTypes.h"

#include <exception>
#include <vector>

// Raised by findBlockTag when no record has the block number.
struct BlockNotFound : std::exception {
    const char* what() const noexcept override { return "block tag not found"; }
};

// The first record for block `block`; raises BlockNotFound when there is none.
const ID3Info& findBlockTag(const std::vector<BlockTag>& tags, int block);
// Replaces the values of the record for `block`, or appends a record when there is none.
void setBlockTag(std::vector<BlockTag>& tags, int block, const ID3Info& info);

// A tag with empty texts and the year 1979, what Clear and a block without a record start from.
ID3Info emptyBlockTag();
// The tag the editor offers for row `block`: its record, or an empty tag.
ID3Info blockTagOrEmpty(const std::vector<BlockTag>& tags, int block);
// Apply All: every row from 0 to rowCount - 1 gets `info`.
void applyTagToAllBlocks(std::vector<BlockTag>& tags, int rowCount, const ID3Info& info);
