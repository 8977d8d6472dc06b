#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

QStringList menuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->text());
    }
    return texts;
}

QList<int> menuIds(const QMenu& menu) {
    QList<int> ids;
    for (const QAction* action : menu.actions()) {
        ids.append(action->data().toInt());
    }
    return ids;
}

class RecentFileListTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    QMenu menu;
    QList<int> chosen;
    RecentFileList list{menu, [this](int position) { chosen.append(position); }};
};

TEST_F(RecentFileListTest, NewestFirstWithoutDuplicatesAndCaseSensitive) {
    list.add("/m/a.mp3");
    list.add("/m/b.mp3");
    list.add("/m/A.mp3");
    list.add("/m/a.mp3");
    EXPECT_EQ(list.entries(), (QStringList{"/m/a.mp3", "/m/A.mp3", "/m/b.mp3"}));
    EXPECT_EQ(menuTexts(menu), list.entries());
    EXPECT_EQ(menuIds(menu), (QList<int>{1001, 1002, 1003}));

    menu.actions().at(2)->trigger();
    EXPECT_EQ(chosen, QList<int>{2});
}

TEST_F(RecentFileListTest, AnEleventhFileDropsTheOldest) {
    for (int i = 1; i <= 11; ++i) {
        list.add(QStringLiteral("/m/%1.mp3").arg(i));
    }
    ASSERT_EQ(list.entries().size(), 10);
    EXPECT_EQ(list.entries().first(), QStringLiteral("/m/11.mp3"));
    EXPECT_EQ(list.entries().last(), QStringLiteral("/m/2.mp3"));
    QList<int> ids;
    for (int id = 1001; id <= 1010; ++id) {
        ids.append(id);
    }
    EXPECT_EQ(menuIds(menu), ids);
}

TEST_F(RecentFileListTest, AnAmpersandInAPathIsShownAsItIs) {
    list.add("/m/Rock & Roll.mp3");
    EXPECT_EQ(menu.actions().at(0)->text(), QStringLiteral("/m/Rock && Roll.mp3"));
    EXPECT_EQ(list.entry(0), QStringLiteral("/m/Rock & Roll.mp3"));
}

TEST_F(RecentFileListTest, StoredValuesComeBackInTheSameOrder) {
    {
        QSettings settings = app_test::programSettings();
        settings.setValue("0", "/m/a.mp3");
        settings.setValue("1", "/m/b.mp3");
        settings.setValue("2", "/m/c.mp3");
        // The window layout lives in a group of the same key.
        settings.setValue("Kerfline/Workspace/State", QByteArray("layout"));
    }
    QSettings settings = app_test::programSettings();
    list.load(settings);
    EXPECT_EQ(list.entries(), (QStringList{"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}));
    EXPECT_EQ(menu.actions().at(0)->data().toInt(), 1001);
    EXPECT_EQ(menu.actions().at(0)->text(), QStringLiteral("/m/a.mp3"));

    list.add("/m/d.mp3");
    list.save(settings);
    EXPECT_EQ(settings.value("0").toString(), QStringLiteral("/m/d.mp3"));
    EXPECT_EQ(settings.value("3").toString(), QStringLiteral("/m/c.mp3"));
    EXPECT_EQ(settings.value("Kerfline/Workspace/State").toByteArray(), QByteArray("layout"));
}

TEST_F(RecentFileListTest, LoadingAppliesTheLimitAndDropsDuplicatesLikeAdd) {
    QSettings settings = app_test::programSettings();
    for (int i = 0; i < 12; ++i) {
        settings.setValue(QString::number(i), QStringLiteral("/m/%1.mp3").arg(i));
    }
    settings.setValue("12", "/m/0.mp3");
    list.load(settings);
    // Added from "12" down to "0": the top ten of the stored order remain.
    ASSERT_EQ(list.entries().size(), 10);
    EXPECT_EQ(list.entries().first(), QStringLiteral("/m/0.mp3"));
    EXPECT_EQ(list.entries().last(), QStringLiteral("/m/9.mp3"));
}

TEST(RecentFilesOfTheFrame, SurviveARestartOfTheFrame) {
    app_test::resetUserState();
    app_test::RecordingShellPrompts prompts;
    {
        CMainFrame frame(&prompts);
        EXPECT_EQ(frame.recentMenu().actions().at(0)->data().toInt(), ID_RECENT_NONE);
        frame.recentFiles().add("/m/first.mp3");
        frame.recentFiles().add("/m/second.mp3");
    }
    CMainFrame frame(&prompts);
    EXPECT_EQ(frame.recentFiles().entries(), (QStringList{"/m/second.mp3", "/m/first.mp3"}));
    EXPECT_EQ(frame.command(1002)->text(), QStringLiteral("/m/first.mp3"));
}

} // namespace
