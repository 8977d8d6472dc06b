#pragma once

#include <QDialog>

// The About box: the product line in bold Arial and the maker's notice.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
