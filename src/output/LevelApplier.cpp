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
        m_gains.push_back({from, to, steps});
    }
}

void LevelApplier::addFades(int from, int to, double inSeconds, double outSeconds, double floorDb) {
    if (from >= to) {
        return;
    }
    const int total = (to - from) * m_granulesPerFrame;
    Fade fade{from, to, {}, {}};
    if (inSeconds > 0) {
        fade.in = mp3::fadeInRamp(std::min(total, mp3::fadeGranules(inSeconds, m_sampleRate)), floorDb);
    }
    if (outSeconds > 0) {
        fade.out = mp3::fadeOutRamp(std::min(total, mp3::fadeGranules(outSeconds, m_sampleRate)), floorDb);
    }
    if (!fade.in.empty() || !fade.out.empty()) {
        m_fades.push_back(std::move(fade));
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
    if (from >= to) {
        return false;
    }
    for (const Gain& gain : m_gains) {
        if (gain.from < to && from < gain.to) {
            return true;
        }
    }
    for (const Fade& fade : m_fades) {
        const int inEnd =
            fade.from + (static_cast<int>(fade.in.size()) + m_granulesPerFrame - 1) / m_granulesPerFrame;
        const int outFrom =
            fade.to - (static_cast<int>(fade.out.size()) + m_granulesPerFrame - 1) / m_granulesPerFrame;
        if ((!fade.in.empty() && fade.from < to && from < inEnd) ||
            (!fade.out.empty() && outFrom < to && from < fade.to)) {
            return true;
        }
    }
    return false;
}

mp3::FrameGain LevelApplier::gainOf(int frame) const {
    if (m_limitEnd > m_limitFirst) {
        frame = std::clamp(frame, m_limitFirst, m_limitEnd - 1);
    }
    mp3::FrameGain result;
    int steps = 0;
    for (const Gain& gain : m_gains) {
        if (gain.from <= frame && frame < gain.to) {
            steps += gain.steps;
        }
    }
    for (int granule = 0; granule < m_granulesPerFrame && granule < 2; ++granule) {
        mp3::GranuleGain& change = result.granules[static_cast<std::size_t>(granule)];
        int granuleSteps = steps;
        for (const Fade& fade : m_fades) {
            if (frame < fade.from || frame >= fade.to) {
                continue;
            }
            const auto index = static_cast<std::size_t>((frame - fade.from) * m_granulesPerFrame + granule);
            if (index < fade.in.size()) {
                granuleSteps += fade.in[index].steps;
                change.silence = change.silence || fade.in[index].silence;
            }
            const auto total = static_cast<std::size_t>((fade.to - fade.from) * m_granulesPerFrame);
            const std::size_t outStart = total - fade.out.size();
            if (index >= outStart) {
                granuleSteps += fade.out[index - outStart].steps;
                change.silence = change.silence || fade.out[index - outStart].silence;
            }
        }
        change.steps = {granuleSteps, granuleSteps};
    }
    return result;
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
