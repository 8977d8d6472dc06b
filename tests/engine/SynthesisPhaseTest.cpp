#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// libmpg123 rounds a sample according to where its synthesis filter's ring of 16 positions stands,
// which every granule moves on: a decode primed for a frame of a file beyond the budget must start
// where the ring stands as in a decode from frame 0. Every start frame, since most agree anyway.
TEST(SynthesisPhase, APrimedDecodeFromEveryFrameMatchesADecodeInFileOrder) {
    for (const char* name : {"mpeg2-mono.mp3", "mpeg25.mp3", "vbr.mp3"}) {
        const auto path = testing_support::fixture(name);
        const auto expected = testing_support::decodeInOrder(path);
        testing_support::OwnDecoding own(0);
        const mp3::LevelScan scan =
            mp3::scanLevels(own.decoding(), path, nullptr, mp3::ParallelDecode::inOrder());
        ASSERT_TRUE(own.cache.isWindowed(path.string()));
        std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
        for (int frame = 0; frame < static_cast<int>(expected.size()); ++frame) {
            own.decoder.reset();
            mp3::FrameReader reader(path);
            reader.seekToFrame(frame, scan.offsets);
            const std::size_t count = mp3::framePcm(own.decoding(), reader, pcm.data());
            EXPECT_EQ(
                std::vector<std::uint8_t>(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(count)),
                expected[static_cast<std::size_t>(frame)])
                << name << " frame " << frame;
        }
    }
}

} // namespace
