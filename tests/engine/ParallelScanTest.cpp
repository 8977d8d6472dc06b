#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/LayerThreeSideInfo.h"
#include "engine/PcmCache.h"
#include "engine/ScanParts.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::OwnDecoding;

constexpr std::size_t kWholeFile = std::size_t{64} << 20;

struct Recorder : mp3::LevelScanObserver {
    std::vector<int> starting;
    std::vector<std::int64_t> bytes;
    void frameStarting(int framesHandled) override { starting.push_back(framesHandled); }
    void frameHandled(int, std::int64_t bytesHandled) override { bytes.push_back(bytesHandled); }
};

struct Loaded {
    mp3::LevelScan scan;
    Recorder observer;
    std::vector<std::vector<std::uint8_t>> pcm; // every frame's PCM the cache holds after the scan
    bool windowed = false;
    std::size_t storedBytes = 0;
};

Loaded load(const std::filesystem::path& path, const mp3::ParallelDecode& parallel,
            std::size_t budget = kWholeFile) {
    OwnDecoding own(budget);
    Loaded loaded;
    loaded.scan = mp3::scanLevels(own.decoding(), path, &loaded.observer, parallel);
    loaded.windowed = own.cache.isWindowed(path.string());
    loaded.storedBytes = own.cache.storedBytes();
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    for (int frame = 0; frame < static_cast<int>(loaded.scan.levels.size()) && !loaded.windowed; ++frame) {
        EXPECT_TRUE(own.cache.contains(path.string(), frame)) << frame;
        const std::size_t n = own.cache.get(path.string(), frame, pcm.data());
        loaded.pcm.emplace_back(pcm.data(), pcm.data() + n);
    }
    return loaded;
}

mp3::ParallelDecode split(int parts, int primingFrames = mp3::ParallelDecode{}.primingFrames) {
    return {.minimumFrames = 0, .parts = parts, .primingFrames = primingFrames, .indexFirst = true};
}

void expectSameScan(const Loaded& parallel, const Loaded& inOrder, const std::string& what) {
    EXPECT_EQ(parallel.scan.rawLevels, inOrder.scan.rawLevels) << what;
    EXPECT_EQ(parallel.scan.levels, inOrder.scan.levels) << what;
    EXPECT_EQ(parallel.scan.rmsDb, inOrder.scan.rmsDb) << what;
    EXPECT_EQ(parallel.scan.peaks, inOrder.scan.peaks) << what;
    EXPECT_EQ(parallel.scan.offsets, inOrder.scan.offsets) << what;
    EXPECT_EQ(parallel.scan.lengths, inOrder.scan.lengths) << what;
    EXPECT_EQ(parallel.scan.totalBytes, inOrder.scan.totalBytes) << what;
    EXPECT_EQ(parallel.observer.starting, inOrder.observer.starting) << what;
    EXPECT_EQ(parallel.observer.bytes, inOrder.observer.bytes) << what;
    EXPECT_TRUE(parallel.pcm == inOrder.pcm) << what;
    EXPECT_EQ(parallel.windowed, inOrder.windowed) << what;
}

class ParallelScan : public testing::TestWithParam<const char*> {};

// Every split point of every fixture: the parts agree with their predecessors, are kept, and give
// the levels and PCM of one decoder in file order. The MPEG-2 and 2.5 streams are those where a part
// primed with its preceding frames alone came out a few samples apart from the decode in order.
TEST_P(ParallelScan, GivesTheLevelsAndPcmOfADecodeInFileOrder) {
    const auto path = fixture(GetParam());
    const Loaded inOrder = load(path, mp3::ParallelDecode::inOrder());
    ASSERT_EQ(inOrder.pcm, testing_support::decodeInOrder(path));
    ASSERT_GT(inOrder.scan.levels.size(), 20u);
    for (const int parts : {2, 3, 5, 9}) {
        const Loaded parallel = load(path, split(parts));
        expectSameScan(parallel, inOrder, std::to_string(parts) + " parts");
        EXPECT_EQ(parallel.scan.partsKept, parts) << parts;
        EXPECT_FALSE(parallel.scan.partRefused) << parts;
    }
    // Read beside the first part, the index splits the file wherever that part stands by then.
    expectSameScan(load(path, {.minimumFrames = 0}), inOrder, "index read alongside");
}

