#include "app/EditingSettings.h"

#include <QSettings>

namespace {

const QString kPlayAroundKey = QStringLiteral("Editing/PlayAroundSeconds");
constexpr double kDefaultPlayAroundSeconds = 2.0;
constexpr double kMostPlayAroundSeconds = 600.0;

QSettings programSettings() {
    return QSettings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
}

} // namespace

double playAroundSeconds() {
    bool valid = false;
    const double seconds =
        programSettings().value(kPlayAroundKey, kDefaultPlayAroundSeconds).toDouble(&valid);
    // A hand-edited value that is no number, or none a user would mean, falls back to the default.
    return valid && seconds > 0.0 && seconds <= kMostPlayAroundSeconds ? seconds : kDefaultPlayAroundSeconds;
}

void setPlayAroundSeconds(double seconds) {
    programSettings().setValue(kPlayAroundKey, seconds);
}
