#include "app/FileFilter.h"

#include <QStringList>

QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) {
            break;
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString suffix = QLatin1Char('(') + patterns + QLatin1Char(')');
        entries.append(description.endsWith(suffix) ? description : description + QLatin1Char(' ') + suffix);
    }
    return entries.join(QStringLiteral(";;"));
}