INSTANTIATE_TEST_SUITE_P(LameFiles, ParallelScan,
                         testing::Values("cbr128.mp3", "ten-seconds.mp3", "vbr.mp3", "no-info.mp3",
                                         "id3v1.mp3", "id3v2-cover.mp3", "mpeg2-mono.mp3", "mpeg2-info.mp3",
                                         "mpeg25.mp3", "mpeg25-info.mp3"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// A part that starts without priming begins with the wrong overlap: the comparison refuses it and
// the rest of the file is decoded in order, with the same result. (Each split lies in sound: after
// silence, an unprimed part would rightly agree.)
TEST(ParallelScanRepair, APartThatDisagreesIsDecodedInFileOrder) {
    const std::pair<const char*, int> splits[] = {{"ten-seconds.mp3", 3},
                                                  {"mpeg2-mono.mp3", 2},
                                                  {"mpeg2-mono.mp3", 3},
                                                  {"mpeg25.mp3", 2},
                                                  {"mpeg25.mp3", 3}};
    for (const auto& [name, parts] : splits) {
        const auto path = fixture(name);
        const Loaded unprimed = load(path, split(parts, 0));
        expectSameScan(unprimed, load(path, mp3::ParallelDecode::inOrder()), name + std::to_string(parts));
        EXPECT_TRUE(unprimed.scan.partRefused) << name << parts;
        EXPECT_LT(unprimed.scan.partsKept, parts) << name << parts;
    }
}

// Sets the first granule's first channel to window switching with block type 0, which libmpg123
// refuses: it skips the whole frame, synthesis included.
void spoilFrame(std::vector<std::uint8_t>& bytes, const mp3::FrameReader& reader) {
    const auto at = static_cast<std::size_t>(reader.header().offset);
    // MPEG-1 stereo without CRC: main_data_begin 9, private 3, scfsi 8 bits, then the granule's
    // part2_3_length 12, big_values 9, global_gain 8, scalefac_compress 4, window switching at bit 53.
    ASSERT_EQ(reader.header().version, 3u);
    ASSERT_NE(reader.header().channelMode, 3u);
    ASSERT_EQ(reader.header().protection, 1u);
    std::uint8_t* side = bytes.data() + at + 4;
    side[6] = static_cast<std::uint8_t>((side[6] | 0x04) & ~0x03);
}

// A frame the decoder cannot decode before a split leaves the decode in file order in another phase
// of the synthesis filter than the later part assumes: the scan notices and decodes in order.
TEST(ParallelScanRepair, AFrameTheDecoderSkipsBeforeTheSplitKeepsTheScanInOrder) {
    const auto source = fixture("ten-seconds.mp3");
    std::vector<std::uint8_t> bytes = testing_support::readBytes(source);
    mp3::FrameReader reader(source);
    reader.advance(100); // 2.6 s: inside a burst of sound
    spoilFrame(bytes, reader);
    reader.close();
    const auto path = testing_support::scratchDir("ParallelScanSkippedFrame") / "spoilt.mp3";
    testing_support::writeBytes(path, bytes);

    const Loaded inOrder = load(path, mp3::ParallelDecode::inOrder());
    ASSERT_TRUE(std::all_of(inOrder.pcm[100].begin(), inOrder.pcm[100].end(), [](auto b) { return b == 0; }));
    const Loaded parallel = load(path, split(2));
    expectSameScan(parallel, inOrder, "spoilt");
    EXPECT_EQ(parallel.scan.partsKept, 1);
}

// Streams the scan fuzzer damaged: libmpg123 skips granules of some frames, for too many bits or for
// Huffman code only decoding it tells apart; in the last, a later part agrees with its predecessor
// while the predecessor is the one that is wrong. The parts are refused, not kept wrong.
TEST(ParallelScanRepair, DamagedStreamsDecodeAsInFileOrder) {
    for (const char* name :
         {"damaged-mpeg2-skip.mp3", "damaged-mpeg2-huffman.mp3", "damaged-mpeg2-chain.mp3"}) {
        const auto path = fixture(name);
        const Loaded inOrder = load(path, mp3::ParallelDecode::inOrder());
        for (const int parts : {2, 3}) {
            const Loaded parallel = load(path, split(parts));
            expectSameScan(parallel, inOrder, name + std::to_string(parts));
            EXPECT_TRUE(parallel.scan.partRefused) << name << parts;
        }
    }
}

// A file cut from a longer stream starts with frames whose main data lies before them: a decode in
// file order reads zeros for it and may skip them, so such a file is not split.
TEST(ParallelScanPlan, AFileWhoseFirstFramesLackTheirMainDataIsNotSplit) {
    const auto source = fixture("ten-seconds.mp3");
    mp3::FrameReader reader(source);
    reader.advance(50);
    const std::vector<std::uint8_t> bytes = testing_support::readBytes(source);
    const mp3::LayerThreeSideInfo info(reader.header(), reader.frameData(),
                                       static_cast<std::size_t>(reader.frameLength()));
    ASSERT_GT(info.mainDataBegin(), 0);
    const auto path = testing_support::scratchDir("ParallelScanCutFile") / "cut.mp3";
    testing_support::writeBytes(
        path, std::vector<std::uint8_t>(bytes.begin() + reader.header().offset, bytes.end()));
    reader.close();

    EXPECT_TRUE(mp3::planScan(path, split(2), mp3::kMaxIndexedFrames).parts.empty());
    EXPECT_EQ(mp3::planScan(source, split(2), mp3::kMaxIndexedFrames).parts.size(), 2u);
    const Loaded parallel = load(path, split(2));
    expectSameScan(parallel, load(path, mp3::ParallelDecode::inOrder()), "cut");
}

// Later parts keep PCM only when the whole file fits the budget; otherwise no part keeps any, and
// the file is windowed as a decode in file order leaves it.
TEST(ParallelScanMemory, PartsKeepNoPcmBeyondTheBudget) {
    const auto path = fixture("ten-seconds.mp3");
    const Loaded whole = load(path, mp3::ParallelDecode::inOrder());
    std::size_t fileBytes = 0;
    for (const auto& frame : whole.pcm) {
        fileBytes += frame.size();
    }
    for (const std::size_t budget : {std::size_t{0}, fileBytes / 2, fileBytes - 1}) {
        const Loaded inOrder = load(path, mp3::ParallelDecode::inOrder(), budget);
        const Loaded parallel = load(path, split(2), budget);
        expectSameScan(parallel, inOrder, std::to_string(budget));
        EXPECT_TRUE(parallel.windowed) << budget;
        EXPECT_EQ(parallel.storedBytes, 0u) << budget;
    }
    const Loaded fits = load(path, split(2), fileBytes);
    expectSameScan(fits, whole, "fits");
    EXPECT_EQ(fits.storedBytes, fileBytes);
}

TEST(ParallelScanCache, FramesAlreadyCachedAreNotDecodedAgain) {
    const auto path = fixture("ten-seconds.mp3");
    OwnDecoding own(kWholeFile);
    const mp3::LevelScan first = mp3::scanLevels(own.decoding(), path, nullptr, split(2));
    EXPECT_EQ(first.partsKept, 2);
    const std::uint64_t before = mp3::decoderCallCount();
    const mp3::LevelScan second = mp3::scanLevels(own.decoding(), path, nullptr, split(2));
    EXPECT_EQ(mp3::decoderCallCount(), before);
    EXPECT_EQ(second.levels, first.levels);
}

// A later part is compared with the frames its predecessor decodes past the split: the PCM left in
// the buffer before its first frame, and 64 frames from there (damaged streams the fuzzer found
// disagree only dozens of frames in). A difference in the buffer, or in the 64th frame, refuses it.
TEST(ParallelScanCompare, APartMustAgreeInTheCarriedPcmAndOver64Frames) {
    constexpr std::size_t kWindow = 64;
    const auto path = fixture("ten-seconds.mp3");
    const mp3::ScanPlan plan = mp3::planScan(path, split(2), mp3::kMaxIndexedFrames);
    ASSERT_EQ(plan.parts.size(), 2u);
    const auto first = static_cast<std::size_t>(plan.parts[1].first);
    ASSERT_GE(static_cast<std::size_t>(plan.parts[1].end) - first, kWindow);

    // What the first part leaves: one buffer that every frame's PCM overwrites from its start.
    const auto inOrder = testing_support::decodeInOrder(path);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> carry{};
    for (std::size_t frame = 0; frame < first; ++frame) {
        std::copy(inOrder[frame].begin(), inOrder[frame].end(), carry.begin());
    }
    const std::vector<mp3::FramePcmBytes> overlap(inOrder.begin() + static_cast<std::ptrdiff_t>(first),
                                                  inOrder.begin() +
                                                      static_cast<std::ptrdiff_t>(first + kWindow));

    std::vector<std::unique_ptr<mp3::ScanPartDecode>> later;
    later.push_back(
        std::make_unique<mp3::ScanPartDecode>(path, plan, 1, false, mp3::ParallelDecode{}.verifiedFrames));
    EXPECT_TRUE(mp3::partsAgree(later, true, carry, overlap));

    std::vector<mp3::FramePcmBytes> lastDiffers = overlap;
    ASSERT_FALSE(lastDiffers.back().empty());
    lastDiffers.back()[lastDiffers.back().size() / 2] ^= 1;
    EXPECT_FALSE(mp3::partsAgree(later, true, carry, lastDiffers));

    std::array<std::uint8_t, mp3::kMaxPcmBytes> carryDiffers = carry;
    carryDiffers[inOrder[first - 1].size() / 2] ^= 1;
    EXPECT_FALSE(mp3::partsAgree(later, true, carryDiffers, overlap));
}

} // namespace
