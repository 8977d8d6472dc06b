#include "engine/FrameCrc.h"

namespace mp3 {

namespace {

std::uint16_t crcUpdate(std::uint16_t crc, std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool feedback = ((crc >> 15) & 1) != ((byte >> bit) & 1);
        crc = static_cast<std::uint16_t>(crc << 1);
        if (feedback) {
            crc ^= 0x8005;
        }
    }
    return crc;
}

} // namespace

std::uint16_t frameCrc(const std::uint8_t* frame, std::size_t protectedBytes) {
    std::uint16_t crc = 0xFFFF;
    crc = crcUpdate(crc, frame[2]);
    crc = crcUpdate(crc, frame[3]);
    for (std::size_t i = 0; i < protectedBytes; ++i) {
        crc = crcUpdate(crc, frame[6 + i]);
    }
    return crc;
}

void refreshFrameCrc(const FrameHeader& header, std::uint8_t* frame, std::size_t protectedBytes) {
    // The protection bit is 0 when a CRC follows the header.
    if (header.protection != 0) {
        return;
    }
    const std::uint16_t crc = frameCrc(frame, protectedBytes);
    frame[4] = static_cast<std::uint8_t>(crc >> 8);
    frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
}

} // namespace mp3
