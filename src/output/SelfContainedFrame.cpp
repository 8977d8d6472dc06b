#include "output/SelfContainedFrame.h"

#include "engine/FrameHeader.h"
#include "engine/XingFrame.h"

#include <algorithm>
#include <optional>

namespace {

std::uint32_t bitsAt(const std::uint8_t* data, std::size_t bit, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++bit) {
        value = (value << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return value;
}

// The bytes of main data the side information announces: the part2_3_length of every granule and
// channel.
std::size_t mainDataBytes(const mp3::FrameHeader& header, const std::uint8_t* sideInfo) {
    const bool mpeg1 = header.version == 3;
    const int channels = header.channelMode == 3 ? 1 : 2;
    const int granules = mpeg1 ? 2 : 1;
    std::size_t bit = mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * static_cast<std::size_t>(channels)
                            : 8 + static_cast<std::size_t>(channels);
    const std::size_t granuleBits = mpeg1 ? 59 : 63;
    std::size_t bits = 0;
    for (int i = 0; i < granules * channels; ++i, bit += granuleBits) {
        bits += bitsAt(sideInfo, bit, 12);
    }
    return (bits + 7) / 8;
}

} // namespace

std::vector<std::uint8_t> selfContainedFrame(const std::vector<std::uint8_t>& frame,
                                             const std::vector<std::uint8_t>& before,
                                             const std::vector<std::uint8_t>& after) {
    const int reservoir = mp3::mainDataBegin(frame.data(), frame.size());
    if (reservoir < 0 || static_cast<std::size_t>(reservoir) != before.size()) {
        return {};
    }
    mp3::FrameHeader header;
    header.raw = {frame[0], frame[1], frame[2], frame[3]};
    header.parse();
    const std::size_t sideStart = header.protection == 0 ? 6 : 4;
    const std::size_t dataStart = mp3::dataAreaOffset(header);
    if (dataStart > frame.size()) {
        return {};
    }
    // The main data as the frame's decoder reads it: the reservoir, then the frame's own data area.
    std::vector<std::uint8_t> mainData = before;
    mainData.insert(mainData.end(), frame.begin() + static_cast<std::ptrdiff_t>(dataStart), frame.end());
    const std::size_t used = mainDataBytes(header, frame.data() + sideStart);
    if (used > mainData.size()) {
        return {};
    }
    mainData.resize(used);

    mp3::FrameHeader rebuilt = header;
    rebuilt.raw[1] |= 0x01; // no CRC: its side information changes
    rebuilt.raw[2] = static_cast<std::uint8_t>(rebuilt.raw[2] & ~0x02); // no padding slot
    for (unsigned index = std::max(1u, header.bitrateIndex); index < 15; ++index) {
        rebuilt.raw[2] = static_cast<std::uint8_t>((rebuilt.raw[2] & 0x0F) | (index << 4));
        if (!rebuilt.parse() || !rebuilt.describesFrame()) {
            return {};
        }
        const auto length = static_cast<std::size_t>(rebuilt.frameLength());
        const std::size_t rebuiltStart = mp3::dataAreaOffset(rebuilt);
        if (length < rebuiltStart + mainData.size() + after.size()) {
            continue;
        }
        std::vector<std::uint8_t> bytes(length, 0);
        std::copy(rebuilt.raw.begin(), rebuilt.raw.end(), bytes.begin());
        std::copy(frame.begin() + static_cast<std::ptrdiff_t>(sideStart),
                  frame.begin() + static_cast<std::ptrdiff_t>(dataStart), bytes.begin() + 4);
        // main_data_begin: 9 bits in MPEG-1, 8 in MPEG-2 and 2.5.
        bytes[4] = 0;
        if (header.version == 3) {
            bytes[5] &= 0x7F;
        }
        std::copy(mainData.begin(), mainData.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(rebuiltStart));
        std::copy(after.begin(), after.end(), bytes.end() - static_cast<std::ptrdiff_t>(after.size()));
        return bytes;
    }
    return {};
}
