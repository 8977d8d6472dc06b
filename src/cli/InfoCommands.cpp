#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "cli/OptionParser.h"
#include "cli/StandardInput.h"
#include "cli/TerminalProgress.h"
#include "engine/PlatformFile.h"

#include "document/formats/FrameTimeline.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/StreamCheck.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

namespace {

// A path the reader could not open, or a file that is no MPEG audio stream (the reader finds "frames"
// in any file), is an error: an empty answer would pass for a file of no frames.
bool checkReadable(const std::string& text, std::string& problem) {
    const std::filesystem::path path = platform::pathFromUtf8(text);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        problem = "cannot open '" + text + "': no such file";
        return false;
    }
    if (std::filesystem::is_directory(path, error)) {
        problem = "cannot open '" + text + "': it is a folder";
        return false;
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = "cannot open '" + text + "': not a regular file";
        return false;
    }
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
        problem = "cannot open '" + text + "': permission denied or unreadable";
        return false;
    }
    if (const mp3::StreamProblem stream = mp3::checkStream(path); stream != mp3::StreamProblem::None) {
        problem = mp3::streamProblemText(stream, text);
        return false;
    }
    return true;
}

} // namespace

int runInfo(const CommandArgs& args) {
    std::string problem;
    const std::optional<ParsedOptions> parsed = parseOptions(args, {{"--json"}}, problem);
    if (!parsed || parsed->operands.size() != 1) {
        return usageError(parsed ? "usage: kerfline-cli info [--json] FILE" : problem);
    }
    const bool json = parsed->has("--json");
    const std::string& operand = parsed->operands.front();
    std::unique_ptr<StandardInputCopy> input;
    if (isStandardInput(operand) &&
        !(input = StandardInputCopy::make(std::filesystem::temp_directory_path(), problem))) {
        return fail(problem);
    }
    const std::string path = input ? input->path().string() : operand;
    if (!checkReadable(path, problem)) {
        return fail(problem);
    }
    mp3::FrameReader reader(platform::pathFromUtf8(path));
    const mp3::FrameReader end;
    const mp3::FrameHeader first = reader.header();
    // The duration is where the frame after the last would start; frame 0 says whether it is an Info
    // frame, which holds no audio.
    FrameTimeline timeline;
    if (!reader.atEnd()) {
        timeline = makeTimeline(first, reader.frameData(), static_cast<std::size_t>(reader.frameLength()), 1);
    }
    std::int64_t frames = 0;
    while (!(reader == end)) {
        ++frames;
        reader.readNext();
    }
    reader.close();
    timeline.frameCount = static_cast<int>(frames);
    const std::int64_t durationMs = frames > 0 ? timeline.endMs() : 0;
    if (!json) {
        std::printf("%s\nframes: %lld\nduration_ms: %lld\n", mp3::streamInfoLine(first).c_str(),
                    static_cast<long long>(frames), static_cast<long long>(durationMs));
        return kExitSuccess;
    }
    // Without a frame there is no stream to describe: null rather than the reader's placeholder.
    JsonWriter out;
    out.beginObject().key("file").value(operand);
    for (const auto& [name, number] :
         {std::pair{"sample_rate_hz", first.sampleRate()}, std::pair{"channels", first.channels()},
          std::pair{"bitrate_bps", first.bitrate()}}) {
        out.key(name);
        frames > 0 ? out.value(number) : out.null();
    }
    out.key("frames").value(frames).key("duration_ms").value(durationMs).endObject();
    std::printf("%s\n", out.text().c_str());
    return kExitSuccess;
}

int runLevels(const CommandArgs& args) {
    std::string problem;
    const std::optional<ParsedOptions> parsed = parseOptions(args, {{"--raw"}}, problem);
    if (!parsed || parsed->operands.size() != 1) {
        return usageError(parsed ? "usage: kerfline-cli levels [--raw] FILE" : problem);
    }
    const bool raw = parsed->has("--raw");
    const std::string& operand = parsed->operands.front();
    std::unique_ptr<StandardInputCopy> input;
    if (isStandardInput(operand) &&
        !(input = StandardInputCopy::make(std::filesystem::temp_directory_path(), problem))) {
        return fail(problem);
    }
    const std::string path = input ? input->path().string() : operand;
    if (!checkReadable(path, problem)) {
        return fail(problem);
    }
    // The bar's range is the file's size, as the window program's; the scan reports frame bytes.
    struct Progress final : mp3::LevelScanObserver {
        TerminalProgress bar;
        void frameHandled(int, std::int64_t bytesHandled) override { bar.setPosition(bytesHandled); }
    } progress;
    std::error_code sizeError;
    progress.bar.setRange(
        static_cast<std::int64_t>(std::filesystem::file_size(platform::pathFromUtf8(path), sizeError)));
    const mp3::LevelScan scan = mp3::scanLevels(platform::pathFromUtf8(path), &progress);
    progress.bar.hide();
    if (scan.tooManyFrames) {
        return fail("'" + path + "' has more frames than can be indexed in memory");
    }
    if (scan.framesWithPcm == 0) {
        return fail(mp3::streamProblemText(mp3::StreamProblem::NothingDecodes, path));
    }
    std::string out;
    out.reserve(scan.levels.size() * 6);
    char number[16];
    for (const int level : raw ? scan.rawLevels : scan.levels) {
        const int n = std::snprintf(number, sizeof number, "%d\n", level);
        out.append(number, static_cast<std::size_t>(n));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitSuccess;
}
