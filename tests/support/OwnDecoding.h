#pragma once

#include "engine/Decoder.h"
#include "engine/Decoding.h"
#include "engine/PcmCache.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

namespace testing_support {

// A cache with a budget of the test's choosing and a decoder of its own, wired like the process's.
struct OwnDecoding {
    explicit OwnDecoding(std::size_t budgetBytes) : cache(budgetBytes) {}
    mp3::Decoding decoding() { return mp3::Decoding{cache, decoder}; }

    std::mutex lock;
    mp3::PcmCache cache;
    mp3::SharedDecoder decoder{lock};
};

// Every frame's PCM from a fresh decoder state fed the file's frames in order: what any other way
// of decoding must match.
std::vector<std::vector<std::uint8_t>> decodeInOrder(const std::filesystem::path& path);

} // namespace testing_support
