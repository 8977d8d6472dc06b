#include "engine/GlobalGain.h"
#include "engine/FrameCrc.h"
#include "engine/FrameReader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::makeFrame;

mp3::FrameHeader header(const std::vector<std::uint8_t>& frame) {
    mp3::FrameHeader parsed;
    parsed.raw = {frame[0], frame[1], frame[2], frame[3]};
    parsed.parse();
    return parsed;
}

// Bits counted from the first byte of the side information, written and read by hand here rather
// than through the parser under test.
void putBits(std::vector<std::uint8_t>& frame, std::size_t sideStart, int bit, int count, int value) {
    for (int i = 0; i < count; ++i) {
        const int at = bit + i;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (at % 8));
        std::uint8_t& byte = frame[sideStart + static_cast<std::size_t>(at / 8)];
        byte = ((value >> (count - 1 - i)) & 1) != 0 ? (byte | mask) : (byte & ~mask);
    }
}

int getBits(const std::vector<std::uint8_t>& frame, std::size_t sideStart, int bit, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const int at = bit + i;
        value = (value << 1) | ((frame[sideStart + static_cast<std::size_t>(at / 8)] >> (7 - at % 8)) & 1);
    }
    return value;
}

// Where each granule's part2_3_length starts, worked out from the layout of the side information:
// main_data_begin, private bits and (MPEG-1) scfsi, then 59 bits (MPEG-1) or 63 bits (MPEG-2/2.5)
// per granule and channel; global_gain follows 12 + 9 bits later.
struct Field {
    int part23Bit;
    int granule;
    int channel;
};

struct Layout {
    const char* name;
    std::uint8_t b1, b2, b3;
    std::size_t sideStart;
    int sideBytes;
    std::vector<Field> fields;
};

const std::vector<Layout>& layouts() {
    static const std::vector<Field> mpeg1Stereo = {{20, 0, 0}, {79, 0, 1}, {138, 1, 0}, {197, 1, 1}};
    static const std::vector<Field> lsfStereo = {{10, 0, 0}, {73, 0, 1}};
    static const std::vector<Layout> table = {
        {"mpeg1-stereo", 0xFB, 0x90, 0x00, 4, 32, mpeg1Stereo},
        {"mpeg1-joint-ms-is", 0xFB, 0x90, 0x70, 4, 32, mpeg1Stereo},
        {"mpeg1-mono", 0xFB, 0x90, 0xC0, 4, 17, {{18, 0, 0}, {77, 1, 0}}},
        {"mpeg1-stereo-crc", 0xFA, 0x90, 0x00, 6, 32, mpeg1Stereo},
        {"mpeg2-joint", 0xF3, 0x80, 0x70, 4, 17, lsfStereo},
        {"mpeg2-mono-crc", 0xF2, 0x80, 0xC0, 6, 9, {{9, 0, 0}}},
        {"mpeg25-mono", 0xE3, 0x40, 0xC0, 4, 9, {{9, 0, 0}}},
        {"mpeg25-stereo-crc", 0xE2, 0x40, 0x00, 6, 17, lsfStereo},
    };
    return table;
}

using Gains = std::array<std::array<int, 2>, 2>; // [granule][channel]

// A frame whose side information holds the gains, part2_3_length 100 everywhere, and ones in every
// other bit of the side information and main data, so a write that spills over a field shows.
std::vector<std::uint8_t> frameWithGains(const Layout& layout, const Gains& gains) {
    std::vector<std::uint8_t> frame = makeFrame(layout.b1, layout.b2, layout.b3);
    for (std::size_t i = layout.sideStart; i < frame.size(); ++i) {
        frame[i] = 0xFF;
    }
    for (const Field& field : layout.fields) {
        putBits(frame, layout.sideStart, field.part23Bit, 12, 100);
        putBits(frame, layout.sideStart, field.part23Bit + 21, 8, gains[field.granule][field.channel]);
    }
    return frame;
}

