// split over several files at once (--jobs) and every reading command over standard input ("-").
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace testing_support;

namespace {

struct CliRun {
    std::string out;
    std::string err;
    int status = -1;
};

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

// `feed` is a shell command whose output is piped into the tool; none: standard input is empty.
CliRun cli(const std::string& arguments, const std::string& feed = "") {
    static const auto dir = scratchDir("cli-many-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    CliRun run;
    run.out = runCommand((feed.empty() ? "" : feed + " | ") + "timeout 120 " +
                             std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments + " 2>" +
                             quoted(errFile) + (feed.empty() ? " </dev/null" : ""),
                         &run.status);
    const auto err = readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(ManyFiles, SplitsEveryFileIntoAFolderOfItsOwnAndTellsEachFailure) {
    const auto dir = scratchDir("cli-many-files");
    const auto a = writeNumberedFrames(dir / "a.mp3", 300);
    const auto b = writeNumberedFrames(dir / "b.mp3", 500);
    const auto c = writeNumberedFrames(dir / "c.mp3", 250);
    const std::string files = quoted(a) + " " + quoted(b) + " " + quoted(c);
    int run = 0;
    for (const std::string jobs : {"", "--jobs 1", "--jobs 2", "-j 3"}) {
        const auto out = dir / ("out" + std::to_string(run++));
        const CliRun split = cli("split " + files + " -o " + quoted(out) + " --at 200 " + jobs);
        ASSERT_EQ(split.status, 0) << jobs << split.err;
        EXPECT_EQ(sortedLines(split.out), (std::vector<std::string>{shellPath(a) + ": 2 pieces written",
                                                                    shellPath(b) + ": 2 pieces written",
                                                                    shellPath(c) + ": 2 pieces written"}))
            << jobs;
        for (const auto& [source, frames] : {std::pair{a, 300}, std::pair{b, 500}, std::pair{c, 250}}) {
            const std::string name = source.stem().string();
            EXPECT_EQ(readBytes(out / name / (name + "-0.mp3")), frameBytes(source, 0, 200)) << jobs;
            EXPECT_EQ(readBytes(out / name / (name + "-1.mp3")), frameBytes(source, 200, frames)) << jobs;
        }
    }

    // A template says where the pieces go; a file that fails stops neither the others nor the status.
    const auto out = dir / "templated";
    const CliRun split = cli("split " + quoted(a) + " " + quoted(dir / "missing.mp3") + " " + quoted(c) +
                             " -o " + quoted(out) + " --at 100 --name '{name}/{n1}' --jobs 2");
    EXPECT_EQ(split.status, 1);
    EXPECT_EQ(
        sortedLines(split.out),
        (std::vector<std::string>{shellPath(a) + ": 2 pieces written", shellPath(c) + ": 2 pieces written",
                                  shellPath(dir / "missing.mp3") + ": failed (status 1), 0 pieces written"}));
    EXPECT_NE(split.err.find("missing.mp3"), std::string::npos) << split.err;
    EXPECT_EQ(readBytes(out / "a" / "2.mp3"), frameBytes(a, 100, 300));
    EXPECT_EQ(readBytes(out / "c" / "1.mp3"), frameBytes(c, 0, 100));

    // Dry runs come out in the files' order, one JSON object a line.
    const CliRun dry = cli("split " + files + " -o " + quoted(dir / "dry") + " --at 200 -n --json --jobs 3");
    ASSERT_EQ(dry.status, 0) << dry.err;
    const std::vector<std::string> objects = sortedLines(dry.out);
    ASSERT_EQ(objects.size(), 3u) << dry.out;
    EXPECT_EQ(dry.out.find("{\"file\":" + std::string("\"") + shellPath(a)), 0u) << dry.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "dry"));

    for (const std::string bad : {"--jobs 0", "--jobs x", "--jobs 257", "-j"}) {
        EXPECT_EQ(cli("split " + files + " -o " + quoted(dir / "bad") + " --at 100 " + bad).status, 2) << bad;
    }
}

// Files of one run take turns while their pieces wait for the disk: each file's pieces are still the
// bytes its run alone writes, and a piece or a file that fails leaves the others' pieces in place and
// no temporary file anywhere.
TEST(ManyFiles, PiecesOfAManyFileRunAreThoseOfEachFileAlone) {
    const auto dir = scratchDir("cli-many-alone");
    // Tagged and untagged, with and without an Info frame to rewrite: more files than two jobs' workers.
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"a", "id3v2-cover.mp3"}, {"b", "cbr128.mp3"},  {"c", "vbr.mp3"},
        {"d", "ten-seconds.mp3"}, {"e", "no-info.mp3"}, {"f", "id3v2-cover.mp3"}};
    std::string files;
    for (const auto& [name, source] : inputs) {
        std::filesystem::copy_file(fixture(source), dir / (name + ".mp3"));
        files += quoted(dir / (name + ".mp3")) + " ";
    }
    const std::string cuts = " --count 3 --gapless --copy-tags";
    for (const auto& [name, source] : inputs) {
        const CliRun alone =
            cli("split " + quoted(dir / (name + ".mp3")) + " -o " + quoted(dir / "alone") + cuts);
        ASSERT_EQ(alone.status, 0) << name << alone.err;
        for (int piece = 0; piece < 3; ++piece) {
            ASSERT_TRUE(std::filesystem::is_regular_file(dir / "alone" /
                                                         (name + "-" + std::to_string(piece) + ".mp3")));
        }
    }
    const auto samePieces = [&](const std::filesystem::path& out, const std::string& name) {
        for (int piece = 0; piece < 3; ++piece) {
            const std::string file = name + "-" + std::to_string(piece) + ".mp3";
            EXPECT_EQ(readBytes(out / name / file), readBytes(dir / "alone" / file)) << out << " " << file;
        }
        EXPECT_EQ(hiddenNames(out / name), std::vector<std::string>{}) << out << " " << name;
    };
    for (const std::string jobs : {"--jobs 1", "--jobs 2", "--jobs 4"}) {
        const auto out = dir / ("together " + jobs);
        const CliRun together = cli("split " + files + "-o " + quoted(out) + cuts + " " + jobs);
        ASSERT_EQ(together.status, 0) << jobs << together.err;
        EXPECT_EQ(sortedLines(together.out).size(), inputs.size()) << together.out;
        for (const auto& input : inputs) {
            samePieces(out, input.first);
        }
    }

    // c's middle piece finds a folder under its name; d cannot have its folder at all.
    for (const std::string jobs : {"--jobs 1", "--jobs 2"}) {
        const auto out = dir / ("failing " + jobs);
        std::filesystem::create_directories(out / "c" / "c-1.mp3");
        writeBytes(out / "d", {'x'});
        const CliRun failing = cli("split " + files + "-o " + quoted(out) + cuts + " " + jobs);
        EXPECT_EQ(failing.status, 1) << jobs;
        const std::vector<std::string> lines = sortedLines(failing.out);
        ASSERT_EQ(lines.size(), inputs.size()) << failing.out;
        EXPECT_EQ(lines[2], shellPath(dir / "c.mp3") + ": failed (status 1), 2 pieces written");
        EXPECT_EQ(lines[3], shellPath(dir / "d.mp3") + ": failed (status 1), 0 pieces written");
        for (const char* name : {"a", "b", "e", "f"}) {
            samePieces(out, name);
        }
        EXPECT_EQ(readBytes(out / "c" / "c-0.mp3"), readBytes(dir / "alone" / "c-0.mp3"));
        EXPECT_EQ(readBytes(out / "c" / "c-2.mp3"), readBytes(dir / "alone" / "c-2.mp3"));
        EXPECT_TRUE(std::filesystem::is_directory(out / "c" / "c-1.mp3"));
        EXPECT_EQ(hiddenNames(out / "c"), std::vector<std::string>{});
        EXPECT_EQ(hiddenNames(out), std::vector<std::string>{});
    }
}

