#include "support/FrameFiles.h"

#include "support/TestFiles.h"

#include "engine/FrameReader.h"

namespace testing_support {

int readerFrameCount(const std::filesystem::path& path) {
    mp3::FrameReader reader(path);
    const mp3::FrameReader end;
    int count = 0;
    for (; !(reader == end); reader.readNext()) {
        ++count;
    }
    reader.close();
    return count;
}

std::vector<std::uint8_t> numberedFrame(int number) {
    std::vector<std::uint8_t> frame = makeFrame(0xFB, 0x90, 0x64);
    // After the side information, so the frame still decodes as silence.
    for (int i = 0; i < 4; ++i) {
        frame[100 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(number >> (8 * i));
    }
    return frame;
}

std::filesystem::path writeNumberedFrames(const std::filesystem::path& path, int count,
                                          const std::vector<std::uint8_t>& prefix) {
    std::vector<std::uint8_t> bytes = prefix;
    for (int i = 0; i < count; ++i) {
        append(bytes, numberedFrame(i));
    }
    writeBytes(path, bytes);
    return path;
}

std::vector<WalkedFrame> independentWalk(const std::filesystem::path& path) {
    static const int kBitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[4] = {44100, 48000, 32000, 0};
    const std::vector<std::uint8_t> bytes = readBytes(path);
    std::size_t at = 0;
    if (bytes.size() >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        at = 10 + (std::size_t{bytes[6]} << 21 | std::size_t{bytes[7]} << 14 | std::size_t{bytes[8]} << 7 |
                   bytes[9]);
    }
    std::vector<WalkedFrame> frames;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF || (bytes[at + 1] & 0xFE) != 0xFA) {
            ++at;
            continue;
        }
        const int bitrate = kBitrates[bytes[at + 2] >> 4] * 1000;
        const int rate = kRates[(bytes[at + 2] >> 2) & 3];
        if (bitrate == 0 || rate == 0) {
            ++at;
            continue;
        }
        const int length = 144 * bitrate / rate + ((bytes[at + 2] >> 1) & 1);
        if (at + static_cast<std::size_t>(length) > bytes.size()) {
            break;
        }
        frames.push_back({static_cast<std::int64_t>(at), length});
        at += static_cast<std::size_t>(length);
    }
    return frames;
}

std::vector<std::uint8_t> frameBytes(const std::filesystem::path& source, int from, int to) {
    const std::vector<std::uint8_t> bytes = readBytes(source);
    const std::vector<WalkedFrame> frames = independentWalk(source);
    std::vector<std::uint8_t> out;
    for (int i = from; i < to && i < static_cast<int>(frames.size()); ++i) {
        const auto& frame = frames[static_cast<std::size_t>(i)];
        out.insert(out.end(), bytes.begin() + frame.offset, bytes.begin() + frame.offset + frame.length);
    }
    return out;
}

} // namespace testing_support