std::vector<int> gainsOf(const Layout& layout, const std::vector<std::uint8_t>& frame) {
    std::vector<int> gains;
    for (const Field& field : layout.fields) {
        gains.push_back(getBits(frame, layout.sideStart, field.part23Bit + 21, 8));
    }
    return gains;
}

std::vector<int> expectedGains(const Layout& layout, const Gains& gains) {
    std::vector<int> values;
    for (const Field& field : layout.fields) {
        values.push_back(gains[field.granule][field.channel]);
    }
    return values;
}

// Everything but the global_gain fields and the CRC stays as it was.
void expectOnlyGainsChanged(const Layout& layout, std::vector<std::uint8_t> before,
                            std::vector<std::uint8_t> after) {
    ASSERT_EQ(before.size(), after.size());
    for (const Field& field : layout.fields) {
        putBits(before, layout.sideStart, field.part23Bit + 21, 8, 0);
        putBits(after, layout.sideStart, field.part23Bit + 21, 8, 0);
    }
    if (layout.sideStart == 6) {
        before[4] = before[5] = after[4] = after[5] = 0;
    }
    EXPECT_EQ(before, after);
}

mp3::FrameGain ramp(int first, int second) {
    mp3::FrameGain gain;
    gain.granules[0].steps = {first, first};
    gain.granules[1].steps = {second, second};
    return gain;
}

mp3::FrameGain perChannel(int left, int right) {
    mp3::FrameGain gain;
    gain.granules[0].steps = {left, right};
    gain.granules[1].steps = {left, right};
    return gain;
}

mp3::FrameGain silence() {
    mp3::FrameGain gain = mp3::FrameGain::uniform(3);
    gain.granules[0].silence = true;
    gain.granules[1].silence = true;
    return gain;
}

struct GainCase {
    const char* name;
    Gains before;
    mp3::FrameGain gain;
    Gains after;
    // The shortfall when granule 0 channel 0 is the only field (one-granule mono).
    int shortfallFirstField;
    int shortfallAllFields;
};

const std::vector<GainCase>& gainCases() {
    static const std::vector<GainCase> table = {
        {"raise", {{{150, 151}, {152, 153}}}, mp3::FrameGain::uniform(4), {{{154, 155}, {156, 157}}}, 0, 0},
        {"lower", {{{150, 151}, {152, 153}}}, mp3::FrameGain::uniform(-9), {{{141, 142}, {143, 144}}}, 0, 0},
        {"ramp per granule", {{{150, 150}, {150, 150}}}, ramp(-2, -6), {{{148, 148}, {144, 144}}}, 0, 0},
        {"per channel", {{{150, 150}, {150, 150}}}, perChannel(1, -1), {{{151, 149}, {151, 149}}}, 0, 0},
        {"clamped high",
         {{{250, 200}, {253, 100}}},
         mp3::FrameGain::uniform(10),
         {{{255, 210}, {255, 110}}},
         5,
         8},
        {"clamped low", {{{3, 200}, {9, 100}}}, mp3::FrameGain::uniform(-10), {{{0, 190}, {0, 90}}}, 7, 7},
        {"silence", {{{150, 151}, {152, 153}}}, silence(), {{{0, 0}, {0, 0}}}, 0, 0},
    };
    return table;
}

