#include "app/SaveBlockDialog.h"

#include "app/DialogParts.h"
#include "app/QtPath.h"
#include "app/ShellPrompts.h"
#include "document/SplitDocument.h"
#include "output/SaveBlocks.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kBlockRole = Qt::UserRole;
}

CSaveBlockDialog::CSaveBlockDialog(SplitDocument& document, WindowLink& frame, ShellPrompts& prompts,
                                   QWidget* parent)
    : QDialog(parent), m_document(document), m_frame(frame), m_prompts(prompts),
      m_dialogLink(this, [this](unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) { return handleMessage(message, wParam, lParam); }),
      m_list(new QTreeWidget), m_folder(new QLineEdit),
      m_save(makeButton(1001, QStringLiteral("&Save"), this)),
      m_selectAll(makeButton(1002, QStringLiteral("Select &All"), this)),
      m_selectNone(makeButton(1003, QStringLiteral("Select &None"), this)) {
    setWindowTitle(QStringLiteral("Save blocks"));
    m_list->setObjectName(QStringLiteral("1000"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Range"), QStringLiteral("Size"),
                             QStringLiteral("Time Len.")});
    const int widths[4] = {50, 230, 100, 100};
    for (int column = 0; column < 4; ++column) {
        m_list->setColumnWidth(column, widths[column]);
    }
    m_folder->setObjectName(QStringLiteral("1004"));
    QPushButton* browse = makeButton(1005, QStringLiteral("?"), this);
    browse->setFixedWidth(32);
    QPushButton* close = makeButton(2, QStringLiteral("&Close"), this);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Output folder:")));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_selectAll);
    buttons->addWidget(m_selectNone);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(folderRow);
    layout->addLayout(buttons);
    resize(560, 460);

    connect(browse, &QPushButton::clicked, this, &CSaveBlockDialog::chooseFolder);
    connect(m_selectAll, &QPushButton::clicked, this, [this] { setAllChecked(true); });
    connect(m_selectNone, &QPushButton::clicked, this, [this] { setAllChecked(false); });
    connect(m_save, &QPushButton::clicked, this, &CSaveBlockDialog::save);
    connect(close, &QPushButton::clicked, this, &CSaveBlockDialog::reject);

    for (const BlockRow& row : buildBlockRows(m_document)) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(row.number));
        item->setText(1, QString::fromStdString(row.range));
        item->setText(2, QString::fromStdString(row.size));
        item->setText(3, QString::fromStdString(row.timeLength));
        item->setData(0, kBlockRole, QVariantList{row.block.from, row.block.to});
        item->setCheckState(0, Qt::Unchecked);
        // A removed block is no part of the result: shown greyed, and never ticked.
        if (row.removed) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
            item->setToolTip(1, QStringLiteral("Removed block"));
        }
    }
    // With a name template, the names the rows will get, for the user to see before saving.
    const std::vector<std::string> names = templatedRowNames(m_document, m_list->topLevelItemCount());
    if (!names.empty()) {
        m_list->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Range"), QStringLiteral("Size"),
                                 QStringLiteral("Time Len."), QStringLiteral("Name")});
        m_list->setColumnWidth(4, 200);
        for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
            m_list->topLevelItem(row)->setText(4,
                                               QString::fromStdString(names[static_cast<std::size_t>(row)]));
        }
    }
    // Beside the check box, 50 pixels hold no number from row 10 on: widen to the last, largest one.
    if (const int rows = m_list->topLevelItemCount(); rows > 0) {
        const int needed = m_list->sizeHintForIndex(m_list->model()->index(rows - 1, 0)).width();
        m_list->setColumnWidth(0, std::max(widths[0], needed));
    }
}

CSaveBlockDialog::~CSaveBlockDialog() = default;

void CSaveBlockDialog::chooseFolder() {
    if (const auto folder = m_prompts.chooseFolder("Choose a folder for output:")) {
        m_folder->setText(toQString(*folder));
        m_folder->setFocus();
    }
}

void CSaveBlockDialog::setAllChecked(bool checked) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->flags().testFlag(Qt::ItemIsUserCheckable)) {
            item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        }
    }
}

void CSaveBlockDialog::save() {
    const std::filesystem::path folder = toPath(m_folder->text());
    if (!outputFolderExists(folder)) {
        m_prompts.messageBox("Before you save mp3 block, please setup an output folder!", "Error",
                             MessageIcon::Error);
        return;
    }
    std::vector<CheckedRow> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked) {
            const QVariantList block = item->data(0, kBlockRole).toList();
            rows.push_back({i + 1, Block{block.value(0).toInt(), block.value(1).toInt()}});
        }
    }
    setIdle(false);
    if (!startSpecifiedBlocksSave(
            m_saveThread,
            specifiedBlocksJob(m_document, folder, std::move(rows), m_list->topLevelItemCount()), m_frame,
            m_dialogLink)) {
        setIdle(true);
    }
}

std::intptr_t CSaveBlockDialog::handleMessage(unsigned message, std::uintptr_t, std::intptr_t) {
    if (message == UM_SAVE_ALL_DONE) {
        m_saveThread.clear();
        setIdle(true);
        m_prompts.messageBox("Separated block have been saved!", "Information", MessageIcon::Information);
    }
    return 0;
}

void CSaveBlockDialog::setIdle(bool idle) {
    m_list->setEnabled(idle);
    m_save->setEnabled(idle);
    m_selectAll->setEnabled(idle);
    m_selectNone->setEnabled(idle);
}

void CSaveBlockDialog::reject() {
    // Escape, the close box and "&Close" wait until the saving thread has finished.
    if (!isSaving()) {
        QDialog::reject();
    }
}

void CSaveBlockDialog::closeEvent(QCloseEvent* event) {
    if (isSaving()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
