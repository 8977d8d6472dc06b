#include "engine/FileScan.h"
#include "engine/ProcessDecoding.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/StreamCheck.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

struct Observer : mp3::LevelScanObserver {
    std::string line;
    int handled = 0;
    std::int64_t bytes = 0;
    void streamOpened(const mp3::FrameReader& reader) override {
        line = mp3::streamInfoLine(reader.header());
    }
    void frameHandled(int framesHandled, std::int64_t bytesHandled) override {
        handled = framesHandled;
        bytes = bytesHandled;
    }
};

struct ScanCase {
    const char* file;
    int frames;
    const char* line;
};

class FixtureScan : public testing::TestWithParam<ScanCase> {};

TEST_P(FixtureScan, CountsFramesAndReportsFrameZerosFormat) {
    mp3::processDecoding().cache.clear();
    Observer observer;
    const mp3::LevelScan scan = mp3::scanLevels(fixture(GetParam().file), &observer);
    EXPECT_EQ(static_cast<int>(scan.levels.size()), GetParam().frames);
    EXPECT_EQ(scan.rawLevels.size(), scan.levels.size());
    EXPECT_EQ(scan.offsets.size(), scan.levels.size());
    EXPECT_EQ(observer.line, GetParam().line);
    EXPECT_EQ(observer.handled, GetParam().frames);
    EXPECT_EQ(observer.bytes, scan.totalBytes);
    mp3::processDecoding().cache.clear();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixtureScan,
    testing::Values(
        ScanCase{"cbr128.mp3", 79, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS"},
        ScanCase{"ten-seconds.mp3", 385, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS"},
        ScanCase{"vbr.mp3", 79, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS"},
        ScanCase{"mpeg2-mono.mp3", 79, "MP3 file basic info: 22050 Hz, 1 channel(s), 32000 BPS"},
        ScanCase{"mpeg25.mp3", 30, "MP3 file basic info: 8000 Hz, 1 channel(s), 16000 BPS"},
        ScanCase{"id3v1.mp3", 79, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS"},
        ScanCase{"id3v2-cover.mp3", 79, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS"}));

TEST(FileScan, TotalIsTheSumOfFrameLengthsNotTheFileSize) {
    mp3::processDecoding().cache.clear();
    const auto path = fixture("id3v1.mp3");
    const mp3::LevelScan scan = mp3::scanLevels(path);
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    EXPECT_EQ(scan.totalBytes, size - 128); // everything but the ID3v1 tag
    std::int64_t sum = 0;
    for (mp3::FrameReader reader(path); !(reader == mp3::FrameReader()); reader.readNext()) {
        EXPECT_TRUE(reader.frameLength() == 417 || reader.frameLength() == 418);
        sum += reader.frameLength();
    }
    EXPECT_EQ(sum, scan.totalBytes);
    mp3::processDecoding().cache.clear();
}

TEST(FileScan, CoverPictureInAnId3v2TagDoesNotHideTheAudio) {
    const auto tagged = fixture("id3v2-cover.mp3");
    const auto bytes = testing_support::readBytes(tagged);
    ASSERT_GE(bytes.size(), 10u);
    const std::int64_t tagSize = 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]);
    const std::array<std::uint8_t, 2> falseSync = {0xFF, 0xE0};
    ASSERT_NE(std::search(bytes.begin(), bytes.begin() + tagSize, falseSync.begin(), falseSync.end()),
              bytes.begin() + tagSize);
    mp3::processDecoding().cache.clear();
    const mp3::LevelScan scan = mp3::scanLevels(tagged);
    mp3::processDecoding().cache.clear();
    const mp3::LevelScan plain = mp3::scanLevels(fixture("cbr128.mp3"));
    mp3::processDecoding().cache.clear();
    ASSERT_EQ(scan.offsets.size(), plain.offsets.size());
    EXPECT_GE(scan.offsets[0], tagSize);
    EXPECT_EQ(scan.rawLevels, plain.rawLevels);
}

TEST(FileScan, FileWithoutFramesGivesTheLineOfAnEmptyHeader) {
    const auto path = testing_support::scratchDir("scan-empty") / "zeros.mp3";
    testing_support::writeBytes(path, std::vector<std::uint8_t>(100, 0));
    Observer observer;
    const mp3::LevelScan scan = mp3::scanLevels(path, &observer);
    EXPECT_TRUE(scan.levels.empty());
    EXPECT_EQ(scan.totalBytes, 0);
    EXPECT_EQ(observer.line, "MP3 file basic info: 11025 Hz, 2 channel(s), -1 BPS");
}

// mpg123 is the independent decoder: our frame count is its decoded frames plus the Info frame it
// drops, and our raw level of each frame is the magnitude of the first sample of that frame's PCM.
class AgreesWithMpg123 : public testing::TestWithParam<const char*> {};

bool isInfoFrame(const mp3::FrameReader& reader) {
    const std::string bytes(reinterpret_cast<const char*>(reader.frameData()),
                            static_cast<std::size_t>(reader.frameLength()));
    return bytes.find("Info") != std::string::npos || bytes.find("Xing") != std::string::npos;
}

TEST_P(AgreesWithMpg123, FrameCountLevelsAndPcm) {
    const auto path = fixture(GetParam());
    int status = -1;
    const std::string reference =
        testing_support::runCommand("mpg123 --no-gapless -q -s '" + path.string() + "' 2>/dev/null", &status);
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(reference.empty());

    mp3::processDecoding().cache.clear();
    const mp3::LevelScan scan = mp3::scanLevels(path);
    const mp3::FrameReader first(path);
    const int skipped = isInfoFrame(first) ? 1 : 0;
    const int channels = first.header().channels();
    const int samplesPerFrame = first.header().version == 3 ? 1152 : 576;
    const auto frameBytes = static_cast<std::size_t>(samplesPerFrame * channels * 2);
    ASSERT_EQ(reference.size() % frameBytes, 0u);
    const auto decoded = static_cast<int>(reference.size() / frameBytes);
    EXPECT_EQ(static_cast<int>(scan.rawLevels.size()), decoded + skipped);

    std::string ours;
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    int frame = 0;
    for (mp3::FrameReader reader(path); !(reader == mp3::FrameReader()); reader.readNext(), ++frame) {
        const std::size_t n = mp3::framePcm(mp3::processDecoding(), reader, pcm.data());
        if (frame >= skipped) {
            ours.append(reinterpret_cast<const char*>(pcm.data()), n);
        }
    }
    EXPECT_TRUE(ours == reference) << "PCM differs from mpg123's";
    for (int i = 0; i < decoded && i + skipped < static_cast<int>(scan.rawLevels.size()); ++i) {
        const auto* sample = reinterpret_cast<const std::uint8_t*>(reference.data()) + i * frameBytes;
        ASSERT_EQ(scan.rawLevels[static_cast<std::size_t>(i + skipped)], mp3::frameLevel(sample))
            << "frame " << i + skipped;
    }
    if (skipped) {
        EXPECT_EQ(scan.rawLevels[0], 0);
    }
    mp3::processDecoding().cache.clear();
}

INSTANTIATE_TEST_SUITE_P(LameFiles, AgreesWithMpg123,
                         testing::Values("cbr128.mp3", "ten-seconds.mp3", "vbr.mp3", "mpeg2-mono.mp3",
                                         "mpeg25.mp3", "id3v1.mp3", "id3v2-cover.mp3"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

} // namespace

namespace {

// A day of 48 kHz audio is 3.6 M frames: the frame limit lets it load, and a limit is applied from
// the frame count, before anything is decoded. The file repeats one silent 96-byte frame (MPEG-1
// Layer III, 32 kbit/s, mono); a whole load of it decodes for many seconds, so only the count runs.
TEST(FileScan, ADayAt48KHzFitsTheFrameLimitWhichIsCheckedBeforeDecoding) {
    const auto dir = testing_support::scratchDir("day-at-48k");
    const auto path = dir / "day.mp3";
    int status = -1;
    testing_support::runCommand("cd '" + dir.string() +
                                    "' && sox -n -r 48000 -c 1 quiet.wav trim 0 1 && "
                                    "lame --quiet --cbr -b 32 -m m --resample 48 quiet.wav quiet.mp3",
                                &status);
    ASSERT_EQ(status, 0);
    const auto encoded = testing_support::readBytes(dir / "quiet.mp3");
    const std::vector<std::uint8_t> header = {0xFF, 0xFB, 0x14, 0xC4};
    const auto last = std::find_end(encoded.begin(), encoded.end(), header.begin(), header.end());
    ASSERT_NE(last, encoded.end());
    const std::vector<std::uint8_t> frame(last, last + 96);
    constexpr int kDay = 3'600'000;
    {
        std::vector<std::uint8_t> chunk;
        for (int i = 0; i < 100'000; ++i) {
            chunk.insert(chunk.end(), frame.begin(), frame.end());
        }
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kDay / 100'000; ++i) {
            out.write(reinterpret_cast<const char*>(chunk.data()),
                      static_cast<std::streamsize>(chunk.size()));
        }
    }
    EXPECT_EQ(mp3::countFrames(path, mp3::kMaxIndexedFrames), kDay);
    EXPECT_GE(mp3::kMaxIndexedFrames, kDay);

    testing_support::OwnDecoding own(0);
    const std::uint64_t decodedBefore = mp3::decoderCallCount();
    const mp3::LevelScan refused = mp3::scanLevels(own.decoding(), path, nullptr, {}, kDay - 1);
    EXPECT_TRUE(refused.tooManyFrames);
    EXPECT_TRUE(refused.levels.empty());
    EXPECT_EQ(mp3::decoderCallCount(), decodedBefore);
    std::filesystem::remove(path);
}

} // namespace
