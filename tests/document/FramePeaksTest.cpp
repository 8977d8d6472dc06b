#include "DocumentHarness.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testing_support::fixture;

// silences.mp3 holds sines at half scale (-6 dBFS, 16384) with digital silence between them (see
// tests/fixtures/make-fixtures.sh): the loaded document knows each frame's peak.
TEST(FramePeaks, LoadKeepsEachFramesPeak) {
    DocumentHarness h;
    EXPECT_TRUE(h.doc.framePeaks().empty());
    h.load(fixture("silences.mp3"));
    const std::vector<std::uint16_t>& peaks = h.doc.framePeaks();
    ASSERT_EQ(peaks.size(), h.doc.m_frameLevels.size());
    const std::uint16_t loudest = *std::max_element(peaks.begin(), peaks.end());
    // The coding adds a little to the sine's peak, never a decibel.
    EXPECT_GE(loudest, 16384 * 0.95);
    EXPECT_LE(loudest, 16384 * 1.12);
    // The middle of the 1.6 s silence from 3.3 s on: frame (4.1 s * 44100 + 2257) / 1152.
    const auto quiet = static_cast<std::size_t>((4.1 * 44100 + 1152 + 576 + 529) / 1152);
    EXPECT_LE(peaks[quiet], 2);
    h.load(fixture("mpeg2-mono.mp3"));
    EXPECT_EQ(h.doc.framePeaks().size(), h.doc.m_frameLevels.size());
}

} // namespace
