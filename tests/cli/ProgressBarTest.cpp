#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::fixture;
using testing_support::runCommand;
using testing_support::scratchDir;
using testing_support::shellPath;

std::string cliCommand(const std::string& arguments) {
    return std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments;
}

// Wine's console hides and shows the cursor around every write it passes on to the terminal.
std::string withoutCursorToggles(std::string text) {
    for (const std::string toggle : {"\033[?25l", "\033[?25h"}) {
        for (std::size_t at = text.find(toggle); at != std::string::npos; at = text.find(toggle, at)) {
            text.erase(at, toggle.size());
        }
    }
    return text;
}

// The long commands draw a bar on a terminal's stderr (script(1) gives them one) and write nothing
// to a redirected stderr.
TEST(CliProgress, ABarOnATerminalAndNothingWhenStderrIsRedirected) {
    const auto dir = scratchDir("cli-progress");
    const std::string input = "'" + shellPath(fixture("ten-seconds.mp3")) + "'";
    const std::string commands[] = {
        "levels " + input,
        "breakpoints " + input + " --count 3",
        "wav " + input + " '" + shellPath(dir / "out.wav") + "'",
        "split " + input + " -o '" + shellPath(dir) + "' --count 3",
    };
    for (const std::string& command : commands) {
        int status = -1;
        const std::string terminal = withoutCursorToggles(
            runCommand("script -qec \"" + cliCommand(command) + " >/dev/null\" /dev/null", &status));
        EXPECT_EQ(status, 0) << command;
        EXPECT_NE(terminal.find("\r[#"), std::string::npos) << command;
        EXPECT_NE(terminal.find("%\r\033[K"), std::string::npos)
            << command << ": the bar is cleared at the end";

        const std::string redirected = runCommand(cliCommand(command) + " 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, 0) << command;
        EXPECT_EQ(redirected, "") << command;
    }
}

} // namespace
