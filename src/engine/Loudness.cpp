#include "engine/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace mp3 {

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
    explicit State(ebur128_state* created) : meter(created) {}
    ~State() { ebur128_destroy(&meter); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

LoudnessMeter::LoudnessMeter(int channels, int sampleRate) : m_channels(channels) {
    if (channels < 1 || sampleRate < 1) {
        return;
    }
    ebur128_state* meter =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK);
    if (meter != nullptr) {
        m_state = std::make_unique<State>(meter);
    }
}

LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&&) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&&) noexcept = default;

void LoudnessMeter::add(const std::uint8_t* pcm, std::size_t bytes) {
    if (!m_state) {
        return;
    }
    const std::size_t frames = bytes / 2 / static_cast<std::size_t>(m_channels);
    if (frames == 0) {
        return;
    }
    if constexpr (std::endian::native == std::endian::little) {
        // The decoder's buffers are not aligned for shorts: copy rather than cast.
        std::vector<short> samples(frames * static_cast<std::size_t>(m_channels));
        std::memcpy(samples.data(), pcm, samples.size() * sizeof(short));
        ebur128_add_frames_short(m_state->meter, samples.data(), frames);
    } else {
        std::vector<short> samples(frames * static_cast<std::size_t>(m_channels));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<short>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        }
        ebur128_add_frames_short(m_state->meter, samples.data(), frames);
    }
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
    for (int channel = 0; channel < m_channels; ++channel) {
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

double toDb(double linear) {
    return linear > 0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

} // namespace mp3
