#include "engine/LoudnessScan.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

// Integrated loudness is the mean of 400 ms gating blocks every 100 ms: of the ten seconds' 97, the
// three that span the split are missing from two parts (of an hour's 36,000, the same three).
void expectClose(const mp3::LoudnessFigures& split, const mp3::LoudnessFigures& inOrder, double lufs) {
    EXPECT_NEAR(split.integratedLufs, inOrder.integratedLufs, lufs);
    EXPECT_NEAR(split.rangeLu, inOrder.rangeLu, 0.5);
    EXPECT_NEAR(split.samplePeakDbfs, inOrder.samplePeakDbfs, 0.01);
    EXPECT_NEAR(split.truePeakDbtp, inOrder.truePeakDbtp, 0.01);
}

// Two parts side by side measure what one decode in file order measures: the blocks exactly the
// same frames, the file within the gating blocks lost at the split.
TEST(LoudnessScan, TwoPartsAgreeWithFileOrder) {
    const auto path = testing_support::fixture("ten-seconds.mp3");
    for (const std::vector<int>& breakPoints : {std::vector<int>{}, std::vector<int>{250, 100, 100, 9999}}) {
        SCOPED_TRACE(breakPoints.size());
        const mp3::LoudnessReport inOrder = mp3::measureLoudness(
            path, {.breakPoints = breakPoints, .splitFrames = std::numeric_limits<int>::max()});
        const mp3::LoudnessReport split =
            mp3::measureLoudness(path, {.breakPoints = breakPoints, .splitFrames = 0});
        EXPECT_EQ(inOrder.parts, 1);
        EXPECT_EQ(split.parts, 2);
        EXPECT_EQ(inOrder.frames, 385);
        EXPECT_EQ(split.frames, 385);
        expectClose(split.file, inOrder.file, 0.15);
        ASSERT_EQ(split.blocks.size(), inOrder.blocks.size());
        for (std::size_t i = 0; i < split.blocks.size(); ++i) {
            EXPECT_EQ(split.blocks[i].firstFrame, inOrder.blocks[i].firstFrame);
            EXPECT_EQ(split.blocks[i].endFrame, inOrder.blocks[i].endFrame);
            expectClose(split.blocks[i].figures, inOrder.blocks[i].figures, 0.01);
        }
    }
    // Repeated and out-of-range break points give no empty blocks: 0-100, 100-250, 250-385.
    const mp3::LoudnessReport blocks = mp3::measureLoudness(path, {.breakPoints = {250, 100, 100, 9999}});
    ASSERT_EQ(blocks.blocks.size(), 3u);
    EXPECT_EQ(blocks.blocks[1].firstFrame, 100);
    EXPECT_EQ(blocks.blocks[1].endFrame, 250);
    EXPECT_EQ(blocks.blocks[2].endFrame, 385);
}

// Sound made with sox and encoded with lame: pieces of `seconds synth ...` one after another.
struct Sound {
    const char* name;
    int rate;
    int channels;
    std::vector<std::string> pieces;
    const char* lameOptions;
};

std::filesystem::path encode(const std::filesystem::path& dir, const Sound& sound) {
    std::string command = "cd '" + dir.string() + "' && ";
    std::string list;
    for (std::size_t i = 0; i < sound.pieces.size(); ++i) {
        const std::string piece = "p" + std::to_string(i) + ".wav";
        command += "sox -R -n -r " + std::to_string(sound.rate) + " -c " + std::to_string(sound.channels) +
                   " " + piece + " " + sound.pieces[i] + " && ";
        list += piece + " ";
    }
    const std::string mp3 = std::string(sound.name) + ".mp3";
    command += "sox " + list + "all.wav && lame --quiet " + sound.lameOptions + " all.wav " + mp3 + " 2>&1";
    int status = 0;
    const std::string output = testing_support::runCommand(command, &status);
    EXPECT_EQ(status, 0) << output;
    return dir / mp3;
}

