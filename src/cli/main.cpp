#include "cli/Commands.h"
#include "cli/ErrorOutput.h"
#include "engine/PcmCache.h"
#include "engine/PlatformFile.h"
#include "engine/ProcessDecoding.h"
#include "kerfline/Version.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    int (*run)(const CommandArgs&);
    const char* synopsis;
    const char* help;
};

const Command kCommands[] = {
    {"info", runInfo, "info [--json] FILE                     stream information, frame count and duration",
     "Usage: kerfline-cli info [--json] FILE\n\n"
     "Prints the stream information of the first frame, the number of MPEG audio frames and the\n"
     "duration of FILE. A file without any frame is no error: it has 0 frames.\n\n"
     "  --json  print one JSON object instead:\n"
     "            file            the path as given\n"
     "            sample_rate_hz  of the first frame (null when there is no frame)\n"
     "            channels        1 or 2, of the first frame (null when there is no frame)\n"
     "            bitrate_bps     of the first frame; -1 for free format (null when there is no frame)\n"
     "            frames          the number of frames\n"
     "            duration_ms     where the audio ends, in milliseconds: the audio frames (an Info\n"
     "                            frame holds none) x samples per frame / sample rate\n"},
    {"levels", runLevels, "levels [--raw] FILE                    the smoothed (or raw) level of every frame",
     "Usage: kerfline-cli levels [--raw] FILE\n\n"
     "Prints one line per frame: the level the waveform shows for it, smoothed as the window\n"
     "program draws it, or with --raw before smoothing.\n"},
    {"breakpoints", runBreakpoints,
     "breakpoints FILE SOURCE [OPTIONS]      the frame numbers of the break points",
     "Usage: kerfline-cli breakpoints [--json] FILE SOURCE [--export cue|labels|tracklist|bps -o OUT]\n\n"
     "Prints the break points SOURCE gives for FILE, one frame number per line.\n\n"
     "  --at POSITIONS       at these positions, separated by commas: frame numbers (1200 or\n"
     "                       1200f) or times (62.5s, 1:02.5 or 1:02:03.5, each the frame that\n"
     "                       starts nearest to it); a position outside frames 1 to F - 1 is bad\n"
     "                       usage\n"
     "  --silence N          in the middle of every silence of at least N frames\n"
     "  --silence-db DB, --min-silence SECONDS, --cut start|middle|end, --min-piece SECONDS,\n"
     "  --tracks N           in the silences found on the frames' RMS levels (any of these\n"
     "                       options picks this way; the others keep their defaults):\n"
     "                         --silence-db   a frame at or below DB dBFS is silent (-40)\n"
     "                         --min-silence  a silence lasts at least SECONDS (0.5)\n"
     "                         --cut          the break point is the first silent frame, the\n"
     "                                        middle one or the first loud frame after (middle)\n"
     "                         --min-piece    no piece shorter than SECONDS: the shorter\n"
     "                                        silences give way (0)\n"
     "                         --tracks       the N - 1 longest silences, for N pieces\n"
     "                       Silences at the start or the end of FILE give no break point.\n"
     "                       When none is found, \"No silence found with these settings\" goes\n"
     "                       to stderr, nothing else is written and the status is 3.\n"
     "  --count N            into N blocks of equal length\n"
     "  --length SECONDS     every SECONDS seconds\n"
     "  --breakpoints FILE   from a break point file (.bps)\n"
     "  --cue FILE           from the INDEX 01 of every TRACK of a CUE sheet\n"
     "  --labels FILE        from the starts of a label file (start, end and name, tab-separated)\n"
     "  --tracklist FILE     from the times of a tracklist ([h:]mm:ss[.fff] and a title a line)\n"
     "  --chapters           from FILE's own ID3v2 chapters\n"
     "  --export FORMAT -o OUT\n"
     "                       also write the list to OUT as a cue sheet, a label file, a tracklist\n"
     "                       or a break point file (cue, labels, tracklist or bps)\n"
     "  --json               print one JSON object instead:\n"
     "                         file          the path as given\n"
     "                         method        \"at\", \"silence\", \"silences\" (the silence finder),\n"
     "                                       \"count\", \"length\", \"bps\", \"cue\", \"labels\",\n"
     "                                       \"tracklist\" or \"chapters\"\n"
     "                         value         N or SECONDS as given (0 for --at or a list)\n"
     "                         frames        the number of frames in FILE\n"
     "                         duration_ms   where FILE's audio ends, in milliseconds\n"
     "                         break_points  an array of objects, in the order placed:\n"
     "                                         frame    the frame number\n"
     "                                         time_ms  where that frame starts, in milliseconds\n"
     "                                                  (its audio frames before x samples per\n"
     "                                                  frame / sample rate)\n"
     "                         silences      with the silence finder only: silence_db,\n"
     "                                       min_silence_s, cut, min_piece_s and tracks (null for\n"
     "                                       every silence) as used, and found, kept, shortest_s,\n"
     "                                       longest_s and fewer_than_asked (true when --tracks N\n"
     "                                       asked for more pieces than there are silences)\n\n"
     "A value the method refuses for this file (say more blocks than frames) is bad usage, and so\n"
     "is a number that is not a whole number above 0 for --count, --length, --silence and --tracks.\n"},
    {"wav", runWav, "wav FILE OUT.wav                       convert the whole file to 16-bit PCM WAV",
     "Usage: kerfline-cli wav FILE OUT.wav\n\n"
     "Decodes every frame of FILE and writes OUT.wav, a 16-bit PCM WAV file. An existing OUT.wav\n"
     "is replaced. The program's log lines go to stdout.\n"},
    {"split", runSplit, "split FILE... -o DIR SOURCE [OPTIONS]  write the blocks as pieces",
     "Usage: kerfline-cli split FILE... -o DIR SOURCE [--near-silence SECONDS] [--trim-silence]\n"
     "                          [--overlap SECONDS] [--gapless] [--copy-tags] [--name TEMPLATE]\n"
     "                          [--tag KEY=VALUE]... [--tag-from-name PATTERN] [--m3u NAME.m3u]\n"
     "                          [--no-clobber] [--dry-run [--json]] [--jobs N] [--timing]\n"
     "                          [--gain DB] [--fade-in S] [--fade-out S] [--fade-cuts S]\n"
     "                          [--normalize peak=DBFS|lufs=LUFS] [--allow-clipping] [--replaygain]\n\n"
     "Writes every block between break points of FILE into DIR as a piece of its own, named\n"
     "NAME-0.mp3, NAME-1.mp3 and so on (NAME and the extension are FILE's). The frames are copied\n"
     "byte for byte, never re-encoded. FILE may be - for an MP3 stream on standard input (read\n"
     "once into DIR, the pieces named stdin-0.mp3 and so on).\n\n"
     "  -o DIR                the folder for the pieces (made when missing)\n"
     "  SOURCE                break points as for breakpoints (see breakpoints --help): --at\n"
     "                        POSITIONS, --silence N, the silence finder's options (--silence-db DB,\n"
     "                        --min-silence SECONDS, --cut start|middle|end, --min-piece SECONDS,\n"
     "                        --tracks N), --count N, --length SECONDS, --breakpoints FILE.bps,\n"
     "                        --cue FILE, --labels FILE, --tracklist FILE or --chapters. The\n"
     "                        titles of a cue sheet, label file, tracklist or chapters go into the\n"
     "                        pieces' tags (TIT2), and into their names when every piece has one:\n"
     "                        the default template is then \"{name}-{n} {title}\"\n"
     "  --near-silence SECONDS\n"
     "                        with --length: each cut moves to the longest silence within SECONDS\n"
     "                        of it, the next length counted from there (the silence finder's\n"
     "                        --silence-db, --min-silence and --cut apply); each cut without a\n"
     "                        silence near is told on stderr and made at the plain length\n"
     "  --trim-silence        leave out the silent frames (at or below --silence-db, -40 dB) at\n"
     "                        the start and end of every piece; without SOURCE, of the whole file\n"
     "                        (one piece); not with --overlap or --no-clobber\n"
     "  --overlap SECONDS     each piece also takes SECONDS (such as 1.5) of its neighbours\n"
     "  --gapless             every piece gets its own header frame and plays joined like FILE\n"
     "  --copy-tags           FILE's own tags go into every piece, with the track number n/N\n"
     "  --name TEMPLATE       name the pieces by TEMPLATE (the extension is added):\n"
     "                          {name}   FILE's name without its extension\n"
     "                          {n}      the piece's number from 0; {n1} from 1\n"
     "                          {N}      the number of pieces\n"
     "                          {title} {artist} {album}   from the piece's tag\n"
     "                        a number takes zero padding as {n1:02}; a '/' makes subfolders of DIR\n"
     "  --tag KEY=VALUE       set a tag in every piece; KEY is title, artist, album, year, genre,\n"
     "                        comment or track; {n}, {n1} and {N} in VALUE are numbered as in\n"
     "                        --name (--tag track={n1}/{N}). May be given again for other keys;\n"
     "                        it wins over a list's and the file name's fields\n"
     "  --tag-from-name PATTERN\n"
     "                        take tags from FILE's name without its extension, such as\n"
     "                        \"{artist} - {album}\" (the same keys as --tag); a name that does not\n"
     "                        match fails the file\n"
     "  --m3u NAME.m3u        also write a playlist of the pieces (paths relative to it; a\n"
     "                        relative NAME is put in DIR)\n"
     "  --no-clobber          refuse a piece whose name is already taken instead of replacing it\n"
     "  -n, --dry-run         write nothing; print each piece instead: its file, first and last\n"
     "                        frame, start time, duration and the bytes of its frames\n"
     "  --json                with --dry-run: one JSON object a file, with file, folder and\n"
     "                        pieces (file, first_frame, last_frame, start_ms, duration_ms, bytes,\n"
     "                        title)\n"
     "  -j, --jobs N          with several files, split N at a time (default: the number of\n"
     "                        cores). Each file's pieces go below DIR/NAME/ unless --name says\n"
     "                        where; one line per file tells how it went, and the status is not 0\n"
     "                        when any file failed\n"
     "  --timing              print the time the saving took on stderr\n"
     "  --gain DB             change the level of every piece by DB (such as -3 or 4.5), in steps\n"
     "                        of 1.5 dB: each granule's global_gain changes, nothing is re-encoded.\n"
     "                        A gain that would clip a piece is refused (status 2, saying by how\n"
     "                        much) unless --allow-clipping; gain global_gain cannot take (it stops\n"
     "                        at 0 and 255) is told on stderr\n"
     "  --fade-in S           fade in over the first S seconds of FILE (in its first piece)\n"
     "  --fade-out S          fade out over the last S seconds of FILE (in its last piece)\n"
     "  --fade-cuts S         every piece fades in over S seconds after a cut and out over S\n"
     "                        seconds before one. Fades fall in 1.5 dB steps granule by granule to\n"
     "                        -60 dB, and the last granule is silent\n"
     "  --normalize peak=DBFS | lufs=LUFS\n"
     "                        bring each piece's sample peak up or down to DBFS (never past it), or\n"
     "                        its EBU R128 integrated loudness to LUFS (nearest step), in steps of\n"
     "                        1.5 dB; a loudness target stops short where the peak would clip\n"
     "                        (said on stderr) unless --allow-clipping\n"
     "  --allow-clipping      apply a gain or a loudness target even where a piece clips\n"
     "  --replaygain          write ReplayGain 2.0 tags into every piece (TXXX:REPLAYGAIN_TRACK_GAIN\n"
     "                        and TXXX:REPLAYGAIN_TRACK_PEAK, reference -18 LUFS); the audio is\n"
     "                        not touched\n\n"
     "The program's log lines, one per piece, go to stdout (with one file). When the silence finder\n"
     "finds no silence, no piece is written and the status is 3.\n"},
    {"chapters", runChapters,
     "chapters FILE OUT.mp3 SOURCE           a copy with one ID3v2 chapter per block",
     "Usage: kerfline-cli chapters FILE OUT.mp3 SOURCE\n\n"
     "Writes OUT.mp3: the frames of FILE byte for byte, and an ID3v2 tag with FILE's other tag\n"
     "frames, one chapter (CHAP) per block between the break points SOURCE gives (see breakpoints\n"
     "--help) and a table of contents (CTOC). FILE itself is never written. When the silence\n"
     "finder finds no silence, OUT.mp3 is not written and the status is 3.\n"},
    {"loudness", runLoudness,
     "loudness FILE... [--blocks F1,F2,...] [--json] [--jobs N]\n"
     "                                 EBU R128 loudness and peaks of the file and of each block",
     "Usage: kerfline-cli loudness FILE... [--blocks F1,F2,...] [--json] [--jobs N]\n\n"
     "Decodes FILE and prints its integrated loudness (LUFS), loudness range (LU), sample peak\n"
     "(dBFS) and true peak (dBTP), as EBU R128 measures them.\n\n"
     "  --blocks F1,F2,...  also measure each block between these break points (frame numbers)\n"
     "  --json              print one JSON object: file, frames, first_frame, end_frame,\n"
     "                      integrated_lufs, loudness_range_lu, sample_peak_dbfs, true_peak_dbtp\n"
     "                      and blocks, a list of objects with the same figures; a figure of\n"
     "                      silence (minus infinity) is null; one object a line per file\n"
     "  -j, --jobs N        with several files, measure N at a time (default: the number of\n"
     "                      cores); the files are printed in the order given, each text line\n"
     "                      starting with its file\n"},
    {"edit", runEdit,
     "edit FILE... -o OUT (--remove A-B ... | --keep A-B ...) [OPTIONS]\n"
     "                                 one file of the kept stretches, joined without re-encoding",
     "Usage: kerfline-cli edit FILE... -o OUT (--remove A-B ... | --keep A-B ...)\n"
     "                         [--no-tags] [--chapters] [--no-clobber] [--jobs N] [--gain DB]\n"
     "                         [--fade-in S] [--fade-out S] [--fade-cuts S]\n"
     "                         [--normalize peak=DBFS|lufs=LUFS] [--allow-clipping] [--replaygain]\n\n"
     "Writes OUT: the frames of FILE without the removed stretches, in order, copied byte for byte\n"
     "except the first frame after each cut, which is rebuilt to need no bytes from before it, and\n"
     "a new Xing/Info frame. FILE itself is never written.\n\n"
     "  --remove A-B   leave out the frames from A up to (not including) B; repeatable\n"
     "  --keep A-B     keep only these frames; repeatable\n"
     "                 A and B are frame numbers (45962 or 45962f) or times on the decoded\n"
     "                 timeline (62.5s, 1:02.5, 0:01:02.500), a time meaning the frame whose start\n"
     "                 is nearest; \"A-\" runs to the end of FILE\n"
     "  --no-tags      copy none of FILE's ID3 tags\n"
     "  --chapters     one ID3v2 chapter per kept stretch (written anyway when FILE has chapters)\n"
     "  --no-clobber   refuse to replace an existing OUT\n"
     "  -j, --jobs N   with several files, OUT is a folder that gets each file's copy under the\n"
     "                 file's own name, N files at a time (default: the number of cores); one\n"
     "                 line per file tells how it went\n"
     "  --gain DB, --fade-in S, --fade-out S, --normalize peak=DBFS|lufs=LUFS, --allow-clipping\n"
     "                 as for split (see split --help), over the kept stretches: the gain and the\n"
     "                 normalise on each kept block, the fades at the start and end of OUT\n"
     "  --fade-cuts S  fade out over S seconds before every cut and in over S seconds after it\n"
     "  --replaygain   write ReplayGain 2.0 track tags into OUT\n"},
};

