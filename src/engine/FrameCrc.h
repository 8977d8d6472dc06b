#pragma once

#include "engine/FrameHeader.h"

#include <cstddef>
#include <cstdint>

namespace mp3 {

// The CRC-16 that follows the header of a protected frame: polynomial 0x8005, not reflected, starting
// at 0xFFFF, over the last two header bytes and the `protectedBytes` bytes after the CRC (for Layer III,
// the side information).
std::uint16_t frameCrc(const std::uint8_t* frame, std::size_t protectedBytes);

// Rewrites the CRC of a protected frame after its side information changed; nothing for a frame
// without one. `frame` holds at least 6 + `protectedBytes` bytes.
void refreshFrameCrc(const FrameHeader& header, std::uint8_t* frame, std::size_t protectedBytes);

} // namespace mp3
