#include "cli/Commands.h"
#include "cli/TerminalProgress.h"

#include "engine/FileScan.h"
#include "engine/FrameReader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A path the reader could not open at all is an error here; a file with no frame is not.
bool checkReadable(const std::string& path, std::string& problem) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        problem = "cannot open '" + path + "': no such file";
        return false;
    }
    if (std::filesystem::is_directory(path, error)) {
        problem = "cannot open '" + path + "': it is a folder";
        return false;
    }
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = "cannot open '" + path + "': not a regular file";
        return false;
    }
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
        problem = "cannot open '" + path + "': permission denied or unreadable";
        return false;
    }
    return true;
}

} // namespace

int runInfo(const CommandArgs& args) {
    if (args.size() != 1) {
        return fail("usage: kerfline-cli info FILE");
    }
    std::string problem;
    if (!checkReadable(args[0], problem)) {
        return fail(problem);
    }
    mp3::FrameReader reader(args[0]);
    const mp3::FrameReader end;
    std::printf("%s\n", mp3::streamInfoLine(reader.header()).c_str());
    long long frames = 0;
    long long durationMs = 0;
    while (!(reader == end)) {
        ++frames;
        durationMs += reader.header().durationMs();
        reader.readNext();
    }
    reader.close();
    std::printf("frames: %lld\nduration_ms: %lld\n", frames, durationMs);
    return 0;
}

int runLevels(const CommandArgs& args) {
    const bool raw = !args.empty() && args[0] == "--raw";
    if (args.size() != (raw ? 2u : 1u)) {
        return fail("usage: kerfline-cli levels [--raw] FILE");
    }
    const std::string& path = args.back();
    std::string problem;
    if (!checkReadable(path, problem)) {
        return fail(problem);
    }
    // The bar's range is the file's size, as the window program's; the scan reports frame bytes.
    struct Progress final : mp3::LevelScanObserver {
        TerminalProgress bar;
        void frameHandled(int, std::int64_t bytesHandled) override { bar.setPosition(bytesHandled); }
    } progress;
    std::error_code sizeError;
    progress.bar.setRange(static_cast<std::int64_t>(std::filesystem::file_size(path, sizeError)));
    const mp3::LevelScan scan = mp3::scanLevels(path, &progress);
    progress.bar.hide();
    if (scan.tooManyFrames) {
        return fail("'" + path + "' has more frames than can be indexed in memory");
    }
    std::string out;
    out.reserve(scan.levels.size() * 6);
    char number[16];
    for (const int level : raw ? scan.rawLevels : scan.levels) {
        const int n = std::snprintf(number, sizeof number, "%d\n", level);
        out.append(number, static_cast<std::size_t>(n));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
