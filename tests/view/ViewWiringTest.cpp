#include "ViewHarness.h"

#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/DrawParameters.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

const DrawParameters kParams = defaultDrawParameters();

void expectLabel(const QImage& image, const QRect& rect, const QString& text) {
    const QImage expected = referenceText(rect.size(), text, rgbOf(kParams.textColor),
                                          rgbOf(kParams.backgroundColor), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(crop(image, rect), expected) << text.toStdString();
}

bool playingLightLit(const QImage& image) {
    return image.pixel(100, 10) == rgbOf(kParams.yellowOnColor);
}

// Runs the GUI thread's queue until `done` holds; false after ten seconds.
using testing_support::processEventsUntil;

std::vector<char> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ViewWiring, SpacePlaysToTheEndAndThePlayerLabelFollowsThePlayer) {
    auto owned = std::make_unique<PacedSoundOutput>();
    PacedSoundOutput& output = *owned;
    ViewHarness harness(800, 400, std::move(owned));
    harness.load(testing_support::fixture("ten-seconds.mp3"));
    CChildView& view = *harness.view;
    // A stop position left by an earlier play from a break point: Space plays past it.
    view.m_playEnd = view.m_cursor;
    view.m_playEnd.advance(5);
    output.setFreeRunning(false);

    harness.keyRelease(Qt::Key_Space);
    ASSERT_TRUE(view.player().isPlaying());
    EXPECT_EQ(harness.frame.logLines(LogLevel::Normal),
              std::vector<std::string>{"Player now is playing mp3 from frame 0 F"});
    output.release(15);
    ASSERT_TRUE(output.waitForPlayed(15));
    ASSERT_TRUE(output.waitForQuiet());
    QImage image = harness.render();
    EXPECT_TRUE(playingLightLit(image));
    // Ten buffers of silence, then five frames; each played buffer was refilled once.
    expectLabel(image, QRect(495, 53, 100, 12), "PLAYER: 15 F");
    EXPECT_EQ(image.pixel(15, 300), rgbOf(kParams.playLineColor));

    // Space while playing asks for the stop through the view's queue.
    harness.keyRelease(Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return !view.player().isPlaying(); }));
    EXPECT_FALSE(output.isOpen());
    image = harness.render();
    EXPECT_FALSE(playingLightLit(image));
    expectLabel(image, QRect(495, 53, 100, 12), "PLAYER: 15 F");

    // The next Space resumes from the cursor and runs to the end of the file by itself.
    harness.frame.clearRecords();
    output.setFreeRunning(true);
    harness.keyRelease(Qt::Key_Space);
    EXPECT_EQ(harness.frame.logLines(LogLevel::Normal),
              std::vector<std::string>{"Player now is playing mp3 from frame 15 F"});
    ASSERT_TRUE(processEventsUntil([&] { return !view.player().isPlaying(); }));
    expectLabel(harness.render(), QRect(495, 53, 100, 12), "PLAYER: -1 F");
}

TEST(ViewWiring, SaveButtonWritesTheBlockThroughTheOutputLayer) {
    ViewHarness harness(800, 400);
    const auto source = testing_support::fixture("ten-seconds.mp3");
    harness.load(source);
    CChildView& view = *harness.view;
    view.replaceBreakPoints({200, 100});
    const auto piece = testing_support::scratchDir("view-save-button") / "block.mp3";
    harness.prompts.saveAnswer = piece;
    harness.render();

    harness.click(QPoint(111, 82)); // 'S' of the break point at 100
    EXPECT_EQ(harness.prompts.saveFilters,
              std::vector<std::string>{"MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||"});
    ASSERT_TRUE(view.m_blockThread.isSet());
    const std::string savedLine = "Block 100 F - 200 F has been saved!";
    auto lines = harness.frame.logLines(LogLevel::Normal);
    // Logged when the thread's "done" message is handled, never before.
    EXPECT_EQ(std::find(lines.begin(), lines.end(), savedLine), lines.end());

    ASSERT_TRUE(processEventsUntil([&] { return !view.m_blockThread.isSet(); }));
    lines = harness.frame.logLines(LogLevel::Normal);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), savedLine);
    EXPECT_TRUE(harness.frame.logLines(LogLevel::Error).empty());

    // Frames 100 to 199, byte for byte.
    const std::vector<char> all = fileBytes(source);
    const auto from = static_cast<std::ptrdiff_t>(view.m_frameOffsets[100]);
    const auto to = static_cast<std::ptrdiff_t>(view.m_frameOffsets[200]);
    EXPECT_EQ(fileBytes(piece), std::vector<char>(all.begin() + from, all.begin() + to));
}

} // namespace
