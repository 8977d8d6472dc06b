#include "AppTestSupport.h"

#include "app/MainFrame.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// The letter after the single '&' of a menu text ("&&" is a literal ampersand); 0 when there is none.
QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') {
            continue;
        }
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Every letter used by more than one entry of `actions`, with the entries' texts.
std::vector<std::string> repeatedMnemonics(const QString& menuName, const QList<QAction*>& actions) {
    std::map<QChar, QStringList> byLetter;
    for (const QAction* action : actions) {
        const QChar letter = mnemonicOf(action->text());
        if (!action->isSeparator() && !letter.isNull()) {
            byLetter[letter].push_back(action->text());
        }
    }
    std::vector<std::string> repeated;
    for (const auto& [letter, texts] : byLetter) {
        if (texts.size() > 1) {
            repeated.push_back(menuName.toStdString() + ": " +
                               texts.join(QStringLiteral(" | ")).toStdString());
        }
    }
    return repeated;
}

void collect(const QString& name, const QList<QAction*>& actions, std::vector<std::string>& repeated) {
    for (const std::string& line : repeatedMnemonics(name, actions)) {
        repeated.push_back(line);
    }
    for (const QAction* action : actions) {
        if (action->menu() != nullptr) {
            collect(name + QStringLiteral(" > ") + action->text(), action->menu()->actions(), repeated);
        }
    }
}

// Alt plus a letter must reach one item: a shared letter only highlights, so Alt+F, X would not exit.
TEST(MenuMnemonics, NoMenuRepeatsALetter) {
    app_test::resetUserState();
    app_test::RecordingShellPrompts prompts;
    CMainFrame frame(&prompts);
    const QList<QAction*> top = frame.menuBar()->actions();
    ASSERT_GE(top.size(), 4);
    std::vector<std::string> repeated;
    collect(QStringLiteral("menu bar"), top, repeated);
    EXPECT_EQ(repeated, std::vector<std::string>{});

    // The letters users know stay where they were.
    for (QAction* menu : top) {
        if (menu->text() != QStringLiteral("&File")) {
            continue;
        }
        QStringList texts;
        for (const QAction* action : menu->menu()->actions()) {
            texts.push_back(action->text());
        }
        EXPECT_TRUE(texts.contains(QStringLiteral("E&xit"))) << texts.join(u',').toStdString();
    }
    // The check itself: a shared letter is found, "&&" is no mnemonic.
    QMenu probe;
    probe.addAction(QStringLiteral("E&xport"));
    probe.addAction(QStringLiteral("Save && E&xit"));
    EXPECT_EQ(repeatedMnemonics(QStringLiteral("probe"), probe.actions()).size(), 1u);
}

} // namespace
