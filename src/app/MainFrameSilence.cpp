#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/ShellChildView.h"
#include "app/SilenceDialog.h"
#include "app/SilenceOptions.h"

#include <QMenu>
#include <QSettings>

// The File menu's Find Silences: the dialog previews in the view, OK adds through the document.

void CMainFrame::addFindSilencesCommand(QMenu* menu) {
    addCommand(menu, ID_FIND_SILENCES, QStringLiteral("Find &Silences ..."),
               QStringLiteral("Add break points in the silences, with a preview"),
               &CMainFrame::onFindSilences);
}

void CMainFrame::onFindSilences() {
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    CSilenceDialog dialog(
        loadSilenceOptions(settings),
        [this](const SilenceSettings& chosen) { return m_view->findSilences(chosen); },
        [this](const std::vector<int>& frames) { m_view->setPreviewBreakPoints(frames); }, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const SilenceOptions options = dialog.options();
    saveSilenceOptions(settings, options);
    m_view->placeSilenceBreakPoints(options.settings, options.deleteOriginal);
}
