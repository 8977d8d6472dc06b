#include "engine/PcmCache.h"

#include <algorithm>
#include <cstring>
#include <system_error>

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

void PcmCache::setBudget(std::size_t bytes) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_budget.setBytes(bytes);
}

std::size_t PcmCache::budget() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_budget.bytes();
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
    if (file->second.windowed) {
        return file->second.window.contains(frame);
    }
    const auto& entries = file->second.entries;
    return static_cast<std::size_t>(frame) < entries.size() &&
           entries[static_cast<std::size_t>(frame)].present;
}

std::size_t PcmCache::get(const std::string& path, int frame, std::uint8_t* out) const {
    return find(path, frame, out).value_or(0);
}

std::optional<std::size_t> PcmCache::find(const std::string& path, int frame, std::uint8_t* out) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (!containsLocked(path, frame)) {
        return std::nullopt;
    }
    // The recency list changes on a read; it is the cache's own bookkeeping, under its lock.
    auto& file = const_cast<FileFrames&>(m_files.at(path));
    if (file.windowed) {
        auto& kept = file.window.at(frame);
        file.recency.splice(file.recency.end(), file.recency, kept.use);
        if (!kept.pcm.empty()) {
            std::memcpy(out, kept.pcm.data(), kept.pcm.size());
        }
        return kept.pcm.size();
    }
    const auto& entry = file.entries[static_cast<std::size_t>(frame)];
    if (entry.length > 0) {
        std::memcpy(out, file.chunks[entry.chunk].get() + entry.offset, entry.length);
    }
    return entry.length;
}

bool PcmCache::isWindowed(const std::string& path) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    const auto file = m_files.find(path);
    return file != m_files.end() && file->second.windowed;
}

bool PcmCache::put(const std::string& path, int frame, const std::uint8_t* data, std::size_t length) {
    if (frame < 0 || length > kChunkSize) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    FileFrames& file = m_files[path];
    if (file.windowed) {
        return keepInWindowLocked(file, frame, data, length);
    }
    if (!m_budget.admits(storedBytesLocked(), length)) {
        // Beyond the budget: keeping the frames decoded so far would only delay the next miss, and
        // the memory is better returned now.
        dropFramesLocked(file);
        return false;
    }
    appendLocked(file, frame, data, length);
    return true;
}

void PcmCache::dropFrames(const std::string& path) {
    const std::lock_guard<std::mutex> lock(m_lock);
    FileFrames& file = m_files[path];
    if (!file.windowed) {
        dropFramesLocked(file);
    }
}

void PcmCache::dropFramesLocked(FileFrames& file) {
    file.windowed = true;
    std::vector<FileFrames::Entry>().swap(file.entries);
    std::vector<Chunk>().swap(file.chunks);
    if (file.nextChunk.valid()) {
        file.nextChunk.get();
    }
    file.chunkSize = file.chunkUsed = file.bytes = 0;
}

void PcmCache::appendLocked(FileFrames& file, int frame, const std::uint8_t* data, std::size_t length) {
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
            try {
                file.nextChunk = std::async(std::launch::async, newTouchedChunk);
            } catch (const std::system_error&) {
                // No helper thread to be had: the next chunk is made when it is needed.
            }
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

bool PcmCache::keepInWindowLocked(FileFrames& file, int frame, const std::uint8_t* data, std::size_t length) {
    if (const auto old = file.window.find(frame); old != file.window.end()) {
        file.bytes -= old->second.pcm.size();
        file.recency.erase(old->second.use);
        file.window.erase(old);
    }
    // Least recently used first.
    while (!m_budget.admits(storedBytesLocked(), length) && !file.recency.empty()) {
        const auto victim = file.window.find(file.recency.front());
        file.bytes -= victim->second.pcm.size();
        file.window.erase(victim);
        file.recency.pop_front();
    }
    if (!m_budget.admits(storedBytesLocked(), length)) {
        return false;
    }
    FileFrames::Kept kept;
    kept.pcm.assign(data, data + length);
    kept.use = file.recency.insert(file.recency.end(), frame);
    file.window.emplace(frame, std::move(kept));
    file.bytes += length;
    return true;
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
    if (file.windowed) {
        return;
    }
    if (moved.windowed || !m_budget.admits(storedBytesLocked(), moved.bytes)) {
        dropFramesLocked(file);
        return;
    }
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
    return storedBytesLocked();
}

std::size_t PcmCache::storedBytesLocked() const {
    std::size_t total = 0;
    for (const auto& [path, file] : m_files) {
        total += file.bytes;
    }
    return total;
}

} // namespace mp3
