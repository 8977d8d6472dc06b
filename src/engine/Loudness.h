#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace mp3 {

// EBU R128 figures of the PCM fed to one meter.
struct LoudnessFigures {
    double integratedLufs = 0; // -inf when everything fed is gated away as silence
    double rangeLu = 0;        // loudness range
    double samplePeakDbfs = 0; // -inf for digital silence
    double truePeakDbtp = 0;   // the peak between samples too, oversampled
};

// How a meter finds the true peak.
enum class TruePeakScan {
    // Oversamples only the stretches whose sample peak, times the most the oversampling filter can
    // add to it, could raise the true peak found so far: the same figure, at a fraction of the cost.
    Gated,
    // Oversamples every sample.
    Full,
};

// A loudness meter over interleaved 16-bit PCM (libebur128 stays behind this class).
class LoudnessMeter {
public:
    LoudnessMeter(int channels, int sampleRate, TruePeakScan scan = TruePeakScan::Gated);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;

    // False when the library refused the format (no meter for it); nothing is measured then.
    bool valid() const { return m_state != nullptr; }
    // `bytes` of interleaved signed 16-bit little-endian samples, all channels.
    void add(const std::uint8_t* pcm, std::size_t bytes);
    // The samples just before the first `add`, not measured: the true peak of what follows is then
    // the one a meter fed the whole stream finds.
    void addLeadIn(const std::uint8_t* pcm, std::size_t bytes);
    LoudnessFigures figures() const;
    // The figures of everything the meters were fed, as one stream (meters of consecutive parts
    // of a file measured side by side). Invalid meters are passed over.
    static LoudnessFigures combined(const std::vector<const LoudnessMeter*>& meters);

private:
    struct State;
    class TruePeakGate;
    void toSamples(const std::uint8_t* pcm, std::size_t count);

    std::unique_ptr<State> m_state;
    int m_channels = 0;
    std::vector<short> m_samples; // the decoder's bytes, aligned for the library
};

// The taps of the filter the meter oversamples with for the true peak at `sampleRate`, in the
// library's order (tap j serves output phase j % factor); empty when it does not oversample.
std::vector<double> truePeakFilterTaps(int sampleRate);
// The most the filter's output can exceed the largest input sample it sees, as a factor: the
// largest sum of absolute taps of one phase.
double truePeakOvershoot(int sampleRate);

// Decibels of a linear sample magnitude against full scale (1.0); -inf for 0.
double toDb(double linear);

} // namespace mp3
