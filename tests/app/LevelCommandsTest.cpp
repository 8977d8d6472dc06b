#include "AppTestSupport.h"

#include "app/CommandIds.h"
#include "app/FadeDialog.h"
#include "app/GainDialog.h"
#include "app/MainFrame.h"
#include "support/PacedSoundOutput.h"
#include "view/ChildView.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class LevelCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_test::resetUserState();
        CChildView& view = frame.view();
        view.m_frameLevels.assign(1000, 1000);
        view.m_framePeaks.assign(1000, 8192); // -12 dBFS: 8 steps to full scale
        view.m_sampleRate = 44100;
        view.m_samplesPerFrame = 1152;
        view.replaceBreakPoints({100, 200});
        frame.updateCommands();
    }
    void keyRelease(Qt::Key key, const QString& text) {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&frame.view(), &event);
    }

    app_test::RecordingShellPrompts prompts;
    CMainFrame frame{&prompts, std::make_unique<PacedSoundOutput>()};
};

TEST_F(LevelCommandsTest, GainAndFadeCloseTheEditMenuAndFollowRuleA) {
    QMenu* edit = nullptr;
    for (QAction* entry : frame.menuBar()->actions()) {
        if (entry->text() == QStringLiteral("&Edit")) {
            edit = entry->menu();
        }
    }
    ASSERT_NE(edit, nullptr);
    const QList<QAction*> entries = edit->actions();
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries[entries.size() - 3], frame.command(ID_EDIT_GAIN));
    EXPECT_EQ(entries[entries.size() - 2], frame.command(ID_EDIT_FADE));
    EXPECT_EQ(entries.back(), frame.command(ID_EDIT_NORMALISE));
    EXPECT_EQ(frame.command(ID_EDIT_GAIN)->text(), QStringLiteral("&Gain ..."));
    EXPECT_EQ(frame.command(ID_EDIT_FADE)->text(), QStringLiteral("&Fade In/Out ..."));
    EXPECT_TRUE(frame.command(ID_EDIT_GAIN)->isEnabled());
    frame.view().m_frameLevels.clear();
    frame.updateCommands();
    EXPECT_FALSE(frame.command(ID_EDIT_GAIN)->isEnabled());
    EXPECT_FALSE(frame.command(ID_EDIT_FADE)->isEnabled());
    EXPECT_FALSE(frame.command(ID_EDIT_NORMALISE)->isEnabled());
}

TEST_F(LevelCommandsTest, GainDialogSaysBeforehandWhetherAndByHowMuchItClips) {
    CChildView& view = frame.view();
    view.m_selectedBreakPoint = 100;
    QString shownAtFirst;
    QString clipping;
    QString subject;
    app_test::whenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<CGainDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        shownAtFirst = dialog->warning();
        dialog->setSteps(10); // 15.1 dB on a -12 dBFS peak
        clipping = dialog->warning();
        EXPECT_TRUE(dialog->clips());
        dialog->setSteps(-3);
        dialog->accept();
    });
    frame.command(ID_EDIT_GAIN)->trigger();
    EXPECT_EQ(shownAtFirst, QStringLiteral("The loudest sample will be at -12.0 dBFS."));
    EXPECT_EQ(clipping, QStringLiteral("This gain clips: the loudest sample goes 3.0 dB over full scale."));
    EXPECT_EQ(view.blockEdit(1).gainSteps, -3);
    EXPECT_EQ(view.blockEdit(0).gainSteps, 0);
    ASSERT_TRUE(view.undoEdit());
    EXPECT_EQ(view.blockEdit(1).gainSteps, 0);
}

TEST_F(LevelCommandsTest, WithoutASelectionTheDialogsWorkOnTheWholeFile) {
    CChildView& view = frame.view();
    app_test::whenModal([](QWidget* widget) {
        auto* dialog = qobject_cast<CGainDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        dialog->setSteps(2);
        dialog->accept();
    });
    frame.command(ID_EDIT_GAIN)->trigger();
    EXPECT_EQ(view.commonGain(), std::optional<int>(2));

    app_test::whenModal([](QWidget* widget) {
        auto* dialog = qobject_cast<CFadeDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        dialog->setFades(1500, 2500);
        dialog->accept();
    });
    frame.command(ID_EDIT_FADE)->trigger();
    EXPECT_EQ(view.blockEdit(0).fadeInMs, 1500);
    EXPECT_EQ(view.blockEdit(2).fadeOutMs, 2500);
    EXPECT_EQ(view.blockEdit(1).fadeInMs, 0);

    // Blocks with gains of their own: the dialog adds to each.
    view.setGain(1, 5);
    app_test::whenModal([](QWidget* widget) {
        auto* dialog = qobject_cast<CGainDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->steps(), 0);
        dialog->setSteps(-1);
        dialog->accept();
    });
    frame.command(ID_EDIT_GAIN)->trigger();
    EXPECT_EQ(view.blockEdit(0).gainSteps, 1);
    EXPECT_EQ(view.blockEdit(1).gainSteps, 4);
}

TEST_F(LevelCommandsTest, PlusAndMinusKeysStepTheSelectedBlock) {
    CChildView& view = frame.view();
    view.m_selectedBreakPoint = 200;
    keyRelease(Qt::Key_Plus, QStringLiteral("+"));
    keyRelease(Qt::Key_Plus, QStringLiteral("+"));
    keyRelease(Qt::Key_Minus, QStringLiteral("-"));
    EXPECT_EQ(view.blockEdit(2).gainSteps, 1);
    EXPECT_EQ(view.blockEdit(1).gainSteps, 0);
    // Ctrl with them zooms; it changes no gain.
    QKeyEvent zoom(QEvent::KeyRelease, Qt::Key_Plus, Qt::ControlModifier, QStringLiteral("+"));
    QApplication::sendEvent(&view, &zoom);
    EXPECT_EQ(view.blockEdit(2).gainSteps, 1);
    ASSERT_TRUE(view.undoEdit());
    EXPECT_EQ(view.blockEdit(2).gainSteps, 2);
}

} // namespace
