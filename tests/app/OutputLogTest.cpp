#include "AppTestSupport.h"

#include "app/LogFile.h"
#include "app/LogLine.h"
#include "app/MainFrame.h"
#include "app/OutputWnd.h"
#include "settings/PreferencesFile.h"
#include "support/TestFiles.h"

#include <QListWidget>

#include <gtest/gtest.h>

namespace {

using testing_support::readBytes;
using testing_support::scratchDir;

std::vector<std::uint8_t> utf16le(const QString& text) {
    std::vector<std::uint8_t> bytes;
    for (const QChar c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> fileLine(const QString& line) {
    return utf16le(line + QStringLiteral("\r\n"));
}

TEST(LogLine, HasTheTimeWithoutLeadingZeros) {
    EXPECT_EQ(formatLogLine(QTime(9, 5, 7), "Break point has been added at 12 F"),
              QStringLiteral("9:5:7 - Break point has been added at 12 F"));
    EXPECT_EQ(formatLogLine(QTime(23, 59, 59), "x"), QStringLiteral("23:59:59 - x"));
    EXPECT_EQ(formatLogLine(QTime(0, 0, 0), "x"), QStringLiteral("0:0:0 - x"));
    EXPECT_EQ(formatLogLine(QTime(), "x"), QStringLiteral("-1:-1:-1 - x"));
}

TEST(OutputPane, NewestLineIsAtTheTopWhateverTheLevel) {
    COutputWnd pane;
    pane.appendLine(0, "first");
    pane.appendLine(2, "second");
    pane.appendLine(7, QString::fromUtf8("dritte \xC3\xBC"));
    ASSERT_EQ(pane.list().count(), 3);
    EXPECT_TRUE(pane.list().item(0)->text().endsWith(QString::fromUtf8(" - dritte \xC3\xBC")));
    EXPECT_TRUE(pane.list().item(1)->text().endsWith(" - second"));
    EXPECT_TRUE(pane.list().item(2)->text().endsWith(" - first"));
    EXPECT_EQ(pane.windowTitle(), QStringLiteral("Output"));
}

TEST(LogFile, StartsWithOneByteOrderMarkAndAppendsAcrossRuns) {
    const auto path = scratchDir("log-file") / "kerfline.log";
    QString firstLine;
    {
        COutputWnd pane;
        pane.openLogFile(path);
        ASSERT_TRUE(pane.hasLogFile());
        pane.appendLine(0, "one");
        firstLine = pane.list().item(0)->text();
    }
    QString secondLine;
    {
        COutputWnd pane;
        pane.openLogFile(path);
        pane.appendLine(1, "two");
        secondLine = pane.list().item(0)->text();
    }
    std::vector<std::uint8_t> expected = {0xFF, 0xFE};
    for (const QString& line : {firstLine, secondLine}) {
        const auto bytes = fileLine(line);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(readBytes(path), expected);
}

TEST(LogFile, WritesExactlyTheLinesOfThePane) {
    const auto path = scratchDir("log-bytes") / "exact.log";
    COutputWnd pane;
    pane.openLogFile(path);
    pane.appendLine(0, "Loading MP3 file - /m/a.mp3 ...");
    pane.appendLine(2, "Can't load file while the program is loading or saving file!");
    std::vector<std::uint8_t> expected = {0xFF, 0xFE};
    for (int row : {1, 0}) {
        const auto line = fileLine(pane.list().item(row)->text());
        expected.insert(expected.end(), line.begin(), line.end());
    }
    EXPECT_EQ(readBytes(path), expected);
}

TEST(LogFile, IsNotOpenedTwiceNorWithoutAName) {
    const auto path = scratchDir("log-locked") / "locked.log";
    LogFile first;
    ASSERT_TRUE(first.open(path));
    LogFile second;
    EXPECT_FALSE(second.open(path)) << "a second instance logs to its pane only";
    LogFile unnamed;
    EXPECT_FALSE(unnamed.open({}));
    LogFile inMissingFolder;
    EXPECT_FALSE(inMissingFolder.open(path.parent_path() / "missing" / "x.log"));
}

class FrameLogFileTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
};

TEST_F(FrameLogFileTest, FrameOpensTheLogFileOnlyWhenAsked) {
    const auto dir = scratchDir("frame-log");
    Preferences preferences;
    preferences.IsSaveLog = false;
    preferences.LogFileName = (dir / "off.log").u16string();
    savePreferences(preferencesPath(), preferences);
    app_test::RecordingShellPrompts prompts;
    {
        CMainFrame frame(&prompts);
        sendLog(frame.frameLink(), LogLevel::Normal, "not written");
        EXPECT_EQ(frame.outputPane().list().count(), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "off.log"));

    preferences.IsSaveLog = true;
    savePreferences(preferencesPath(), preferences);
    QString line;
    {
        CMainFrame frame(&prompts);
        sendLog(frame.frameLink(), LogLevel::Error, "written");
        line = frame.outputPane().list().item(0)->text();
    }
    std::vector<std::uint8_t> expected = {0xFF, 0xFE};
    const auto bytes = fileLine(line);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(readBytes(dir / "off.log"), expected);
}

// A hand-edited settings file with an unpaired surrogate in the name must not keep the program from
// starting, now or at the next start after it wrote the same settings back.
TEST_F(FrameLogFileTest, LoneSurrogateInTheLogFileNameStillStarts) {
    const auto dir = scratchDir("frame-log-surrogate");
    Preferences preferences;
    preferences.IsSaveLog = true;
    preferences.LogFileName = (dir / "odd").u16string() + u'\xD800' + u".log";
    savePreferences(preferencesPath(), preferences);
    app_test::RecordingShellPrompts prompts;
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        std::unique_ptr<CMainFrame> frame;
        ASSERT_NO_THROW(frame = std::make_unique<CMainFrame>(&prompts));
        sendLog(frame->frameLink(), LogLevel::Normal, "written");
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "odd\xEF\xBF\xBD.log"));
    Preferences written;
    loadPreferences(preferencesPath(), written);
    EXPECT_EQ(written.LogFileName, preferences.LogFileName) << "the file keeps what the user wrote";
}

} // namespace
