#include "cli/DocumentCommands.h"

int runWav(const CommandArgs& args) {
    if (args.size() != 2) {
        return usageError("usage: kerfline-cli wav FILE OUT.wav");
    }
    CliDocument cli(true);
    std::string problem;
    if (!cli.load(args[0], problem)) {
        return fail(problem);
    }
    const int boxesBefore = cli.prompts.errorBoxes;
    const std::size_t errorsBefore = cli.link.logLines(LogLevel::Error).size();
    cli.document.startWavConversion(args[1]);
    if (cli.prompts.errorBoxes != boxesBefore || !cli.document.m_wavThread) {
        return fail("the conversion to '" + args[1] + "' was refused");
    }
    if (!cli.waitFor(UM_WAV_DONE)) {
        return fail("the conversion did not finish");
    }
    if (cli.link.logLines(LogLevel::Error).size() != errorsBefore) {
        return fail("'" + args[1] + "' has not been written");
    }
    return 0;
}
