#pragma once

#include <array>
#include <cstdint>

namespace mp3 {

// The parsed four-byte header that opens every MPEG audio frame. Fields hold the raw bit codes.
struct FrameHeader {
    std::int64_t offset = 0; // file offset of the 0xFF byte
    std::array<std::uint8_t, 4> raw{};
    std::uint32_t version = 0; // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    std::uint32_t layer = 0;   // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    std::uint32_t protection = 0;
    std::uint32_t bitrateIndex = 0;
    std::uint32_t sampleRateIndex = 0;
    std::uint32_t padding = 0;
    std::uint32_t privateBit = 0;
    std::uint32_t channelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint32_t modeExtension = 0;
    std::uint32_t copyrightBit = 0;
    std::uint32_t originalBit = 0;
    std::uint32_t emphasis = 0;

    // Bitrates in kbit/s: MPEG-1 Layer I, II, III; MPEG-2 Layer I; MPEG-2 Layer II/III.
    static const std::int32_t kBitrates[5][16];
    // Sampling frequencies in Hz: MPEG-1, MPEG-2, MPEG-2.5.
    static const std::int32_t kSampleRates[3][4];
    static const std::int32_t kChannels[4];

    // Fills the parsed fields from `raw`; false (and nothing changed) when the sync bits are missing.
    bool parse();

    std::int32_t bitrate() const;     // bit/s, -1 free format or index 15, -2 reserved version or layer
    std::int32_t sampleRate() const;  // Hz or -1
    std::int32_t channels() const;    // 1 or 2
    std::int32_t frameLength() const; // bytes including the header; 0 or less when none applies
    std::int32_t durationMs() const;

    // A header whose codes give a real frame: positive bitrate and sample rate, and room for a body.
    bool describesFrame() const;
};

} // namespace mp3
