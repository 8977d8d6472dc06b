#include "output/CrcJoin.h"

#include "engine/XingFrame.h"

#include <vector>

std::uint16_t CrcJoin::append(std::uint16_t crc, std::uint16_t partCrc, std::int64_t partLength) {
    if (partLength <= 0) {
        return crc;
    }
    const Shift& shift = shiftFor(partLength);
    return static_cast<std::uint16_t>(shift.low[crc & 0xFF] ^ shift.high[crc >> 8] ^ partCrc);
}

const CrcJoin::Shift& CrcJoin::shiftFor(std::int64_t length) {
    if (length == m_lastLength) {
        return *m_last;
    }
    auto found = m_shifts.find(length);
    if (found == m_shifts.end()) {
        // Each bit of the CRC run through the zero bytes; every other value is a sum of those.
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(length), 0);
        std::array<std::uint16_t, 16> bits{};
        for (int bit = 0; bit < 16; ++bit) {
            bits[static_cast<std::size_t>(bit)] =
                mp3::crc16(zeros.data(), zeros.size(), static_cast<std::uint16_t>(1u << bit));
        }
        Shift shift;
        for (unsigned value = 0; value < 256; ++value) {
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((value >> bit) & 1u) {
                    shift.low[value] ^= bits[bit];
                    shift.high[value] ^= bits[bit + 8];
                }
            }
        }
        found = m_shifts.emplace(length, shift).first;
    }
    m_last = &found->second;
    m_lastLength = length;
    return *m_last;
}
