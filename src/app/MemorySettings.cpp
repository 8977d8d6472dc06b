#include "app/MemorySettings.h"

#include "engine/PcmBudget.h"

#include <QSettings>

std::size_t pcmBudgetSetting() {
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    settings.beginGroup(QStringLiteral("Memory"));
    bool valid = false;
    const qulonglong bytes =
        settings.value(QStringLiteral("PcmBudgetBytes"), qulonglong{mp3::kDefaultPcmBudget})
            .toULongLong(&valid);
    return valid ? static_cast<std::size_t>(bytes) : mp3::kDefaultPcmBudget;
}