void expectSame(const mp3::LoudnessFigures& fast, const mp3::LoudnessFigures& reference) {
    EXPECT_EQ(fast.integratedLufs, reference.integratedLufs);
    EXPECT_EQ(fast.rangeLu, reference.rangeLu);
    EXPECT_EQ(fast.samplePeakDbfs, reference.samplePeakDbfs);
    EXPECT_EQ(fast.truePeakDbtp, reference.truePeakDbtp);
}

// The gated true peak is the one found by oversampling every sample, on decoded MP3 of every kind
// of level: for the file and each block, in one part and in two (the later part's filter starts
// from the samples before it, so the file's true peak is the stream's, not only close to it).
TEST(LoudnessScan, GatedTruePeakEqualsFullScan) {
    const Sound sounds[] = {
        {"transients",
         44100,
         2,
         {"synth 3 pinknoise vol 0.03", "synth 0.004 square 2500 vol 0.95", "synth 2.5 pinknoise vol 0.03",
          "synth 0.01 sine 9000 vol 0.9", "synth 2 pinknoise vol 0.05"},
         "-b 128"},
        {"clipping", 48000, 2, {"synth 2 pinknoise vol 0.2", "synth 3 sine 997 sine 1499 vol 1.8"}, "-b 192"},
        {"quiet-then-burst-vbr",
         32000,
         1,
         {"synth 3 sine 440 vol 0.01", "synth 0.3 pinknoise vol 0.9", "synth 3 sine 440 vol 0.01"},
         "-V 2"},
        {"music-like",
         44100,
         1,
         {"synth 6 sine 110-880 sine 220 synth pinknoise mix tremolo 3 80 vol 0.7",
          "synth 3 square 220 vol 0.05"},
         "-b 96"},
        {"mpeg2-crc", 22050, 2, {"synth 4 sine 3000 synth whitenoise mix vol 0.6 tremolo 7 90"}, "-b 64 -p"},
    };
    const std::filesystem::path dir = testing_support::scratchDir("gated-true-peak");
    int overshooting = 0;
    for (const Sound& sound : sounds) {
        SCOPED_TRACE(sound.name);
        const std::filesystem::path path = encode(dir, sound);
        const std::vector<int> breakPoints = {40, 100, 170};
        const int oneThread = std::numeric_limits<int>::max();
        const mp3::LoudnessReport full = mp3::measureLoudness(
            path,
            {.breakPoints = breakPoints, .splitFrames = oneThread, .truePeakScan = mp3::TruePeakScan::Full});
        const mp3::LoudnessReport gated =
            mp3::measureLoudness(path, {.breakPoints = breakPoints, .splitFrames = oneThread});
        expectSame(gated.file, full.file);
        ASSERT_EQ(gated.blocks.size(), full.blocks.size());
        for (std::size_t i = 0; i < gated.blocks.size(); ++i) {
            SCOPED_TRACE(i);
            expectSame(gated.blocks[i].figures, full.blocks[i].figures);
        }
        const mp3::LoudnessReport fullSplit = mp3::measureLoudness(
            path, {.breakPoints = {}, .splitFrames = 0, .truePeakScan = mp3::TruePeakScan::Full});
        const mp3::LoudnessReport gatedSplit =
            mp3::measureLoudness(path, {.breakPoints = {}, .splitFrames = 0});
        ASSERT_EQ(gatedSplit.parts, 2);
        EXPECT_EQ(gatedSplit.file.integratedLufs, fullSplit.file.integratedLufs);
        EXPECT_EQ(gatedSplit.file.rangeLu, fullSplit.file.rangeLu);
        EXPECT_EQ(gatedSplit.file.samplePeakDbfs, full.file.samplePeakDbfs);
        EXPECT_EQ(gatedSplit.file.truePeakDbtp, full.file.truePeakDbtp);
        overshooting += full.file.truePeakDbtp > full.file.samplePeakDbfs ? 1 : 0;
    }
    // Most of them peak between samples, as loud MP3 does: the gate had work to do.
    EXPECT_GE(overshooting, 3);
}

} // namespace
