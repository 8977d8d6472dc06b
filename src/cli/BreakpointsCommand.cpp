#include "cli/DocumentCommands.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

namespace {

const char* const kUsage =
    "usage: kerfline-cli breakpoints FILE (--silence N | --count N | --length SECONDS)";

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

} // namespace

int runBreakpoints(const CommandArgs& args) {
    std::optional<std::string> file;
    std::optional<AutoMethod> method;
    int value = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (const auto chosen = methodOf(args[i])) {
            if (method) {
                return fail("choose one of --silence, --count and --length");
            }
            if (i + 1 >= args.size()) {
                return fail(args[i] + " needs a number");
            }
            const auto number = parseInt(args[++i]);
            if (!number) {
                return fail(args[i - 1] + " needs an integer, not '" + args[i] + "'");
            }
            method = chosen;
            value = *number;
        } else if (!file && (args[i].empty() || args[i][0] != '-')) {
            file = args[i];
        } else {
            return fail(kUsage);
        }
    }
    if (!file || !method) {
        return fail(kUsage);
    }
    CliDocument cli(false);
    std::string problem;
    if (!cli.load(*file, problem)) {
        return fail(problem);
    }
    SplitDocument& document = cli.document;
    const std::size_t before = document.m_breakPoints.size();
    document.placeAutomaticBreakPoints(*method, value, false);
    if (const auto refusals = cli.link.logLines(LogLevel::Error); !refusals.empty()) {
        return fail(refusals.back());
    }
    std::string out;
    for (std::size_t i = before; i < document.m_breakPoints.size(); ++i) {
        out += std::to_string(document.m_breakPoints[i]);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