const char* const kExitStatuses =
    "Exit status: 0 success, 1 a file could not be read or written, 2 bad usage, 3 the silence\n"
    "finder found no silence.\n"
    "Errors go to stderr, data to stdout.\n";

void printUsage(std::FILE* out) {
    std::fprintf(out, "%s command-line tool: cuts MP3 files without re-encoding.\n\nUsage:\n",
                 kKerflineProductLine);
    for (const Command& command : kCommands) {
        std::fprintf(out, "  kerfline-cli %s\n", command.synopsis);
    }
    std::fprintf(out,
                 "  kerfline-cli --version\n  kerfline-cli [COMMAND] --help\n\n"
                 "SOURCE is one of --at POSITIONS (frames such as 1200 or 1200f, or times such as\n"
                 "62.5s, 1:02.5 and 1:02:03.5, separated by commas), --silence N, the silence\n"
                 "finder's options (--silence-db DB, --min-silence SECONDS, --cut start|middle|end,\n"
                 "--min-piece SECONDS, --tracks N), --count N, --length SECONDS [--near-silence\n"
                 "SECONDS], --breakpoints FILE.bps, --cue FILE, --labels FILE, --tracklist FILE and\n"
                 "--chapters (the file's own). FILE may be - for an MP3 stream on standard input.\n\n"
                 "Examples:\n"
                 "  kerfline-cli split show.mp3 -o out --silence-db -45 --min-silence 1.5\n"
                 "  kerfline-cli split book.mp3 -o out --length 600 --near-silence 30 --m3u book.m3u\n"
                 "  kerfline-cli split \"DJ - Mix.mp3\" -o out --cue mix.cue --tag-from-name \"{artist} - "
                 "{album}\"\n\n"
                 "%s",
                 kExitStatuses);
}

