#include "DocumentHarness.h"

#include "engine/StreamCheck.h"
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testing_support::fixture;
using testing_support::readBytes;
using testing_support::runCommand;
using testing_support::scratchDir;
using testing_support::writeBytes;

namespace {

const std::string kNotLoaded = "; it has not been loaded!";

bool anyLineStarts(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
}

// The first `count` frames of cbr128.mp3 (an Info frame, then audio), each followed by `gap` zero bytes.
std::vector<std::uint8_t> framesOfCbr128(int count, std::size_t gap) {
    std::vector<std::uint8_t> bytes;
    mp3::FrameReader reader(fixture("cbr128.mp3"));
    for (int i = 0; i < count; ++i, reader.readNext()) {
        bytes.insert(bytes.end(), reader.frameData(), reader.frameData() + reader.frameLength());
        bytes.insert(bytes.end(), gap, 0);
    }
    reader.close();
    return bytes;
}

// Files that are no MPEG audio stream: one level-2 line says why, nothing is loaded (not even the
// line about the stream), and the command-line tool ends with status 1 and that line.
TEST(StreamRefusal, FilesThatAreNoMp3StreamAreRefusedWithOneLine) {
    const auto dir = scratchDir("stream-refusal");
    int status = -1;
    runCommand("cd '" + dir.string() +
                   "' && sox -n -r 44100 -c 2 tone.wav synth 2 sine 440 vol 0.5 && "
                   "lame --quiet --freeformat -b 64 tone.wav free.mp3",
               &status);
    ASSERT_EQ(status, 0);
    const std::string text = "# Kerfline\n\nCuts MP3 files into pieces without re-encoding them.\n\n"
                             "    cmake -S . -B build && cmake --build build\n";
    writeBytes(dir / "README.md", std::vector<std::uint8_t>(text.begin(), text.end()));
    // A reserved version code (01) in the first header, before real frames.
    std::vector<std::uint8_t> reserved = {0xFF, 0xEB, 0x90, 0x64, 0, 0, 0, 0};
    const auto audio = readBytes(fixture("cbr128.mp3"));
    reserved.insert(reserved.end(), audio.begin(), audio.end());
    writeBytes(dir / "reserved.mp3", reserved);
    // Real frames, but never two in a row.
    writeBytes(dir / "apart.mp3", framesOfCbr128(40, 7));

    struct Case {
        const char* name;
        std::string reason;
    };
    const Case cases[] = {
        {"free.mp3", " is a free-format MP3 file, whose frames can not be found without decoding"},
        {"README.md", " is not an MP3 file: it holds no MPEG audio frame"},
        {"tone.wav", ""}, // PCM whose first sync pattern happens to carry reserved codes
        {"reserved.mp3", " is not an MP3 file: its first frame header has reserved codes"},
        {"apart.mp3", " is not an MP3 file: no three of its frame headers follow each other"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / c.name;
        const std::string line =
            "The file " + path.string() +
            (c.reason.empty() ? " is not an MP3 file: its first frame header has reserved codes" : c.reason) +
            kNotLoaded;
        DocumentHarness h;
        h.load(fixture("cbr128.mp3"));
        h.doc.replaceBreakPoints({10});
        h.link.clearRecords();
        h.load(path);
        EXPECT_EQ(h.doc.frameCount(), 0);
        EXPECT_TRUE(h.doc.m_breakPoints.empty());
        EXPECT_FALSE(h.doc.canUseBreakPointList());
        EXPECT_EQ(h.link.logLines(LogLevel::Error), std::vector<std::string>{line});
        EXPECT_EQ(h.link.logLines(LogLevel::Normal),
                  std::vector<std::string>{"Loading MP3 file - " + path.string() + " ..."});

        // The tool is given the name with forward slashes (the shell's spelling on every system) and
        // names the file as it was given.
        const std::string given = path.generic_string();
        const std::string out = runCommand("'" + std::string(KERFLINE_BINARY_DIR) +
                                               "/kerfline-cli' breakpoints '" + given + "' --count 2 2>&1",
                                           &status);
        EXPECT_EQ(status, 1) << out;
        const std::string cliLine = "The file " + given + line.substr(("The file " + path.string()).size());
        EXPECT_NE(out.find(cliLine), std::string::npos) << out;
    }
}

// What the check asks of a stream, at its edges: three frames in a row are a stream, two are not;
// and every fixture, whatever stands before its frames, still loads with the reader's numbering.
TEST(StreamRefusal, RealStreamsPassTheCheck) {
    const auto dir = scratchDir("stream-check-edges");
    writeBytes(dir / "three.mp3", framesOfCbr128(3, 0));
    writeBytes(dir / "two.mp3", framesOfCbr128(2, 0));
    EXPECT_EQ(mp3::checkStream(dir / "three.mp3"), mp3::StreamProblem::None);
    EXPECT_EQ(mp3::checkStream(dir / "two.mp3"), mp3::StreamProblem::NoFrameChain);
    // Junk before the stream is searched through, as the reader does.
    std::vector<std::uint8_t> junk(500, 0x41);
    const auto three = framesOfCbr128(3, 0);
    junk.insert(junk.end(), three.begin(), three.end());
    writeBytes(dir / "junk.mp3", junk);
    EXPECT_EQ(mp3::checkStream(dir / "junk.mp3"), mp3::StreamProblem::None);

    for (const auto& entry : std::filesystem::directory_iterator(fixture(""))) {
        if (entry.path().extension() != ".mp3") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(mp3::checkStream(entry.path()), mp3::StreamProblem::None);
        DocumentHarness h;
        h.load(entry.path());
        EXPECT_GT(h.doc.frameCount(), 0);
        EXPECT_EQ(h.doc.frameCount(), testing_support::readerFrameCount(entry.path()));
        EXPECT_TRUE(h.link.logLines(LogLevel::Error).empty());
        EXPECT_TRUE(
            anyLineStarts(h.link.logLines(LogLevel::Normal), "MP3 file has been loaded successfully!"));
    }
}

} // namespace
