#include "cli/BreakPointSource.h"
#include "cli/DocumentCommands.h"

#include "document/ChapterCopy.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

const std::string kUsage = std::string("usage: kerfline-cli chapters FILE OUT.mp3 (") + kSourceOptions + ")";

} // namespace

int runChapters(const CommandArgs& args) {
    std::vector<std::string> files;
    BreakPointSource source;
    std::string problem;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (source.take(args, i, problem)) {
            if (!problem.empty()) {
                return fail(problem);
            }
        } else if (args[i].empty() || args[i][0] != '-') {
            files.push_back(args[i]);
        } else {
            return fail(kUsage);
        }
    }
    if (files.size() != 2 || source.given == 0) {
        return fail(kUsage);
    }
    if (source.given > 1) {
        return fail("give break points from one source only");
    }
    CliDocument cli(false);
    if (!cli.load(files[0], problem)) {
        return fail(problem);
    }
    SilenceReport report;
    if (!source.apply(cli.document, cli.link, problem, &report)) {
        return fail(problem);
    }
    // The document's line has gone to stderr; a copy with one chapter is no answer.
    if (source.silences && report.kept == 0) {
        return kExitNoSilence;
    }
    const int boxesBefore = cli.prompts.errorBoxes;
    if (!saveCopyWithChapters(cli.document, files[1])) {
        const auto errors = cli.link.logLines(LogLevel::Error);
        return fail(cli.prompts.errorBoxes != boxesBefore || errors.empty() ? "the copy has not been written"
                                                                            : errors.back());
    }
    std::printf("%s\n", cli.link.logLines(LogLevel::Normal).back().c_str());
    return 0;
}
