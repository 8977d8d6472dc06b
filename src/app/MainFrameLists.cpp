#include "app/MainFrame.h"

#include "app/QtPath.h"
#include "app/ShellChildView.h"
#include "app/ShellPrompts.h"
#include "document/BreakPointLists.h"
#include "document/ChapterCopy.h"
#include "settings/PathText.h"

// The File menu's commands for break point lists of other programs.

namespace {

// One filter per format, in the order of the formats below.
constexpr const char* kImportFilter =
    "CUE Sheet(*.cue)|*.cue|Label File(*.txt)|*.txt|Tracklist(*.txt)|*.txt|MP3 Chapters(*.mp3)|*.mp3||";
constexpr const char* kExportFilter =
    "CUE Sheet(*.cue)|*.cue|Label File(*.txt)|*.txt|Tracklist(*.txt)|*.txt|Break Point File(*.bps)|*.bps||";
constexpr ListFormat kFormats[] = {ListFormat::CueSheet, ListFormat::LabelFile, ListFormat::Tracklist,
                                   ListFormat::BreakPointFile};
constexpr int kChaptersFilter = 3;

ListFormat formatOfFilter(int filter) {
    return kFormats[filter >= 0 && filter < 4 ? filter : 0];
}

} // namespace

void CMainFrame::onImportBreakPoints() {
    const auto chosen = m_prompts.chooseOpenFileOfKind(kImportFilter, "cue");
    if (!chosen) {
        return;
    }
    bool replace = true;
    if (!m_view->m_breakPoints.empty()) {
        switch (m_prompts.askYesNoCancel("Replace the break points of the list by the imported ones? "
                                         "Choose No to add the imported ones to the list.",
                                         "Import Break Points")) {
        case ShellPrompts::Answer::Yes:
            break;
        case ShellPrompts::Answer::No:
            replace = false;
            break;
        case ShellPrompts::Answer::Cancel:
            return;
        }
    }
    if (chosen->filter != kChaptersFilter) {
        // Read and parsed on the list thread: a list of a million lines must not stop the window.
        startImportBreakPoints(*m_view, chosen->path, formatOfFilter(chosen->filter), replace);
        return;
    }
    const Parsed<TimedList> chapters = readFileChapters(chosen->path);
    if (!chapters || chapters.value().entries.empty()) {
        const std::string text = chapterImportProblem(chosen->path, chapters);
        m_view->log(LogLevel::Error, text);
        m_prompts.messageBox(text, "Error", MessageIcon::Error);
        return;
    }
    importTimedList(*m_view, chapters.value(), replace, "the chapters of " + pathText(chosen->path));
}

void CMainFrame::onExportBreakPoints() {
    const std::filesystem::path stem = m_view->m_filePath.stem();
    const std::string proposed =
        stem.empty() ? std::string() : (toQString(stem) + QStringLiteral(".cue")).toStdString();
    if (const auto chosen = m_prompts.chooseSaveFileOfKind(kExportFilter, "cue", proposed)) {
        startExportBreakPoints(*m_view, chosen->path, formatOfFilter(chosen->filter));
    }
}
