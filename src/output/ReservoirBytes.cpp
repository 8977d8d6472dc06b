#include "output/ReservoirBytes.h"

#include "engine/XingFrame.h"

#include <algorithm>

std::optional<mp3::FrameHeader> layerThreeHeaderOf(const std::vector<std::uint8_t>& frame) {
    if (frame.size() < 4) {
        return std::nullopt;
    }
    mp3::FrameHeader header;
    header.raw = {frame[0], frame[1], frame[2], frame[3]};
    if (!header.parse() || !header.describesFrame() || header.layer != 1) {
        return std::nullopt;
    }
    return header;
}

std::vector<std::uint8_t>
reservoirBytesBefore(int frame, int firstAudio, std::size_t count,
                     const std::function<std::vector<std::uint8_t>(int)>& readFrame) {
    std::vector<std::uint8_t> bytes(count, 0);
    std::size_t missing = count;
    for (int k = frame - 1; k >= firstAudio && missing > 0; --k) {
        const std::vector<std::uint8_t> data = readFrame(k);
        const std::optional<mp3::FrameHeader> header = layerThreeHeaderOf(data);
        if (!header) {
            break;
        }
        const std::size_t dataStart = mp3::dataAreaOffset(*header);
        if (dataStart >= data.size()) {
            continue;
        }
        const std::size_t take = std::min(missing, data.size() - dataStart);
        std::copy(data.end() - static_cast<std::ptrdiff_t>(take), data.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(missing - take));
        missing -= take;
    }
    return bytes;
}
