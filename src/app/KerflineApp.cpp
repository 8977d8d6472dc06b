#include "app/KerflineApp.h"

#include "kerfline/Version.h"
#include "app/AppIcon.h"
#include "app/KeyRepeat.h"
#include "app/MainFrame.h"
#include "app/MemorySettings.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "kerfline/Version.h"

#include <QDateTime>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <exception>

namespace {

// With KERFLINE_REPORT_SHOWN set, the program prints the wall-clock time (ms since the epoch) at
// which its main window (and its native id) was first exposed, so a script can measure start-up
// from outside and find the window.
class ShownReporter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isExposed()) {
                std::fprintf(stderr, "kerfline: window 0x%llx shown at %lld\n",
                             static_cast<unsigned long long>(window->winId()),
                             static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
                std::fflush(stderr);
                watched->removeEventFilter(this);
                deleteLater();
            }
        }
        return false;
    }
};

} // namespace

CKerflineApp::CKerflineApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Velquorn Technology"));
    setApplicationName(QStringLiteral("Kerfline"));
    // No display name: the platform would append it to every caption ("Error — Kerfline").
    setApplicationVersion(QLatin1String(kKerflineVersion));
    setWindowIcon(appIcon());
    // The view acts on a key's release: a held key must deliver one release, not one per repeat.
    requestDetectableAutoRepeat();
    // Lets the desktop match the window to its entry (and icon) on Wayland.
    setDesktopFileName(QStringLiteral("com.velquorn.Kerfline"));
}

CKerflineApp::~CKerflineApp() = default;

bool CKerflineApp::initInstance() {
    mp3::processDecoding().cache.setBudget(pcmBudgetSetting());
    try {
        m_mainFrame = std::make_unique<CMainFrame>();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"),
                              QStringLiteral("Kerfline could not create its main window: %1")
                                  .arg(QString::fromLocal8Bit(error.what())));
        return false;
    }
    if (!qEnvironmentVariableIsEmpty("KERFLINE_REPORT_SHOWN")) {
        m_mainFrame->winId();
        if (QWindow* window = m_mainFrame->windowHandle()) {
            window->installEventFilter(new ShownReporter(window));
        }
    }
    m_mainFrame->show();
    return true;
}

void CKerflineApp::openWhenShown(const QString& path) {
    // Queued, so the window is on the screen before a box of the open routine can appear over it.
    QTimer::singleShot(0, m_mainFrame.get(), [frame = m_mainFrame.get(), path] { frame->openListed(path); });
}
