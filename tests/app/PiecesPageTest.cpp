#include "AppTestSupport.h"

#include "app/PieceSettings.h"
#include "app/PreferencesSheet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PiecesPage, ShowsTheOptionsAndReturnsWhatTheUserSet) {
    app_test::RecordingShellPrompts prompts;
    PieceOptions options;
    options.copyTags = true;
    options.nameTemplate = "{artist}/{n1:02}";
    CPreferencesSheet sheet(Preferences{}, prompts, nullptr, options);
    ASSERT_GE(sheet.tabs().count(), 3);
    EXPECT_EQ(sheet.tabs().tabText(2), "Pieces");

    auto* gapless = sheet.findChild<QCheckBox*>("gapless");
    auto* copyTags = sheet.findChild<QCheckBox*>("copyTags");
    auto* name = sheet.findChild<QLineEdit*>("nameTemplate");
    ASSERT_TRUE(gapless && copyTags && name);
    EXPECT_FALSE(gapless->isChecked());
    EXPECT_TRUE(copyTags->isChecked());
    EXPECT_EQ(name->text(), "{artist}/{n1:02}");

    gapless->setChecked(true);
    name->setText("  {name} {n1}  ");
    const PieceOptions changed = sheet.pieceOptions();
    EXPECT_TRUE(changed.gapless);
    EXPECT_TRUE(changed.copyTags);
    EXPECT_EQ(changed.nameTemplate, "{name} {n1}");
}

TEST(PiecesPage, OptionsLiveInTheirOwnSettingsGroup) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    const PieceOptions defaults = loadPieceOptions(settings);
    EXPECT_FALSE(defaults.gapless);
    EXPECT_FALSE(defaults.copyTags);
    EXPECT_TRUE(defaults.nameTemplate.empty());
    EXPECT_FALSE(defaults.replayGain);
    EXPECT_EQ(defaults.fadeCutsMs, 0);

    PieceOptions options;
    options.gapless = true;
    options.nameTemplate = "{title}";
    options.replayGain = true;
    options.fadeCutsMs = 750;
    savePieceOptions(settings, options);
    EXPECT_TRUE(settings.value("Pieces/Gapless").toBool());
    EXPECT_TRUE(settings.value("PieceLevels/ReplayGain").toBool());
    EXPECT_EQ(settings.value("PieceLevels/FadeCutsMs").toInt(), 750);
    const PieceOptions loaded = loadPieceOptions(settings);
    EXPECT_TRUE(loaded.gapless);
    EXPECT_FALSE(loaded.copyTags);
    EXPECT_EQ(loaded.nameTemplate, "{title}");
    EXPECT_TRUE(loaded.replayGain);
    EXPECT_EQ(loaded.fadeCutsMs, 750);
}

// The level options of the pieces: shown as stored, and what the user sets is what is saved and read
// back, so closing the dialog with OK never turns them off.
TEST(PiecesPage, ReplayGainAndFadeAtEveryCutAreSavedAndReadBack) {
    app_test::RecordingShellPrompts prompts;
    PieceOptions options;
    options.replayGain = true;
    options.fadeCutsMs = 750;
    CPreferencesSheet sheet(Preferences{}, prompts, nullptr, options);
    auto* replayGain = sheet.findChild<QCheckBox*>("replayGain");
    auto* fadeCuts = sheet.findChild<QSpinBox*>("fadeCutsMs");
    ASSERT_TRUE(replayGain && fadeCuts);
    EXPECT_TRUE(replayGain->isChecked());
    EXPECT_EQ(fadeCuts->value(), 750);
    EXPECT_TRUE(sheet.pieceOptions().replayGain);
    EXPECT_EQ(sheet.pieceOptions().fadeCutsMs, 750);

    QTemporaryDir dir;
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    struct Case {
        bool replayGain;
        int fadeCutsMs;
    };
    for (const Case c : {Case{false, 0}, Case{true, 200}, Case{false, 10000}}) {
        replayGain->setChecked(c.replayGain);
        fadeCuts->setValue(c.fadeCutsMs);
        savePieceOptions(settings, sheet.pieceOptions());
        EXPECT_EQ(settings.value("PieceLevels/ReplayGain").toBool(), c.replayGain);
        EXPECT_EQ(settings.value("PieceLevels/FadeCutsMs").toInt(), c.fadeCutsMs);
        const PieceOptions loaded = loadPieceOptions(settings);
        EXPECT_EQ(loaded.replayGain, c.replayGain);
        EXPECT_EQ(loaded.fadeCutsMs, c.fadeCutsMs);
        CPreferencesSheet reopened(Preferences{}, prompts, nullptr, loaded);
        EXPECT_EQ(reopened.findChild<QCheckBox*>("replayGain")->isChecked(), c.replayGain);
        EXPECT_EQ(reopened.findChild<QSpinBox*>("fadeCutsMs")->value(), c.fadeCutsMs);
    }
}
