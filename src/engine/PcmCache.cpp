#include "engine/PcmCache.h"

#include <algorithm>
#include <cstring>

namespace mp3 {

PcmCache::Chunk PcmCache::newChunk(std::size_t size) {
    return std::make_unique_for_overwrite<std::uint8_t[]>(size);
}

PcmCache::Chunk PcmCache::newTouchedChunk() {
    Chunk chunk = newChunk(kChunkSize);
    constexpr std::size_t kPage = 4096;
    for (std::size_t at = 0; at < kChunkSize; at += kPage) {
        static_cast<volatile std::uint8_t*>(chunk.get())[at] = 0;
    }
    return chunk;
}

bool PcmCache::contains(const std::string& path, int frame) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return containsLocked(path, frame);
}

bool PcmCache::containsLocked(const std::string& path, int frame) const {
    const auto file = m_files.find(path);
    if (file == m_files.end() || frame < 0) {
        return false;
    }
    const auto& entries = file->second.entries;
    return static_cast<std::size_t>(frame) < entries.size() &&
           entries[static_cast<std::size_t>(frame)].present;
}

std::size_t PcmCache::get(const std::string& path, int frame, std::uint8_t* out) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (!containsLocked(path, frame)) {
        return 0;
    }
    const FileFrames& file = m_files.at(path);
    const auto& entry = file.entries[static_cast<std::size_t>(frame)];
    if (entry.length > 0) {
        std::memcpy(out, file.chunks[entry.chunk].get() + entry.offset, entry.length);
    }
    return entry.length;
}

void PcmCache::put(const std::string& path, int frame, const std::uint8_t* data, std::size_t length) {
    if (frame < 0 || length > kChunkSize) {
        return;
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    FileFrames& file = m_files[path];
    if (static_cast<std::size_t>(frame) >= file.entries.size()) {
        file.entries.resize(static_cast<std::size_t>(frame) + 1);
    }
    if (file.chunks.empty() || file.chunkUsed + length > file.chunkSize) {
        // Chunks grow from small to kChunkSize, so that a short file stays small. Once they are full
        // size the file is long: the next chunk is faulted in on a helper thread meanwhile.
        const std::size_t size = std::max(
            length, file.chunks.empty() ? kFirstChunkSize : std::min(2 * file.chunkSize, kChunkSize));
        const bool full = size == kChunkSize;
        file.chunks.push_back(full && file.nextChunk.valid() ? file.nextChunk.get() : newChunk(size));
        if (full) {
            file.nextChunk = std::async(std::launch::async, newTouchedChunk);
        }
        file.chunkSize = size;
        file.chunkUsed = 0;
    }
    auto& entry = file.entries[static_cast<std::size_t>(frame)];
    entry.chunk = static_cast<std::uint32_t>(file.chunks.size() - 1);
    entry.offset = static_cast<std::uint32_t>(file.chunkUsed);
    entry.length = static_cast<std::uint32_t>(length);
    entry.present = true;
    if (length > 0) {
        std::memcpy(file.chunks.back().get() + file.chunkUsed, data, length);
    }
    file.chunkUsed += length;
    file.bytes += length;
}

void PcmCache::adopt(const std::string& path, PcmCache& from) {
    if (&from == this) {
        return;
    }
    const std::scoped_lock lock(m_lock, from.m_lock);
    const auto source = from.m_files.find(path);
    if (source == from.m_files.end()) {
        return;
    }
    FileFrames moved = std::move(source->second);
    from.m_files.erase(source);
    FileFrames& file = m_files[path];
    const auto base = static_cast<std::uint32_t>(file.chunks.size());
    for (auto& chunk : moved.chunks) {
        file.chunks.push_back(std::move(chunk));
    }
    if (file.entries.size() < moved.entries.size()) {
        file.entries.resize(moved.entries.size());
    }
    for (std::size_t frame = 0; frame < moved.entries.size(); ++frame) {
        FileFrames::Entry entry = moved.entries[frame];
        if (entry.present && !file.entries[frame].present) {
            entry.chunk += base;
            file.entries[frame] = entry;
            file.bytes += entry.length;
        }
    }
    // The last chunk is now one of the adopted ones: later frames start a chunk of their own.
    file.chunkSize = std::max(file.chunkSize, moved.chunkSize);
    file.chunkUsed = file.chunkSize;
}

void PcmCache::clear() {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_files.clear();
}

std::size_t PcmCache::storedBytes() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    std::size_t total = 0;
    for (const auto& [path, file] : m_files) {
        total += file.bytes;
    }
    return total;
}

} // namespace mp3
