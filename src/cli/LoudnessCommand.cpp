#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "cli/NumberText.h"

#include "engine/LoudnessScan.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: kerfline-cli loudness FILE... [--blocks F1,F2,...] [--json] [--jobs N]";

struct LoudnessOptions {
    std::vector<std::string> paths;
    std::vector<int> breakPoints;
    bool json = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
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
        } else if (arg == "--jobs" || arg == "-j") {
            const auto jobs = i + 1 < args.size() ? parseInt(args[i + 1]) : std::nullopt;
            if (!jobs || *jobs < 1 || *jobs > 256) {
                problem = arg + " needs a whole number from 1 to 256";
                return false;
            }
            options.jobs = static_cast<unsigned>(*jobs);
            ++i;
        } else if (arg.rfind("--", 0) == 0) {
            problem = std::string(kUsage);
            return false;
        } else {
            options.paths.push_back(arg);
        }
    }
    if (options.paths.empty()) {
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

void printFigures(std::string& out, const std::string& what, const Measured& measured) {
    char line[256];
    const int n = std::snprintf(
        line, sizeof line,
        "%s frames %d-%d: integrated %.1f LUFS, range %.1f LU, sample peak %.1f dBFS, true peak %.1f dBTP\n",
        what.c_str(), measured.firstFrame, measured.endFrame - 1, measured.figures.integratedLufs,
        measured.figures.rangeLu, measured.figures.samplePeakDbfs, measured.figures.truePeakDbtp);
    out.append(line, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof line) - 1)));
}

void writeFigures(JsonWriter& out, const Measured& measured) {
    out.key("first_frame").value(measured.firstFrame).key("end_frame").value(measured.endFrame);
    out.key("integrated_lufs").value(measured.figures.integratedLufs);
    out.key("loudness_range_lu").value(measured.figures.rangeLu);
    out.key("sample_peak_dbfs").value(measured.figures.samplePeakDbfs);
    out.key("true_peak_dbtp").value(measured.figures.truePeakDbtp);
}

// One file's figures into `out`; with several files each text line starts with the file's path
// (a JSON object names it anyway).
int measureFile(const LoudnessOptions& options, const std::string& path, bool many, std::string& out) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return fail("cannot open '" + path + "': no such file");
    }
    const mp3::LoudnessReport report = mp3::measureLoudness(path, {.breakPoints = options.breakPoints});
    const int frame = report.frames;
    const Measured file{0, frame, report.file};
    std::vector<Measured> blocks;
    for (const mp3::BlockLoudness& block : report.blocks) {
        blocks.push_back({block.firstFrame, block.endFrame, block.figures});
    }

    if (options.json) {
        JsonWriter json;
        json.beginObject().key("file").value(path).key("frames").value(frame);
        writeFigures(json, file);
        json.key("blocks").beginArray();
        for (const Measured& measured : blocks) {
            json.beginObject();
            writeFigures(json, measured);
            json.endObject();
        }
        json.endArray().endObject();
        out = json.text() + "\n";
        return kExitSuccess;
    }
    const std::string prefix = many ? path + ": " : std::string();
    printFigures(out, prefix + "file", file);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        printFigures(out, prefix + "block " + std::to_string(i), blocks[i]);
    }
    return kExitSuccess;
}

} // namespace

int runLoudness(const CommandArgs& args) {
    LoudnessOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return usageError(problem);
    }
    // Files are measured `jobs` at a time and printed in the order given; any failure fails the run.
    const std::size_t count = options.paths.size();
    std::vector<std::string> texts(count);
    std::vector<int> statuses(count, kExitSuccess);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t file = next++; file < count; file = next++) {
            statuses[file] = measureFile(options, options.paths[file], count > 1, texts[file]);
        }
    };
    {
        std::vector<std::jthread> workers;
        for (unsigned job = 0; job < std::min<std::size_t>(options.jobs, count); ++job) {
            workers.emplace_back(work);
        }
    }
    int status = kExitSuccess;
    for (std::size_t file = 0; file < count; ++file) {
        std::fputs(texts[file].c_str(), stdout);
        status = std::max(status, statuses[file]);
    }
    return status;
}
