#include "app/PieceSettings.h"

#include <QSettings>
#include <QString>

namespace {

constexpr const char* kGroup = "Pieces";

} // namespace

PieceOptions loadPieceOptions(QSettings& settings) {
    settings.beginGroup(QLatin1String(kGroup));
    PieceOptions options;
    options.gapless = settings.value(QStringLiteral("Gapless"), false).toBool();
    options.copyTags = settings.value(QStringLiteral("CopyTags"), false).toBool();
    options.nameTemplate = settings.value(QStringLiteral("NameTemplate"), QString()).toString().toStdString();
    settings.endGroup();
    return options;
}

void savePieceOptions(QSettings& settings, const PieceOptions& options) {
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("Gapless"), options.gapless);
    settings.setValue(QStringLiteral("CopyTags"), options.copyTags);
    settings.setValue(QStringLiteral("NameTemplate"), QString::fromStdString(options.nameTemplate));
    settings.endGroup();
}
