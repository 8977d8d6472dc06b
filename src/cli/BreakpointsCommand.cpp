#include "cli/DocumentCommands.h"
#include "cli/JsonWriter.h"
#include "engine/FrameReader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: kerfline-cli breakpoints [--json] FILE (--silence N | --count N | --length SECONDS)";

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const char* const last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

std::optional<AutoMethod> methodOf(const std::string& option) {
    if (option == "--silence") {
        return AutoMethod::Silence;
    }
    if (option == "--count") {
        return AutoMethod::EqualCount;
    }
    if (option == "--length") {
        return AutoMethod::EveryLength;
    }
    return std::nullopt;
}

const char* methodName(AutoMethod method) {
    switch (method) {
    case AutoMethod::Silence:
        return "silence";
    case AutoMethod::EqualCount:
        return "count";
    case AutoMethod::EveryLength:
        return "length";
    }
    return "";
}

// The start time of every frame, and the duration of the whole file at the end.
std::vector<std::int64_t> frameStartsMs(const std::string& path) {
    std::vector<std::int64_t> starts{0};
    mp3::FrameReader reader(path);
    const mp3::FrameReader end;
    while (!(reader == end)) {
        starts.push_back(starts.back() + reader.header().durationMs());
        reader.readNext();
    }
    reader.close();
    return starts;
}

void printJson(const std::string& path, AutoMethod method, int value, const SplitDocument& document,
               std::size_t firstPlaced) {
    const std::vector<std::int64_t> startsMs = frameStartsMs(path);
    const auto startMs = [&](int frame) {
        return startsMs[static_cast<std::size_t>(std::clamp<std::int64_t>(frame, 0, startsMs.size() - 1))];
    };
    JsonWriter out;
    out.beginObject()
        .key("file")
        .value(path)
        .key("method")
        .value(methodName(method))
        .key("value")
        .value(value)
        .key("frames")
        .value(document.frameCount())
        .key("duration_ms")
        .value(startsMs.back())
        .key("break_points")
        .beginArray();
    for (std::size_t i = firstPlaced; i < document.m_breakPoints.size(); ++i) {
        const int frame = document.m_breakPoints[i];
        out.beginObject().key("frame").value(frame).key("time_ms").value(startMs(frame)).endObject();
    }
    out.endArray().endObject();
    std::printf("%s\n", out.text().c_str());
}

} // namespace

int runBreakpoints(const CommandArgs& args) {
    std::optional<std::string> file;
    std::optional<AutoMethod> method;
    int value = 0;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (const auto chosen = methodOf(args[i])) {
            if (method) {
                return usageError("choose one of --silence, --count and --length");
            }
            if (i + 1 >= args.size()) {
                return usageError(args[i] + " needs a number");
            }
            const auto number = parseInt(args[++i]);
            if (!number) {
                return usageError(args[i - 1] + " needs an integer, not '" + args[i] + "'");
            }
            method = chosen;
            value = *number;
        } else if (!file && (args[i].empty() || args[i][0] != '-')) {
            file = args[i];
        } else {
            return usageError(kUsage);
        }
    }
    if (!file || !method) {
        return usageError(kUsage);
    }
    CliDocument cli(false);
    std::string problem;
    if (!cli.load(*file, problem)) {
        return fail(problem);
    }
    SplitDocument& document = cli.document;
    const std::size_t before = document.m_breakPoints.size();
    document.placeAutomaticBreakPoints(*method, value, false);
    // The method's own refusal (say more blocks than frames): the value asked for does not fit.
    if (const auto refusals = cli.link.logLines(Error); !refusals.empty()) {
        return usageError(refusals.back());
    }
    if (json) {
        printJson(*file, *method, value, document, before);
        return kExitSuccess;
    }
    std::string out;
    for (std::size_t i = before; i < document.m_breakPoints.size(); ++i) {
        out += std::to_string(document.m_breakPoints[i]);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitSuccess;
}
