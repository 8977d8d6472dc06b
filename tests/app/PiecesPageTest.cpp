#include "AppTestSupport.h"

#include "app/PieceSettings.h"
#include "app/PreferencesSheet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
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
