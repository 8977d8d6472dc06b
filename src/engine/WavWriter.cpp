#include "engine/WavWriter.h"

#include "engine/Decoder.h"
#include "engine/FrameHeader.h"
#include "engine/FrameReader.h"

#include <algorithm>
#include <cstring>

namespace mp3 {

namespace {

void put16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

void put64(std::uint8_t* at, std::uint64_t value) {
    put32(at, static_cast<std::uint32_t>(value));
    put32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

// The "fmt " chunk of 16-bit PCM, 24 bytes.
void putFormat(std::uint8_t* h, int channels, int sampleRate) {
    const auto blockAlign = static_cast<std::uint32_t>(channels * 16 / 8);
    std::memcpy(h, "fmt ", 4);
    put32(h + 4, 16);
    put16(h + 8, 1);
    put16(h + 10, static_cast<std::uint32_t>(channels));
    put32(h + 12, static_cast<std::uint32_t>(sampleRate));
    put32(h + 16, blockAlign * static_cast<std::uint32_t>(sampleRate));
    put16(h + 20, blockAlign);
    put16(h + 22, 16);
}

} // namespace

std::array<std::uint8_t, kWavHeaderSize> wavHeader(int channels, int sampleRate, std::uint32_t dataBytes) {
    std::array<std::uint8_t, kWavHeaderSize> header{};
    std::uint8_t* h = header.data();
    const auto blockAlign = static_cast<std::uint32_t>(channels * 16 / 8);
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, dataBytes + 36);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, static_cast<std::uint32_t>(channels));
    put32(h + 24, static_cast<std::uint32_t>(sampleRate));
    put32(h + 28, blockAlign * static_cast<std::uint32_t>(sampleRate));
    put16(h + 32, blockAlign);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
    return header;
}

std::array<std::uint8_t, kWav64HeaderSize> wav64Header(int channels, int sampleRate, std::uint64_t dataBytes,
                                                       bool rf64) {
    std::array<std::uint8_t, kWav64HeaderSize> header{};
    std::uint8_t* h = header.data();
    constexpr std::uint32_t kDs64Size = 28;
    // Everything after the RIFF size field: "WAVE", the ds64 or JUNK chunk, "fmt ", the data chunk.
    const std::uint64_t riffBytes = dataBytes + kWav64HeaderSize - 8;
    constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
    std::memcpy(h, rf64 ? "RF64" : "RIFF", 4);
    put32(h + 4, rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(riffBytes));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, rf64 ? "ds64" : "JUNK", 4);
    put32(h + 16, kDs64Size);
    if (rf64) {
        const auto blockAlign = static_cast<std::uint64_t>(channels * 16 / 8);
        put64(h + 20, riffBytes);
        put64(h + 28, dataBytes);
        put64(h + 36, blockAlign > 0 ? dataBytes / blockAlign : 0); // sample frames
        put32(h + 44, 0);                                           // no table of other chunk sizes
    }
    putFormat(h + 48, channels, sampleRate);
    std::memcpy(h + 72, "data", 4);
    put32(h + 76, rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(dataBytes));
    return header;
}

std::uint64_t framePcmBound(const FrameHeader& header) {
    // Layer I 384 samples, Layer III of MPEG-2 and 2.5 576, the rest 1152.
    const std::uint64_t samples =
        header.layer == 3 ? 384 : (header.layer == 1 && header.version != 3 ? 576 : 1152);
    return std::min<std::uint64_t>(samples * 2 * (header.channels() == 1 ? 1u : 2u), kMaxPcmBytes);
}

std::uint64_t filePcmBound(const std::filesystem::path& path) {
    std::uint64_t bound = 0;
    for (FrameReader reader(path); !reader.atEnd(); reader.readNext()) {
        bound += framePcmBound(reader.header());
    }
    return bound;
}

WavLayout wavLayoutFor(std::uint64_t pcmBound) {
    return pcmBound <= kMaxWavDataBytes ? WavLayout::Plain : WavLayout::Reserved;
}

WavWriter::WavWriter(const std::filesystem::path& path, int channels, int sampleRate,
                     std::uint64_t maxDataBytes, WavLayout layout)
    : m_path(path), m_channels(channels), m_sampleRate(sampleRate),
      m_maxDataBytes(layout == WavLayout::Plain ? std::min(maxDataBytes, kMaxWavDataBytes) : maxDataBytes),
      m_layout(layout) {
    m_out.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_out) {
        m_status = Status::CannotCreate;
        return;
    }
    if (!writeHeader()) {
        m_status = Status::WriteFailed;
    }
}

bool WavWriter::writeHeader() {
    if (m_layout == WavLayout::Plain) {
        const auto header = wavHeader(m_channels, m_sampleRate, static_cast<std::uint32_t>(m_dataBytes));
        m_out.write(reinterpret_cast<const char*>(header.data()),
                    static_cast<std::streamsize>(header.size()));
    } else {
        const bool rf64 =
            m_layout == WavLayout::Rf64 || m_dataBytes > kMaxWavDataBytes - (kWav64HeaderSize - 44);
        const auto header = wav64Header(m_channels, m_sampleRate, m_dataBytes, rf64);
        m_out.write(reinterpret_cast<const char*>(header.data()),
                    static_cast<std::streamsize>(header.size()));
    }
    return static_cast<bool>(m_out);
}

bool WavWriter::write(const std::uint8_t* pcm, std::size_t count) {
    if (m_status != Status::Ok) {
        return false;
    }
    if (m_dataBytes + count > m_maxDataBytes) {
        m_status = Status::TooLarge;
        return false;
    }
    m_out.write(reinterpret_cast<const char*>(pcm), static_cast<std::streamsize>(count));
    if (!m_out) {
        m_status = Status::WriteFailed;
        return false;
    }
    m_dataBytes += count;
    return true;
}

bool WavWriter::finish() {
    if (m_status != Status::Ok) {
        return false;
    }
    m_out.seekp(0);
    writeHeader();
    m_out.close();
    if (m_out.fail()) {
        m_status = Status::WriteFailed;
        return false;
    }
    return true;
}

void WavWriter::discard() {
    if (m_out.is_open()) {
        m_out.close();
    }
    // Only a file this writer created; never a device or a file it could not open.
    std::error_code ignored;
    if (m_status != Status::CannotCreate && std::filesystem::is_regular_file(m_path, ignored)) {
        std::filesystem::remove(m_path, ignored);
    }
}

} // namespace mp3
