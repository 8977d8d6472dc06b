#include "document/FrameTime.h"
#include "document/SplitDocument.h"

#include <string>
#include <unordered_set>
#include <vector>

void SplitDocument::takeFrameDuration() {
    m_secondsPerFrame = 0.0;
    m_sampleRate = 0;
    m_samplesPerFrame = 0;
    m_firstAudioFrame = 0;
    if (m_frameOffsets.empty() || m_frameLengths.empty()) {
        return;
    }
    if (const auto clock = readFrameClock(m_filePath, m_frameOffsets.front(), m_frameLengths.front());
        clock && clock->sampleRate > 0) {
        m_secondsPerFrame = static_cast<double>(clock->samplesPerFrame) / clock->sampleRate;
        m_sampleRate = clock->sampleRate;
        m_samplesPerFrame = clock->samplesPerFrame;
        m_firstAudioFrame = clock->firstAudioFrame;
    }
}

SilenceResult SplitDocument::findSilences(const SilenceSettings& settings) const {
    // Levels of another scan than this file's frames would place break points beyond them.
    if (m_frameRmsDb.size() != m_frameLevels.size()) {
        return {};
    }
    return ::findSilences(m_frameRmsDb, m_secondsPerFrame, settings);
}

SilenceResult SplitDocument::placeSilenceBreakPoints(const SilenceSettings& settings, bool deleteOriginal) {
    if (!canUseBreakPointList() || refuseListChange()) {
        return {};
    }
    const SilenceResult result = findSilences(settings);
    const SilenceReport& report = result.report;
    // Silences that all fall to the minimum piece length leave nothing to place either.
    if (report.kept == 0) {
        if (report.found > 0) {
            log(LogLevel::Normal, silenceReportLine(report));
        }
        log(LogLevel::Error, "No silence found with these settings");
        return result;
    }
    // A second run with the same settings finds the same silences: only frames the list does not
    // hold yet are added, or every export would list them twice.
    std::unordered_set<int> held;
    if (!deleteOriginal) {
        held.insert(m_breakPoints.begin(), m_breakPoints.end());
    }
    std::vector<int> fresh;
    for (const int frame : result.breakPoints) {
        if (held.insert(frame).second) {
            fresh.push_back(frame);
        }
    }
    if (!fresh.empty()) {
        const EditStep step(*this, "find silences");
        if (deleteOriginal) {
            replaceBreakPoints({});
        }
        // One line for the lot: a long recording gets thousands of them.
        for (const int frame : fresh) {
            appendBreakPoint(frame);
        }
    }
    log(LogLevel::Normal, silenceReportLine(report));
    if (!fresh.empty()) {
        log(LogLevel::Normal, fresh.size() == 1
                                  ? "1 break point has been added"
                                  : std::to_string(fresh.size()) + " break points have been added");
    }
    if (fresh.size() < result.breakPoints.size()) {
        const std::size_t already = result.breakPoints.size() - fresh.size();
        log(LogLevel::Normal, already == 1
                                  ? "1 silence is already a break point and has not been added again"
                                  : std::to_string(already) +
                                        " silences are already break points and have not been added again");
    }
    if (report.fewerThanAsked) {
        log(LogLevel::Warning, fewerTracksLine(report, settings.tracks));
    }
    invalidateView();
    return result;
}
