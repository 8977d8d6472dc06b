#include "app/PreferencesStandardPage.h"

#include "app/DialogParts.h"
#include "app/QtPath.h"
#include "app/ShellPrompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

template <typename Widget> Widget* withId(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QLabel* iconLabel(QWidget* page, QStyle::StandardPixmap pixmap) {
    auto* label = new QLabel;
    label->setPixmap(page->style()->standardIcon(pixmap).pixmap(32, 32));
    label->setAlignment(Qt::AlignTop);
    return label;
}

QString fromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

} // namespace

CPreferencesStandardPage::CPreferencesStandardPage(const Preferences& preferences, ShellPrompts& prompts,
                                                   QWidget* parent)
    : QWidget(parent), m_preferences(preferences), m_prompts(prompts),
      m_saveLog(withId(new QCheckBox(QStringLiteral("Please save log file")), 1008)),
      m_logLabel(withId(new QLabel(QStringLiteral("Log filename:")), 1013)),
      m_logFile(withId(new QLineEdit, 1009)),
      m_logBrowse(makeButton(1010, QStringLiteral("&Browse"), nullptr)),
      m_useFolder(
          withId(new QCheckBox(QStringLiteral("Use the following folder for small pieces output")), 1014)),
      m_folderLabel(withId(new QLabel(QStringLiteral("Default output folder:")), 1015)),
      m_folder(withId(new QLineEdit, 1011)),
      m_folderBrowse(makeButton(1012, QStringLiteral("&Browse"), nullptr)) {
    auto* logGroup = new QGroupBox(QStringLiteral("Log file:"));
    auto* logGrid = new QGridLayout(logGroup);
    logGrid->addWidget(m_saveLog, 0, 0, 1, 3);
    logGrid->addWidget(iconLabel(this, QStyle::SP_FileDialogDetailedView), 1, 0, 3, 1);
    logGrid->addWidget(m_logLabel, 1, 1, 1, 2);
    logGrid->addWidget(m_logFile, 2, 1, 1, 2);
    logGrid->addWidget(m_logBrowse, 3, 2, Qt::AlignRight);
    logGrid->setColumnStretch(1, 1);

    auto* folderGroup = new QGroupBox(QStringLiteral("Default output folder:"));
    auto* folderGrid = new QGridLayout(folderGroup);
    folderGrid->addWidget(m_useFolder, 0, 0, 1, 3);
    folderGrid->addWidget(iconLabel(this, QStyle::SP_DirIcon), 1, 0, 3, 1);
    folderGrid->addWidget(m_folderLabel, 1, 1, 1, 2);
    folderGrid->addWidget(m_folder, 2, 1, 1, 2);
    folderGrid->addWidget(m_folderBrowse, 3, 2, Qt::AlignRight);
    folderGrid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logGroup);
    layout->addWidget(folderGroup);
    layout->addStretch(1);

    m_logFile->setText(fromU16(m_preferences.LogFileName));
    m_folder->setText(fromU16(m_preferences.DefaultOutputFolder));
    m_saveLog->setChecked(m_preferences.IsSaveLog);
    m_useFolder->setChecked(m_preferences.UseDefaultFolder);
    updateEnabling();

    connect(m_saveLog, &QCheckBox::clicked, this, &CPreferencesStandardPage::updateEnabling);
    connect(m_useFolder, &QCheckBox::clicked, this, &CPreferencesStandardPage::updateEnabling);
    connect(m_logBrowse, &QPushButton::clicked, this, &CPreferencesStandardPage::browseLogFile);
    connect(m_folderBrowse, &QPushButton::clicked, this, &CPreferencesStandardPage::browseFolder);
}

void CPreferencesStandardPage::updateEnabling() {
    const bool saveLog = m_saveLog->isChecked();
    m_logFile->setEnabled(saveLog);
    m_logLabel->setEnabled(saveLog);
    m_logBrowse->setEnabled(saveLog);
    const bool useFolder = m_useFolder->isChecked();
    m_folder->setEnabled(useFolder);
    m_folderLabel->setEnabled(useFolder);
    m_folderBrowse->setEnabled(useFolder);
}

void CPreferencesStandardPage::browseLogFile() {
    const auto path =
        m_prompts.chooseSaveFile("Log file(*.log)|*.log||", "log", "", ShellPrompts::Overwrite::Ask);
    if (!path) {
        return;
    }
    m_logFile->setText(toQString(*path));
    m_logFile->setFocus();
}

void CPreferencesStandardPage::browseFolder() {
    const auto folder = m_prompts.chooseFolder("");
    if (!folder) {
        return;
    }
    m_folder->setText(toQString(*folder));
    m_folder->setFocus();
}

void CPreferencesStandardPage::storeControls() {
    m_preferences.UseDefaultFolder = m_useFolder->isChecked();
    m_preferences.IsSaveLog = m_saveLog->isChecked();
    m_preferences.DefaultOutputFolder = m_folder->text().toStdU16String();
    m_preferences.LogFileName = m_logFile->text().toStdU16String();
}
