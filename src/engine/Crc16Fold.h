#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

// The CRC-16 of the LAME tag (reflected 0x8005) by carry-less multiplication, sixteen bytes a step,
// where the processor has it: the first size - size % 16 bytes, summed on from `crc`, are folded
// into one lane of 16 bytes whose CRC from 0, summed on over the size % 16 bytes left, is the CRC of
// the whole. False (nothing done) where the processor lacks the instruction or `size` is below
// kFoldMinimum.
struct Crc16Folded {
    std::uint8_t lane[16];
};
constexpr std::size_t kFoldMinimum = 64;
bool foldCrc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc, Crc16Folded& folded);

} // namespace mp3
