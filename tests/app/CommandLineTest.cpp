#include "app/CommandLine.h"
#include "kerfline/Version.h"
#include "support/TestFiles.h"

#include <QDir>

#include <gtest/gtest.h>

#include <string>

namespace {

using Action = CommandLineRequest::Action;

TEST(CommandLine, ReadsOptionsAndTheFileToOpen) {
    const QString here = QDir::currentPath();
    struct Case {
        QStringList arguments;
        Action action;
        QString file;
    };
    const Case cases[] = {
        {{"kerfline"}, Action::Run, {}},
        {{"kerfline", "/music/a.mp3"}, Action::Run, "/music/a.mp3"},
        // The recent-file list keeps full paths.
        {{"kerfline", "a.mp3"}, Action::Run, here + "/a.mp3"},
        {{"kerfline", "--", "-dash.mp3"}, Action::Run, here + "/-dash.mp3"},
        // A missing file is the open routine's to report.
        {{"kerfline", "/no/such/file.mp3"}, Action::Run, "/no/such/file.mp3"},
        {{"kerfline", "--help"}, Action::ShowHelp, {}},
        {{"kerfline", "-h", "a.mp3"}, Action::ShowHelp, {}},
        {{"kerfline", "--version"}, Action::ShowVersion, {}},
        {{"kerfline", "--frobnicate"}, Action::BadUsage, {}},
        {{"kerfline", "-x", "a.mp3"}, Action::BadUsage, {}},
        {{"kerfline", "a.mp3", "b.mp3"}, Action::BadUsage, {}},
    };
    for (const Case& c : cases) {
        const CommandLineRequest request = parseCommandLine(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(request.action, c.action) << what;
        EXPECT_EQ(request.file, c.file) << what;
    }
}

TEST(CommandLine, TextsNameTheProgramAndTheProblem) {
    EXPECT_EQ(parseCommandLine({"kerfline", "--version"}).text, QString(kKerflineProductLine) + "\n");
    EXPECT_TRUE(parseCommandLine({"kerfline", "--help"}).text.contains("[FILE]"));
    const QString unknown = parseCommandLine({"kerfline", "--frobnicate"}).text;
    EXPECT_TRUE(unknown.startsWith("kerfline: Unknown option 'frobnicate'.")) << unknown.toStdString();
    EXPECT_TRUE(unknown.contains("Usage:")) << unknown.toStdString();
}

// The program itself: where each text goes and what it exits with.
TEST(CommandLine, ProgramPrintsToTheRightStreamAndExitsWithItsStatus) {
    const std::string program = "QT_QPA_PLATFORM=offscreen " + std::string(KERFLINE_BINARY_DIR) + "/kerfline";
    struct Case {
        const char* arguments;
        int status;
        const char* stdoutHas;
        const char* stderrHas;
    };
    const Case cases[] = {
        {"--version", 0, kKerflineProductLine, ""},
        {"--help", 0, "Usage:", ""},
        {"--frobnicate", 2, "", "Usage:"},
        {"one.mp3 two.mp3", 2, "", "one file at a time"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string out =
            testing_support::runCommand(program + " " + c.arguments + " 2>/dev/null", &status);
        const std::string err = testing_support::runCommand(program + " " + c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(status, c.status) << c.arguments;
        EXPECT_NE(out.find(c.stdoutHas), std::string::npos) << c.arguments << ": " << out;
        EXPECT_NE(err.find(c.stderrHas), std::string::npos) << c.arguments << ": " << err;
        if (c.status == 0) {
            EXPECT_EQ(err, "") << c.arguments;
        } else {
            EXPECT_EQ(out, "") << c.arguments;
        }
    }
}

} // namespace
