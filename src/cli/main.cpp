#include "cli/Commands.h"

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
     "breakpoints FILE SOURCE [--export cue|labels|tracklist|bps -o OUT]\n"
     "                                 the frame numbers of the break points; --export writes them"},
    {"wav", runWav, "wav FILE OUT.wav               convert the whole file to 16-bit PCM WAV"},
    {"split", runSplit,
     "split FILE -o DIR (--at F1,F2,... | SOURCE) [--overlap SECONDS] [--timing]\n"
     "                                 write the blocks between break points as pieces"},
    {"chapters", runChapters,
     "chapters FILE OUT.mp3 SOURCE   a copy of FILE, same frames, with one ID3v2 chapter per block"},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "Kerfline 4.0 command-line tool: cuts MP3 files without re-encoding.\n\nUsage:\n");
    for (const Command& command : kCommands) {
        std::fprintf(out, "  kerfline-cli %s\n", command.synopsis);
    }
    std::fprintf(out, "\nSOURCE is one of --silence N, --count N, --length SECONDS, --breakpoints FILE.bps,\n"
                      "--cue FILE, --labels FILE, --tracklist FILE and --chapters (the file's own).\n");
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
