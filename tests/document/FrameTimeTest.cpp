#include "document/FrameTime.h"

#include "engine/FileScan.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 417-byte frame body of zeros behind a header, with `tag` written at `at`.
std::vector<std::uint8_t> frameWith(std::vector<std::uint8_t> header, std::size_t at, const char* tag) {
    std::vector<std::uint8_t> bytes(417, 0);
    std::copy(header.begin(), header.end(), bytes.begin());
    if (tag != nullptr) {
        std::copy(tag, tag + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return bytes;
}

std::vector<std::uint8_t> cutTo(std::vector<std::uint8_t> bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

// The tag sits after the side information, whose size depends on the version and the channels;
// with a CRC, lame still writes it there, and some writers put it after the CRC.
TEST(FrameTime, XingOrInfoTagFoundOnlyWhereItBelongs) {
    const std::vector<std::uint8_t> mpeg1Stereo = {0xFF, 0xFB, 0x90, 0x44};
    const std::vector<std::uint8_t> mpeg1Mono = {0xFF, 0xFB, 0x90, 0xC4};
    const std::vector<std::uint8_t> mpeg1MonoCrc = {0xFF, 0xFA, 0x90, 0xC4};
    const std::vector<std::uint8_t> mpeg2Mono = {0xFF, 0xF3, 0x90, 0xC4};
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool expected;
    } cases[] = {
        {"Info after MPEG-1 stereo side info", frameWith(mpeg1Stereo, 36, "Info"), true},
        {"Xing after MPEG-1 stereo side info", frameWith(mpeg1Stereo, 36, "Xing"), true},
        {"Info after MPEG-1 mono side info", frameWith(mpeg1Mono, 21, "Info"), true},
        {"Info after the CRC", frameWith(mpeg1MonoCrc, 23, "Info"), true},
        {"Info where lame puts it in a frame with a CRC", frameWith(mpeg1MonoCrc, 21, "Info"), true},
        {"Info after MPEG-2 mono side info", frameWith(mpeg2Mono, 13, "Info"), true},
        {"Info one byte late", frameWith(mpeg1Stereo, 37, "Info"), false},
        {"Info where a mono frame keeps it, in a stereo frame", frameWith(mpeg1Stereo, 21, "Info"), false},
        {"no tag", frameWith(mpeg1Stereo, 0, nullptr), false},
        {"cut short before the tag ends", cutTo(frameWith(mpeg1Stereo, 36, "Info"), 39), false},
        {"no frame header", frameWith({0x00, 0x00, 0x00, 0x00}, 36, "Info"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isXingOrInfoFrame(c.bytes.data(), c.bytes.size()), c.expected) << c.what;
    }
}

TEST(FrameTime, ClockOfTheFixtures) {
    const struct {
        const char* file;
        int samplesPerFrame;
        int sampleRate;
        int firstAudioFrame;
    } cases[] = {
        {"cbr128.mp3", 1152, 44100, 1},
        {"vbr.mp3", 1152, 44100, 1},
        {"mpeg2-mono.mp3", 576, 22050, 0},
        {"mpeg25.mp3", 576, 8000, 0},
    };
    for (const auto& c : cases) {
        const mp3::LevelScan scan = mp3::scanLevels(testing_support::fixture(c.file));
        ASSERT_FALSE(scan.offsets.empty()) << c.file;
        const std::optional<FrameClock> clock =
            readFrameClock(testing_support::fixture(c.file), scan.offsets.front(), scan.lengths.front());
        ASSERT_TRUE(clock.has_value()) << c.file;
        EXPECT_EQ(clock->samplesPerFrame, c.samplesPerFrame) << c.file;
        EXPECT_EQ(clock->sampleRate, c.sampleRate) << c.file;
        EXPECT_EQ(clock->firstAudioFrame, c.firstAudioFrame) << c.file;
    }
    EXPECT_FALSE(readFrameClock(testing_support::fixture("no-such-file.mp3"), 0, 417).has_value());
}

// Start times worked out by hand: audio frames before the frame x samples per frame / sample rate,
// to the nearest millisecond; an Info frame holds no audio.
TEST(FrameTime, ExactStartTimesForEveryStreamKind) {
    const struct {
        int sampleRate;
        int samplesPerFrame;
        int leadingFrames;
        std::int64_t frame;
        std::int64_t samples;
        std::int64_t ms;
    } cases[] = {
        // 45962 x 1152 / 44100 = 1200.640 s: 26 ms a frame would say 1195.012 s.
        {44100, 1152, 1, 45963, 52'948'224, 1'200'640},
        // 22969 x 1152 / 44100 = 600.00653 s.
        {44100, 1152, 1, 22970, 26'460'288, 600'007},
        // The same frame numbers without an Info frame start one frame later.
        {44100, 1152, 0, 45963, 52'949'376, 1'200'666},
        {48000, 1152, 0, 1000, 1'152'000, 24'000},
        {48000, 1152, 1, 1001, 1'152'000, 24'000},
        {32000, 1152, 0, 777, 895'104, 27'972},
        // MPEG-2 and 2.5 Layer III: 576 samples a frame.
        {22050, 576, 0, 1001, 576'576, 26'149}, // 26148.57 ms
        {24000, 576, 1, 4001, 2'304'000, 96'000},
        {16000, 576, 0, 333, 191'808, 11'988},
        {8000, 576, 1, 31, 17'280, 2'160},
        {11025, 576, 0, 97, 55'872, 5'068}, // 5067.76 ms
        {12000, 576, 0, 1, 576, 48},
        // The Info frame and the first audio frame both start at 0.
        {44100, 1152, 1, 0, 0, 0},
        {44100, 1152, 1, 1, 0, 0},
        // 1000 hours of frames stay exact in 64 bits: 3599999 x 1152 / 44100 = 94040.79020 s.
        {44100, 1152, 1, 3'600'000, 4'147'198'848, 94'040'790},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sampleRate) + " Hz, frame " + std::to_string(c.frame));
        const FrameTimeline timeline{c.sampleRate, c.samplesPerFrame, c.leadingFrames, 0};
        EXPECT_EQ(timeline.samplesBefore(c.frame), c.samples);
        EXPECT_EQ(timeline.startMs(c.frame), c.ms);
        EXPECT_NEAR(timeline.frameStart(static_cast<int>(c.frame)) * 1000.0, static_cast<double>(c.ms), 0.5);
        // The time pane's clock tells the same time.
        const FrameClock clock{c.samplesPerFrame, c.sampleRate, c.leadingFrames};
        EXPECT_EQ(clock.startMs(c.frame), c.ms);
    }
    const FrameTimeline whole{44100, 1152, 1, 45963};
    EXPECT_EQ(whole.endMs(), 1'200'640);
}

TEST(FrameTime, StartsAndTexts) {
    const FrameClock withInfo{1152, 44100, 1};
    EXPECT_EQ(withInfo.startMs(0), 0);
    EXPECT_EQ(withInfo.startMs(1), 0);
    // 38 x 1152 / 44100 = 992.65 ms.
    EXPECT_EQ(withInfo.startMs(39), 993);
    // Twelve hours of frames stay exact in 64 bits.
    EXPECT_EQ(withInfo.startMs(1'653'751), 43'200'000);
    const struct {
        std::int64_t ms;
        const char* text;
    } texts[] = {{0, "0:00:00.000"},         {992, "0:00:00.992"},         {61'005, "0:01:01.005"},
                 {3'723'004, "1:02:03.004"}, {43'200'000, "12:00:00.000"}, {-5, "0:00:00.000"}};
    for (const auto& t : texts) {
        EXPECT_EQ(formatFrameTime(t.ms), t.text);
    }
}

} // namespace
