#include "PlayerHarness.h"

#include "playback/PortAudioOutput.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using testing_support::fixture;
using testing_support::scratchDir;

namespace {

// ALSA reads the default device from $HOME/.asoundrc when PortAudio starts, once per process.
// Windows has its own devices, and no ALSA to point elsewhere.
void useAlsaHome([[maybe_unused]] const std::string& name, [[maybe_unused]] const char* asoundrc) {
#ifndef _WIN32
    const auto home = scratchDir(name);
    if (asoundrc != nullptr) {
        std::ofstream(home / ".asoundrc") << asoundrc;
    }
    setenv("HOME", home.c_str(), 1);
#endif
}

constexpr const char* kNullDevice = "pcm.!default { type null }\n";

} // namespace

TEST(PortAudioOutput, PlaysAFileToTheEndOnTheDefaultDevice) {
    useAlsaHome("portaudio-null", kNullDevice);
    if (!PortAudioOutput::hasDefaultDevice()) {
        GTEST_SKIP() << "PortAudio finds no output device, not even ALSA's null device";
    }
    PlayerHarness h(std::make_unique<PortAudioOutput>());
    h.load(fixture("cbr128.mp3"));
    h.player->playToEnd();
    EXPECT_TRUE(h.player->isPlaying());
    ASSERT_TRUE(h.runUntilStopped());
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_TRUE(h.document.m_cursor.atEnd());
    EXPECT_EQ(h.frame.logLines(), std::vector<std::string>{"Player now is playing mp3 from frame 0 F"});
}

TEST(PortAudioOutput, HandsBuffersBackOnItsOwnThreadAndOnReset) {
    useAlsaHome("portaudio-null", kNullDevice);
    if (!PortAudioOutput::hasDefaultDevice()) {
        GTEST_SKIP() << "PortAudio finds no output device, not even ALSA's null device";
    }
    PortAudioOutput output;
    EXPECT_FALSE(output.open(SoundFormat{2, -1, 16}, [](SoundBuffer*) {}));

    std::array<std::array<std::uint8_t, 4000>, 6> data{};
    std::array<SoundBuffer, 6> buffers{};
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        buffers[i] = SoundBuffer{data[i].data(), data[i].size()};
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SoundBuffer*> done;
    bool onOtherThread = true;
    const auto mainThread = std::this_thread::get_id();
    ASSERT_TRUE(output.open(SoundFormat{2, 44100, 16}, [&](SoundBuffer* buffer) {
        const std::lock_guard<std::mutex> lock(mutex);
        onOtherThread = onOtherThread && std::this_thread::get_id() != mainThread;
        done.push_back(buffer);
        changed.notify_all();
    }));
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(output.queue(&buffers[i]));
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return done.size() == 3; }));
        EXPECT_EQ(done, (std::vector<SoundBuffer*>{&buffers[0], &buffers[1], &buffers[2]}));
    }
    output.pause();
    for (std::size_t i = 3; i < 6; ++i) {
        ASSERT_TRUE(output.queue(&buffers[i]));
    }
    output.reset();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(done.size(), 6u);
        EXPECT_TRUE(onOtherThread);
    }
    output.resume();
    output.close();
    EXPECT_FALSE(output.queue(&buffers[0]));
}

TEST(PortAudioOutput, WithoutASoundDeviceThePlayerLogsTheFailureAndGoesOn) {
    useAlsaHome("portaudio-none", nullptr);
    if (PortAudioOutput::hasDefaultDevice()) {
        GTEST_SKIP() << "this machine has a sound device";
    }
    PlayerHarness h(std::make_unique<PortAudioOutput>());
    h.load(fixture("cbr128.mp3"));
    h.player->playToEnd();
    EXPECT_FALSE(h.player->isPlaying());
    EXPECT_EQ(h.frame.logLines(LogLevel::Error),
              std::vector<std::string>{"Failed to call function waveOutOpen!"});
    h.player->stop();
}
