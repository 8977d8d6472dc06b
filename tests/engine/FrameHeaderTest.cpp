#include "engine/FrameHeader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

namespace {

mp3::FrameHeader parsed(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    mp3::FrameHeader header;
    header.raw = {0xFF, b1, b2, b3};
    EXPECT_TRUE(header.parse());
    return header;
}

struct HeaderCase {
    const char* what;
    std::uint8_t b1, b2, b3;
    std::int32_t bitrate, sampleRate, channels, length;
};

std::ostream& operator<<(std::ostream& out, const HeaderCase& c) {
    return out << c.what;
}

class HeaderTable : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTable, BitrateSampleRateChannelsAndLength) {
    const HeaderCase& c = GetParam();
    const mp3::FrameHeader header = parsed(c.b1, c.b2, c.b3);
    EXPECT_EQ(header.bitrate(), c.bitrate);
    EXPECT_EQ(header.sampleRate(), c.sampleRate);
    EXPECT_EQ(header.channels(), c.channels);
    EXPECT_EQ(header.frameLength(), c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HeaderTable,
    testing::Values(HeaderCase{"mpeg1_layer3_128k_44100", 0xFB, 0x90, 0x64, 128000, 44100, 2, 417},
                    HeaderCase{"mpeg1_layer3_128k_44100_padded", 0xFB, 0x92, 0x64, 128000, 44100, 2, 418},
                    HeaderCase{"mpeg1_layer1_32k_44100", 0xFF, 0x10, 0x00, 32000, 44100, 2, 32},
                    HeaderCase{"mpeg1_layer1_32k_44100_padded", 0xFF, 0x12, 0x00, 32000, 44100, 2, 36},
                    HeaderCase{"mpeg2_layer2_64k_24000", 0xF5, 0x84, 0x00, 64000, 24000, 2, 384},
                    HeaderCase{"mpeg2_layer3_64k_22050", 0xF3, 0x80, 0x00, 64000, 22050, 2, 208},
                    HeaderCase{"mpeg2_layer3_64k_22050_padded", 0xF3, 0x82, 0x00, 64000, 22050, 2, 209},
                    HeaderCase{"mpeg2_layer3_32k_22050_mono", 0xF3, 0x40, 0xC4, 32000, 22050, 1, 104},
                    HeaderCase{"mpeg1_layer2_384k_32000_padded_largest", 0xFD, 0xEA, 0x00, 384000, 32000, 2,
                               1729},
                    // MPEG-2.5 takes the MPEG-2 rows.
                    HeaderCase{"mpeg25_layer3_16k_8000_mono", 0xE3, 0x28, 0xC4, 16000, 8000, 1, 144},
                    HeaderCase{"mpeg25_layer3_64k_11025", 0xE3, 0x80, 0x00, 64000, 11025, 2, 417},
                    HeaderCase{"mpeg25_layer3_8k_12000_padded", 0xE3, 0x16, 0x00, 8000, 12000, 2, 49},
                    HeaderCase{"mpeg25_layer1_32k_8000", 0xE7, 0x18, 0x00, 32000, 8000, 2, 192},
                    // MPEG-2.5 Layer II has no length rule.
                    HeaderCase{"mpeg25_layer2", 0xE5, 0x80, 0x00, 64000, 11025, 2, 0},
                    HeaderCase{"mpeg25_reserved_layer", 0xE0, 0x90, 0x10, -2, 11025, 2, 0},
                    HeaderCase{"jpeg_marker_free_format", 0xE0, 0x00, 0x10, -1, 11025, 2, 0},
                    HeaderCase{"mpeg1_reserved_layer", 0xF9, 0x90, 0x00, -2, 44100, 2, 0},
                    HeaderCase{"ff_ff_layer1_index15", 0xFF, 0xFB, 0x90, -1, 32000, 2, 4},
                    HeaderCase{"free_format_layer3", 0xFB, 0x00, 0x00, -1, 44100, 2, 0},
                    HeaderCase{"free_format_layer3_padded", 0xFB, 0x02, 0x00, -1, 44100, 2, 1},
                    HeaderCase{"index15_layer3", 0xFB, 0xF0, 0x00, -1, 44100, 2, 0},
                    HeaderCase{"free_format_layer1", 0xFF, 0x00, 0x00, -1, 44100, 2, 0},
                    HeaderCase{"free_format_layer1_padded", 0xFF, 0x02, 0x00, -1, 44100, 2, 4},
                    HeaderCase{"sample_rate_index3", 0xFB, 0x9C, 0x00, 128000, -1, 2, -18432000},
                    HeaderCase{"sample_rate_index3_free_format", 0xFB, 0x0C, 0x00, -1, -1, 2, 144},
                    HeaderCase{"sample_rate_index3_free_format_padded", 0xFB, 0x0E, 0x00, -1, -1, 2, 145},
                    HeaderCase{"reserved_version_layer3", 0xEA, 0x90, 0x00, -2, -1, 2, 144},
                    HeaderCase{"reserved_version_layer3_padded", 0xEB, 0x92, 0x00, -2, -1, 2, 145},
                    HeaderCase{"reserved_version_free_format", 0xEA, 0x00, 0x00, -1, -1, 2, 72},
                    HeaderCase{"reserved_version_index15_padded", 0xEA, 0xF2, 0x00, -1, -1, 2, 73},
                    HeaderCase{"dual_channel", 0xFB, 0x90, 0x80, 128000, 44100, 2, 417},
                    HeaderCase{"stereo", 0xFB, 0x90, 0x00, 128000, 44100, 2, 417}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.what); });

