#pragma once

#include "document/DocumentTypes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The source's tags, read once (the source opened read-only) and rendered for every piece: the
// ID3v2 frames, the cover included, with the track number set to "n/N" and without the frames that
// describe the whole file (its length, its chapters); fields only an APEv2 or ID3v1 tag of the source
// holds join them as ID3v2 frames; the ID3v1 tag when the source has one. A block tag the user set
// changes only what the user typed: its non-empty texts and a year other than the one a new block
// tag starts from.
class SourceTags {
public:
    explicit SourceTags(const std::filesystem::path& source);

    bool hasId3v1() const { return m_hasId3v1; }
    // The tag bytes that open piece `number` (from 0) of `count`; `blockTag` may be null.
    std::vector<std::uint8_t> id3v2(int number, int count, const ID3Info* blockTag) const;
    // The 128 bytes that close the piece; empty when the source has no ID3v1 tag.
    std::vector<std::uint8_t> id3v1(int number, const ID3Info* blockTag) const;
    // Title, artist, album, comment and year as a piece gets them.
    ID3Info pieceInfo(const ID3Info* blockTag) const;

private:
    std::vector<std::vector<std::uint8_t>> m_frames; // ID3v2.4 frames to copy
    bool m_hasId3v1 = false;
    ID3Info m_info;      // the fields a block tag may override
    std::string m_genre; // of the ID3v1 tag
};
