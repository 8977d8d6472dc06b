#include "document/AutomaticBreakPoints.h"

#include "engine/FrameHeader.h"
#include "engine/SourceFile.h"

#include <cstdint>

namespace {

constexpr int kSilenceLevel = 200;

// Adds one frame's duration and reports whether the total passed the block length.
class LengthCounter {
public:
    explicit LengthCounter(int blockSeconds) : m_limitMs(static_cast<std::int64_t>(blockSeconds) * 1000) {}
    bool add(const mp3::FrameHeader& header) {
        m_sumMs += header.durationMs();
        if (m_sumMs > m_limitMs) {
            m_sumMs = 0;
            return true;
        }
        return false;
    }

private:
    std::int64_t m_limitMs;
    std::int64_t m_sumMs = 0;
};

} // namespace

std::vector<int> silenceBreakPoints(const std::vector<int>& levels, int minimumFrames) {
    std::vector<int> placed;
    int start = -1;
    int last = 0;
    int count = 0;
    for (int i = 0; i < static_cast<int>(levels.size()); ++i) {
        if (levels[static_cast<std::size_t>(i)] <= kSilenceLevel) {
            last = i;
            if (start == -1) {
                start = i;
            }
            ++count;
        } else {
            if (start != -1 && count >= minimumFrames) {
                placed.push_back(start + (last - start) / 2);
            }
            start = -1;
            count = 0;
        }
    }
    return placed;
}

std::vector<int> countBreakPoints(int frameCount, int blockCount) {
    std::vector<int> placed;
    if (blockCount <= 0 || frameCount <= 0) {
        return placed;
    }
    // k * F / N to the nearest frame, halves up: the remainder spreads over the blocks instead of
    // leaving a runt after the last break point.
    const std::int64_t frames = frameCount;
    const std::int64_t blocks = blockCount;
    for (std::int64_t k = 1; k < blocks; ++k) {
        placed.push_back(static_cast<int>((2 * k * frames + blocks) / (2 * blocks)));
    }
    return placed;
}

std::vector<int> lengthBreakPoints(const std::filesystem::path& path, const mp3::FrameOffsets& offsets,
                                   int blockSeconds) {
    std::vector<int> placed;
    LengthCounter counter(blockSeconds);
    if (offsets.empty()) {
        mp3::FrameReader reader(path);
        const mp3::FrameReader end;
        while (!(reader == end)) {
            if (counter.add(reader.header())) {
                placed.push_back(reader.frameNumber());
            }
            reader.readNext();
        }
        reader.close();
        return placed;
    }
    mp3::SourceFile file(path);
    for (std::size_t frame = 0; frame < offsets.size(); ++frame) {
        mp3::FrameHeader header;
        if (file.readAt(offsets[frame], header.raw.data(), header.raw.size()) != header.raw.size()) {
            break;
        }
        header.offset = offsets[frame];
        header.parse();
        if (counter.add(header)) {
            placed.push_back(static_cast<int>(frame));
        }
    }
    return placed;
}