TEST(FrameHeader, ParseSplitsEveryBitField) {
    const mp3::FrameHeader header = parsed(0xFB, 0x93, 0x6F);
    EXPECT_EQ(header.version, 3u);
    EXPECT_EQ(header.layer, 1u);
    EXPECT_EQ(header.protection, 1u);
    EXPECT_EQ(header.bitrateIndex, 9u);
    EXPECT_EQ(header.sampleRateIndex, 0u);
    EXPECT_EQ(header.padding, 1u);
    EXPECT_EQ(header.privateBit, 1u);
    EXPECT_EQ(header.channelMode, 1u);
    EXPECT_EQ(header.modeExtension, 2u);
    EXPECT_EQ(header.copyrightBit, 1u);
    EXPECT_EQ(header.originalBit, 1u);
    EXPECT_EQ(header.emphasis, 3u);
}

TEST(FrameHeader, ParseRefusesBytesWithoutSyncAndChangesNothing) {
    for (const auto& raw : {std::array<std::uint8_t, 4>{0xFF, 0xD8, 0xFF, 0xE0},
                            {0xFE, 0xFB, 0x90, 0x64},
                            {0xFF, 0x7F, 0x90, 0x64}}) {
        mp3::FrameHeader header;
        header.bitrateIndex = 7;
        header.raw = raw;
        EXPECT_FALSE(header.parse());
        EXPECT_EQ(header.bitrateIndex, 7u);
        EXPECT_EQ(header.version, 0u);
    }
}

TEST(FrameHeader, DurationIsWholeMillisecondsFromLengthAndBitrate) {
    EXPECT_EQ(parsed(0xFB, 0x90, 0x64).durationMs(), 26);
    EXPECT_EQ(parsed(0xFB, 0x92, 0x64).durationMs(), 26);
    EXPECT_EQ(parsed(0xF3, 0x40, 0xC4).durationMs(), 26);
    EXPECT_EQ(parsed(0xE3, 0x28, 0xC4).durationMs(), 72);
    EXPECT_EQ(parsed(0xFD, 0xEA, 0x00).durationMs(), 36);
}

TEST(FrameHeader, OnlyRealFrameCodesDescribeAFrame) {
    EXPECT_TRUE(parsed(0xFB, 0x90, 0x64).describesFrame());
    EXPECT_TRUE(parsed(0xE3, 0x28, 0xC4).describesFrame());
    EXPECT_FALSE(parsed(0xE0, 0x00, 0x10).describesFrame()); // reserved layer
    EXPECT_FALSE(parsed(0xFB, 0x00, 0x00).describesFrame()); // free format
    EXPECT_FALSE(parsed(0xFB, 0x9C, 0x00).describesFrame()); // sample rate index 3
    EXPECT_FALSE(parsed(0xEA, 0x90, 0x00).describesFrame()); // reserved version, positive length
    EXPECT_FALSE(parsed(0xE5, 0x80, 0x00).describesFrame()); // no length rule
}

} // namespace
