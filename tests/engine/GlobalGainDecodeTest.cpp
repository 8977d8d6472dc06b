#include "engine/FrameReader.h"
#include "engine/GlobalGain.h"
#include "engine/XingFrame.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::runCommand;
using testing_support::scratchDir;

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// A copy of `source` with every audio frame's global_gain raised by `steps` (the Info frame stays as
// it is: its granules code nothing, and its tag CRC covers its side information).
void writeGainedCopy(const std::filesystem::path& source, const std::filesystem::path& target, int steps) {
    std::vector<std::uint8_t> bytes;
    mp3::FrameReader reader(source);
    for (; !reader.atEnd(); reader.readNext()) {
        std::vector<std::uint8_t> frame(reader.frameData(), reader.frameData() + reader.frameLength());
        if (!mp3::XingFrame::parse(frame.data(), frame.size())) {
            const mp3::GainOutcome outcome = mp3::changeGlobalGain(
                reader.header(), frame.data(), frame.size(), mp3::FrameGain::uniform(steps));
            EXPECT_TRUE(outcome.changed);
            EXPECT_EQ(outcome.shortfallSteps, 0);
        }
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    reader.close();
    testing_support::writeBytes(target, bytes);
}

template <typename Sample> std::vector<Sample> decode(const std::string& command) {
    int status = 0;
    const std::string raw = runCommand(command, &status);
    EXPECT_EQ(status, 0) << command;
    std::vector<Sample> samples(raw.size() / sizeof(Sample));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(Sample));
    return samples;
}

struct Decoder {
    const char* name;
    std::string (*floatCommand)(const std::filesystem::path&);
    std::string (*shortCommand)(const std::filesystem::path&);
};

const std::vector<Decoder>& decoders() {
    static const std::vector<Decoder> table = {
        {"mpg123", [](const std::filesystem::path& p) { return "mpg123 -q -e f32 -s " + quoted(p); },
         [](const std::filesystem::path& p) { return "mpg123 -q -e s16 -s " + quoted(p); }},
        {"ffmpeg",
         [](const std::filesystem::path& p) { return "ffmpeg -v error -i " + quoted(p) + " -f f32le -"; },
         [](const std::filesystem::path& p) { return "ffmpeg -v error -i " + quoted(p) + " -f s16le -"; }},
    };
    return table;
}

struct Comparison {
    std::size_t compared = 0;
    std::size_t clipped = 0;
    double worst = 0; // largest |16-bit decode - rounded reference| in LSB
};

// The 16-bit decode of the changed file against the float decode of the source, scaled by 2^(steps/4)
// and rounded as a decoder rounds. Samples whose reference would clip are left out.
Comparison compare(const std::vector<float>& source, const std::vector<std::int16_t>& changed, int steps) {
    Comparison result;
    const double scale = std::pow(2.0, steps / 4.0) * 32768.0;
    EXPECT_EQ(source.size(), changed.size());
    for (std::size_t i = 0; i < std::min(source.size(), changed.size()); ++i) {
        const double reference = std::nearbyint(source[i] * scale);
        if (reference >= 32767 || reference <= -32768) {
            ++result.clipped;
            continue;
        }
        result.worst = std::max(result.worst, std::abs(reference - changed[i]));
        ++result.compared;
    }
    return result;
}

struct Stream {
    const char* name;
    int rate;
    int channels;
    const char* lameOptions;
    int steps;
};

// Joint stereo, forced mid/side, plain stereo with CRC, VBR, MPEG-2 and MPEG-2.5, mono; gains both
// ways, whole and fractional powers of two.
const std::vector<Stream>& streams() {
    static const std::vector<Stream> table = {
        {"cbr-joint", 44100, 2, "-b 128 -m j", 3},
        {"vbr-joint", 44100, 2, "-V 4", -5},
        {"mid-side", 44100, 2, "-b 112 -m f", 2},
        {"stereo-crc", 44100, 2, "-b 160 -m s -p", -1},
        {"mpeg1-mono", 32000, 1, "-b 64", 4},
        {"mpeg2-mono", 22050, 1, "-b 32", -4},
        {"mpeg2-joint-crc", 24000, 2, "-b 48 -m j -p", 2},
        {"mpeg25-joint", 11025, 2, "-b 32 -m j", 1},
        {"mpeg25-mono-crc", 8000, 1, "-b 16 -p", 6},
    };
    return table;
}

std::filesystem::path makeStream(const std::filesystem::path& dir, const Stream& stream) {
    const std::filesystem::path wav = dir / (std::string(stream.name) + ".wav");
    const std::filesystem::path mp3 = dir / (std::string(stream.name) + ".mp3");
    int status = 0;
    // A tone with noise at about -14 dBFS: room for the raised gains before anything clips.
    runCommand("sox -R -n -r " + std::to_string(stream.rate) + " -c " + std::to_string(stream.channels) +
                   " " + quoted(wav) + " synth 3 sine 330 synth 3 pinknoise mix vol 0.2 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    runCommand("lame --quiet " + std::string(stream.lameOptions) + " " + quoted(wav) + " " + quoted(mp3) +
                   " 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    return mp3;
}

std::string mp3valComplaints(const std::filesystem::path& file) {
    int status = 0;
    const std::string report = runCommand("mp3val " + quoted(file) + " 2>&1", &status);
    if (status != 0 || report.find("Done!") == std::string::npos) {
        return "mp3val did not run: " + report;
    }
    std::string complaints;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("ERROR", 0) == 0 ||
            (line.rfind("WARNING", 0) == 0 && line.find("No supported tags") == std::string::npos)) {
            complaints += line + "\n";
        }
    }
    return complaints;
}

// A gain of g steps scales every decoded sample by 2^(g/4). Both the decoder and the reference round
// to the nearest integer from values that agree to a float's precision, so they can land on the two
// sides of a half and differ by one: the bound is 1 LSB, and a decoder that truncated would miss it.
TEST(GlobalGainDecode, DecodesToTheSourceScaledWithinOneLsb) {
    const std::filesystem::path dir = scratchDir("global-gain-decode");
    for (const Stream& stream : streams()) {
        SCOPED_TRACE(stream.name);
        const std::filesystem::path source = makeStream(dir, stream);
        const std::filesystem::path changed = dir / (std::string(stream.name) + "-gain.mp3");
        writeGainedCopy(source, changed, stream.steps);
        EXPECT_EQ(mp3valComplaints(changed), "");
        for (const Decoder& decoder : decoders()) {
            SCOPED_TRACE(decoder.name);
            const std::vector<float> reference = decode<float>(decoder.floatCommand(source));
            // The untouched source first: the float decode is the 16-bit one before rounding.
            const Comparison unchanged =
                compare(reference, decode<std::int16_t>(decoder.shortCommand(source)), 0);
            EXPECT_LE(unchanged.worst, 1.0);
            const Comparison scaled =
                compare(reference, decode<std::int16_t>(decoder.shortCommand(changed)), stream.steps);
            EXPECT_LE(scaled.worst, 1.0);
            EXPECT_GT(scaled.compared, reference.size() * 99 / 100);
            // The changed file really is louder or quieter: a decode that ignored the gain would
            // miss by far more than one.
            const Comparison ignored =
                compare(reference, decode<std::int16_t>(decoder.shortCommand(source)), stream.steps);
            EXPECT_GT(ignored.worst, 100.0);
        }
    }
}

} // namespace
