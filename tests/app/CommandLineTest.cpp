#include "AppTestSupport.h"

#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "kerfline/Version.h"
#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/ChildView.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
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

// main() hands the file to the route a recent-file entry takes.
TEST(CommandLine, TheFileTakesTheRecentEntrysRoute) {
    app_test::resetUserState();
    app_test::RecordingShellPrompts prompts;
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    frame.show();

    frame.openListed(QStringLiteral("/no/such/file.mp3"));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "File \"/no/such/file.mp3\" doesn't exist, please check and try again!");
    EXPECT_EQ(prompts.boxes[0].caption, "Error");

    const QString path = QString::fromStdString(testing_support::fixture("cbr128.mp3").string());
    frame.openListed(path);
    EXPECT_EQ(frame.recentFiles().entry(0), path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (frame.view().m_loadThread.isSet() && std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(frame.view().frameCount(), 79);
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

} // namespace
