#include "document/FrameTime.h"
#include "document/SplitDocument.h"

void SplitDocument::takeFrameDuration() {
    m_secondsPerFrame = 0.0;
    if (m_frameOffsets.empty() || m_frameLengths.empty()) {
        return;
    }
    if (const auto clock = readFrameClock(m_filePath, m_frameOffsets.front(), m_frameLengths.front());
        clock && clock->sampleRate > 0) {
        m_secondsPerFrame = static_cast<double>(clock->samplesPerFrame) / clock->sampleRate;
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
    {
        const EditStep step(*this, "find silences");
        if (deleteOriginal) {
            replaceBreakPoints({});
        }
        for (const int frame : result.breakPoints) {
            appendPlacedBreakPoint(frame);
        }
    }
    log(LogLevel::Normal, silenceReportLine(report));
    if (report.fewerThanAsked) {
        log(LogLevel::Warning, fewerTracksLine(report, settings.tracks));
    }
    invalidateView();
    return result;
}
