#include "engine/WavWriter.h"

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

WavWriter::WavWriter(const std::filesystem::path& path, int channels, int sampleRate,
                     std::uint64_t maxDataBytes)
    : m_path(path), m_channels(channels), m_sampleRate(sampleRate), m_maxDataBytes(maxDataBytes) {
    m_out.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_out) {
        m_status = Status::CannotCreate;
        return;
    }
    const auto header = wavHeader(channels, sampleRate, 0);
    m_out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    if (!m_out) {
        m_status = Status::WriteFailed;
    }
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
    const auto header = wavHeader(m_channels, m_sampleRate, static_cast<std::uint32_t>(m_dataBytes));
    m_out.seekp(0);
    m_out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
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
