#include "app/ID3TagEditor.h"

#include "app/DialogParts.h"
#include "app/EnterID3TagDialog.h"
#include "app/TagFields.h"
#include "document/BlockTags.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CID3TagEditor::CID3TagEditor(const ID3Info& mainTag, std::vector<BlockTag> blockTags, int rowCount,
                             ShellPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_template(mainTag), m_tags(std::move(blockTags)),
      m_rowCount(rowCount), m_list(new QTreeWidget) {
    setWindowTitle(QStringLiteral("ID3 Tag"));

    auto* group = new QGroupBox(QStringLiteral("Main ID3 tag:"));
    auto* grid = new QGridLayout(group);
    addTagFields(*grid, m_edits);
    auto* tagButtons = new QHBoxLayout;
    tagButtons->addStretch(1);
    QPushButton* resetButton = makeButton(1056, QStringLiteral("Re&set"), this);
    QPushButton* clearButton = makeButton(1057, QStringLiteral("C&lear"), this);
    tagButtons->addWidget(resetButton);
    tagButtons->addWidget(clearButton);
    grid->addLayout(tagButtons, 5, 0, 1, 2);

    m_list->setObjectName(QStringLiteral("1000"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Album"), QStringLiteral("Artist"),
                             QStringLiteral("Title"), QStringLiteral("Year"), QStringLiteral("Comment")});
    const int widths[6] = {50, 100, 100, 100, 50, 200};
    for (int column = 0; column < 6; ++column) {
        m_list->setColumnWidth(column, widths[column]);
    }
    auto* listLabel = new QLabel(QStringLiteral("Block list:"));
    listLabel->setBuddy(m_list);

    auto* listButtons = new QHBoxLayout;
    QPushButton* applyButton = makeButton(1052, QStringLiteral("&Apply All"), this);
    QPushButton* removeButton = makeButton(1053, QStringLiteral("&Remove All"), this);
    QPushButton* editButton = makeButton(1058, QStringLiteral("&Edit"), this);
    listButtons->addWidget(applyButton);
    listButtons->addWidget(removeButton);
    listButtons->addWidget(editButton);
    listButtons->addStretch(1);

    QDialogButtonBox* buttons = makeOkCancel(this, QStringLiteral("OK"), QStringLiteral("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addLayout(listButtons);
    layout->addWidget(buttons);
    resize(640, 560);

    connect(resetButton, &QPushButton::clicked, this, &CID3TagEditor::reset);
    connect(clearButton, &QPushButton::clicked, this, &CID3TagEditor::clear);
    connect(applyButton, &QPushButton::clicked, this, &CID3TagEditor::applyAll);
    connect(removeButton, &QPushButton::clicked, this, &CID3TagEditor::removeAll);
    connect(editButton, &QPushButton::clicked, this, &CID3TagEditor::editSelected);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CID3TagEditor::editSelected);

    reset();
    fillList();
}

void CID3TagEditor::fillList() {
    m_list->clear();
    for (int row = 0; row < m_rowCount; ++row) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QStringLiteral("No.%1").arg(row + 1));
        try {
            const ID3Info& tag = findBlockTag(m_tags, row);
            item->setText(1, QString::fromStdString(tag.album));
            item->setText(2, QString::fromStdString(tag.artist));
            item->setText(3, QString::fromStdString(tag.title));
            item->setText(4, QString::number(tag.year));
            item->setText(5, QString::fromStdString(tag.comment));
        } catch (const BlockNotFound&) {
            // A block without a record shows only its number.
        }
    }
}

void CID3TagEditor::reset() {
    showTag(m_edits, m_template);
}

void CID3TagEditor::clear() {
    showTag(m_edits, ID3Info{});
}

void CID3TagEditor::applyAll() {
    const auto tag = readTag(m_edits);
    if (!tag) {
        refuseNonInteger(m_prompts, m_edits[3]);
        return;
    }
    applyTagToAllBlocks(m_tags, m_rowCount, *tag);
    fillList();
}

void CID3TagEditor::removeAll() {
    m_tags.clear();
    fillList();
}

void CID3TagEditor::editSelected() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return;
    }
    const int row = m_list->indexOfTopLevelItem(item);
    CEnterID3TagDialog dialog(blockTagOrEmpty(m_tags, row), m_prompts, this);
    if (dialog.exec() == QDialog::Accepted) {
        setBlockTag(m_tags, row, dialog.tag());
        fillList();
    }
}
