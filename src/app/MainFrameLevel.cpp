#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/FadeDialog.h"
#include "app/GainDialog.h"
#include "app/NormaliseDialog.h"
#include "app/ShellChildView.h"
#include "engine/LevelMap.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <optional>
#include <string>
#include <utility>

// The Edit menu's Gain and Fade In/Out: for the selected block (the one its break point's 'S' button
// saves) or, with none selected, the whole file. The document makes each change one undo step.

namespace {

QString subjectOf(const CChildView& view, int block) {
    if (block < 0) {
        return QStringLiteral("The whole file");
    }
    const std::vector<int> starts = view.blockStarts();
    const auto index = static_cast<std::size_t>(block);
    const int end = index + 1 < starts.size() ? starts[index + 1] : view.frameCount();
    return QStringLiteral("Block %1 F - %2 F").arg(starts[index]).arg(end);
}

} // namespace

void CMainFrame::addLevelCommands() {
    QMenu* edit = nullptr;
    for (QAction* entry : menuBar()->actions()) {
        if (entry->text() == QStringLiteral("&Edit")) {
            edit = entry->menu();
        }
    }
    if (edit == nullptr) {
        return;
    }
    edit->addSeparator();
    addCommand(
        edit, ID_EDIT_GAIN, QStringLiteral("&Gain ..."),
        QStringLiteral("Change the level of the selected block, or of the whole file, in 1.5 dB steps"),
        &CMainFrame::onGain);
    addCommand(edit, ID_EDIT_FADE, QStringLiteral("&Fade In/Out ..."),
               QStringLiteral("Fade the selected block, or the whole file, in and out"), &CMainFrame::onFade);
    addCommand(edit, ID_EDIT_NORMALISE, QStringLiteral("&Normalise ..."),
               QStringLiteral("Bring the selected block, or the whole file, to a peak or a loudness"),
               &CMainFrame::onNormalise);
}

void CMainFrame::onGain() {
    CChildView& view = *m_view;
    if (!view.canEditBreakPoints()) {
        return;
    }
    const int block = view.selectedBlock();
    int initial = 0;
    bool relative = false;
    std::function<double(int)> peakWith;
    if (block >= 0) {
        initial = view.blockEdit(block).gainSteps;
        peakWith = [&view, block](int steps) { return view.peakWithGain(block, steps); };
    } else if (const std::optional<int> common = view.commonGain()) {
        initial = *common;
        peakWith = [&view, common](int steps) { return view.peakWithGain(-1, steps - *common); };
    } else {
        relative = true;
        peakWith = [&view](int steps) { return view.peakWithGain(-1, steps); };
    }
    CGainDialog dialog(subjectOf(view, block), initial, relative, peakWith, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (relative) {
        view.changeGain(-1, dialog.steps());
    } else {
        view.setGain(block, dialog.steps());
    }
    updateCommands();
}

void CMainFrame::onFade() {
    CChildView& view = *m_view;
    if (!view.canEditBreakPoints()) {
        return;
    }
    const int block = view.selectedBlock();
    const int blocks = static_cast<int>(view.blockStarts().size());
    const int fadeIn = view.blockEdit(block < 0 ? 0 : block).fadeInMs;
    const int fadeOut = view.blockEdit(block < 0 ? blocks - 1 : block).fadeOutMs;
    CFadeDialog dialog(subjectOf(view, block), fadeIn, fadeOut, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    view.setFades(block, dialog.fadeInMs(), dialog.fadeOutMs());
    updateCommands();
}

void CMainFrame::onNormalise() {
    CChildView& view = *m_view;
    if (!view.canEditBreakPoints()) {
        return;
    }
    const int block = view.selectedBlock();
    CNormaliseDialog::Source source;
    source.file = view.m_filePath;
    source.blockStarts = view.blockStarts();
    source.frameCount = view.frameCount();
    source.selectedBlock = block;
    source.blockTitle = block >= 0 ? subjectOf(view, block) : QString();
    source.peakDbfs = [&view, starts = source.blockStarts](int subject) {
        const auto index = static_cast<std::size_t>(subject);
        const int first = subject < 0 ? 0 : starts[index];
        const int end = subject < 0 || index + 1 >= starts.size() ? view.frameCount() : starts[index + 1];
        return mp3::dbOverFullScale(mp3::peakAfterGain(view.framePeaks(), first, end, 0));
    };
    CNormaliseDialog dialog(std::move(source), this);
    if (dialog.exec() != QDialog::Accepted || !dialog.plan()) {
        return;
    }
    // The source is measured as it is: the gain replaces the block's own, in one undo step.
    view.setGain(dialog.block(), dialog.plan()->steps);
    updateCommands();
}
