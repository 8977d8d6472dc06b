#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MemorySettings.h"
#include "app/PreferencesSheet.h"
#include "engine/PcmBudget.h"
#include "support/PacedSoundOutput.h"
#include "view/ChildView.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(MemoryPage, ShowsTheBudgetInMiBWithTheDefault) {
    app_test::RecordingShellPrompts prompts;
    const struct {
        std::size_t bytes;
        int shown;
    } cases[] = {
        {mp3::kDefaultPcmBudget, 128},
        {512 * kMiB, 512},
        {100 * kMiB + 1, 101}, // set by hand to no whole MiB: rounded up
        {1, memory_limits::kMinMiB},
    };
    for (const auto& c : cases) {
        CPreferencesSheet sheet(Preferences{}, prompts, nullptr, PieceOptions{}, c.bytes);
        QTabWidget& tabs = sheet.tabs();
        ASSERT_EQ(tabs.count(), 4);
        EXPECT_EQ(tabs.tabText(3), QStringLiteral("Memory"));
        auto* memory = sheet.findChild<QSpinBox*>("memoryMiB");
        ASSERT_NE(memory, nullptr);
        EXPECT_EQ(memory->value(), c.shown) << c.bytes;
        EXPECT_EQ(memory->suffix(), QStringLiteral(" MiB"));
        auto* hint = sheet.findChild<QLabel*>("memoryDefault");
        ASSERT_NE(hint, nullptr);
        EXPECT_TRUE(hint->text().startsWith(QStringLiteral("Default: 128 MiB.")))
            << hint->text().toStdString();
        EXPECT_EQ(sheet.pcmBudgetBytes(), static_cast<std::size_t>(c.shown) * kMiB);
    }
}

// The row through the real command: OK stores it in the settings, the next start reads it back and
// the cache takes it at once; Cancel keeps the old one.
TEST(MemoryPage, OkSavesTheBudgetAndTheCacheTakesIt) {
    app_test::resetUserState();
    app_test::RecordingShellPrompts prompts;
    CMainFrame frame(&prompts, std::make_unique<PacedSoundOutput>());
    const auto setMemory = [&](int mib, const char* button) {
        app_test::whenModal([=](QWidget* sheet) {
            sheet->findChild<QSpinBox*>("memoryMiB")->setValue(mib);
            QTest::mouseClick(sheet->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        frame.command(ID_PREFERENCES)->trigger();
    };
    setMemory(384, "1");
    EXPECT_EQ(pcmBudgetSetting(), 384 * kMiB);
    QSettings settings = app_test::programSettings();
    EXPECT_EQ(settings.value("Memory/PcmBudgetBytes").toULongLong(), 384 * kMiB);
    EXPECT_EQ(frame.view().m_decoding.cache.budget(), 384 * kMiB);

    setMemory(64, "2");
    EXPECT_EQ(pcmBudgetSetting(), 384 * kMiB);

    int shown = 0;
    app_test::whenModal([&](QWidget* sheet) {
        shown = sheet->findChild<QSpinBox*>("memoryMiB")->value();
        QTest::mouseClick(sheet->findChild<QPushButton*>("2"), Qt::LeftButton);
    });
    frame.command(ID_PREFERENCES)->trigger();
    EXPECT_EQ(shown, 384);
    frame.view().m_decoding.cache.setBudget(mp3::kDefaultPcmBudget);
}

} // namespace