TEST(GlobalGain, ChangesOnlyTheGainFieldsOfEveryLayout) {
    for (const Layout& layout : layouts()) {
        for (const GainCase& change : gainCases()) {
            SCOPED_TRACE(std::string(layout.name) + " / " + change.name);
            const std::vector<std::uint8_t> frame = frameWithGains(layout, change.before);
            std::vector<std::uint8_t> changed = frame;
            const mp3::GainOutcome outcome =
                mp3::changeGlobalGain(header(frame), changed.data(), changed.size(), change.gain);
            EXPECT_TRUE(outcome.changed);
            EXPECT_EQ(gainsOf(layout, changed), expectedGains(layout, change.after));
            expectOnlyGainsChanged(layout, frame, changed);
            if (layout.fields.size() == 4) {
                EXPECT_EQ(outcome.shortfallSteps, change.shortfallAllFields);
            } else if (layout.fields.size() == 1) {
                EXPECT_EQ(outcome.shortfallSteps, change.shortfallFirstField);
            }
            if (layout.sideStart == 6) {
                const std::uint16_t crc =
                    mp3::frameCrc(changed.data(), static_cast<std::size_t>(layout.sideBytes));
                EXPECT_EQ(changed[4], crc >> 8);
                EXPECT_EQ(changed[5], crc & 0xFF);
            }
        }
    }
}

TEST(GlobalGain, GranulesWithoutAudioDoNotCountAsShortfall) {
    const Layout& layout = layouts()[0];
    std::vector<std::uint8_t> frame = frameWithGains(layout, {{{250, 250}, {250, 250}}});
    // Channel 1 of granule 1 codes nothing; the others code audio.
    putBits(frame, layout.sideStart, layout.fields[3].part23Bit, 12, 0);
    putBits(frame, layout.sideStart, layout.fields[2].part23Bit + 21, 8, 240);
    const mp3::GainOutcome outcome =
        mp3::changeGlobalGain(header(frame), frame.data(), frame.size(), ramp(0, 20));
    EXPECT_EQ(gainsOf(layout, frame), (std::vector<int>{250, 250, 255, 255}));
    EXPECT_EQ(outcome.shortfallSteps, 5);
}

TEST(GlobalGain, LeavesOtherFramesAlone) {
    struct Refused {
        const char* name;
        std::vector<std::uint8_t> frame;
    };
    std::vector<std::uint8_t> shortFrame = makeFrame(0xFB, 0x90, 0x00);
    shortFrame.resize(20); // less than header and 32 bytes of side information
    const std::vector<Refused> refused = {
        {"layer II", makeFrame(0xFD, 0x90, 0x00)},
        {"layer I", makeFrame(0xFF, 0x90, 0x00)},
        {"too short", shortFrame},
    };
    for (const Refused& entry : refused) {
        SCOPED_TRACE(entry.name);
        std::vector<std::uint8_t> frame = entry.frame;
        for (std::size_t i = 4; i < frame.size(); ++i) {
            frame[i] = static_cast<std::uint8_t>(i * 7);
        }
        std::vector<std::uint8_t> changed = frame;
        const mp3::GainOutcome outcome =
            mp3::changeGlobalGain(header(frame), changed.data(), changed.size(), mp3::FrameGain::uniform(4));
        EXPECT_FALSE(outcome.changed);
        EXPECT_EQ(changed, frame);
    }
}

// lame -p wrote these CRCs; ours must agree on every frame before any change.
TEST(GlobalGain, FrameCrcAgreesWithLame) {
    mp3::FrameReader reader(fixture("crc.mp3"));
    int checked = 0;
    for (; !reader.atEnd(); reader.readNext()) {
        const mp3::FrameHeader& frameHeader = reader.header();
        ASSERT_EQ(frameHeader.protection, 0u);
        const std::uint8_t* bytes = reader.frameData();
        const std::size_t sideBytes = frameHeader.version == 3 ? (frameHeader.channelMode == 3 ? 17 : 32)
                                                               : (frameHeader.channelMode == 3 ? 9 : 17);
        const std::uint16_t crc = mp3::frameCrc(bytes, sideBytes);
        EXPECT_EQ(bytes[4], crc >> 8) << "frame " << reader.frameNumber();
        EXPECT_EQ(bytes[5], crc & 0xFF) << "frame " << reader.frameNumber();
        ++checked;
    }
    reader.close();
    EXPECT_GT(checked, 10);
}

} // namespace
