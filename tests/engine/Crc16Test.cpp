#include "engine/XingFrame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The LAME tag's CRC-16 a bit at a time (reflected 0x8005, that is 0xA001), as its definition reads.
std::uint16_t bitwiseCrc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

} // namespace

// Long runs take a faster way than short ones (sixteen bytes a step where the processor can): every
// length around its edges, frame sizes and long runs, any start in memory and any CRC to go on from
// give the bit-by-bit sum.
TEST(Crc16, EveryLengthStartAndRunningValueGiveTheBitwiseSum) {
    std::mt19937 random(16);
    std::vector<std::uint8_t> bytes(70000);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 200; ++length) {
        lengths.push_back(length);
    }
    for (const std::size_t length : {417u, 418u, 1441u, 2881u, 4103u, 65536u, 69990u}) {
        lengths.push_back(length);
    }
    for (const std::size_t length : lengths) {
        for (const std::size_t start : {0u, 1u, 7u}) {
            for (const std::uint16_t from :
                 {std::uint16_t{0}, std::uint16_t{0xBEEF}, std::uint16_t{0x00FF}}) {
                ASSERT_EQ(mp3::crc16(bytes.data() + start, length, from),
                          bitwiseCrc16(bytes.data() + start, length, from))
                    << "length " << length << ", start " << start << ", from " << from;
            }
        }
    }
}
