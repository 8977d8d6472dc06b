#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A break point at frame k starts a new block with frame k.
using BreakPoint = std::int32_t;
// Insertion order, duplicates allowed; sorted in place only by the operations that say so.
using BreakPointList = std::vector<BreakPoint>;

// Frames [from, to).
struct Block {
    std::int32_t from = 0;
    std::int32_t to = 0;
    bool operator==(const Block&) const = default;
};

// Tag texts as the document keeps them (UTF-8).
struct ID3Info {
    std::string album;
    std::string artist;
    std::string title;
    std::string comment;
    int year = 1979;
    bool operator==(const ID3Info&) const = default;
};

// The tag of one Save All block, by its 0-based block number.
struct BlockTag {
    int block = 0;
    ID3Info tag;
    bool operator==(const BlockTag&) const = default;
};

enum class AutoMethod { Silence, EqualCount, EveryLength };
