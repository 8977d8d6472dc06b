#include "engine/Loudness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

// `seconds` of a sine of `peakDbfs` in every channel, as interleaved 16-bit little-endian PCM.
std::vector<std::uint8_t> sine(double hz, double peakDbfs, int channels, int rate, double seconds) {
    const double amplitude = 32768.0 * std::pow(10.0, peakDbfs / 20.0);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::uint8_t> pcm;
    pcm.reserve(frames * static_cast<std::size_t>(channels) * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
        for (int channel = 0; channel < channels; ++channel) {
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF));
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
        }
    }
    return pcm;
}

// EBU Tech 3341: a stereo 1 kHz sine at -23 dBFS reads -23 LUFS; in one channel only, 3 dB less.
TEST(Loudness, CalibrationSines) {
    struct Case {
        const char* name;
        int channels;
        int rate;
        double peakDbfs;
        double lufs;
    };
    const Case cases[] = {
        {"stereo at 48 kHz", 2, 48000, -23.0, -23.0},
        {"stereo at 44.1 kHz", 2, 44100, -23.0, -23.0},
        {"mono at 22.05 kHz", 1, 22050, -20.0, -23.0},
    };
    for (const Case& c : cases) {
        mp3::LoudnessMeter meter(c.channels, c.rate);
        ASSERT_TRUE(meter.valid()) << c.name;
        const std::vector<std::uint8_t> pcm = sine(1000.0, c.peakDbfs, c.channels, c.rate, 20.0);
        // Fed in frame-sized pieces, as a decode gives it.
        const std::size_t piece = 1152 * 2 * static_cast<std::size_t>(c.channels);
        for (std::size_t at = 0; at < pcm.size(); at += piece) {
            meter.add(pcm.data() + at, std::min(piece, pcm.size() - at));
        }
        const mp3::LoudnessFigures figures = meter.figures();
        EXPECT_NEAR(figures.integratedLufs, c.lufs, 0.1) << c.name;
        EXPECT_NEAR(figures.rangeLu, 0.0, 0.1) << c.name;
        EXPECT_NEAR(figures.samplePeakDbfs, c.peakDbfs, 0.02) << c.name;
        EXPECT_NEAR(figures.truePeakDbtp, c.peakDbfs, 0.1) << c.name;
    }
}

void appendSample(std::vector<std::uint8_t>& pcm, int sample) {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(sample));
    pcm.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    pcm.push_back(static_cast<std::uint8_t>(bits >> 8));
}

double toLinear(double db) {
    return std::pow(10.0, db / 20.0);
}

// Mono PCM whose one filter output of `phase` meets every tap with its sign at `amplitude`: the
// filter's output there is the sum of that phase's absolute taps times the amplitude.
std::vector<std::uint8_t> worstCaseFor(const std::vector<double>& taps, int factor, int phase,
                                       int amplitude) {
    std::vector<std::uint8_t> pcm;
    for (int i = 0; i < 200; ++i) {
        appendSample(pcm, 0);
    }
    // Tap j of a phase weighs the sample j / factor before the newest.
    const int reach = static_cast<int>(taps.size()) / factor;
    for (int back = reach; back >= 0; --back) {
        const std::size_t j = static_cast<std::size_t>(back * factor + phase);
        const double tap = j < taps.size() ? taps[j] : 0.0;
        appendSample(pcm, std::fabs(tap) > 1e-6 ? (tap > 0 ? amplitude : -amplitude) : 0);
    }
    for (int i = 0; i < 200; ++i) {
        appendSample(pcm, 0);
    }
    return pcm;
}

