#pragma once

#include "engine/FrameHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace mp3 {

// The header frame LAME and most encoders put first: a silent Layer III frame whose data area holds
// "Xing" (VBR) or "Info" (CBR), then the frame count, the byte count, a seek table (TOC), a quality
// value, and LAME's 36-byte tag with the encoder delay, the padding and two CRCs.
//
// Gapless arithmetic. A gapless decoder (mpg123, ffmpeg) decodes every audio frame after this frame
// into one stream of `frames` × samples-per-frame samples and keeps only
//     [delay + kDecoderDelay, frames × samplesPerFrame − padding + kDecoderDelay)
// of it; kDecoderDelay (529) is the decoder's own latency. So a piece whose decoded stream must
// yield exactly the samples [begin, end) of that stream gets delay = begin − 529 and
// padding = frames × samplesPerFrame + 529 − end, both of which must fit LAME's 12-bit fields.
//
// Counts follow LAME: `frames` leaves this frame out, `bytes` and the music length count it, the
// music CRC covers the audio frames after it, and the tag CRC covers every byte of this frame up to
// the tag CRC itself. Both CRCs are CRC-16 with the polynomial 0x8005, reflected, starting at 0.
constexpr int kDecoderDelay = 529;
constexpr int kMaxTrim = 4095;
constexpr std::size_t kTocSize = 100;
constexpr std::size_t kLameTagSize = 36;

// The delay and padding that make a gapless decoder keep exactly [begin, end) of the decoded stream of
// `frames` frames; either may fall outside 0..kMaxTrim, which the caller must check.
struct GaplessTrim {
    std::int64_t delay = 0;
    std::int64_t padding = 0;
    bool fits() const { return delay >= 0 && delay <= kMaxTrim && padding >= 0 && padding <= kMaxTrim; }
};
GaplessTrim gaplessTrim(int samplesPerFrame, std::int64_t frames, std::int64_t begin, std::int64_t end);

std::uint16_t crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

// Samples one channel of a frame decodes to.
int samplesPerFrame(const FrameHeader& header);
// Where the Xing tag starts in a Layer III frame: after the header and the side information. lame
// writes it there whether or not the frame has a CRC, and mpg123 and ffmpeg read it there; a tag found
// after the CRC instead is read and rewritten where it is.
std::size_t xingOffset(const FrameHeader& header);
// The length of a frame holding the whole tag, LAME tag included.
std::size_t xingFrameNeeds(const FrameHeader& header);

class LameTag {
public:
    LameTag() = default;
    explicit LameTag(const std::array<std::uint8_t, kLameTagSize>& raw) : m_raw(raw) {}
    // A tag with only the fields a gapless decoder reads; `encoder` fills the version string.
    static LameTag fresh(const char* encoder);

    const std::array<std::uint8_t, kLameTagSize>& raw() const { return m_raw; }
    int encoderDelay() const;
    int padding() const;
    std::uint32_t musicLength() const;
    std::uint16_t musicCrc() const;
    std::uint16_t tagCrc() const;

    // Values outside 0..4095 are clamped.
    void setEncoderDelay(int samples);
    void setPadding(int samples);
    void setMusicLength(std::uint32_t bytes);
    void setMusicCrc(std::uint16_t crc);

private:
    std::array<std::uint8_t, kLameTagSize> m_raw{};
};

struct XingFrame {
    bool vbr = false; // "Xing" rather than "Info"
    std::optional<std::uint32_t> frames;
    std::optional<std::uint32_t> bytes;
    std::optional<std::array<std::uint8_t, kTocSize>> toc;
    std::optional<std::uint32_t> quality;
    std::optional<LameTag> lame;

    // The tag of a whole frame (header included), when the frame is a Layer III frame carrying one.
    // Fields that do not fit the frame are left out; nothing in the tag is trusted beyond that.
    static std::optional<XingFrame> parse(const std::uint8_t* frame, std::size_t length);
};

// Writes the tag into a frame whose header and side information are already in place, filling the
// tag CRC; fields that do not fit are dropped from the flags, the LAME tag first. False when not even
// the magic and the flags fit.
bool writeXingFrame(const XingFrame& tag, std::uint8_t* frame, std::size_t length);

// The seek table of a stream: entry i is the offset of the frame at i % of the playing time, from the
// start of the Xing frame, in 256ths of `totalBytes`. `audioOffsets` are the audio frames' offsets
// from the Xing frame's start.
std::array<std::uint8_t, kTocSize> makeToc(const std::vector<std::uint32_t>& audioOffsets,
                                           std::uint32_t totalBytes);

// The bytes of a silent Layer III frame like `model` (same version, rate and mode) whose data area
// ends with `reservoir`: a decoder keeps those bytes for the main data of the frames after it. The
// bitrate is the model's when the data area is large enough, else the smallest that holds both
// `reservoir` and `minimumLength`. Empty when no bitrate is large enough.
std::vector<std::uint8_t> makeSilentFrame(const FrameHeader& model,
                                          const std::vector<std::uint8_t>& reservoir,
                                          std::size_t minimumLength = 0);

// The side information's main_data_begin of a Layer III frame: how many bytes before this frame's
// data area its main data starts. -1 when the frame is too short to tell.
int mainDataBegin(const std::uint8_t* frame, std::size_t length);
// Where a Layer III frame's data area starts (after header, CRC and side information).
std::size_t dataAreaOffset(const FrameHeader& header);

} // namespace mp3
