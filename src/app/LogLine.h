#pragma once

#include <QString>
#include <QTime>

// "%d:%d:%d - %s": hour, minute and second without leading zeros, then the text. A part of an
// invalid time reads -1.
QString formatLogLine(const QTime& time, const QString& text);