// The overshoot the gated true peak relies on is the library's filter's: a signal made for each
// phase reaches that phase's sum of absolute taps, and none passes the largest.
TEST(Loudness, TruePeakOvershootIsTheFiltersWorstCase) {
    for (const int rate : {44100, 96000}) {
        const std::vector<double> taps = mp3::truePeakFilterTaps(rate);
        const int factor = rate < 96000 ? 4 : 2;
        ASSERT_EQ(taps.size(), 49u);
        const double overshoot = mp3::truePeakOvershoot(rate);
        double reached = 0;
        for (int phase = 0; phase < factor; ++phase) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, phase " << phase);
            double phaseSum = 0;
            for (std::size_t j = static_cast<std::size_t>(phase); j < taps.size();
                 j += static_cast<std::size_t>(factor)) {
                phaseSum += std::fabs(taps[j]) > 1e-6 ? std::fabs(taps[j]) : 0.0;
            }
            mp3::LoudnessMeter meter(1, rate, mp3::TruePeakScan::Full);
            const std::vector<std::uint8_t> pcm = worstCaseFor(taps, factor, phase, 8192);
            meter.add(pcm.data(), pcm.size());
            const double truePeak = toLinear(meter.figures().truePeakDbtp);
            EXPECT_GE(truePeak, 0.25 * phaseSum * (1 - 1e-6));
            EXPECT_LE(truePeak, 0.25 * overshoot * (1 + 1e-6));
            reached = std::max(reached, truePeak);
        }
        EXPECT_NEAR(reached, 0.25 * overshoot, 1e-6);
    }
    EXPECT_NEAR(mp3::truePeakOvershoot(44100), 1.8642, 1e-4);
    EXPECT_EQ(mp3::truePeakOvershoot(192000), 1.0);
}

// Mono samples of a worst-case burst (see worstCaseFor), without the silence around it.
std::vector<std::int16_t> burst(const std::vector<double>& taps, int phase, int amplitude) {
    const std::vector<std::uint8_t> worst = worstCaseFor(taps, 4, phase, amplitude);
    std::vector<std::int16_t> samples;
    for (std::size_t at = 400; at + 400 < worst.size(); at += 2) {
        samples.push_back(static_cast<std::int16_t>(worst[at] | (worst[at + 1] << 8)));
    }
    return samples;
}

// Signals where a gate that judged a stretch wrongly would miss the true peak.
std::vector<std::vector<std::int16_t>> gateSignals() {
    const std::vector<double> taps = mp3::truePeakFilterTaps(44100);
    std::vector<std::vector<std::int16_t>> signals;
    std::mt19937 random(24);
    // Quiet noise with bursts at every offset, some straddling where the gate decides, half loud
    // then quiet and half the other way, at mostly rising levels.
    std::vector<std::int16_t>& noisy = signals.emplace_back();
    for (int index = 0; index < 600; ++index) {
        const int gap = std::uniform_int_distribution<int>(0, 700)(random);
        for (int i = 0; i < gap; ++i) {
            noisy.push_back(static_cast<std::int16_t>(std::uniform_int_distribution<int>(-300, 300)(random)));
        }
        const int level = std::min(32767, 3000 + index * 45 - (index % 7) * 900);
        const std::vector<std::int16_t> samples = burst(taps, index % 4, level);
        const auto split = static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 13)(random));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            noisy.push_back((i < split) == (index % 2 == 0) ? samples[i]
                                                            : static_cast<std::int16_t>(samples[i] * 2 / 5));
        }
    }
    // The phase that overshoots most at levels 0.5% apart: each raises the peak by less than the
    // overshoot, and the last holds the true peak.
    std::vector<std::int16_t>& rising = signals.emplace_back();
    for (int index = 0; index < 60; ++index) {
        const std::vector<std::int16_t> samples =
            burst(taps, 2, static_cast<int>(12000 * std::pow(1.005, index)));
        rising.insert(rising.end(), samples.begin(), samples.end());
        rising.insert(rising.end(), 300, 0);
    }
    // A burst cut short, at the highest level: its largest outputs fall in the silence after it.
    std::vector<std::int16_t>& cut = signals.emplace_back(rising);
    std::vector<std::int16_t> last = burst(taps, 2, 30000);
    std::fill(last.begin() + 8, last.end(), 0);
    for (int offset = 0; offset < 130; ++offset) {
        cut.insert(cut.end(), static_cast<std::size_t>(offset), 0);
        cut.insert(cut.end(), last.begin(), last.end());
    }
    return signals;
}

