#include "engine/WavWriter.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using testing_support::runCommand;
using testing_support::scratchDir;

std::uint64_t le(const std::uint8_t* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

std::string tag(const std::uint8_t* at) {
    return std::string(reinterpret_cast<const char*>(at), 4);
}

struct SizeCase {
    std::uint64_t dataBytes;
    bool rf64;
};

// Sizes around the 32-bit fields' end, and twelve hours of stereo 44.1 kHz PCM.
TEST(Wav64Header, SizesPastThe32BitFieldsGoToDs64AndTheRestStayRiff) {
    const std::uint64_t lastRiff = 0xFFFFFFFFull - 72; // the RIFF size field holds data + 72
    const SizeCase cases[] = {
        {0, false},           {4608000, false},       {lastRiff, false},
        {lastRiff + 1, true}, {0x100000000ull, true}, {7'620'480'000ull, true},
    };
    for (const SizeCase& c : cases) {
        for (const bool forced : {false, true}) {
            const bool rf64 = c.rf64 || forced;
            const auto header = mp3::wav64Header(2, 44100, c.dataBytes, rf64);
            const std::uint8_t* h = header.data();
            SCOPED_TRACE(std::to_string(c.dataBytes) + (forced ? " forced" : ""));
            EXPECT_EQ(tag(h), rf64 ? "RF64" : "RIFF");
            EXPECT_EQ(tag(h + 8), "WAVE");
            EXPECT_EQ(tag(h + 12), rf64 ? "ds64" : "JUNK");
            EXPECT_EQ(le(h + 16, 4), 28u);
            EXPECT_EQ(tag(h + 48), "fmt ");
            EXPECT_EQ(le(h + 52, 4), 16u);
            EXPECT_EQ(le(h + 56, 2), 1u);
            EXPECT_EQ(le(h + 58, 2), 2u);
            EXPECT_EQ(le(h + 60, 4), 44100u);
            EXPECT_EQ(le(h + 64, 4), 176400u);
            EXPECT_EQ(le(h + 68, 2), 4u);
            EXPECT_EQ(le(h + 70, 2), 16u);
            EXPECT_EQ(tag(h + 72), "data");
            if (rf64) {
                EXPECT_EQ(le(h + 4, 4), 0xFFFFFFFFu);
                EXPECT_EQ(le(h + 20, 8), c.dataBytes + 72);
                EXPECT_EQ(le(h + 28, 8), c.dataBytes);
                EXPECT_EQ(le(h + 36, 8), c.dataBytes / 4);
                EXPECT_EQ(le(h + 44, 4), 0u);
                EXPECT_EQ(le(h + 76, 4), 0xFFFFFFFFu);
            } else {
                EXPECT_EQ(le(h + 4, 4), c.dataBytes + 72);
                EXPECT_EQ(le(h + 76, 4), c.dataBytes);
            }
        }
    }
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Real readers take what the writer makes in each layout: the samples come back unchanged.
TEST(WavWriterLayouts, SoxAndFfmpegReadEveryLayout) {
    const auto dir = scratchDir("wav-layouts");
    std::vector<std::uint8_t> pcm(4 * 4410);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::uint8_t>(i * 37 + i / 256);
    }
    const std::pair<mp3::WavLayout, std::size_t> layouts[] = {
        {mp3::WavLayout::Plain, mp3::kWavHeaderSize},
        {mp3::WavLayout::Reserved, mp3::kWav64HeaderSize},
        {mp3::WavLayout::Rf64, mp3::kWav64HeaderSize},
    };
    for (const auto& [layout, headerSize] : layouts) {
        const auto wav = dir / ("layout" + std::to_string(static_cast<int>(layout)) + ".wav");
        mp3::WavWriter writer(wav, 2, 44100, mp3::kMaxWavDataBytes, layout);
        ASSERT_TRUE(writer.write(pcm.data(), pcm.size()));
        ASSERT_TRUE(writer.finish());
        const auto bytes = fileBytes(wav);
        ASSERT_EQ(bytes.size(), headerSize + pcm.size());
        EXPECT_EQ(tag(bytes.data()), layout == mp3::WavLayout::Rf64 ? "RF64" : "RIFF");

        const std::string raw(pcm.begin(), pcm.end());
        int status = -1;
        const std::string fromSox = runCommand("sox '" + wav.string() + "' -t raw -", &status);
        EXPECT_EQ(status, 0) << "sox";
        EXPECT_TRUE(fromSox == raw) << "sox, layout " << static_cast<int>(layout);
        const std::string fromFfmpeg =
            runCommand("ffmpeg -v error -i '" + wav.string() + "' -f s16le -acodec pcm_s16le -", &status);
        EXPECT_EQ(status, 0) << "ffmpeg";
        EXPECT_TRUE(fromFfmpeg == raw) << "ffmpeg, layout " << static_cast<int>(layout);
    }
}

// The header is chosen before the data is written: the plain one exactly when the PCM fits its
// 32-bit sizes. That holds because the bound is what a clean decode gives, not an estimate.
TEST(WavLayoutChoice, TheBoundIsTheDecodedSizeAndThePlainHeaderIsKeptUpToThe32BitEnd) {
    for (const char* file : {"cbr128.mp3", "vbr.mp3", "mpeg2-mono.mp3", "mpeg25.mp3", "mpeg2-info.mp3",
                             "mpeg25-info.mp3", "id3v2-cover.mp3", "ten-seconds.mp3"}) {
        std::uint64_t decoded = 0;
        for (const auto& frame : testing_support::decodeInOrder(testing_support::fixture(file))) {
            decoded += frame.size();
        }
        EXPECT_EQ(mp3::filePcmBound(testing_support::fixture(file)), decoded) << file;
    }
    EXPECT_EQ(mp3::wavLayoutFor(0), mp3::WavLayout::Plain);
    EXPECT_EQ(mp3::wavLayoutFor(mp3::kMaxWavDataBytes), mp3::WavLayout::Plain);
    EXPECT_EQ(mp3::wavLayoutFor(mp3::kMaxWavDataBytes + 1), mp3::WavLayout::Reserved);
    EXPECT_EQ(mp3::wavLayoutFor(7'620'480'000ull), mp3::WavLayout::Reserved);
}

} // namespace
