#include "AppTestSupport.h"

#include "app/AboutDialog.h"
#include "app/AddBreakPointDialog.h"
#include "app/CommandIds.h"
#include "app/DialogInteger.h"
#include "app/FileFilter.h"
#include "app/MainFrame.h"
#include "app/MoreBreakPointsDialog.h"
#include "view/ChildView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

template <typename T = QWidget> T* control(QWidget& parent, int id) {
    T* widget = parent.findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

void clickArrow(QWidget& dialog, int upDownId, Qt::ArrowType arrow) {
    for (QToolButton* button : control(dialog, upDownId)->findChildren<QToolButton*>()) {
        if (button->arrowType() == arrow) {
            button->click();
        }
    }
}

TEST(DialogInteger, AcceptsSignedWholeNumbersWithBlanksAround) {
    const std::vector<std::pair<QString, std::optional<int>>> cases = {
        {"12", 12},
        {" 12\t", 12},
        {"-3", -3},
        {"+4", 4},
        {"0", 0},
        {"-2147483648", INT_MIN},
        {"2147483647", INT_MAX},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"abc", std::nullopt},
        {"1 2", std::nullopt},
        {"-", std::nullopt},
        {"1.5", std::nullopt},
        {"2147483648", std::nullopt},
        {"12a", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parseDialogInteger(text), value) << text.toStdString();
    }
}

TEST(FileFilter, BecomesQtsFilterForm) {
    EXPECT_EQ(toQtFilter("MP3 files(*.mp3)|*.mp3||"), QStringLiteral("MP3 files(*.mp3)"));
    EXPECT_EQ(toQtFilter("MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||"),
              QStringLiteral("MP3 files(*.mp3);;Any files(*.*)"));
    EXPECT_EQ(toQtFilter("Sound|*.mp3;*.wav||"), QStringLiteral("Sound (*.mp3 *.wav)"));
}

TEST(AddBreakPointDialog, TakesAnyFrameAndRefusesText) {
    app_test::RecordingShellPrompts prompts;
    CAddBreakPointDialog dialog(120, 999, prompts);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add break point"));
    QLineEdit* edit = control<QLineEdit>(dialog, 1006);
    EXPECT_EQ(edit->text(), QStringLiteral("120"));

    edit->setText("abc");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "Enter a frame number or a time, such as 45962, 1:02:03.5 or 62.5s.");
    EXPECT_TRUE(dialog.isVisible());

    edit->setText("5000");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.frame(), 5000) << "beyond the last frame, taken as typed";
}

TEST(AddBreakPointDialog, ArrowsStayWithinTheFrames) {
    app_test::RecordingShellPrompts prompts;
    CAddBreakPointDialog dialog(998, 999, prompts);
    QLineEdit* edit = control<QLineEdit>(dialog, 1006);
    clickArrow(dialog, 1007, Qt::UpArrow);
    EXPECT_EQ(edit->text(), QStringLiteral("999"));
    clickArrow(dialog, 1007, Qt::UpArrow);
    EXPECT_EQ(edit->text(), QStringLiteral("999"));
    edit->setText("0");
    clickArrow(dialog, 1007, Qt::DownArrow);
    EXPECT_EQ(edit->text(), QStringLiteral("0"));
    edit->setText("-40");
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), QStringLiteral("1")) << "a typed value outside the range steps from its bound";
}

