#include "app/LoadCacheSettings.h"

#include "app/QtPath.h"
#include "engine/LoadCache.h"

#include <QSettings>
#include <QStandardPaths>

std::shared_ptr<const mp3::LoadCache> userLoadCache() {
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    settings.beginGroup(QStringLiteral("LoadCache"));
    bool valid = false;
    const qulonglong bound =
        settings.value(QStringLiteral("BoundBytes"), qulonglong{mp3::kDefaultLoadCacheBound})
            .toULongLong(&valid);
    // QStandardPaths follows XDG_CACHE_HOME, else ~/.cache.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty() || (valid && bound == 0)) {
        return nullptr;
    }
    return std::make_shared<const mp3::LoadCache>(toPath(base) / "kerfline",
                                                  valid ? std::uint64_t{bound} : mp3::kDefaultLoadCacheBound);
}
