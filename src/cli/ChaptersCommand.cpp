#include "cli/BreakPointSource.h"
#include "cli/DocumentCommands.h"
#include "cli/ErrorOutput.h"
#include "engine/PlatformFile.h"

#include "document/ChapterCopy.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

const std::string kUsage = std::string("usage: kerfline-cli chapters FILE OUT.mp3 (") + kSourceOptions +
                           ")\nSILENCE FINDER OPTIONS: " + kSilenceOptions;

} // namespace

int runChapters(const CommandArgs& args) {
    std::string problem;
    const std::optional<ParsedOptions> parsed = parseOptions(args, breakPointOptionDefinitions(), problem);
    if (!parsed) {
        return usageError(problem);
    }
    if (parsed->operands.size() != 2) {
        return usageError(kUsage);
    }
    const std::optional<BreakPointSource> source = breakPointSource(*parsed, problem);
    if (!source) {
        return usageError(problem);
    }
    const std::string& file = parsed->operands[0];
    const std::string& output = parsed->operands[1];
    const std::size_t told = printedErrorCount();
    CliDocument cli(false);
    if (!cli.load(platform::pathFromUtf8(file), problem,
                  source->needsLevels() ? CliDocument::Levels::Scan : CliDocument::Levels::Skip)) {
        return failUnlessTold(told, problem);
    }
    // A copy with one chapter is no answer when the silence finder found nothing.
    switch (placeBreakPoints(
        *source, cli.document, [&cli] { return cli.link.logLines(LogLevel::Error); }, problem)) {
    case Placed::Done:
        break;
    case Placed::NoSilence:
        return kExitNoSilence;
    case Placed::BadValue:
        return usageError(problem);
    case Placed::Failed:
        return fail(problem);
    }
    const std::size_t toldBeforeCopy = printedErrorCount();
    if (!saveCopyWithChapters(cli.document, platform::pathFromUtf8(output))) {
        return failUnlessTold(toldBeforeCopy, "the copy has not been written");
    }
    std::printf("%s\n", cli.link.logLines(LogLevel::Normal).back().c_str());
    return 0;
}
