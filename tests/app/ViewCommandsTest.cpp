#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "view/ChildView.h"
#include "view/OverviewStrip.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

using app_test::RecordingShellPrompts;

class ViewCommands : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    RecordingShellPrompts prompts;
};

TEST_F(ViewCommands, ZoomItemsWithTheirTextsAndKeysActOnTheView) {
    CMainFrame frame(&prompts);
    const struct {
        int id;
        const char* text;
        std::vector<const char*> keys;
    } items[] = {
        {ID_ZOOM_IN, "Zoom &In\tCtrl++", {"Ctrl++", "Ctrl+="}},
        {ID_ZOOM_OUT, "Zoom O&ut\tCtrl+-", {"Ctrl+-"}},
        {ID_ZOOM_WHOLE_FILE, "Zoom to &Whole File\tCtrl+0", {"Ctrl+0"}},
        {ID_ZOOM_ONE_FRAME, "One &Frame per Column\tCtrl+1", {"Ctrl+1"}},
    };
    frame.updateCommands();
    for (const auto& item : items) {
        QAction* action = frame.command(item.id);
        ASSERT_NE(action, nullptr) << item.text;
        EXPECT_EQ(action->text(), QString::fromLatin1(item.text));
        QList<QKeySequence> keys;
        for (const char* key : item.keys) {
            keys.push_back(QKeySequence(QString::fromLatin1(key)));
        }
        EXPECT_EQ(action->shortcuts(), keys) << item.text;
        // Nothing to zoom before a file is loaded.
        EXPECT_FALSE(action->isEnabled()) << item.text;
    }

    CChildView& view = frame.view();
    frame.resize(900, 600);
    view.m_frameLevels.assign(50'000, 100);
    view.m_loaded = true;
    view.updateScrollBar();
    frame.updateCommands();
    const int whole = view.maxFramesPerColumn();
    ASSERT_GT(whole, 8);
    const struct {
        int id;
        int framesPerColumn;
    } steps[] = {{ID_ZOOM_OUT, 2},        {ID_ZOOM_OUT, 4},      {ID_ZOOM_IN, 2}, {ID_ZOOM_WHOLE_FILE, whole},
                 {ID_ZOOM_IN, whole / 2}, {ID_ZOOM_ONE_FRAME, 1}};
    for (const auto& step : steps) {
        ASSERT_TRUE(frame.command(step.id)->isEnabled());
        frame.command(step.id)->trigger();
        EXPECT_EQ(view.m_framesPerColumn, step.framesPerColumn) << step.id;
    }
}

TEST_F(ViewCommands, OverviewIsOnByDefaultAndRemembersItsState) {
    {
        CMainFrame frame(&prompts);
        frame.show();
        frame.updateCommands();
        QAction* overview = frame.command(ID_VIEW_OVERVIEW);
        ASSERT_NE(overview, nullptr);
        EXPECT_EQ(overview->text(), QStringLiteral("O&verview"));
        EXPECT_TRUE(overview->isChecked());
        EXPECT_TRUE(frame.overview().isVisible());
        overview->trigger();
        EXPECT_FALSE(frame.overview().isVisible());
        EXPECT_FALSE(overview->isChecked());
        ASSERT_TRUE(frame.close());
    }
    {
        CMainFrame frame(&prompts);
        frame.show();
        frame.updateCommands();
        EXPECT_FALSE(frame.overview().isVisible());
        EXPECT_FALSE(frame.command(ID_VIEW_OVERVIEW)->isChecked());
        frame.command(ID_VIEW_OVERVIEW)->trigger();
        EXPECT_TRUE(frame.overview().isVisible());
    }
}

} // namespace
