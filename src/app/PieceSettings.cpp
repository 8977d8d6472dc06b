#include "app/PieceSettings.h"

#include <QSettings>
#include <QString>

#include <algorithm>

namespace {

constexpr const char* kGroup = "Pieces";
// The level settings of the pieces, apart so that files of older versions keep them off.
constexpr const char* kLevelGroup = "PieceLevels";

} // namespace

PieceOptions loadPieceOptions(QSettings& settings) {
    settings.beginGroup(QLatin1String(kGroup));
    PieceOptions options;
    options.gapless = settings.value(QStringLiteral("Gapless"), false).toBool();
    options.copyTags = settings.value(QStringLiteral("CopyTags"), false).toBool();
    options.nameTemplate = settings.value(QStringLiteral("NameTemplate"), QString()).toString().toStdString();
    settings.endGroup();
    settings.beginGroup(QLatin1String(kLevelGroup));
    options.replayGain = settings.value(QStringLiteral("ReplayGain"), false).toBool();
    options.fadeCutsMs = std::max(0, settings.value(QStringLiteral("FadeCutsMs"), 0).toInt());
    settings.endGroup();
    return options;
}

void savePieceOptions(QSettings& settings, const PieceOptions& options) {
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("Gapless"), options.gapless);
    settings.setValue(QStringLiteral("CopyTags"), options.copyTags);
    settings.setValue(QStringLiteral("NameTemplate"), QString::fromStdString(options.nameTemplate));
    settings.endGroup();
    settings.beginGroup(QLatin1String(kLevelGroup));
    settings.setValue(QStringLiteral("ReplayGain"), options.replayGain);
    settings.setValue(QStringLiteral("FadeCutsMs"), options.fadeCutsMs);
    settings.endGroup();
}
