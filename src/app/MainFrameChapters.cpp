#include "app/MainFrame.h"

#include "app/QtPath.h"
#include "app/ShellChildView.h"
#include "app/ShellPrompts.h"
#include "document/ChapterCopy.h"
#include "document/Messages.h"
#include "document/SameFile.h"
#include "document/SharedTexts.h"
#include "settings/PathText.h"

#include <filesystem>
#include <string>

// The File menu's Save Copy with Chapters: the names are settled on the GUI thread, the copy runs
// on the saving thread of a single block, so the window goes on painting and the SAVING light and
// the busy rules hold while it writes.

std::optional<std::filesystem::path> CMainFrame::chooseCopyPath(const char* suffix, const std::string& what,
                                                                const std::string& caption) {
    const SplitDocument& doc = *m_view;
    const std::filesystem::path stem = doc.m_filePath.stem();
    const std::string proposed =
        stem.empty() ? std::string() : (toQString(stem) + QString::fromLatin1(suffix)).toStdString();
    // The dialog asks nothing: the loaded file is refused before anyone is asked to replace it.
    const auto path = m_prompts.chooseSaveFile("MP3 files(*.mp3)|*.mp3||", "mp3", proposed,
                                               ShellPrompts::Overwrite::DontAsk);
    if (!path) {
        return std::nullopt;
    }
    if (namesSameFile(*path, doc.m_filePath)) {
        m_prompts.messageBox(what +
                                 " can not replace the mp3 file it is made from, please choose another name!",
                             "Error", MessageIcon::Error);
        return std::nullopt;
    }
    std::error_code error;
    if (std::filesystem::exists(*path, error) &&
        m_prompts.askYesNoCancel(pathText(*path) + " already exists.\nDo you want to replace it?", caption) !=
            ShellPrompts::Answer::Yes) {
        return std::nullopt;
    }
    return path;
}

void CMainFrame::onSaveCopyWithChapters() {
    SplitDocument& doc = *m_view;
    if (doc.isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        return;
    }
    const auto path = chooseCopyPath("-chapters.mp3", "The copy with chapters", "Save Copy with Chapters");
    if (!path) {
        return;
    }
    // The copy logs its own result and drives the progress bar; its done message frees the slot
    // without a block's line.
    doc.m_blockThread.start([&doc, copyPath = *path] {
        saveCopyWithChapters(doc, copyPath);
        doc.m_view.post(UM_CHAPTERS_SAVED, 0, 0);
    });
    m_view->update();
}
