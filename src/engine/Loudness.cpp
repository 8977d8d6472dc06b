#include "engine/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

namespace mp3 {

namespace {

// libebur128 oversamples with a 49-tap windowed sinc: 4 times below 96 kHz, twice below 192 kHz.
constexpr int kFilterTaps = 49;

int oversampling(int sampleRate) {
    return sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
}

// Far above the rounding of the filter's double sums and float outputs (parts in 10^7).
constexpr double kOvershootMargin = 1.001;
// Frames the gate decides on at a time: a short stretch is passed over more often, at the price of
// more warm-ups.
constexpr std::size_t kStretchFrames = 64;

int largestMagnitude(const short* samples, std::size_t count) {
    int largest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int value = samples[i];
        largest = std::max(largest, value < 0 ? -value : value);
    }
    return largest;
}

} // namespace

// Finds the sample peak, and the true peak while oversampling only the stretches that could raise
// it. The filter's output for a sample depends on that sample and the `reach` before it in its
// channel, and cannot exceed the largest of them times the filter's overshoot: a channel's stretch
// whose window stays below the peak found so far (or the sample peak, which the true peak never
// falls below) is passed over. A stretch after one passed over is fed after the samples before it,
// whose own outputs, computed from a stale filter history, are not counted. Each channel has a
// one-channel state of its own, so a quiet channel costs nothing beside a loud one.
class LoudnessMeter::TruePeakGate {
public:
    TruePeakGate(int channels, int sampleRate)
        : m_reach(static_cast<std::size_t>(
              (kFilterTaps + oversampling(sampleRate) - 1) / oversampling(sampleRate) - 1)),
          m_limit(32768.0 / (truePeakOvershoot(sampleRate) * kOvershootMargin)),
          m_channels(static_cast<std::size_t>(channels)) {
        for (Channel& channel : m_channels) {
            channel.meter = ebur128_init(1, static_cast<unsigned long>(sampleRate), EBUR128_MODE_TRUE_PEAK);
            // The stream starts after silence, as the library's filter history does.
            channel.samples.assign(m_reach + 1, 0);
        }
    }

    bool valid() const {
        return std::all_of(m_channels.begin(), m_channels.end(),
                           [](const Channel& channel) { return channel.meter != nullptr; });
    }
    double samplePeak() const { return m_samplePeak / 32768.0; }
    double truePeak() const { return std::max(samplePeak(), m_truePeak); }

    void add(const short* samples, std::size_t frames) {
        const std::size_t count = m_channels.size();
        while (frames > 0) {
            const std::size_t stretch = std::min(frames, kStretchFrames);
            for (std::size_t c = 0; c < count; ++c) {
                Channel& channel = m_channels[c];
                // After the history of the reach + 1 frames before.
                channel.samples.resize(m_reach + 1 + stretch);
                for (std::size_t i = 0; i < stretch; ++i) {
                    channel.samples[m_reach + 1 + i] = samples[i * count + c];
                }
                channel.stretchPeak = largestMagnitude(channel.samples.data() + m_reach + 1, stretch);
                m_samplePeak = std::max(m_samplePeak, channel.stretchPeak);
            }
            for (Channel& channel : m_channels) {
                const int windowPeak =
                    std::max(channel.stretchPeak, largestMagnitude(channel.samples.data() + 1, m_reach));
                if (windowPeak > truePeak() * m_limit) {
                    feed(channel, stretch);
                } else {
                    channel.inStep = false;
                }
                // The last reach + 1 frames become the history.
                std::copy(channel.samples.end() - static_cast<std::ptrdiff_t>(m_reach + 1),
                          channel.samples.end(), channel.samples.begin());
            }
            samples += stretch * count;
            frames -= stretch;
        }
    }

