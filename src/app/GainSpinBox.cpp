#include "app/GainSpinBox.h"

#include "engine/LevelPlan.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace {

std::optional<double> decibelsIn(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\s*dB\\s*$"), QRegularExpression::CaseInsensitiveOption));
    bool ok = false;
    const double db = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(db)) {
        return std::nullopt;
    }
    return db;
}

} // namespace

GainSpinBox::GainSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(-40, 40);
}

QString GainSpinBox::decibelText(int steps) {
    return QString::asprintf("%+.1f dB", steps * mp3::kDbPerGainStep);
}

QString GainSpinBox::textFromValue(int steps) const {
    return decibelText(steps);
}

int GainSpinBox::valueFromText(const QString& text) const {
    const std::optional<double> db = decibelsIn(text);
    return db ? static_cast<int>(std::lround(*db / mp3::kDbPerGainStep)) : value();
}

QValidator::State GainSpinBox::validate(QString& text, int& /*position*/) const {
    const QString bare = text.trimmed();
    if (bare.isEmpty() || bare == QStringLiteral("+") || bare == QStringLiteral("-")) {
        return QValidator::Intermediate;
    }
    const std::optional<double> db = decibelsIn(text);
    if (!db) {
        return QValidator::Invalid;
    }
    const auto steps = std::lround(*db / mp3::kDbPerGainStep);
    return steps >= minimum() && steps <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}
