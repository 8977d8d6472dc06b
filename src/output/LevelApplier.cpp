#include "output/LevelApplier.h"

#include "engine/XingFrame.h"
#include "output/ReservoirBytes.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

LevelApplier::LevelApplier(int firstAudio, int granulesPerFrame, int sampleRate)
    : m_firstAudio(firstAudio), m_granulesPerFrame(granulesPerFrame), m_sampleRate(sampleRate) {}

void LevelApplier::addGain(int from, int to, int steps) {
    if (steps != 0 && from < to) {
        m_ranges.push_back({from, to, steps, 0, 0});
    }
}

void LevelApplier::addFades(int from, int to, double inSeconds, double outSeconds, double floorDb) {
    if (from >= to) {
        return;
    }
    const int in = mp3::fadeGranules(inSeconds, m_sampleRate);
    const int out = mp3::fadeGranules(outSeconds, m_sampleRate);
    if (in > 0 || out > 0) {
        m_ranges.push_back({from, to, 0, in, out, floorDb});
    }
}

void LevelApplier::limitTo(int first, int end) {
    m_limitFirst = first;
    m_limitEnd = end;
}

bool LevelApplier::changes(int from, int to) const {
    if (m_limitEnd > m_limitFirst) {
        // Frames outside the limit take the level of its ends.
        if (from < m_limitFirst) {
            from = m_limitFirst;
            to = std::max(to, from + 1);
        }
        if (to > m_limitEnd) {
            to = m_limitEnd;
            from = std::min(from, to - 1);
        }
    }
    from = std::max(from, m_firstAudio);
    return std::any_of(m_ranges.begin(), m_ranges.end(), [&](const mp3::LevelRange& range) {
        return mp3::rangeChangesFrames(range, m_granulesPerFrame, from, to);
    });
}

mp3::FrameGain LevelApplier::gainOf(int frame) const {
    if (m_limitEnd > m_limitFirst) {
        frame = std::clamp(frame, m_limitFirst, m_limitEnd - 1);
    }
    return mp3::frameGainOf(m_ranges, m_granulesPerFrame, frame);
}

void LevelApplier::apply(int frame, std::uint8_t* bytes, std::size_t length) {
    if (frame < m_firstAudio || length < 4) {
        return;
    }
    const mp3::FrameGain gain = gainOf(frame);
    const bool changed =
        std::any_of(gain.granules.begin(), gain.granules.end(), [](const mp3::GranuleGain& g) {
            return g.silence || g.steps[0] != 0 || g.steps[1] != 0;
        });
    if (!changed) {
        return;
    }
    mp3::FrameHeader header;
    header.raw = {bytes[0], bytes[1], bytes[2], bytes[3]};
    if (!header.parse() || header.layer != 1) {
        return;
    }
    const mp3::GainOutcome outcome = mp3::changeGlobalGain(header, bytes, length, gain);
    m_shortfallSteps = std::max(m_shortfallSteps, outcome.shortfallSteps);
}

LevelApplier levelApplierFor(const SourceFrames& frames) {
    if (frames.count() == 0) {
        return {};
    }
    const auto readFrame = [&frames](int frame) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames.length(frame)));
        bytes.resize(frames.file().readAt(frames.offset(frame), bytes.data(), bytes.size()));
        return bytes;
    };
    const std::vector<std::uint8_t> first = readFrame(0);
    const int firstAudio = mp3::XingFrame::parse(first.data(), first.size()) ? 1 : 0;
    const std::optional<mp3::FrameHeader> header = layerThreeHeaderOf(first);
    if (!header) {
        return {};
    }
    return LevelApplier(firstAudio, header->version == 3 ? 2 : 1, header->sampleRate());
}

std::string shortfallText(int shortfallSteps) {
    if (shortfallSteps <= 0) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", shortfallSteps * mp3::kDbPerGainStep);
    return text;
}
