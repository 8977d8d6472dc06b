#include "app/TagFields.h"

#include "app/DialogInteger.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

void addTagFields(QGridLayout& grid, QLineEdit* (&edits)[5]) {
    const char* labels[5] = {"Album:", "Artist:", "Title:", "Year:", "Comment:"};
    for (int i = 0; i < 5; ++i) {
        edits[i] = new QLineEdit;
        edits[i]->setObjectName(QString::number(1047 + i));
        auto* label = new QLabel(QLatin1String(labels[i]));
        label->setBuddy(edits[i]);
        grid.addWidget(label, i, 0);
        grid.addWidget(edits[i], i, 1);
    }
}

void showTag(QLineEdit* const (&edits)[5], const ID3Info& tag) {
    edits[0]->setText(QString::fromStdString(tag.album));
    edits[1]->setText(QString::fromStdString(tag.artist));
    edits[2]->setText(QString::fromStdString(tag.title));
    edits[3]->setText(QString::number(tag.year));
    edits[4]->setText(QString::fromStdString(tag.comment));
}

std::optional<ID3Info> readTag(QLineEdit* const (&edits)[5]) {
    const auto year = parseDialogInteger(edits[3]->text());
    if (!year) {
        return std::nullopt;
    }
    ID3Info tag;
    tag.album = edits[0]->text().toStdString();
    tag.artist = edits[1]->text().toStdString();
    tag.title = edits[2]->text().toStdString();
    tag.year = *year;
    tag.comment = edits[4]->text().toStdString();
    return tag;
}
