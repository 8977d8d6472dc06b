#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

namespace mp3 {

struct FrameHeader;

constexpr std::size_t kWavHeaderSize = 44;
// The RIFF size field holds the data size + 36 in 32 bits, so this is the most PCM a WAV file holds.
constexpr std::uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 36;

// The 44-byte RIFF/WAVE header of 16-bit PCM with `dataBytes` of samples.
std::array<std::uint8_t, kWavHeaderSize> wavHeader(int channels, int sampleRate, std::uint32_t dataBytes);

// The 80-byte header of a file that may outgrow the 32-bit fields (EBU Tech 3306): "RF64" with a
// "ds64" chunk holding the 64-bit sizes when `rf64` is set, otherwise "RIFF" with a "JUNK" chunk of
// the same size in its place, so either can be written over the other once the size is known.
constexpr std::size_t kWav64HeaderSize = 80;
std::array<std::uint8_t, kWav64HeaderSize> wav64Header(int channels, int sampleRate, std::uint64_t dataBytes,
                                                       bool rf64);

// How a WAV file's header is laid out.
enum class WavLayout {
    Plain,    // the 44-byte header; PCM beyond the 32-bit fields is refused
    Reserved, // 80 bytes: RIFF with room for 64-bit sizes, turned RF64 only when the data needs it
    Rf64      // 80 bytes, RF64 whatever the size
};

// The most PCM a frame of this header decodes to: its samples in its channels, 16 bits each.
std::uint64_t framePcmBound(const FrameHeader& header);
// The most PCM the file's frames decode to: each frame's bound, summed over every frame (reads them
// all). A file that decodes cleanly decodes to exactly this.
std::uint64_t filePcmBound(const std::filesystem::path& path);
// The plain header whenever `pcmBound` fits its 32-bit sizes; otherwise room for 64-bit sizes, which
// stays a RIFF header (with a JUNK chunk) should damaged frames leave the data short of the bound.
WavLayout wavLayoutFor(std::uint64_t pcmBound);

// Writes a 16-bit PCM WAV file: a header with zero sizes first, then the samples, then the header
// again with the real sizes. Sizes are counted in 64 bits; PCM beyond `maxDataBytes` (or beyond the
// 32-bit fields of the plain layout) is refused rather than wrapped into a wrong header.
class WavWriter {
public:
    enum class Status { Ok, CannotCreate, WriteFailed, TooLarge };

    WavWriter(const std::filesystem::path& path, int channels, int sampleRate,
              std::uint64_t maxDataBytes = kMaxWavDataBytes, WavLayout layout = WavLayout::Plain);
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Appends samples; false (and nothing written) once the writer has failed or the data would
    // outgrow the size fields.
    bool write(const std::uint8_t* pcm, std::size_t count);
    // Rewrites the header with the real sizes and closes the file; false when anything failed.
    bool finish();
    // Closes and deletes the file (after a failure, so no misleading half file stays behind).
    void discard();

    Status status() const { return m_status; }
    std::uint64_t dataBytes() const { return m_dataBytes; }
    // The most PCM this writer takes: the caller's limit, and the 32-bit fields' for the plain layout.
    std::uint64_t maxDataBytes() const { return m_maxDataBytes; }

private:
    // At the file's start: zero sizes at first, the real ones by finish().
    bool writeHeader();

    std::filesystem::path m_path;
    std::ofstream m_out;
    int m_channels;
    int m_sampleRate;
    std::uint64_t m_maxDataBytes;
    WavLayout m_layout;
    std::uint64_t m_dataBytes = 0;
    Status m_status = Status::Ok;
};

} // namespace mp3
