#include "cli/DocumentCommands.h"
#include "cli/ListOptions.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

namespace {

const char* const kUsage =
    "usage: kerfline-cli breakpoints FILE (--silence N | --count N | --length SECONDS | --breakpoints "
    "FILE.bps | "
    "--cue FILE | --labels FILE | --tracklist FILE) [--export cue|labels|tracklist|bps -o OUT]";

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

struct BreakpointsOptions {
    std::optional<std::string> file;
    std::optional<AutoMethod> method;
    int value = 0;
    std::optional<std::string> breakPointFile;
    std::optional<ListOption> list;
    std::optional<ListFormat> exportAs;
    std::optional<std::string> output;
};

bool parseOptions(const CommandArgs& args, BreakpointsOptions& options, std::string& problem) {
    int sources = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (const auto chosen = methodOf(arg)) {
            if (!hasValue) {
                problem = arg + " needs a number";
                return false;
            }
            const auto number = parseInt(args[++i]);
            if (!number) {
                problem = arg + " needs an integer, not '" + args[i] + "'";
                return false;
            }
            options.method = chosen;
            options.value = *number;
            ++sources;
        } else if (const auto format = listOptionFormat(arg)) {
            if (!hasValue) {
                problem = arg + " needs a file";
                return false;
            }
            options.list = ListOption{*format, args[++i]};
            ++sources;
        } else if (arg == "--breakpoints") {
            if (!hasValue) {
                problem = "--breakpoints needs a file";
                return false;
            }
            options.breakPointFile = args[++i];
            ++sources;
        } else if (arg == "--export") {
            options.exportAs = hasValue ? exportFormat(args[i + 1]) : std::nullopt;
            if (!options.exportAs) {
                problem = "--export needs one of cue, labels, tracklist and bps";
                return false;
            }
            ++i;
        } else if (arg == "-o" || arg == "--output") {
            if (!hasValue) {
                problem = arg + " needs a file";
                return false;
            }
            options.output = args[++i];
        } else if (!options.file && (arg.empty() || arg[0] != '-')) {
            options.file = arg;
        } else {
            problem = kUsage;
            return false;
        }
    }
    if (!options.file || sources == 0 || options.exportAs.has_value() != options.output.has_value()) {
        problem = kUsage;
        return false;
    }
    if (sources > 1) {
        problem = "give break points from one source only";
        return false;
    }
    return true;
}

} // namespace

int runBreakpoints(const CommandArgs& args) {
    BreakpointsOptions options;
    std::string problem;
    if (!parseOptions(args, options, problem)) {
        return fail(problem);
    }
    CliDocument cli(false);
    if (!cli.load(*options.file, problem)) {
        return fail(problem);
    }
    SplitDocument& document = cli.document;
    const std::size_t before = document.m_breakPoints.size();
    if (options.method) {
        document.placeAutomaticBreakPoints(*options.method, options.value, false);
        if (const auto refusals = cli.link.logLines(Error); !refusals.empty()) {
            return fail(refusals.back());
        }
    } else if (options.breakPointFile) {
        document.loadBreakPointFile(*options.breakPointFile);
        if (const auto refusals = cli.link.logLines(Error); !refusals.empty()) {
            return fail(refusals.back());
        }
    } else if (options.list) {
        if (!importBreakPoints(document, options.list->path, options.list->format, false)) {
            return fail("the break point list could not be read");
        }
        // Times past the end are skipped, not fatal: say which.
        for (const std::string& line : cli.link.logLines(Error)) {
            std::fprintf(stderr, "kerfline-cli: %s\n", line.c_str());
        }
    }
    if (options.exportAs && !exportBreakPoints(document, *options.output, *options.exportAs)) {
        const auto errors = cli.link.logLines(Error);
        return fail(errors.empty() ? "cannot write '" + *options.output + "'" : errors.back());
    }
    std::string out;
    for (std::size_t i = before; i < document.m_breakPoints.size(); ++i) {
        out += std::to_string(document.m_breakPoints[i]);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
