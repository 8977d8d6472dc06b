// Help that tells everything: every option of split in its --help, the man page and the bash
// completion, and the overview one line per command with examples that run.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string cli(const std::string& arguments, int* status = nullptr) {
    return testing_support::runCommand(
        std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments + " 2>&1 </dev/null", status);
}

// The man page source with its escaped hyphens as plain ones.
std::string manPage() {
    return std::regex_replace(
        readText(std::filesystem::path(KERFLINE_SOURCE_DIR) / "docs/man/kerfline-cli.1.in"),
        std::regex(R"(\\-)"), "-");
}

TEST(CliHelp, SplitOptionsAreTakenAndToldEverywhere) {
    const std::string help = cli("split --help");
    const std::string man = manPage();
    const std::string completion =
        readText(std::filesystem::path(KERFLINE_SOURCE_DIR) / "packaging/kerfline-cli.bash-completion");
    // Each option with a value the parser takes, so an option dropped from the parser shows too.
    const std::vector<std::pair<std::string, std::string>> options = {
        {"-o", "DIR"},
        {"--at", "100"},
        {"--breakpoints", "x.bps"},
        {"--cue", "x.cue"},
        {"--labels", "x.txt"},
        {"--tracklist", "x.txt"},
        {"--chapters", ""},
        {"--silence", "25"},
        {"--silence-db", "-40"},
        {"--min-silence", "1"},
        {"--cut", "end"},
        {"--min-piece", "1"},
        {"--tracks", "3"},
        {"--count", "3"},
        {"--length", "600"},
        {"--near-silence", "30"},
        {"--trim-silence", ""},
        {"--overlap", "1.5"},
        {"--gapless", ""},
        {"--copy-tags", ""},
        {"--name", "{n}"},
        {"--tag", "title=x"},
        {"--tag-from-name", "{artist}"},
        {"--m3u", "x.m3u"},
        {"--no-clobber", ""},
        {"--dry-run", ""},
        {"-n", ""},
        {"--json", ""},
        {"--jobs", "2"},
        {"-j", "2"},
        {"--timing", ""},
    };
    for (const auto& [option, value] : options) {
        const std::regex word("(^|[^-a-z])" + std::regex_replace(option, std::regex("-"), "\\-") +
                              "([^-a-z]|$)");
        EXPECT_TRUE(std::regex_search(help, word)) << option << " in split --help";
        EXPECT_TRUE(std::regex_search(man, word)) << option << " in the man page";
        EXPECT_TRUE(std::regex_search(completion, word)) << option << " in the bash completion";
        const std::string told = cli("split /nonexistent.mp3 " + option + " " + value);
        EXPECT_EQ(told.find("unknown option"), std::string::npos) << option << ": " << told;
    }
    for (const std::string field :
         {"{name}", "{n}", "{n1}", "{N}", "{title}", "{artist}", "{album}", "{n1:02}"}) {
        EXPECT_NE(help.find(field), std::string::npos) << field << " in split --help";
        EXPECT_NE(man.find(field), std::string::npos) << field << " in the man page";
    }
    for (const std::string key : {"title", "artist", "album", "year", "genre", "comment", "track"}) {
        EXPECT_NE(help.find(key), std::string::npos) << key;
    }
}

TEST(CliHelp, TheOverviewHasOneLinePerCommandAndExamplesThatRun) {
    int status = -1;
    const std::string overview = cli("--help", &status);
    EXPECT_EQ(status, 0);
    std::istringstream lines(overview);
    std::vector<std::string> examples;
    bool inExamples = false;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 100u) << line;
        if (line == "Examples:") {
            inExamples = true;
        } else if (inExamples && line.rfind("  kerfline-cli ", 0) == 0) {
            examples.push_back(line.substr(15));
        } else if (inExamples) {
            inExamples = false;
        }
    }
    for (const std::string command : {"info", "levels", "breakpoints", "wav", "split", "chapters"}) {
        // The command's line says what it does on the same line.
        EXPECT_TRUE(
            std::regex_search(overview, std::regex("\n  kerfline-cli " + command + " [^\n]*  [a-z][^\n]*\n")))
            << command;
    }
    ASSERT_EQ(examples.size(), 3u) << overview;
    // Each example is a command line the tool takes: a dry run of it reaches the missing file, not a
    // usage error.
    for (const std::string& example : examples) {
        int exampleStatus = -1;
        const std::string told = cli(example + " --dry-run", &exampleStatus);
        EXPECT_EQ(exampleStatus, 1) << example << ": " << told;
        EXPECT_NE(told.find("no such file"), std::string::npos) << example << ": " << told;
    }
}

} // namespace