TEST(ManyFiles, FilesScannedAtOnceFindTheSameSilencesAsAlone) {
    const auto dir = scratchDir("cli-many-silences");
    std::string files;
    for (const char* name : {"a", "b", "c", "d"}) {
        std::filesystem::copy_file(fixture("silences.mp3"), dir / (name + std::string(".mp3")));
        files += quoted(dir / (name + std::string(".mp3"))) + " ";
    }
    // The pieces' frames, without the file names.
    const auto frames = [](const std::string& json) {
        return std::regex_replace(json, std::regex(R"("file":"[^"]*",|"folder":"[^"]*",)"), "");
    };
    const CliRun alone = cli("split " + quoted(dir / "a.mp3") + " -o " + quoted(dir / "out") +
                             " --length 2 --near-silence 1.5 --trim-silence -n --json");
    ASSERT_EQ(alone.status, 0) << alone.err;
    for (int round = 0; round < 3; ++round) {
        const CliRun together = cli("split " + files + "-o " + quoted(dir / "out") +
                                    " --length 2 --near-silence 1.5 --trim-silence -n --json --jobs 4");
        ASSERT_EQ(together.status, 0) << together.err;
        EXPECT_EQ(frames(together.out), frames(alone.out + alone.out + alone.out + alone.out)) << round;
    }
}

