#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "cli/NumberText.h"

#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/Loudness.h"

#include <algorithm>
#include <array>
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
    mp3::FrameReader reader(options.path);
    if (!reader.isOpen()) {
        return fail("cannot open '" + options.path + "'");
    }
    // The format of frame 0 is the stream's, as everywhere else.
    const int channels = reader.header().channels();
    const int sampleRate = reader.atEnd() ? 0 : reader.header().sampleRate();
    mp3::LoudnessMeter whole(channels, sampleRate);
    std::vector<Measured> blocks;
    std::optional<mp3::LoudnessMeter> block;
    std::size_t nextBreak = 0;
    mp3::DecoderState decoder;
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    int frame = 0;
    const auto closeBlock = [&] {
        if (block) {
            blocks.back().endFrame = frame;
            blocks.back().figures = block->figures();
        }
    };
    for (; !reader.atEnd(); reader.readNext(), ++frame) {
        const bool startsBlock =
            frame == 0 || (nextBreak < options.breakPoints.size() && options.breakPoints[nextBreak] == frame);
        if (!options.breakPoints.empty() && startsBlock) {
            closeBlock();
            while (nextBreak < options.breakPoints.size() && options.breakPoints[nextBreak] <= frame) {
                ++nextBreak;
            }
            block.emplace(channels, sampleRate);
            blocks.push_back({frame, frame, {}});
        }
        const mp3::DecodeResult decoded =
            decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data());
        whole.add(pcm.data(), decoded.bytes);
        if (block) {
            block->add(pcm.data(), decoded.bytes);
        }
    }
    reader.close();
    closeBlock();
    const Measured file{0, frame, whole.figures()};

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
