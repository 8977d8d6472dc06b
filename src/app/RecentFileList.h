#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class QSettings;

// The recently opened files, newest first, shown in the "Open Recent List ..." submenu as items
// 1001 + position. Stored as the values "0".."9" at the top of the program's settings.
class RecentFileList {
public:
    static constexpr int kMaxEntries = 10;
    static constexpr int kBaseId = 1001;

    // `onChosen` receives the position of the entry the user picks from `menu`.
    RecentFileList(QMenu& menu, std::function<void(int)> onChosen);

    // Moves `path` to the top (exact, case-sensitive comparison), drops the oldest entry beyond ten,
    // and rebuilds the submenu.
    void add(const QString& path);

    const QStringList& entries() const { return m_entries; }
    QString entry(int position) const { return m_entries.value(position); }

    // Restores the stored order: the values are added from the highest-numbered name down to "0".
    void load(QSettings& settings);
    void save(QSettings& settings) const;

private:
    void rebuildMenu();

    QMenu& m_menu;
    std::function<void(int)> m_onChosen;
    QStringList m_entries;
};
