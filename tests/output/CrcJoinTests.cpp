#include "engine/XingFrame.h"
#include "output/CrcJoin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

// Joining the CRCs of parts gives the CRC of the bytes summed in one go, for parts of frame sizes
// (both paddings of 128 kbit/s, the largest Layer III frame) and the edge lengths, in any order.
TEST(CrcJoin, JoinedPartsGiveTheCrcOfTheWhole) {
    std::mt19937 random(23);
    const std::vector<std::size_t> lengths = {0, 1, 2, 15, 16, 17, 417, 418, 417, 1441, 104, 418, 3, 2881};
    std::vector<std::uint8_t> whole;
    CrcJoin join;
    std::uint16_t joined = 0;
    for (const std::size_t length : lengths) {
        std::vector<std::uint8_t> part(length);
        for (std::uint8_t& byte : part) {
            byte = static_cast<std::uint8_t>(random());
        }
        whole.insert(whole.end(), part.begin(), part.end());
        joined = join.append(joined, mp3::crc16(part.data(), part.size()), static_cast<std::int64_t>(length));
        EXPECT_EQ(joined, mp3::crc16(whole.data(), whole.size())) << "after a part of " << length;
    }
}
