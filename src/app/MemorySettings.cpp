#include "app/MemorySettings.h"

#include "engine/PcmBudget.h"

#include <QSettings>

namespace {
constexpr const char* kGroup = "Memory";
} // namespace

std::size_t pcmBudgetSetting() {
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    return pcmBudgetSetting(settings);
}

std::size_t pcmBudgetSetting(QSettings& settings) {
    settings.beginGroup(QLatin1String(kGroup));
    bool valid = false;
    const qulonglong bytes =
        settings.value(QStringLiteral("PcmBudgetBytes"), qulonglong{mp3::kDefaultPcmBudget})
            .toULongLong(&valid);
    settings.endGroup();
    return valid ? static_cast<std::size_t>(bytes) : mp3::kDefaultPcmBudget;
}

void savePcmBudgetSetting(QSettings& settings, std::size_t bytes) {
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("PcmBudgetBytes"), qulonglong{bytes});
    settings.endGroup();
}