    // Samples before the stream: history only.
    void addLeadIn(const short* samples, std::size_t frames) {
        const std::size_t count = m_channels.size();
        for (std::size_t c = 0; c < count; ++c) {
            Channel& channel = m_channels[c];
            for (std::size_t i = 0; i < frames; ++i) {
                std::copy(channel.samples.begin() + 1,
                          channel.samples.begin() + static_cast<std::ptrdiff_t>(m_reach + 1),
                          channel.samples.begin());
                channel.samples[m_reach] = samples[i * count + c];
            }
            channel.inStep = false;
        }
    }

private:
    struct Channel {
        ebur128_state* meter = nullptr;
        std::vector<short> samples; // the history, then the stretch being judged
        int stretchPeak = 0;
        bool inStep = false; // the library's filter has seen the samples just before the stretch
        Channel() = default;
        ~Channel() { ebur128_destroy(&meter); }
        Channel(const Channel&) = delete;
        Channel& operator=(const Channel&) = delete;
    };

    void feed(Channel& channel, std::size_t stretch) {
        if (!channel.inStep) {
            ebur128_add_frames_short(channel.meter, channel.samples.data(), m_reach + 1);
        }
        ebur128_add_frames_short(channel.meter, channel.samples.data() + m_reach + 1, stretch);
        double value = 0;
        if (ebur128_prev_true_peak(channel.meter, 0, &value) == EBUR128_SUCCESS) {
            m_truePeak = std::max(m_truePeak, value);
        }
        channel.inStep = true;
    }

    std::size_t m_reach; // earlier samples each filter output depends on
    double m_limit;      // a window peak (LSB) at most this times the true peak cannot raise it
    std::vector<Channel> m_channels;
    int m_samplePeak = 0;  // LSB
    double m_truePeak = 0; // of the stretches fed
};

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
    std::unique_ptr<TruePeakGate> gate; // none: the meter itself finds the peaks, oversampling everything
    explicit State(ebur128_state* created) : meter(created) {}
    ~State() { ebur128_destroy(&meter); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

LoudnessMeter::LoudnessMeter(int channels, int sampleRate, TruePeakScan scan) : m_channels(channels) {
    if (channels < 1 || sampleRate < 1) {
        return;
    }
    const int mode = EBUR128_MODE_I | EBUR128_MODE_LRA |
                     (scan == TruePeakScan::Full ? EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK : 0);
    ebur128_state* meter =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), mode);
    if (meter == nullptr) {
        return;
    }
    auto state = std::make_unique<State>(meter);
    if (scan == TruePeakScan::Gated) {
        state->gate = std::make_unique<TruePeakGate>(channels, sampleRate);
        if (!state->gate->valid()) {
            return;
        }
    }
    m_state = std::move(state);
}

LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&&) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&&) noexcept = default;

void LoudnessMeter::toSamples(const std::uint8_t* pcm, std::size_t count) {
    m_samples.resize(count);
    if constexpr (std::endian::native == std::endian::little) {
        // The decoder's buffers are not aligned for shorts: copy rather than cast.
        std::memcpy(m_samples.data(), pcm, count * sizeof(short));
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            m_samples[i] = static_cast<short>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        }
    }
}

void LoudnessMeter::add(const std::uint8_t* pcm, std::size_t bytes) {
    if (!m_state) {
        return;
    }
    const std::size_t frames = bytes / 2 / static_cast<std::size_t>(m_channels);
    if (frames == 0) {
        return;
    }
    toSamples(pcm, frames * static_cast<std::size_t>(m_channels));
    ebur128_add_frames_short(m_state->meter, m_samples.data(), frames);
    if (m_state->gate) {
        m_state->gate->add(m_samples.data(), frames);
    }
}

void LoudnessMeter::addLeadIn(const std::uint8_t* pcm, std::size_t bytes) {
    if (!m_state || !m_state->gate) {
        return;
    }
    const std::size_t frames = bytes / 2 / static_cast<std::size_t>(m_channels);
    toSamples(pcm, frames * static_cast<std::size_t>(m_channels));
    m_state->gate->addLeadIn(m_samples.data(), frames);
}

