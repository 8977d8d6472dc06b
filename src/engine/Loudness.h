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

// A loudness meter over interleaved 16-bit PCM (libebur128 stays behind this class).
class LoudnessMeter {
public:
    LoudnessMeter(int channels, int sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;

    // False when the library refused the format (no meter for it); nothing is measured then.
    bool valid() const { return m_state != nullptr; }
    // `bytes` of interleaved signed 16-bit little-endian samples, all channels.
    void add(const std::uint8_t* pcm, std::size_t bytes);
    LoudnessFigures figures() const;
    // The figures of everything the meters were fed, as one stream (meters of consecutive parts
    // of a file measured side by side). Invalid meters are passed over.
    static LoudnessFigures combined(const std::vector<const LoudnessMeter*>& meters);

private:
    struct State;
    std::unique_ptr<State> m_state;
    int m_channels = 0;
};

// Decibels of a linear sample magnitude against full scale (1.0); -inf for 0.
double toDb(double linear);

} // namespace mp3
