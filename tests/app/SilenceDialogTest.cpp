#include "AppTestSupport.h"

#include "app/SilenceDialog.h"
#include "app/SilenceOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

template <typename T> T* child(QWidget& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

class SilenceOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
};

TEST_F(SilenceOptionsTest, DefaultsRoundTripAndRepairedValues) {
    QSettings settings = app_test::programSettings();
    const SilenceOptions defaults = loadSilenceOptions(settings);
    EXPECT_EQ(defaults.settings.thresholdDb, -40.0);
    EXPECT_EQ(defaults.settings.minSilenceSeconds, 0.5);
    EXPECT_EQ(defaults.settings.cut, SilenceCut::Middle);
    EXPECT_EQ(defaults.settings.minPieceSeconds, 0.0);
    EXPECT_EQ(defaults.settings.tracks, 0);
    EXPECT_FALSE(defaults.deleteOriginal);

    SilenceOptions chosen;
    chosen.settings = {-52.5, 1.25, SilenceCut::End, 30.0, 12};
    chosen.deleteOriginal = true;
    saveSilenceOptions(settings, chosen);
    // Emptying the list is chosen anew every time; an old file's tick is not read either.
    SilenceOptions kept = chosen;
    kept.deleteOriginal = false;
    EXPECT_EQ(loadSilenceOptions(settings), kept);
    settings.setValue(QStringLiteral("Silence/DeleteOriginal"), true);
    EXPECT_FALSE(loadSilenceOptions(settings).deleteOriginal);
    EXPECT_TRUE(settings.childGroups().contains(QStringLiteral("Silence")));

    // A hand-edited file: what the dialog could not show is brought into its ranges or defaulted.
    const struct {
        const char* key;
        QVariant value;
        double SilenceSettings::*field;
        double expected;
    } numbers[] = {
        {"ThresholdDb", QStringLiteral("loud"), &SilenceSettings::thresholdDb, -40.0},
        {"ThresholdDb", 12.0, &SilenceSettings::thresholdDb, 0.0},
        {"ThresholdDb", std::numeric_limits<double>::quiet_NaN(), &SilenceSettings::thresholdDb, -40.0},
        {"MinSilenceSeconds", -3.0, &SilenceSettings::minSilenceSeconds, 0.01},
        {"MinPieceSeconds", -1.0, &SilenceSettings::minPieceSeconds, 0.0},
    };
    for (const auto& entry : numbers) {
        settings.remove(QStringLiteral("Silence"));
        settings.setValue(QStringLiteral("Silence/") + QLatin1String(entry.key), entry.value);
        EXPECT_EQ(loadSilenceOptions(settings).settings.*entry.field, entry.expected) << entry.key;
    }
    const std::pair<QVariant, int> tracks[] = {
        {1, 0}, {-5, 0}, {QStringLiteral("x"), 0}, {100000, 9999}, {3, 3}};
    for (const auto& [value, expected] : tracks) {
        settings.setValue(QStringLiteral("Silence/Tracks"), value);
        EXPECT_EQ(loadSilenceOptions(settings).settings.tracks, expected) << value.toString().toStdString();
    }
    settings.setValue(QStringLiteral("Silence/Cut"), QStringLiteral("sideways"));
    EXPECT_EQ(loadSilenceOptions(settings).settings.cut, SilenceCut::Middle);
    settings.setValue(QStringLiteral("Silence/Cut"), QStringLiteral("start"));
    EXPECT_EQ(loadSilenceOptions(settings).settings.cut, SilenceCut::Start);
}

// A finder that records what it was asked and answers from the threshold.
struct FakeFinder {
    std::vector<SilenceSettings> asked;
    std::vector<std::vector<int>> previews;

    SilenceResult find(const SilenceSettings& settings) {
        asked.push_back(settings);
        SilenceResult result;
        if (settings.thresholdDb >= -30.0) {
            result.breakPoints = {40, 90, 130};
            result.report = {5, 3, 0.52, 2.5, settings.tracks > 4};
        }
        return result;
    }
};