bool asksForHelp(const CommandArgs& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

} // namespace

int fail(const std::string& message) {
    printError(message);
    return kExitFileError;
}

int failUnlessTold(std::size_t toldBefore, const std::string& message) {
    if (printedErrorCount() == toldBefore) {
        printError(message);
    }
    return kExitFileError;
}

int usageError(const std::string& message) {
    printError(message);
    return kExitBadUsage;
}

int main(int argc, char** argv) {
    platform::useBinaryStandardStreams();
    const std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    if (arguments.size() < 2) {
        printUsage(stderr);
        return kExitBadUsage;
    }
    const std::string& name = arguments[1];
    if (name == "--help" || name == "-h") {
        printUsage(stdout);
        return kExitSuccess;
    }
    if (name == "--version") {
        std::printf("kerfline-cli %s\n", kKerflineVersion);
        return kExitSuccess;
    }
    // A command goes through the file once or twice and plays nothing: keeping decoded frames would
    // only cost memory, so the conversion decodes in file order instead.
    mp3::processDecoding().cache.setBudget(0);
    const CommandArgs args(arguments.begin() + 2, arguments.end());
    for (const Command& command : kCommands) {
        if (name == command.name) {
            if (asksForHelp(args)) {
                std::printf("%s\n%s", command.help, kExitStatuses);
                return kExitSuccess;
            }
            // The workers catch it themselves; this is for the rest of a command, so it ends with a
            // message and status 1 rather than an abort. Outputs in progress were removed on the way.
            try {
                return command.run(args);
            } catch (const std::bad_alloc&) {
                std::fflush(stdout);
                return fail("not enough memory");
            }
        }
    }
    std::fprintf(stderr, "kerfline-cli: unknown command '%s'\n\n", name.c_str());
    printUsage(stderr);
    return kExitBadUsage;
}
