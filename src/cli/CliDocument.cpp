#include "cli/DocumentCommands.h"
#include "cli/ErrorOutput.h"

#include <chrono>
#include <cstdio>

CliDocument::CliDocument(bool echoLog) : m_echoLog(echoLog) {
    link.setHandler([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
        if (m_progress.follow(message, wParam, lParam)) {
            return 0;
        }
        if (message == UM_OUTPUT_LOG) {
            const char* line = reinterpret_cast<const char*>(lParam);
            if (m_echoLog) {
                std::printf("%s\n", line);
            }
            // Failures reach stderr whether or not the log is shown.
            if (wParam == static_cast<std::uintptr_t>(LogLevel::Error)) {
                printError(line);
            }
            return 0;
        }
        return document.handleMessage(message, wParam, lParam);
    });
}

bool CliDocument::waitFor(unsigned message) {
    return link.dispatchUntil(message, std::chrono::hours(24));
}

bool CliDocument::load(const std::filesystem::path& path, std::string& problem, Levels levels) {
    const int boxesBefore = prompts.errorBoxes;
    document.m_loadLevels = levels == Levels::Scan;
    document.openFile(path);
    if (prompts.errorBoxes != boxesBefore || !document.m_loadThread) {
        problem = "cannot load '" + path.string() + "'";
        return false;
    }
    const std::size_t errorsBefore = link.logLines(LogLevel::Error).size();
    if (!waitFor(UM_LOAD_DONE)) {
        problem = "loading '" + path.string() + "' did not finish";
        return false;
    }
    // The loader's own line (already on stderr) says why: unreadable, or not enough memory.
    if (link.logLines(LogLevel::Error).size() != errorsBefore) {
        problem = "cannot load '" + path.string() + "'";
        return false;
    }
    if (document.frameCount() < 1) {
        problem = "no MPEG audio frames in '" + path.string() + "'";
        return false;
    }
    return true;
}
