#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "cli/NumberText.h"

#include "engine/LoudnessScan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: kerfline-cli loudness FILE [--blocks F1,F2,...] [--json]";

struct LoudnessOptions {
    std::string path;
    std::vector<int> breakPoints;
    bool json = false;
};

// "--blocks 100,200": break points as frame numbers, each starting a block.
bool takeBreakPoints(const std::string& list, std::vector<int>& into, std::string& problem) {
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::optional<int> value = parseInt(list.substr(start, comma - start));
        if (!value || *value < 0) {
            problem = "--blocks takes frame numbers separated by commas, not '" + list + "'";
            return false;
        }
        into.push_back(*value);
        start = comma + 1;
    }
    return true;
}

bool parseOptions(const CommandArgs& args, LoudnessOptions& options, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--blocks") {
            if (i + 1 >= args.size()) {
                problem = "--blocks needs frame numbers";
                return false;
            }
            if (!takeBreakPoints(args[++i], options.breakPoints, problem)) {
                return false;
            }
        } else if (arg.rfind("--", 0) == 0 || !options.path.empty()) {
            problem = std::string(kUsage);
            return false;
        } else {
            options.path = arg;
        }
    }
    if (options.path.empty()) {
        problem = kUsage;
        return false;
    }
    std::sort(options.breakPoints.begin(), options.breakPoints.end());
    options.breakPoints.erase(std::unique(options.breakPoints.begin(), options.breakPoints.end()),
                              options.breakPoints.end());
    return true;
}

struct Measured {
    int firstFrame = 0;
    int endFrame = 0;
    mp3::LoudnessFigures figures;
};

void printFigures(const char* what, const Measured& measured) {
    std::printf(
        "%s frames %d-%d: integrated %.1f LUFS, range %.1f LU, sample peak %.1f dBFS, true peak %.1f dBTP\n",
        what, measured.firstFrame, measured.endFrame - 1, measured.figures.integratedLufs,
        measured.figures.rangeLu, measured.figures.samplePeakDbfs, measured.figures.truePeakDbtp);
}

void writeFigures(JsonWriter& out, const Measured& measured) {
    out.key("first_frame").value(measured.firstFrame).key("end_frame").value(measured.endFrame);
    out.key("integrated_lufs").value(measured.figures.integratedLufs);
    out.key("loudness_range_lu").value(measured.figures.rangeLu);
    out.key("sample_peak_dbfs").value(measured.figures.samplePeakDbfs);
    out.key("true_peak_dbtp").value(measured.figures.truePeakDbtp);
}

} // namespace

int runLoudness(const CommandArgs& args) {
    LoudnessOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.path, error)) {
        return fail("cannot open '" + options.path + "': no such file");
    }
    const mp3::LoudnessReport report =
        mp3::measureLoudness(options.path, {.breakPoints = options.breakPoints});
    const int frame = report.frames;
    const Measured file{0, frame, report.file};
    std::vector<Measured> blocks;
    for (const mp3::BlockLoudness& block : report.blocks) {
        blocks.push_back({block.firstFrame, block.endFrame, block.figures});
    }

    if (options.json) {
        JsonWriter out;
        out.beginObject().key("file").value(options.path).key("frames").value(frame);
        writeFigures(out, file);
        out.key("blocks").beginArray();
        for (const Measured& measured : blocks) {
            out.beginObject();
            writeFigures(out, measured);
            out.endObject();
        }
        out.endArray().endObject();
        std::printf("%s\n", out.text().c_str());
        return kExitSuccess;
    }
    printFigures("file", file);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        printFigures(("block " + std::to_string(i)).c_str(), blocks[i]);
    }
    return kExitSuccess;
}
