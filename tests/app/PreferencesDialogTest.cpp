#include "AppTestSupport.h"

#include "app/PreferencesSheet.h"
#include "app/PreferencesSplitPage.h"
#include "app/PreferencesStandardPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

template <typename T = QWidget> T* control(QWidget& parent, int id) {
    T* widget = parent.findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

Preferences somePreferences() {
    Preferences preferences;
    preferences.UseDefaultFolder = true;
    preferences.DefaultOutputFolder = u"/music/pieces";
    preferences.IsSaveLog = true;
    preferences.LogFileName = u"/tmp/kerfline.log";
    preferences.OverlapSecs = 4;
    preferences.Overlap = true;
    for (std::size_t i = 0; i < preferences.DrawParameters.size(); ++i) {
        preferences.DrawParameters[i] = static_cast<std::uint8_t>(i * 7);
    }
    return preferences;
}

class PreferencesDialogTest : public ::testing::Test {
protected:
    app_test::RecordingShellPrompts prompts;
    Preferences original = somePreferences();
    CPreferencesSheet sheet{original, prompts};

    void clickOk() { QTest::mouseClick(control<QPushButton>(sheet, 1), Qt::LeftButton); }
    void showSplitPage() {
        sheet.show();
        sheet.tabs().setCurrentIndex(1);
    }
};

TEST_F(PreferencesDialogTest, OkWithoutChangesKeepsEveryField) {
    sheet.show();
    showSplitPage();
    clickOk();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.assembled(), original);
}

TEST_F(PreferencesDialogTest, PagesShowTheValuesAndTheirEnabling) {
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Preferences"));
    EXPECT_EQ(sheet.tabs().tabText(0), QStringLiteral("Standard"));
    EXPECT_EQ(sheet.tabs().tabText(1), QStringLiteral("Split options"));
    EXPECT_EQ(control<QLineEdit>(sheet, 1009)->text(), QStringLiteral("/tmp/kerfline.log"));
    EXPECT_EQ(control<QLineEdit>(sheet, 1011)->text(), QStringLiteral("/music/pieces"));
    EXPECT_EQ(control<QLineEdit>(sheet, 1041)->text(), QStringLiteral("4"));

    // Unticking greys the name, its label and its button; the name stays and is stored.
    control<QCheckBox>(sheet, 1008)->click();
    for (const int id : {1009, 1013, 1010}) {
        EXPECT_FALSE(control(sheet, id)->isEnabled()) << id;
    }
    control<QCheckBox>(sheet, 1014)->click();
    for (const int id : {1011, 1015, 1012}) {
        EXPECT_FALSE(control(sheet, id)->isEnabled()) << id;
    }
    showSplitPage();
    control<QCheckBox>(sheet, 1043)->click();
    for (const int id : {1044, 1045, 1041, 1042}) {
        EXPECT_FALSE(control(sheet, id)->isEnabled()) << id;
    }
    clickOk();
    const Preferences result = sheet.assembled();
    EXPECT_FALSE(result.IsSaveLog);
    EXPECT_EQ(result.LogFileName, original.LogFileName);
    EXPECT_FALSE(result.UseDefaultFolder);
    EXPECT_FALSE(result.Overlap);
    EXPECT_EQ(result.OverlapSecs, 4);
}

TEST_F(PreferencesDialogTest, APageNeverShownKeepsItsCopy) {
    sheet.show();
    control<QLineEdit>(sheet, 1009)->setText("/tmp/other.log");
    // Changed behind the page's back: it was never shown, so it takes no part.
    control<QLineEdit>(sheet, 1041)->setText("99");
    control<QCheckBox>(sheet, 1043)->setChecked(false);
    clickOk();
    const Preferences result = sheet.assembled();
    EXPECT_EQ(result.LogFileName, u"/tmp/other.log");
    EXPECT_EQ(result.OverlapSecs, original.OverlapSecs);
    EXPECT_EQ(result.Overlap, original.Overlap);
    EXPECT_EQ(result.DrawParameters, original.DrawParameters);
}

TEST_F(PreferencesDialogTest, SignedAndBlankSurroundedSecondsAreAccepted) {
    showSplitPage();
    control<QLineEdit>(sheet, 1041)->setText(" +0\t");
    clickOk();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.assembled().OverlapSecs, 0);
    EXPECT_TRUE(prompts.boxes.empty());
}

// Letters and negative counts are refused alike: a box, and neither the page nor the sheet can be left.
TEST(PreferencesSplitPageRefusal, BadSecondsKeepTheSplitPage) {
    const struct {
        const char* typed;
        std::string message;
    } cases[] = {
        {"abc", "Enter an integer."},
        {" -3 ", "Enter an integer between 0 and 2147483647."},
        {"-1", "Enter an integer between 0 and 2147483647."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        app_test::RecordingShellPrompts prompts;
        CPreferencesSheet sheet{somePreferences(), prompts};
        sheet.show();
        sheet.tabs().setCurrentIndex(1);
        control<QLineEdit>(sheet, 1041)->setText(c.typed);
        QTest::mouseClick(control<QPushButton>(sheet, 1), Qt::LeftButton);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, c.message);
        EXPECT_TRUE(sheet.isVisible());
        EXPECT_NE(sheet.result(), QDialog::Accepted);

        sheet.tabs().setCurrentIndex(0);
        EXPECT_EQ(sheet.tabs().currentIndex(), 1) << "the page cannot be left either";
        EXPECT_EQ(prompts.boxes.size(), 2u);

        control<QLineEdit>(sheet, 1041)->setText("12");
        QTest::mouseClick(control<QPushButton>(sheet, 1), Qt::LeftButton);
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        EXPECT_EQ(sheet.assembled().OverlapSecs, 12);
    }
}

TEST_F(PreferencesDialogTest, BrowseButtonsFillTheFieldsAndCancelChangesNothing) {
    sheet.show();
    prompts.fileAnswers.push_back(std::filesystem::path("/var/log/k.log"));
    QTest::mouseClick(control<QPushButton>(sheet, 1010), Qt::LeftButton);
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].filter, "Log file(*.log)|*.log||");
    EXPECT_EQ(prompts.fileRequests[0].defaultExtension, "log");
    EXPECT_EQ(prompts.fileRequests[0].overwrite, ShellPrompts::Overwrite::Ask);
    EXPECT_EQ(control<QLineEdit>(sheet, 1009)->text(), QStringLiteral("/var/log/k.log"));

    QTest::mouseClick(control<QPushButton>(sheet, 1012), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>(sheet, 1011)->text(), QStringLiteral("/music/pieces")) << "cancelled";
    prompts.folderAnswers.push_back(std::filesystem::path("/out"));
    QTest::mouseClick(control<QPushButton>(sheet, 1012), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>(sheet, 1011)->text(), QStringLiteral("/out"));
}

} // namespace
