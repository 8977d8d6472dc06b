#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "support/PacedSoundOutput.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

namespace {

using app_test::RecordingShellPrompts;

class EditMenuTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    void enable() { frame.updateCommands(); }
    QAction& undo() { return *frame.command(ID_EDIT_UNDO); }
    QAction& redo() { return *frame.command(ID_EDIT_REDO); }

    RecordingShellPrompts prompts;
    CMainFrame frame{&prompts, std::make_unique<PacedSoundOutput>()};
};

TEST_F(EditMenuTest, MenuSitsBetweenFileAndViewWithItsKeys) {
    QStringList titles;
    for (QAction* menu : frame.menuBar()->actions()) {
        titles.append(menu->text());
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Help"}));
    EXPECT_EQ(undo().text(), QStringLiteral("&Undo"));
    EXPECT_EQ(redo().text(), QStringLiteral("&Redo"));
    EXPECT_EQ(undo().shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))}));
    EXPECT_EQ(redo().shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")),
                                                       QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
}

TEST_F(EditMenuTest, PromptsNameTheStepAndSavingThreadsDisableBoth) {
    CChildView& view = frame.view();
    view.m_frameLevels.assign(500, 1000);
    enable();
    EXPECT_FALSE(undo().isEnabled());
    EXPECT_EQ(undo().statusTip(), QStringLiteral("Nothing to undo"));

    view.addBreakPointAt(120);
    view.addBreakPointAt(240);
    enable();
    EXPECT_TRUE(undo().isEnabled());
    EXPECT_FALSE(redo().isEnabled());
    EXPECT_EQ(undo().statusTip(), QStringLiteral("Undo add break point at 240 F"));

    undo().trigger();
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{120}));
    EXPECT_EQ(redo().statusTip(), QStringLiteral("Redo add break point at 240 F"));
    EXPECT_EQ(undo().statusTip(), QStringLiteral("Undo add break point at 120 F"));

    {
        // A saving thread reads the list: neither command runs, however it is reached.
        std::promise<void> release;
        view.m_saveAllThread.start([done = release.get_future().share()] { done.wait(); });
        enable();
        EXPECT_FALSE(undo().isEnabled());
        EXPECT_FALSE(redo().isEnabled());
        redo().trigger();
        EXPECT_EQ(view.m_breakPoints, (BreakPointList{120}));
        release.set_value();
        view.m_saveAllThread.clear();
    }
    enable();
    redo().trigger();
    EXPECT_EQ(view.m_breakPoints, (BreakPointList{120, 240}));
}

} // namespace
