#include "app/AboutDialog.h"

#include "app/AppIcon.h"
#include "app/DialogParts.h"
#include "kerfline/Version.h"

#include "kerfline/Version.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr auto kProductLine = kKerflineProductLine;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About %1 ...").arg(QLatin1String(kProductLine)));
    auto* icon = new QLabel;
    icon->setPixmap(appIcon().pixmap(32, 32));
    auto* product = new QLabel(QLatin1String(kProductLine));
    product->setObjectName(QStringLiteral("1016"));
    product->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(18);
    font.setBold(true);
    product->setFont(font);
    auto* notice = new QLabel(QStringLiteral("Copyright (C) Velquorn Technology. Cuts MP3 files into pieces "
                                             "without re-encoding."));
    notice->setObjectName(QStringLiteral("1017"));
    notice->setWordWrap(true);
    QPushButton* close = makeButton(1, QStringLiteral("&Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(product, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(close, 2, 1, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(380);
}