// edit and loudness take several files as split does: each file's result equals its run alone, one
// summary line per file, and a file that fails neither stops the others nor passes for a success.
TEST(ManyFiles, EditAndLoudnessTakeSeveralFiles) {
    const auto dir = scratchDir("cli-many-edit");
    std::filesystem::copy_file(fixture("cbr128.mp3"), dir / "a.mp3");
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), dir / "b.mp3");
    const auto a = dir / "a.mp3";
    const auto b = dir / "b.mp3";
    const auto missing = dir / "missing.mp3";

    ASSERT_EQ(cli("edit " + quoted(a) + " -o " + quoted(dir / "a-alone.mp3") + " --remove 20-1s").status, 0);
    ASSERT_EQ(cli("edit " + quoted(b) + " -o " + quoted(dir / "b-alone.mp3") + " --remove 20-1s").status, 0);
    for (const std::string jobs : {"", "--jobs 1", "-j 2"}) {
        const auto out = dir / ("edited" + jobs);
        const CliRun edit =
            cli("edit " + quoted(a) + " " + quoted(b) + " -o " + quoted(out) + " --remove 20-1s " + jobs);
        ASSERT_EQ(edit.status, 0) << jobs << edit.err;
        EXPECT_EQ(
            sortedLines(edit.out),
            (std::vector<std::string>{
                shellPath(a) + ": edited copy written to " + shellPath(out) + toolSeparator() + "a.mp3",
                shellPath(b) + ": edited copy written to " + shellPath(out) + toolSeparator() + "b.mp3"}));
        EXPECT_EQ(readBytes(out / "a.mp3"), readBytes(dir / "a-alone.mp3")) << jobs;
        EXPECT_EQ(readBytes(out / "b.mp3"), readBytes(dir / "b-alone.mp3")) << jobs;
    }
    const CliRun failing = cli("edit " + quoted(missing) + " " + quoted(a) + " -o " +
                               quoted(dir / "failing") + " --remove 20-40 --jobs 2");
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(sortedLines(failing.out),
              (std::vector<std::string>{shellPath(a) + ": edited copy written to " +
                                            shellPath(dir / "failing") + toolSeparator() + "a.mp3",
                                        shellPath(missing) + ": failed (status 1)"}));
    // Two copies of the same name would overwrite each other: refused before anything is written.
    std::filesystem::create_directories(dir / "other");
    std::filesystem::copy_file(a, dir / "other" / "a.mp3");
    EXPECT_EQ(cli("edit " + quoted(a) + " " + quoted(dir / "other" / "a.mp3") + " -o " +
                  quoted(dir / "same") + " --remove 20-40")
                  .status,
              2);
    EXPECT_FALSE(std::filesystem::exists(dir / "same"));
    for (const std::string bad : {"--jobs 0", "--jobs x", "-j"}) {
        EXPECT_EQ(
            cli("edit " + quoted(a) + " " + quoted(b) + " -o " + quoted(dir / "bad") + " --remove 1-2 " + bad)
                .status,
            2)
            << bad;
    }

    // Figures in the order the files were given; text lines name their file.
    const CliRun aloneA = cli("loudness " + quoted(a) + " --blocks 40 --json");
    const CliRun aloneB = cli("loudness " + quoted(b) + " --blocks 40 --json");
    const CliRun textA = cli("loudness " + quoted(a) + " --blocks 40");
    ASSERT_EQ(aloneA.status, 0) << aloneA.err;
    for (const std::string jobs : {"--jobs 1", "--jobs 2"}) {
        const CliRun both = cli("loudness " + quoted(a) + " " + quoted(b) + " --blocks 40 --json " + jobs);
        EXPECT_EQ(both.status, 0) << both.err;
        EXPECT_EQ(both.out, aloneA.out + aloneB.out) << jobs;
    }
    const CliRun text = cli("loudness " + quoted(b) + " " + quoted(a) + " --blocks 40");
    std::string prefixed;
    std::istringstream lines(textA.out);
    for (std::string line; std::getline(lines, line);) {
        prefixed += shellPath(a) + ": " + line + "\n";
    }
    ASSERT_FALSE(prefixed.empty());
    EXPECT_NE(text.out.find(prefixed), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find(shellPath(a)), text.out.find(prefixed)) << "b's lines come first";
    const CliRun oneMissing = cli("loudness " + quoted(a) + " " + quoted(missing));
    EXPECT_EQ(oneMissing.status, 1);
    EXPECT_NE(oneMissing.out.find(shellPath(a) + ": file frames"), std::string::npos) << oneMissing.out;
}

