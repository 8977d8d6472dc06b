#include "PlayerHarness.h"

#include "engine/FrameReader.h"
#include "engine/LevelMap.h"
#include "engine/ProcessDecoding.h"
#include "output/PieceLevels.h"
#include "output/SaveAll.h"
#include "output/SourceFrames.h"
#include "playback/LevelledPcm.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

int sampleAt(const std::uint8_t* pcm, std::size_t i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)));
}

struct AgreementCase {
    const char* name;
    const char* file;
    int gainSteps;  // on the middle block
    int fadeInMs;   // of the middle block
    int fadeOutMs;  // of the middle block
    int fadeCutsMs; // at every cut
};

// Save All writes the pieces of three blocks with the middle block's gain and fades and the fade at
// every cut. The player's levelled decode of the same source frames, under each piece's levels, is
// what the written piece decodes to, within one step of rounding per sample.
TEST(LevelRuleAgreement, PlayerDecodeAndWrittenPiecesAgree) {
    const AgreementCase cases[] = {
        {"gain, fades and fade at cuts, MPEG-1", "ten-seconds.mp3", -3, 300, 400, 500},
        {"raised block, short fades", "ten-seconds.mp3", 2, 30, 30, 0},
        {"fade at cuts alone", "ten-seconds.mp3", 0, 0, 0, 800},
        {"MPEG-2 with an Info frame", "mpeg2-info.mp3", -2, 200, 200, 600},
        {"CRC-protected frames", "crc.mp3", 3, 250, 100, 700},
    };
    // A piece's first frames decode apart from the source's even without a change (up to 5 frames in
    // these files): their bit reservoir and the granules before them are not in the piece.
    constexpr int kSkippedFrames = 8;
    // Each piece's levels are a change of their own: the decoder never continues from another's.
    std::uint64_t version = 1000;
    for (const AgreementCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = fixture(c.file);
        PlayerHarness h;
        h.load(path);
        const int count = h.document.frameCount();
        ASSERT_GE(count, 60);
        h.document.replaceBreakPoints({count / 3, 2 * count / 3});
        BlockEdit edit;
        edit.gainSteps = c.gainSteps;
        edit.fadeInMs = c.fadeInMs;
        edit.fadeOutMs = c.fadeOutMs;
        h.document.setBlockEdit(1, edit);
        PieceOptions options;
        options.fadeCutsMs = c.fadeCutsMs;
        h.document.setPieceOptions(options);
        const auto folder = testing_support::scratchDir("level-agreement") / c.file;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        h.document.m_outputFolder = folder;
        ASSERT_EQ(runSaveAll(h.document).failed, 0);

        SourceFrames frames(path);
        PieceLevelSource source{h.document.blockStarts(), count, h.document.m_blockEdits, c.fadeCutsMs};
        const std::vector<int> starts = h.document.blockStarts();
        for (std::size_t piece = 0; piece < starts.size(); ++piece) {
            const int first = starts[piece];
            const int end = piece + 1 < starts.size() ? starts[piece + 1] : count;
            const LevelApplier written = pieceLevels(levelApplierFor(frames), source, first, end);
            PlaybackLevels levels{mp3::LevelMap(written.ranges(), written.granulesPerFrame()), ++version};
            const auto pieceFile = folder / (path.stem().string() + "-" + std::to_string(piece) + ".mp3");
            const auto decoded = testing_support::decodeInOrder(pieceFile);
            ASSERT_GE(decoded.size(), static_cast<std::size_t>(end - first)) << pieceFile;
            // The piece's own frames are its last ones; a header frame may precede them.
            const std::size_t lead = decoded.size() - static_cast<std::size_t>(end - first);

            mp3::FrameReader reader(path);
            reader.advance(first + kSkippedFrames);
            const mp3::Decoding& decoding = mp3::processDecoding();
            const std::lock_guard<std::mutex> lock(decoding.decoder.lock());
            std::array<std::uint8_t, mp3::kMaxPcmBytes> heard{};
            int changedFrames = 0;
            for (int frame = first + kSkippedFrames; frame < end; ++frame, reader.readNext()) {
                ASSERT_FALSE(reader.atEnd());
                const std::size_t bytes = levelledFramePcmHoldingLock(decoding, reader, levels, heard.data());
                const auto& piecePcm = decoded[lead + static_cast<std::size_t>(frame - first)];
                ASSERT_EQ(bytes, piecePcm.size()) << "piece " << piece << " frame " << frame;
                int largest = 0;
                for (std::size_t i = 0; i < bytes / 2; ++i) {
                    largest =
                        std::max(largest, std::abs(sampleAt(heard.data(), i) - sampleAt(piecePcm.data(), i)));
                }
                EXPECT_LE(largest, 1) << "piece " << piece << " frame " << frame;
                changedFrames += levels.map.changes(frame) ? 1 : 0;
            }
            // The case changes what it claims to: the middle piece, or every piece at a cut.
            if (piece == 1 || c.fadeCutsMs > 0) {
                EXPECT_GT(changedFrames, 0) << "piece " << piece;
            }
        }
    }
}

} // namespace
