#pragma once

#include <cstdint>

namespace mp3 {

constexpr int kId3v2HeaderSize = 10;

// Total size in bytes of an ID3v2 tag whose 10-byte header starts at `head` (header, body and
// footer), or 0 when the bytes are no ID3v2 header.
std::int64_t id3v2TagSize(const std::uint8_t* head);

} // namespace mp3
