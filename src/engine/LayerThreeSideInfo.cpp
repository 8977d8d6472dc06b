#include "engine/LayerThreeSideInfo.h"

#include <algorithm>

namespace mp3 {

namespace {

constexpr std::uint32_t kLayerThree = 1;
constexpr std::uint32_t kMpeg1 = 3;
constexpr std::uint32_t kMono = 3;

} // namespace

LayerThreeSideInfo::LayerThreeSideInfo(const FrameHeader& header, const std::uint8_t* frame,
                                       std::size_t length) {
    if (header.layer != kLayerThree || header.version == 1) {
        return;
    }
    m_lsf = header.version != kMpeg1;
    m_channels = header.channelMode == kMono ? 1 : 2;
    m_granules = m_lsf ? 1 : 2;
    if (m_lsf) {
        m_sideBytes = m_channels == 1 ? 9 : 17;
    } else {
        m_sideBytes = m_channels == 1 ? 17 : 32;
    }
    // The protection bit is 0 when a 16-bit CRC follows the header.
    const std::size_t start = header.protection == 0 ? 6 : 4;
    if (length < start + static_cast<std::size_t>(m_sideBytes)) {
        return;
    }
    m_side = frame + start;
    m_sideOffset = start;
    m_mainDataBytes = static_cast<int>(length - start) - m_sideBytes;
    m_valid = true;
}

int LayerThreeSideInfo::bits(int from, int count) const {
    int value = 0;
    for (int bit = from; bit < from + count; ++bit) {
        value = (value << 1) | ((m_side[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return value;
}

int LayerThreeSideInfo::mainDataBegin() const {
    return bits(0, m_lsf ? 8 : 9);
}

int LayerThreeSideInfo::channelInfo(int granule, int channel) const {
    // main_data_begin, private bits, and for MPEG-1 the scale factor selection of each channel.
    const int head = m_lsf ? 8 + (m_channels == 1 ? 1 : 2) : 9 + (m_channels == 1 ? 5 : 3) + 4 * m_channels;
    const int perChannel = m_lsf ? 63 : 59;
    return head + (granule * m_channels + channel) * perChannel;
}

int LayerThreeSideInfo::part23Length(int granule, int channel) const {
    return bits(channelInfo(granule, channel), 12);
}

int LayerThreeSideInfo::globalGainBit(int granule, int channel) const {
    // After part2_3_length and big_values.
    return channelInfo(granule, channel) + 12 + 9;
}

int LayerThreeSideInfo::globalGain(int granule, int channel) const {
    return bits(globalGainBit(granule, channel), 8);
}

void LayerThreeSideInfo::setGlobalGain(std::uint8_t* side, int bit, int gain) {
    // Eight bits straddle two bytes unless they start on a byte boundary.
    const int shift = bit % 8;
    const unsigned field = static_cast<unsigned>(gain & 0xFF) << (8 - shift);
    const unsigned mask = 0xFFu << (8 - shift);
    const int first = bit / 8;
    side[first] = static_cast<std::uint8_t>((side[first] & ~(mask >> 8)) | (field >> 8));
    if (shift != 0) {
        side[first + 1] = static_cast<std::uint8_t>((side[first + 1] & ~mask) | (field & 0xFF));
    }
}

bool LayerThreeSideInfo::blockTypeRefused(int granule, int channel) const {
    // part2_3_length, big_values, global_gain and scalefac_compress come first.
    const int windowSwitching = channelInfo(granule, channel) + 12 + 9 + 8 + (m_lsf ? 9 : 4);
    return bits(windowSwitching, 1) == 1 && bits(windowSwitching + 1, 2) == 0;
}

bool LayerThreeSideInfo::granuleCodesAudio(int granule) const {
    for (int channel = 0; channel < m_channels; ++channel) {
        if (part23Length(granule, channel) > 0) {
            return true;
        }
    }
    return false;
}

void LayerThreeSideInfo::emptyGranules(std::uint8_t* frame) const {
    std::uint8_t* side = frame + m_sideOffset;
    const int kept = m_lsf ? 8 : 9;
    side[kept / 8] &= static_cast<std::uint8_t>(0xff00 >> (kept % 8));
    std::fill(side + kept / 8 + 1, side + m_sideBytes, std::uint8_t{0});
}

} // namespace mp3
