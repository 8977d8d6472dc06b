#pragma once

#include "document/DocumentTypes.h"

#include <optional>
#include <vector>

// The records of a list of block tags are kept sorted by block with one record per block (a flat
// map), so that finding, setting and walking them in block order take no linear searches.

// The record of the names a list of break points gave the whole file (a CUE sheet's disc PERFORMER
// and TITLE): not a block, so no piece and no row of the editor uses it.
constexpr int kWholeListRecord = -1;

// The tag of the record for block `block`; empty when there is none.
std::optional<ID3Info> findBlockTag(const std::vector<BlockTag>& tags, int block);
// Replaces the values of the record for `block`, or inserts a record where it belongs.
void setBlockTag(std::vector<BlockTag>& tags, int block, const ID3Info& info);
// Removes the record for `block`, if any.
void eraseBlockTag(std::vector<BlockTag>& tags, int block);
// Sets the records of `updates` in one pass; of several updates for one block the last counts.
void setBlockTags(std::vector<BlockTag>& tags, std::vector<BlockTag> updates);
// `tags` in any order as the sorted list: of several records for one block the first counts.
std::vector<BlockTag> sortedBlockTags(std::vector<BlockTag> tags);

// A tag with empty texts and the year 1979, what Clear and a block without a record start from.
ID3Info emptyBlockTag();
// The tag the editor offers for row `block`: its record, or an empty tag.
ID3Info blockTagOrEmpty(const std::vector<BlockTag>& tags, int block);
// Apply All: every row from 0 to rowCount - 1 gets `info`.
void applyTagToAllBlocks(std::vector<BlockTag>& tags, int rowCount, const ID3Info& info);
