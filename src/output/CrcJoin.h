#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

// Joins CRC-16s of the LAME tag's music CRC (reflected 0x8005, from 0): the CRC of bytes A then B
// from the CRC of A and the CRC and length of B alone, so parts summed once (frames during a walk)
// give the CRC of any run of them without reading their bytes again.
class CrcJoin {
public:
    std::uint16_t append(std::uint16_t crc, std::uint16_t partCrc, std::int64_t partLength);

private:
    // What `length` zero bytes do to a CRC, by its low and its high byte (the step is linear).
    struct Shift {
        std::array<std::uint16_t, 256> low{};
        std::array<std::uint16_t, 256> high{};
    };
    const Shift& shiftFor(std::int64_t length);

    std::unordered_map<std::int64_t, Shift> m_shifts;
    const Shift* m_last = nullptr; // frames mostly repeat the length before them
    std::int64_t m_lastLength = -1;
};
