#include "support/OwnDecoding.h"

#include "engine/FrameReader.h"

namespace testing_support {

std::vector<std::vector<std::uint8_t>> decodeInOrder(const std::filesystem::path& path) {
    std::vector<std::vector<std::uint8_t>> frames;
    mp3::DecoderState decoder;
    std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
    mp3::FrameReader reader(path);
    for (const mp3::FrameReader end; !(reader == end); reader.readNext()) {
        const mp3::DecodeResult decoded =
            decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data());
        frames.emplace_back(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(decoded.bytes));
    }
    reader.close();
    return frames;
}

} // namespace testing_support
