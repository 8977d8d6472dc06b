#pragma once

#include "document/DocumentTypes.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QTreeWidget;
class ShellPrompts;

// The tag editor: a scratch tag in five edit boxes, started from the loaded file's tag, and the list
// of blocks with their tags. Works on a copy of the block tags; the caller takes them back on OK.
class CID3TagEditor : public QDialog {
    Q_OBJECT
public:
    CID3TagEditor(const ID3Info& mainTag, std::vector<BlockTag> blockTags, int rowCount,
                  ShellPrompts& prompts, QWidget* parent = nullptr);

    const std::vector<BlockTag>& tags() const { return m_tags; }
    QTreeWidget& list() const { return *m_list; }

private:
    void fillList();
    void reset();
    void clear();
    void applyAll();
    void removeAll();
    void editSelected();

    ShellPrompts& m_prompts;
    const ID3Info m_template;
    std::vector<BlockTag> m_tags;
    const int m_rowCount;
    QLineEdit* m_edits[5];
    QTreeWidget* m_list;
};