TEST(MoreBreakPointsDialog, RadioButtonsEnableTheirGroups) {
    app_test::RecordingShellPrompts prompts;
    CMoreBreakPointsDialog dialog(prompts);
    dialog.show();
    EXPECT_TRUE(control<QRadioButton>(dialog, 1025)->isChecked());
    EXPECT_EQ(control<QLineEdit>(dialog, 1029)->text(), QStringLiteral("25"));
    EXPECT_EQ(control<QLineEdit>(dialog, 1027)->text(), QStringLiteral("3"));
    EXPECT_EQ(control<QLineEdit>(dialog, 1032)->text(), QStringLiteral("10"));
    const std::vector<std::vector<int>> groups = {
        {1035, 1029, 1030, 1038}, {1036, 1027, 1028, 1039}, {1037, 1032, 1033, 1040}};
    const auto expectEnabled = [&](std::size_t chosen) {
        for (std::size_t g = 0; g < groups.size(); ++g) {
            for (const int id : groups[g]) {
                EXPECT_EQ(control(dialog, id)->isEnabled(), g == chosen) << id;
            }
        }
    };
    expectEnabled(0);
    control<QRadioButton>(dialog, 1031)->click();
    expectEnabled(2);
    control<QRadioButton>(dialog, 1026)->click();
    expectEnabled(1);

    control<QLineEdit>(dialog, 1027)->setText("x");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "Enter an integer.");
    EXPECT_TRUE(dialog.isVisible());

    control<QLineEdit>(dialog, 1027)->setText("-4");
    control<QCheckBox>(dialog, 1034)->click();
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.method(), AutoMethod::EqualCount);
    EXPECT_EQ(dialog.value(), -4);
    EXPECT_TRUE(dialog.m_deleteOriginal);
}

TEST(AboutDialog, ShowsTheProductLineInBoldArial) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Kerfline 4.0 ..."));
    QLabel* product = control<QLabel>(dialog, 1016);
    EXPECT_EQ(product->text(), QStringLiteral("Kerfline 4.0"));
    EXPECT_TRUE(product->font().bold());
    EXPECT_EQ(product->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(product->font().pixelSize(), 18);
    EXPECT_FALSE(control<QLabel>(dialog, 1017)->text().isEmpty());
    EXPECT_EQ(control<QPushButton>(dialog, 1)->text(), QStringLiteral("&Close"));
}

class FrameDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { app_test::resetUserState(); }
    app_test::RecordingShellPrompts prompts;
};

TEST_F(FrameDialogsTest, PreferencesCommandReplacesTheRecordOnlyOnOk) {
    CMainFrame frame(&prompts);
    const Preferences before = frame.view().preferences();

    app_test::whenModal([](QWidget* sheet) {
        sheet->findChild<QLineEdit*>("1009")->setText("/tmp/cancelled.log");
        QTest::mouseClick(sheet->findChild<QPushButton*>("2"), Qt::LeftButton);
    });
    frame.command(ID_PREFERENCES)->trigger();
    EXPECT_EQ(frame.view().preferences(), before);

    app_test::whenModal([](QWidget* sheet) {
        sheet->findChild<QLineEdit*>("1009")->setText("/tmp/chosen.log");
        sheet->findChild<QTabWidget*>()->setCurrentIndex(1);
        sheet->findChild<QLineEdit*>("1041")->setText("7");
        QTest::mouseClick(sheet->findChild<QPushButton*>("1"), Qt::LeftButton);
    });
    frame.command(ID_PREFERENCES)->trigger();
    EXPECT_EQ(frame.view().preferences().LogFileName, u"/tmp/chosen.log");
    EXPECT_EQ(frame.view().preferences().OverlapSecs, 7);
}

TEST_F(FrameDialogsTest, AddBreakPointCommandOffersTheCursorAndTheFrameRange) {
    CMainFrame frame(&prompts);
    frame.view().m_frameLevels.assign(50, 300);
    frame.updateCommands();
    QString shown;
    app_test::whenModal([&](QWidget* dialog) {
        shown = dialog->findChild<QLineEdit*>("1006")->text();
        for (int i = 0; i < 60; ++i) {
            for (QToolButton* button : dialog->findChild<QWidget*>("1007")->findChildren<QToolButton*>()) {
                if (button->arrowType() == Qt::UpArrow) {
                    button->click();
                }
            }
        }
        shown += " " + dialog->findChild<QLineEdit*>("1006")->text();
        QTest::mouseClick(dialog->findChild<QPushButton*>("2"), Qt::LeftButton);
    });
    frame.command(ID_ADD_BREAKPOINT)->trigger();
    EXPECT_EQ(shown, QStringLiteral("0 49"));
}

} // namespace
