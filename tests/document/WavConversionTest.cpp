#include "DocumentHarness.h"

#include "engine/WavWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

using testing_support::fixture;
using testing_support::readBytes;
using testing_support::runCommand;
using testing_support::scratchDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t le32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}
std::uint32_t le16(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

// channels, rate, sample width and frames as Python's wave module reads them.
std::string readWithPython(const std::filesystem::path& wav) {
    int status = 0;
    const std::string out = runCommand("python3 -c \"import wave; w = wave.open('" + wav.string() +
                                           "'); print(w.getnchannels(), w.getframerate(), w.getsampwidth(), "
                                           "w.getnframes())\"",
                                       &status);
    return status == 0 ? out : "python failed";
}

void convert(DocumentHarness& h, const std::filesystem::path& wav) {
    h.doc.startWavConversion(wav);
    ASSERT_TRUE(h.doc.m_wavThread.isSet());
    ASSERT_TRUE(h.link.dispatchUntil(UM_WAV_DONE));
    EXPECT_FALSE(h.doc.m_wavThread.isSet());
}

TEST(WavWriter, HeaderOfAThousandStereoFrames) {
    const auto h = mp3::wavHeader(2, 44100, 4608000);
    const Bytes bytes(h.begin(), h.end());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), 4608036u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 16), 16u);
    EXPECT_EQ(le16(bytes, 20), 1u);
    EXPECT_EQ(le16(bytes, 22), 2u);
    EXPECT_EQ(le32(bytes, 24), 44100u);
    EXPECT_EQ(le32(bytes, 28), 176400u);
    EXPECT_EQ(le16(bytes, 32), 4u);
    EXPECT_EQ(le16(bytes, 34), 16u);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(le32(bytes, 40), 4608000u);
}

TEST(WavWriter, RefusesDataBeyondItsLimit) {
    const auto dir = scratchDir("wav-writer-limit");
    mp3::WavWriter writer(dir / "x.wav", 2, 44100, 10);
    const Bytes pcm(8, 1);
    EXPECT_TRUE(writer.write(pcm.data(), pcm.size()));
    EXPECT_FALSE(writer.write(pcm.data(), pcm.size()));
    EXPECT_EQ(writer.status(), mp3::WavWriter::Status::TooLarge);
    EXPECT_EQ(writer.dataBytes(), 8u);
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(mp3::kMaxWavDataBytes + 36, 0xFFFFFFFFull);
}