LoudnessFigures LoudnessMeter::figures() const {
    LoudnessFigures figures;
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    if (!m_state) {
        figures.integratedLufs = figures.samplePeakDbfs = figures.truePeakDbtp = minusInfinity;
        return figures;
    }
    if (ebur128_loudness_global(m_state->meter, &figures.integratedLufs) != EBUR128_SUCCESS) {
        figures.integratedLufs = minusInfinity;
    }
    if (ebur128_loudness_range(m_state->meter, &figures.rangeLu) != EBUR128_SUCCESS) {
        figures.rangeLu = 0;
    }
    double samplePeak = 0;
    double truePeak = 0;
    if (m_state->gate) {
        samplePeak = m_state->gate->samplePeak();
        truePeak = m_state->gate->truePeak();
    }
    for (int channel = 0; channel < m_channels && !m_state->gate; ++channel) {
        double value = 0;
        if (ebur128_sample_peak(m_state->meter, static_cast<unsigned>(channel), &value) == EBUR128_SUCCESS) {
            samplePeak = std::max(samplePeak, value);
        }
        if (ebur128_true_peak(m_state->meter, static_cast<unsigned>(channel), &value) == EBUR128_SUCCESS) {
            truePeak = std::max(truePeak, value);
        }
    }
    figures.samplePeakDbfs = toDb(samplePeak);
    figures.truePeakDbtp = toDb(truePeak);
    return figures;
}

LoudnessFigures LoudnessMeter::combined(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    LoudnessFigures figures;
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    figures.samplePeakDbfs = figures.truePeakDbtp = minusInfinity;
    for (const LoudnessMeter* meter : meters) {
        if (meter != nullptr && meter->m_state) {
            states.push_back(meter->m_state->meter);
            const LoudnessFigures part = meter->figures();
            figures.samplePeakDbfs = std::max(figures.samplePeakDbfs, part.samplePeakDbfs);
            figures.truePeakDbtp = std::max(figures.truePeakDbtp, part.truePeakDbtp);
        }
    }
    if (states.empty() || ebur128_loudness_global_multiple(states.data(), states.size(),
                                                           &figures.integratedLufs) != EBUR128_SUCCESS) {
        figures.integratedLufs = minusInfinity;
    }
    if (states.empty() ||
        ebur128_loudness_range_multiple(states.data(), states.size(), &figures.rangeLu) != EBUR128_SUCCESS) {
        figures.rangeLu = 0;
    }
    return figures;
}

std::vector<double> truePeakFilterTaps(int sampleRate) {
    const int factor = oversampling(sampleRate);
    if (factor == 1) {
        return {};
    }
    // The library's windowed sinc, coefficient for coefficient.
    std::vector<double> taps;
    for (int j = 0; j < kFilterTaps; ++j) {
        const double m = j - (kFilterTaps - 1) / 2.0;
        double c = 1.0;
        if (std::fabs(m) > 0.000001) {
            c = std::sin(m * std::numbers::pi / factor) / (m * std::numbers::pi / factor);
        }
        c *= 0.5 * (1 - std::cos(2 * std::numbers::pi * j / (kFilterTaps - 1)));
        taps.push_back(c);
    }
    return taps;
}

double truePeakOvershoot(int sampleRate) {
    const int factor = oversampling(sampleRate);
    const std::vector<double> taps = truePeakFilterTaps(sampleRate);
    std::vector<double> phaseSums(static_cast<std::size_t>(factor), 0.0);
    for (std::size_t j = 0; j < taps.size(); ++j) {
        phaseSums[j % phaseSums.size()] += std::fabs(taps[j]);
    }
    return std::max(1.0, *std::max_element(phaseSums.begin(), phaseSums.end()));
}

double toDb(double linear) {
    return linear > 0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

} // namespace mp3
