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

// Label files and tracklists are both .txt: a file chosen under either filter is read as its text says.
bool filterIsAmbiguous(int filter) {
    return filter == 1 || filter == 2;
}

std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The lines that lie past the end, one per line, for a box.
std::string skippedText(const ImportCheck& check) {
    if (check.pastEnd == 0) {
        return {};
    }
    std::string text = count(check.pastEnd, "line lies", "lines lie") +
                       " beyond the end of the mp3 file and will be skipped:";
    for (const std::string& line : check.skipped) {
        text += "\n" + line;
    }
    if (check.pastEnd > check.skipped.size()) {
        text += "\nand " + std::to_string(check.pastEnd - check.skipped.size()) + " more";
    }
    return text;
}

// The question once the file has been read: replace the list or add to it, with what is skipped.
ImportChoice askImport(ShellPrompts& prompts, const ImportCheck& check) {
    const std::string skipped = skippedText(check);
    if (check.existing == 0) {
        if (!skipped.empty()) {
            prompts.messageBox(skipped, "Import Break Points", MessageIcon::Warning);
        }
        return ImportChoice::Replace;
    }
    std::string text = "The file holds " + count(check.entries - check.pastEnd, "time", "times") +
                       ". Replace the " + count(check.existing, "break point", "break points") +
                       " of the list by them, or add them to the list?";
    if (!skipped.empty()) {
        text += "\n\n" + skipped;
    }
    switch (prompts.askChoice(text, "Import Break Points", {"Replace", "Add", "Cancel"})) {
    case 0:
        return ImportChoice::Replace;
    case 1:
        return ImportChoice::Add;
    default:
        return ImportChoice::Cancel;
    }
}

} // namespace

void CMainFrame::onImportBreakPoints() {
    const auto chosen = m_prompts.chooseOpenFileOfKind(kImportFilter, "cue");
    if (!chosen) {
        return;
    }
    if (chosen->filter != kChaptersFilter) {
        // Read, checked and parsed on the list thread (a list of a million lines must not stop the
        // window); the question comes once the file is known to be good.
        startImportBreakPoints(
            *m_view, chosen->path, formatOfFilter(chosen->filter),
            [&prompts = m_prompts](const ImportCheck& check) { return askImport(prompts, check); },
            filterIsAmbiguous(chosen->filter));
        return;
    }
    const Parsed<TimedList> chapters = readFileChapters(chosen->path);
    if (!chapters || chapters.value().entries.empty()) {
        const std::string text = chapterImportProblem(chosen->path, chapters);
        m_view->log(LogLevel::Error, text);
        m_prompts.messageBox(text, "Error", MessageIcon::Error);
        return;
    }
    const ImportChoice choice = askImport(m_prompts, checkTimedList(*m_view, chapters.value()));
    if (choice == ImportChoice::Cancel) {
        return;
    }
    importTimedList(*m_view, chapters.value(), choice == ImportChoice::Replace,
                    "the chapters of " + pathText(chosen->path));
}

void CMainFrame::onExportBreakPoints() {
    const std::filesystem::path stem = m_view->m_filePath.stem();
    const std::string proposed =
        stem.empty() ? std::string() : (toQString(stem) + QStringLiteral(".cue")).toStdString();
    if (const auto chosen = m_prompts.chooseSaveFileOfKind(kExportFilter, "cue", proposed)) {
        startExportBreakPoints(*m_view, chosen->path, formatOfFilter(chosen->filter));
    }
}
