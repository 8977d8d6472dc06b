#include "cli/DocumentCommands.h"
#include "cli/ErrorOutput.h"
#include "cli/OptionParser.h"
#include "engine/PlatformFile.h"

#include <optional>

int runWav(const CommandArgs& args) {
    std::string problem;
    const std::optional<ParsedOptions> parsed = parseOptions(args, {}, problem);
    if (!parsed || parsed->operands.size() != 2) {
        return usageError(parsed ? "usage: kerfline-cli wav FILE OUT.wav" : problem);
    }
    const std::string& file = parsed->operands[0];
    const std::string& output = parsed->operands[1];
    const std::size_t told = printedErrorCount();
    CliDocument cli(true);
    if (!cli.load(platform::pathFromUtf8(file), problem)) {
        return failUnlessTold(told, problem);
    }
    const int boxesBefore = cli.prompts.errorBoxes;
    const std::size_t errorsBefore = cli.link.logLines(LogLevel::Error).size();
    cli.document.startWavConversion(platform::pathFromUtf8(output));
    if (cli.prompts.errorBoxes != boxesBefore || !cli.document.m_wavThread) {
        return failUnlessTold(told, "the conversion to '" + output + "' was refused");
    }
    if (!cli.waitFor(UM_WAV_DONE)) {
        return fail("the conversion did not finish");
    }
    if (cli.link.logLines(LogLevel::Error).size() != errorsBefore) {
        return failUnlessTold(told, "'" + output + "' has not been written");
    }
    return 0;
}