TEST(WavConversion, WritesEveryFrameAndMatchesMpg123) {
    const auto dir = scratchDir("wav-stereo");
    const auto source = fixture("ten-seconds.mp3");
    DocumentHarness h;
    h.load(source);
    h.link.clearRecords();
    convert(h, dir / "out.wav");

    const Bytes wav = readBytes(dir / "out.wav");
    ASSERT_EQ(wav.size(), 44u + 385u * 4608u);
    EXPECT_EQ(le32(wav, 4), 385u * 4608u + 36u);
    EXPECT_EQ(le32(wav, 40), 385u * 4608u);
    EXPECT_EQ(le32(wav, 28), 176400u);
    EXPECT_EQ(readWithPython(dir / "out.wav"), "2 44100 2 443520\n");

    // mpg123 skips the Info frame that we decode as a frame of silence.
    int status = 0;
    const std::string reference = runCommand("mpg123 --no-gapless -q -s '" + source.string() + "'", &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(wav.size() - 44 - 4608, reference.size());
    EXPECT_TRUE(
        std::all_of(wav.begin() + 44, wav.begin() + 44 + 4608, [](std::uint8_t b) { return b == 0; }));
    // The process's one decoder keeps its state from the files other tests decoded before, which
    // can move a sample by one step; a fresh process (the command-line test) matches exactly.
    int largestStep = 0;
    for (std::size_t at = 0; at + 1 < reference.size(); at += 2) {
        const auto ours = static_cast<std::int16_t>(le16(wav, 44 + 4608 + at));
        const auto theirs = static_cast<std::int16_t>(static_cast<std::uint8_t>(reference[at]) |
                                                      (static_cast<std::uint8_t>(reference[at + 1]) << 8));
        largestStep = std::max(largestStep, std::abs(ours - theirs));
    }
    EXPECT_LE(largestStep, 1);

    const auto records = h.link.records();
    ASSERT_GE(records.size(), 5u);
    EXPECT_EQ(records[0].message, UM_PROGRESS_SHOW);
    EXPECT_EQ(records[0].wParam, 1u);
    EXPECT_EQ(records[1].message, UM_PROGRESS_SET);
    EXPECT_EQ(records[1].lParam, 385);
    EXPECT_EQ(records[records.size() - 4].wParam, 384u); // the last frame
    EXPECT_EQ(records[records.size() - 3].message, UM_PROGRESS_SHOW);
    EXPECT_EQ(records[records.size() - 3].wParam, 0u);
    EXPECT_EQ(records[records.size() - 2].message, UM_WAV_DONE);
    EXPECT_EQ(records.back().text, "Current mp3 file has been saved to wav format.");
}

TEST(WavConversion, MonoMpeg2Header) {
    const auto dir = scratchDir("wav-mono");
    DocumentHarness h;
    h.load(fixture("mpeg2-mono.mp3"));
    convert(h, dir / "mono.wav");
    const Bytes wav = readBytes(dir / "mono.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(le16(wav, 22), 1u);
    EXPECT_EQ(le32(wav, 24), 22050u);
    EXPECT_EQ(le32(wav, 28), 44100u);
    EXPECT_EQ(le16(wav, 32), 2u);
    EXPECT_EQ(le32(wav, 40), wav.size() - 44);
    std::istringstream python(readWithPython(dir / "mono.wav"));
    int channels = 0, rate = 0, width = 0, frames = 0;
    python >> channels >> rate >> width >> frames;
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(static_cast<std::size_t>(frames) * 2, wav.size() - 44);
}

TEST(WavConversion, RefusesToOverwriteTheLoadedFile) {
    const auto dir = scratchDir("wav-same");
    const auto source = dir / "song.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), source);
    const auto size = std::filesystem::file_size(source);
    DocumentHarness h;
    h.load(source);
    h.link.clearRecords();
    for (const auto& spelling : {source, dir / "." / "song.mp3", dir / ".." / dir.filename() / "song.mp3"}) {
        h.doc.startWavConversion(spelling);
        EXPECT_FALSE(h.doc.m_wavThread.isSet());
    }
    ASSERT_EQ(h.prompts.boxes.size(), 3u);
    EXPECT_EQ(h.prompts.boxes[0].caption, "Error");
    EXPECT_EQ(h.prompts.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(std::filesystem::file_size(source), size);
    EXPECT_TRUE(h.link.records().empty());
}

TEST(WavConversion, OutputThatCannotBeCreatedIsAnErrorNotASuccess) {
    const auto dir = scratchDir("wav-fail");
    DocumentHarness h;
    h.load(fixture("cbr128.mp3"));
    h.link.clearRecords();
    convert(h, dir / "no-such-folder" / "out.wav");
    convert(h, dir); // a folder
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Can not create wav file " + (dir / "no-such-folder" / "out.wav").string() +
                             ", the mp3 file has not been converted!");
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST(WavConversion, PcmBeyondTheSizeFieldsIsRefused) {
    const auto dir = scratchDir("wav-large");
    DocumentHarness h;
    h.load(fixture("cbr128.mp3"));
    h.link.clearRecords();
    h.doc.m_wavDataLimit = 20 * 4608; // stands in for the 4 GiB of the size fields
    convert(h, dir / "big.wav");
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("which a wav file can not hold"), std::string::npos);
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "big.wav"));

    // Exactly at the limit still fits.
    h.link.clearRecords();
    h.doc.m_wavDataLimit = static_cast<std::uint64_t>(h.doc.frameCount()) * 4608;
    convert(h, dir / "fits.wav");
    EXPECT_EQ(h.link.logLines(), std::vector<std::string>{"Current mp3 file has been saved to wav format."});
}

} // namespace