TEST(StandardInput, ReadsAnMp3StreamFromAPipe) {
    const auto dir = scratchDir("cli-stdin");
    const auto source = writeNumberedFrames(dir / "book.mp3", 300);
    // Through a real pipe, which cannot seek.
    const std::string pipe = "cat " + quoted(source);
    struct Case {
        std::string arguments;
        std::string fromFile; // the same command on the file itself
    };
    const Case cases[] = {
        {"info -", "info " + quoted(source)},
        {"levels -", "levels " + quoted(source)},
        {"breakpoints - --count 3", "breakpoints " + quoted(source) + " --count 3"},
        {"breakpoints - --at 2s,100", "breakpoints " + quoted(source) + " --at 2s,100"},
    };
    for (const Case& test : cases) {
        const CliRun piped = cli(test.arguments, pipe);
        const CliRun direct = cli(test.fromFile);
        ASSERT_EQ(direct.status, 0) << test.fromFile << direct.err;
        EXPECT_EQ(piped.status, 0) << test.arguments << piped.err;
        EXPECT_EQ(piped.out, direct.out) << test.arguments;
    }
    EXPECT_EQ(cli("info --json -", pipe).out,
              "{\"file\":\"-\",\"sample_rate_hz\":44100,\"channels\":2,\"bitrate_bps\":128000,\"frames\":300,"
              "\"duration_ms\":7837}\n");

    const auto out = dir / "out";
    const CliRun split = cli("split - -o " + quoted(out) + " --at 100", pipe);
    EXPECT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(readBytes(out / "stdin-0.mp3"), frameBytes(source, 0, 100));
    EXPECT_EQ(readBytes(out / "stdin-1.mp3"), frameBytes(source, 100, 300));
    // The copy is gone.
    EXPECT_TRUE(hiddenNames(out).empty());

    writeBytes(dir / "text.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    for (const std::string& command : std::vector<std::string>{
             "info -", "levels -", "breakpoints - --count 2", "split - -o " + quoted(out) + " --at 1"}) {
        const CliRun refused = cli(command, "cat " + quoted(dir / "text.txt"));
        EXPECT_EQ(refused.status, 1) << command;
        EXPECT_NE(refused.err.find("standard input holds no MPEG audio frame"), std::string::npos)
            << refused.err;
    }
}

} // namespace
