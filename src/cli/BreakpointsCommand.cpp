#include "cli/BreakPointSource.h"
#include "cli/DocumentCommands.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

const std::string kUsage = std::string("usage: kerfline-cli breakpoints FILE (") + kSourceOptions +
                           ") [--export cue|labels|tracklist|bps -o OUT]";

struct BreakpointsOptions {
    std::optional<std::string> file;
    BreakPointSource source;
    std::optional<ListFormat> exportAs;
    std::optional<std::string> output;
};

bool parseOptions(const CommandArgs& args, BreakpointsOptions& options, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (options.source.take(args, i, problem)) {
            if (!problem.empty()) {
                return false;
            }
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
    if (!options.file || options.source.given == 0 ||
        options.exportAs.has_value() != options.output.has_value()) {
        problem = kUsage;
        return false;
    }
    if (options.source.given > 1) {
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
    if (!options.source.apply(document, cli.link, problem)) {
        return fail(problem);
    }
    // Times past the end are skipped, not fatal: say which.
    for (const std::string& line : cli.link.logLines(Error)) {
        std::fprintf(stderr, "kerfline-cli: %s\n", line.c_str());
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
