#include "app/RecentFileList.h"

#include "app/CommandIds.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <vector>

namespace {

// The stored entries are the top-level values named by a position in decimal.
std::vector<std::pair<int, QString>> numberedKeys(const QSettings& settings) {
    std::vector<std::pair<int, QString>> keys;
    for (const QString& key : settings.childKeys()) {
        bool isNumber = false;
        const int position = key.toInt(&isNumber);
        if (isNumber && position >= 0 && key == QString::number(position)) {
            keys.emplace_back(position, key);
        }
    }
    return keys;
}

} // namespace

RecentFileList::RecentFileList(QMenu& menu, std::function<void(int)> onChosen)
    : m_menu(menu), m_onChosen(std::move(onChosen)) {
    QAction* placeholder = m_menu.addAction(QStringLiteral("(no file)"));
    placeholder->setObjectName(QString::number(ID_RECENT_NONE));
    placeholder->setData(static_cast<int>(ID_RECENT_NONE));
    placeholder->setEnabled(false);
}

void RecentFileList::add(const QString& path) {
    m_entries.removeAll(path);
    while (m_entries.size() >= kMaxEntries) {
        m_entries.removeLast();
    }
    m_entries.prepend(path);
    rebuildMenu();
}

void RecentFileList::load(QSettings& settings) {
    auto keys = numberedKeys(settings);
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [position, key] : keys) {
        const QVariant value = settings.value(key);
        if (value.canConvert<QString>()) {
            add(value.toString());
        }
    }
}

void RecentFileList::save(QSettings& settings) const {
    for (const auto& [position, key] : numberedKeys(settings)) {
        settings.remove(key);
    }
    for (int i = 0; i < m_entries.size(); ++i) {
        settings.setValue(QString::number(i), m_entries[i]);
    }
}

void RecentFileList::rebuildMenu() {
    // The old items go later: the item being triggered may be the one that leads here.
    for (QAction* old : m_menu.actions()) {
        m_menu.removeAction(old);
        old->deleteLater();
    }
    for (int i = 0; i < m_entries.size(); ++i) {
        QString text = m_entries[i];
        // The whole path is the item's text: an ampersand in it is no mnemonic.
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = m_menu.addAction(text);
        const int id = kBaseId + i;
        action->setObjectName(QString::number(id));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, action, [this, i] { m_onChosen(i); });
    }
}
