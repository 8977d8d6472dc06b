#include "OutputTestSupport.h"

#include "engine/FileScan.h"
#include "support/TestFiles.h"

#include <fstream>
#include <sstream>

namespace output_test {

using namespace testing_support;

TestDocument::TestDocument(const std::filesystem::path& source)
    : doc(std::make_unique<SplitDocument>(frame, view, prompts)) {
    view.setHandler([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        return doc->handleMessage(message, wParam, lParam);
    });
    const mp3::LevelScan scan = mp3::scanLevels(source);
    doc->m_filePath = source;
    doc->m_frameLevels = scan.levels;
    doc->m_frameOffsets = scan.offsets;
    doc->m_frameLengths = scan.lengths;
    doc->m_loaded = true;
}

void TestDocument::setOverlap(bool on, int seconds) {
    Preferences preferences = doc->preferences();
    preferences.Overlap = on;
    preferences.OverlapSecs = seconds;
    doc->setPreferences(preferences);
}

std::string toolComplaints(const std::filesystem::path& piece) {
    std::string complaints;
    int status = 0;
    const std::string quoted = "'" + piece.string() + "'";
    const std::string decoded = runCommand("mpg123 -q -t " + quoted + " 2>&1", &status);
    if (status != 0 || !decoded.empty()) {
        complaints += "mpg123: " + decoded;
    }
    const std::string report = runCommand("mp3val " + quoted + " 2>&1", &status);
    // A missing mp3val must not read as a content one.
    if (status != 0 || report.find("Done!") == std::string::npos) {
        complaints += "mp3val did not run: " + report;
    }
    std::istringstream checked(report);
    for (std::string line; std::getline(checked, line);) {
        if (line.rfind("ERROR", 0) == 0 ||
            (line.rfind("WARNING", 0) == 0 && line.find("No supported tags") == std::string::npos)) {
            complaints += "mp3val: " + line + "\n";
        }
    }
    return complaints;
}

} // namespace output_test
