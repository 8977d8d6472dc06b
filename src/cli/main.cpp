#include "cli/Commands.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Command {
    const char* name;
    int (*run)(const CommandArgs&);
    const char* synopsis;
};

const Command kCommands[] = {
    {"info", runInfo, "info FILE                      stream information, frame count and duration"},
    {"levels", runLevels, "levels [--raw] FILE            the smoothed (or raw) level of every frame"},
    {"breakpoints", runBreakpoints,
     "breakpoints FILE (--silence N | --count N | --length SECONDS)\n"
     "                                 frame numbers an automatic method places"},
    {"wav", runWav, "wav FILE OUT.wav               convert the whole file to 16-bit PCM WAV"},
    {"split", runSplit,
     "split FILE -o DIR (--at F1,F2,... | --breakpoints FILE.bps | --silence N | --count N |\n"
     "                 --length SECONDS) [--overlap SECONDS] [--timing]\n"
     "                                 write the blocks between break points as pieces"},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "Kerfline 4.0 command-line tool: cuts MP3 files without re-encoding.\n\nUsage:\n");
    for (const Command& command : kCommands) {
        std::fprintf(out, "  kerfline-cli %s\n", command.synopsis);
    }
}

} // namespace

int fail(const std::string& message) {
    std::fprintf(stderr, "kerfline-cli: %s\n", message.c_str());
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    // A command goes through the file once or twice and plays nothing: keeping decoded frames would
    // only cost memory, so the conversion decodes in file order instead.
    mp3::processDecoding().cache.setBudget(0);
    const CommandArgs args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            return command.run(args);
        }
    }
    std::fprintf(stderr, "kerfline-cli: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}