// A gated meter finds exactly the figures of one that oversamples everything, whatever pieces it
// is fed in.
TEST(Loudness, GatedTruePeakEqualsFullScan) {
    struct Case {
        const char* name;
        int channels;
        std::size_t piece; // frames per add
    };
    const Case cases[] = {
        {"mono, frame-sized pieces", 1, 1152}, {"stereo, frame-sized pieces", 2, 1152},
        {"stereo, odd pieces", 2, 97},         {"mono, single frames", 1, 1},
        {"stereo, all at once", 2, 1 << 30},
    };
    const std::vector<std::vector<std::int16_t>> signals = gateSignals();
    for (std::size_t signal = 0; signal < signals.size(); ++signal) {
        const std::vector<std::int16_t>& samples = signals[signal];
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "signal " << signal << ", " << c.name);
            std::vector<std::uint8_t> pcm;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                for (int channel = 0; channel < c.channels; ++channel) {
                    // The second channel runs behind the first, so the two peak at different places.
                    appendSample(pcm, channel == 0 ? samples[i] : samples[(i + 5000) % samples.size()] / 2);
                }
            }
            mp3::LoudnessMeter gated(c.channels, 44100);
            mp3::LoudnessMeter full(c.channels, 44100, mp3::TruePeakScan::Full);
            const std::size_t pieceBytes =
                std::min(c.piece, samples.size()) * 2 * static_cast<std::size_t>(c.channels);
            for (std::size_t at = 0; at < pcm.size(); at += pieceBytes) {
                const std::size_t bytes = std::min(pieceBytes, pcm.size() - at);
                gated.add(pcm.data() + at, bytes);
                full.add(pcm.data() + at, bytes);
            }
            const mp3::LoudnessFigures fast = gated.figures();
            const mp3::LoudnessFigures reference = full.figures();
            EXPECT_EQ(fast.truePeakDbtp, reference.truePeakDbtp);
            EXPECT_EQ(fast.samplePeakDbfs, reference.samplePeakDbfs);
            EXPECT_EQ(fast.integratedLufs, reference.integratedLufs);
            EXPECT_EQ(fast.rangeLu, reference.rangeLu);
            EXPECT_GT(fast.truePeakDbtp, fast.samplePeakDbfs);
        }
    }
}

// A file measured in two parts: the later part's meter, given the samples before it, finds the true
// peak that falls just after the split, between samples whose neighbours went to the earlier part.
TEST(Loudness, LeadInGivesTheStreamsTruePeak) {
    std::vector<std::int16_t> samples = burst(mp3::truePeakFilterTaps(44100), 2, 20000);
    std::fill(samples.begin() + 8, samples.end(), 0); // the largest outputs fall in the silence
    samples.insert(samples.begin(), 1000, 0);
    samples.insert(samples.end(), 1000, 0);
    std::vector<std::uint8_t> pcm;
    for (const std::int16_t sample : samples) {
        appendSample(pcm, sample);
    }
    const std::size_t split = 2 * (1000 + 8);

    mp3::LoudnessMeter full(1, 44100, mp3::TruePeakScan::Full);
    full.add(pcm.data(), pcm.size());
    mp3::LoudnessMeter head(1, 44100);
    head.add(pcm.data(), split);
    mp3::LoudnessMeter tail(1, 44100);
    tail.addLeadIn(pcm.data(), split);
    tail.add(pcm.data() + split, pcm.size() - split);
    EXPECT_EQ(mp3::LoudnessMeter::combined({&head, &tail}).truePeakDbtp, full.figures().truePeakDbtp);
    EXPECT_GT(tail.figures().truePeakDbtp, head.figures().truePeakDbtp);
    EXPECT_EQ(tail.figures().samplePeakDbfs, -std::numeric_limits<double>::infinity());
}

TEST(Loudness, SilenceHasNoLoudness) {
    mp3::LoudnessMeter meter(2, 44100);
    const std::vector<std::uint8_t> silence(44100 * 4 * 5, 0);
    meter.add(silence.data(), silence.size());
    const mp3::LoudnessFigures figures = meter.figures();
    EXPECT_TRUE(std::isinf(figures.integratedLufs) && figures.integratedLufs < 0);
    EXPECT_TRUE(std::isinf(figures.samplePeakDbfs) && figures.samplePeakDbfs < 0);
    EXPECT_FALSE(mp3::LoudnessMeter(0, 44100).valid());
}

} // namespace
