#include "engine/FrameHeader.h"

namespace mp3 {

const std::int32_t FrameHeader::kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
};

const std::int32_t FrameHeader::kSampleRates[3][4] = {
    {44100, 48000, 32000, -1},
    {22050, 24000, 16000, -1},
    {11025, 12000, 8000, -1},
};

const std::int32_t FrameHeader::kChannels[4] = {2, 2, 2, 1};

bool FrameHeader::parse() {
    const std::uint8_t b0 = raw[0], b1 = raw[1], b2 = raw[2], b3 = raw[3];
    if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) {
        return false;
    }
    version = (b1 >> 3) & 0x3;
    layer = (b1 >> 1) & 0x3;
    protection = b1 & 0x1;
    bitrateIndex = (b2 >> 4) & 0xF;
    sampleRateIndex = (b2 >> 2) & 0x3;
    padding = (b2 >> 1) & 0x1;
    privateBit = b2 & 0x1;
    channelMode = (b3 >> 6) & 0x3;
    modeExtension = (b3 >> 4) & 0x3;
    copyrightBit = (b3 >> 3) & 0x1;
    originalBit = (b3 >> 2) & 0x1;
    emphasis = b3 & 0x3;
    return true;
}

std::int32_t FrameHeader::bitrate() const {
    if (bitrateIndex == 0 || bitrateIndex == 15) {
        return -1;
    }
    if (version == 3) {
        switch (layer) {
        case 3:
            return kBitrates[0][bitrateIndex] * 1000;
        case 2:
            return kBitrates[1][bitrateIndex] * 1000;
        case 1:
            return kBitrates[2][bitrateIndex] * 1000;
        default:
            return -2;
        }
    }
    // MPEG-2.5 shares the MPEG-2 rows.
    if (version == 2 || version == 0) {
        switch (layer) {
        case 3:
            return kBitrates[3][bitrateIndex] * 1000;
        case 2:
        case 1:
            return kBitrates[4][bitrateIndex] * 1000;
        default:
            return -2;
        }
    }
    return -2;
}

std::int32_t FrameHeader::sampleRate() const {
    switch (version) {
    case 3:
        return kSampleRates[0][sampleRateIndex & 3];
    case 2:
        return kSampleRates[1][sampleRateIndex & 3];
    case 0:
        return kSampleRates[2][sampleRateIndex & 3];
    default:
        return -1;
    }
}

std::int32_t FrameHeader::channels() const {
    return kChannels[channelMode & 3];
}

std::int32_t FrameHeader::frameLength() const {
    const double b = bitrate();
    const double s = sampleRate();
    const auto pad = static_cast<std::int32_t>(padding);
    if (layer == 3) {
        return (static_cast<std::int32_t>(12.0 * b / s) + pad) * 4;
    }
    if (version == 3 || (version == 2 && layer == 2)) {
        return static_cast<std::int32_t>(144.0 * b / s) + pad;
    }
    if (layer == 1) {
        return static_cast<std::int32_t>(72.0 * b / s) + pad;
    }
    return 0;
}

std::int32_t FrameHeader::durationMs() const {
    const std::int32_t rate = bitrate();
    if (rate == 0) {
        return 0;
    }
    return frameLength() * 8000 / rate;
}

bool FrameHeader::describesFrame() const {
    return bitrate() > 0 && sampleRate() > 0 && frameLength() > 4;
}

} // namespace mp3
