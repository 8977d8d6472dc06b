#include "app/SilenceOptions.h"

#include <QSettings>
#include <QString>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kGroup = "Silence";

double number(const QSettings& settings, const char* key, double fallback, double low, double high) {
    bool valid = false;
    const double value = settings.value(QLatin1String(key), fallback).toDouble(&valid);
    // A hand-edited file may hold anything: a value the dialog could not show becomes the default.
    if (!valid || !std::isfinite(value)) {
        return fallback;
    }
    return std::clamp(value, low, high);
}

QString cutName(SilenceCut cut) {
    switch (cut) {
    case SilenceCut::Start:
        return QStringLiteral("start");
    case SilenceCut::End:
        return QStringLiteral("end");
    case SilenceCut::Middle:
        break;
    }
    return QStringLiteral("middle");
}

SilenceCut cutOfName(const QString& name) {
    if (name == QLatin1String("start")) {
        return SilenceCut::Start;
    }
    if (name == QLatin1String("end")) {
        return SilenceCut::End;
    }
    return SilenceCut::Middle;
}

} // namespace

bool SilenceOptions::operator==(const SilenceOptions& other) const {
    return settings.thresholdDb == other.settings.thresholdDb &&
           settings.minSilenceSeconds == other.settings.minSilenceSeconds &&
           settings.cut == other.settings.cut && settings.minPieceSeconds == other.settings.minPieceSeconds &&
           settings.tracks == other.settings.tracks && deleteOriginal == other.deleteOriginal;
}

SilenceOptions loadSilenceOptions(QSettings& settings) {
    using namespace silence_limits;
    const SilenceSettings defaults;
    SilenceOptions options;
    settings.beginGroup(QLatin1String(kGroup));
    options.settings.thresholdDb =
        number(settings, "ThresholdDb", defaults.thresholdDb, kMinThresholdDb, kMaxThresholdDb);
    options.settings.minSilenceSeconds = number(settings, "MinSilenceSeconds", defaults.minSilenceSeconds,
                                                kMinSilenceSeconds, kMaxSilenceSeconds);
    options.settings.cut = cutOfName(settings.value(QStringLiteral("Cut"), cutName(defaults.cut)).toString());
    options.settings.minPieceSeconds =
        number(settings, "MinPieceSeconds", defaults.minPieceSeconds, 0.0, kMaxPieceSeconds);
    bool valid = false;
    const int tracks = settings.value(QStringLiteral("Tracks"), 0).toInt(&valid);
    options.settings.tracks = valid && tracks >= kMinTracks ? std::min(tracks, kMaxTracks) : 0;
    // Not read: a remembered tick would empty the next file's list unasked.
    options.deleteOriginal = false;
    settings.endGroup();
    return options;
}

void saveSilenceOptions(QSettings& settings, const SilenceOptions& options) {
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("ThresholdDb"), options.settings.thresholdDb);
    settings.setValue(QStringLiteral("MinSilenceSeconds"), options.settings.minSilenceSeconds);
    settings.setValue(QStringLiteral("Cut"), cutName(options.settings.cut));
    settings.setValue(QStringLiteral("MinPieceSeconds"), options.settings.minPieceSeconds);
    settings.setValue(QStringLiteral("Tracks"), options.settings.tracks);
    settings.remove(QStringLiteral("DeleteOriginal"));
    settings.endGroup();
}