TEST(SilenceDialog, ShowsTheOptionsAndPreviewsEveryChange) {
    FakeFinder finder;
    SilenceOptions initial;
    initial.settings = {-45.0, 0.75, SilenceCut::Start, 2.0, 0};
    CSilenceDialog dialog(
        initial, [&](const SilenceSettings& s) { return finder.find(s); },
        [&](const std::vector<int>& frames) { finder.previews.push_back(frames); });
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find silences ..."));
    EXPECT_EQ(child<QCheckBox>(dialog, "DeleteOriginal")->text(),
              QStringLiteral("Please delete original break points"));
    EXPECT_EQ(child<QDoubleSpinBox>(dialog, "Threshold")->value(), -45.0);
    EXPECT_EQ(child<QDoubleSpinBox>(dialog, "MinSilence")->value(), 0.75);
    EXPECT_EQ(child<QComboBox>(dialog, "Cut")->currentIndex(), 0);
    EXPECT_EQ(child<QDoubleSpinBox>(dialog, "MinPiece")->value(), 2.0);
    EXPECT_FALSE(child<QCheckBox>(dialog, "TracksCheck")->isChecked());
    EXPECT_FALSE(child<QSpinBox>(dialog, "Tracks")->isEnabled());
    EXPECT_EQ(dialog.options(), initial);

    // The first look is at the settings as they came.
    ASSERT_EQ(finder.asked.size(), 1u);
    EXPECT_EQ(finder.previews, std::vector<std::vector<int>>{{}});
    QLabel* count = child<QLabel>(dialog, "Count");
    QLabel* report = child<QLabel>(dialog, "Report");
    EXPECT_EQ(count->text(), QStringLiteral("No silence found with these settings"));

    child<QDoubleSpinBox>(dialog, "Threshold")->setValue(-30.0);
    EXPECT_EQ(finder.asked.back().thresholdDb, -30.0);
    EXPECT_EQ(finder.previews.back(), (std::vector<int>{40, 90, 130}));
    EXPECT_EQ(count->text(), QStringLiteral("3 break points will be added"));
    EXPECT_EQ(report->text(), QStringLiteral("Silences found: 5, kept: 3, shortest 0.52 s, longest 2.50 s"));

    child<QCheckBox>(dialog, "TracksCheck")->click();
    EXPECT_TRUE(child<QSpinBox>(dialog, "Tracks")->isEnabled());
    EXPECT_EQ(finder.asked.back().tracks, 2);
    child<QSpinBox>(dialog, "Tracks")->setValue(6);
    EXPECT_EQ(finder.asked.back().tracks, 6);
    EXPECT_EQ(report->text(), QStringLiteral("Silences found: 5, kept: 3, shortest 0.52 s, longest 2.50 s\n"
                                             "Fewer than asked: 4 tracks instead of 6"));

    child<QComboBox>(dialog, "Cut")->setCurrentIndex(2);
    EXPECT_EQ(finder.asked.back().cut, SilenceCut::End);
    child<QDoubleSpinBox>(dialog, "MinSilence")->setValue(1.5);
    EXPECT_EQ(finder.asked.back().minSilenceSeconds, 1.5);
    child<QDoubleSpinBox>(dialog, "MinPiece")->setValue(20.0);
    EXPECT_EQ(finder.asked.back().minPieceSeconds, 20.0);
    EXPECT_EQ(dialog.found().breakPoints, finder.previews.back());

    child<QCheckBox>(dialog, "DeleteOriginal")->click();
    QTest::mouseClick(child<QPushButton>(dialog, "1"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SilenceOptions chosen = dialog.options();
    EXPECT_EQ(chosen.settings.thresholdDb, -30.0);
    EXPECT_EQ(chosen.settings.tracks, 6);
    EXPECT_TRUE(chosen.deleteOriginal);
    EXPECT_TRUE(finder.previews.back().empty()) << "OK clears the preview; the caller adds the points";
}

TEST(SilenceDialog, CancelAndClosingClearThePreview) {
    for (const bool cancel : {true, false}) {
        FakeFinder finder;
        SilenceOptions initial;
        initial.settings.thresholdDb = -20.0;
        {
            CSilenceDialog dialog(
                initial, [&](const SilenceSettings& s) { return finder.find(s); },
                [&](const std::vector<int>& frames) { finder.previews.push_back(frames); });
            dialog.show();
            EXPECT_EQ(finder.previews.back().size(), 3u);
            if (cancel) {
                QTest::mouseClick(child<QPushButton>(dialog, "2"), Qt::LeftButton);
                EXPECT_EQ(dialog.result(), QDialog::Rejected);
            }
        }
        EXPECT_TRUE(finder.previews.back().empty()) << (cancel ? "Cancel" : "destroyed");
        const auto clears = std::count(finder.previews.begin(), finder.previews.end(), std::vector<int>{});
        EXPECT_EQ(clears, 1) << "cleared once";
    }
}

TEST(SilenceDialog, DeleteStartsUntickedOkFollowsWhatIsFoundAndApplyMayRefuse) {
    FakeFinder finder;
    SilenceOptions initial;
    initial.settings.thresholdDb = -50.0;
    initial.deleteOriginal = true;
    CSilenceDialog dialog(
        initial, [&](const SilenceSettings& s) { return finder.find(s); },
        [&](const std::vector<int>& frames) { finder.previews.push_back(frames); });
    int existing = 4;
    dialog.setExistingCount([&] { return existing; });
    std::vector<SilenceOptions> applied;
    bool agree = false;
    dialog.setApply([&](const SilenceOptions& options) {
        applied.push_back(options);
        return agree;
    });
    dialog.show();
    QCheckBox* remove = child<QCheckBox>(dialog, "DeleteOriginal");
    QPushButton* ok = child<QPushButton>(dialog, "1");
    QLabel* count = child<QLabel>(dialog, "Count");
    EXPECT_FALSE(remove->isChecked()) << "a tick of an earlier use is not taken over";
    EXPECT_FALSE(ok->isEnabled()) << "nothing found";

    child<QDoubleSpinBox>(dialog, "Threshold")->setValue(-30.0);
    EXPECT_TRUE(ok->isEnabled());
    remove->click();
    EXPECT_EQ(count->text(),
              QStringLiteral("3 break points will be added, 4 existing break points will be deleted"));
    existing = 1;
    dialog.updateCount();
    EXPECT_EQ(count->text(),
              QStringLiteral("3 break points will be added, 1 existing break point will be deleted"));
    existing = 0;
    dialog.updateCount();
    EXPECT_EQ(count->text(), QStringLiteral("3 break points will be added"));

    // Refused by the caller: the dialog stays open with its preview.
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_TRUE(applied.back().deleteOriginal);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finder.previews.back().size(), 3u);
    agree = true;
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(applied.size(), 2u);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(finder.previews.back().empty());
}

} // namespace
