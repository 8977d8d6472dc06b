#include "app/LogLine.h"

QString formatLogLine(const QTime& time, const QString& text) {
    const bool valid = time.isValid();
    return QStringLiteral("%1:%2:%3 - %4")
        .arg(valid ? time.hour() : -1)
        .arg(valid ? time.minute() : -1)
        .arg(valid ? time.second() : -1)
        .arg(text);
}
