#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/ShellChildView.h"
#include "app/SilenceDialog.h"
#include "app/SilenceOptions.h"

#include <QMenu>
#include <QPointer>
#include <QSettings>

// The File menu's Find Silences: the dialog stays open beside the view and previews in it; OK adds
// through the document.

void CMainFrame::addFindSilencesCommand(QMenu* menu) {
    addCommand(menu, ID_FIND_SILENCES, QStringLiteral("Find &Silences ..."),
               QStringLiteral("Add break points in the silences, with a preview"),
               &CMainFrame::onFindSilences);
}

void CMainFrame::onFindSilences() {
    if (m_silenceDialog) {
        m_silenceDialog->raise();
        m_silenceDialog->activateWindow();
        return;
    }
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    // The dialog may outlive the view while the window closes.
    const QPointer<CChildView> view(m_view);
    m_silenceSubject = silenceSubject(*m_view);
    auto* dialog = new CSilenceDialog(
        loadSilenceOptions(settings),
        [view](const SilenceSettings& chosen) {
            // While a load runs, the levels belong to the loading thread.
            return view && !view->m_loadThread.isSet() ? view->findSilences(chosen) : SilenceResult{};
        },
        [view](const std::vector<int>& frames) {
            if (view) {
                view->setPreviewBreakPoints(frames);
            }
        },
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->setExistingCount([view] {
        return view && !view->m_loadThread.isSet() ? static_cast<int>(view->m_breakPoints.size()) : 0;
    });
    dialog->setApply([this](const SilenceOptions& options) { return applySilences(options); });
    m_silenceDialog = dialog;
    dialog->show();
}

void CMainFrame::syncSilenceDialog() {
    if (!m_silenceDialog) {
        return;
    }
    const SilenceSubject now = silenceSubject(*m_view);
    if (now == m_silenceSubject) {
        return;
    }
    const bool sameLevels = now.loadGeneration == m_silenceSubject.loadGeneration &&
                            now.loading == m_silenceSubject.loading &&
                            now.frameCount == m_silenceSubject.frameCount;
    m_silenceSubject = now;
    // Another file (or the end of its load) means other silences; an edit changes only the count.
    if (sameLevels) {
        m_silenceDialog->updateCount();
    } else {
        m_silenceDialog->refresh();
    }
}

bool CMainFrame::applySilences(const SilenceOptions& options) {
    if (silenceSubject(*m_view) != m_silenceSubject) {
        syncSilenceDialog();
        m_view->log(LogLevel::Error,
                    "The file or its break points changed while Find Silences was open: the preview has been "
                    "updated, nothing has been added yet");
        return false;
    }
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    saveSilenceOptions(settings, options);
    m_view->placeSilenceBreakPoints(options.settings, options.deleteOriginal);
    return true;
}
