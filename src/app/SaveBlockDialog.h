#pragma once

#include "document/WorkerSlot.h"
#include "view/QtWindowLink.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class ShellPrompts;
class SplitDocument;
class WindowLink;

// Lists the blocks of the loaded file and saves the ticked ones into a folder on a thread of its own.
// While it saves, the list and the buttons are disabled and the dialog cannot be closed.
class CSaveBlockDialog : public QDialog {
    Q_OBJECT
public:
    // Opening sorts the document's break points, as the rows are built from them.
    CSaveBlockDialog(SplitDocument& document, WindowLink& frame, ShellPrompts& prompts,
                     QWidget* parent = nullptr);
    ~CSaveBlockDialog() override;

    bool isSaving() const { return m_saveThread.isSet(); }
    QTreeWidget& list() const { return *m_list; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void chooseFolder();
    void setAllChecked(bool checked);
    void save();
    void setIdle(bool idle);

    SplitDocument& m_document;
    WindowLink& m_frame;
    ShellPrompts& m_prompts;
    QtWindowLink m_dialogLink;
    WorkerSlot m_saveThread;
    QTreeWidget* m_list;
    QLineEdit* m_folder;
    QPushButton* m_save;
    QPushButton* m_selectAll;
    QPushButton* m_selectNone;
};
