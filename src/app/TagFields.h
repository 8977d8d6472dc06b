#pragma once

#include "document/DocumentTypes.h"

#include <QString>

#include <optional>

class QGridLayout;
class QLineEdit;
class QWidget;

// The five tag edit boxes shared by the two tag dialogs, in the order album (1047), artist (1048),
// title (1049), year (1050) and comment (1051), with their labels, added to `grid`.
void addTagFields(QGridLayout& grid, QLineEdit* (&edits)[5]);
void showTag(QLineEdit* const (&edits)[5], const ID3Info& tag);
// The tag in the boxes; nothing when the year is no integer.
std::optional<ID3Info> readTag(QLineEdit* const (&edits)[5]);
