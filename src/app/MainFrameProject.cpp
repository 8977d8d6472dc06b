#include "app/MainFrame.h"

#include "app/CommandIds.h"
#include "app/EditStateKeeper.h"
#include "app/QtPath.h"
#include "app/ShellChildView.h"
#include "app/ShellPrompts.h"
#include "document/DocumentProject.h"
#include "document/SharedTexts.h"
#include "engine/PlatformFile.h"
#include "settings/PathText.h"

#include <QMenu>
#include <QSettings>

#include <string>

// Projects (the edit state of a file saved where the user chooses) and the edit state the program
// remembers of every file it opened, offered again when the file is reopened.

namespace {

constexpr const char* kProjectFilter = "Kerfline Project(*.kfp)|*.kfp||";
constexpr const char* kProjectExtension = "kfp";

const QString kEditStateGroup = QStringLiteral("EditState");
const QString kOfferKey = QStringLiteral("OfferRestore");

bool offerRememberedEdits() {
    QSettings settings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
    settings.beginGroup(kEditStateGroup);
    return settings.value(kOfferKey, true).toBool();
}

int removedBlocks(const Project& project) {
    int count = 0;
    for (const auto& [first, edit] : project.blockEdits) {
        count += edit.removed ? 1 : 0;
    }
    return count;
}

std::string countOf(std::size_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

void CMainFrame::addProjectCommands(QMenu* menu) {
    addCommand(menu, ID_OPEN_PROJECT, QStringLiteral("Open P&roject ..."),
               QStringLiteral("Open a mp3 file with the break points and edits of a project"),
               &CMainFrame::onOpenProject);
    addCommand(menu, ID_SAVE_PROJECT, QStringLiteral("Save Pro&ject ..."),
               QStringLiteral("Save the break points, block tags and edits to a project file"),
               &CMainFrame::onSaveProject);
}

void CMainFrame::createEditStateKeeper() {
    m_editState = new EditStateKeeper(*m_view, EditStateKeeper::defaultFolder(), this);
    static_cast<ShellChildView*>(m_view)->setLoadedHook([this] { onFileLoaded(); });
}

void CMainFrame::rememberEditState() {
    m_editState->rememberNow();
}

void CMainFrame::onSaveProject() {
    const std::optional<Project> project = projectOf(*m_view);
    if (!project) {
        return;
    }
    const std::string proposed = pathText(m_view->m_filePath.stem()) + "." + kProjectExtension;
    const auto path =
        m_prompts.chooseSaveFile(kProjectFilter, kProjectExtension, proposed, ShellPrompts::Overwrite::Ask);
    if (!path) {
        return;
    }
    if (const std::string error = writeProjectFile(*path, *project); !error.empty()) {
        m_prompts.messageBox("The project could not be saved to " + pathText(*path) + ": " + error, "Error",
                             MessageIcon::Error);
        return;
    }
    m_view->log(LogLevel::Normal, "Project saved to file " + pathText(*path));
}

void CMainFrame::onOpenProject() {
    if (m_view->isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        return;
    }
    const auto path = m_prompts.chooseOpenFile(kProjectFilter, kProjectExtension);
    if (!path) {
        return;
    }
    ProjectParse parse = readProjectFile(*path);
    if (!parse.project) {
        m_prompts.messageBox("The project " + pathText(*path) + " can not be opened: " + parse.error, "Error",
                             MessageIcon::Error);
        return;
    }
    Project project = std::move(*parse.project);

    // A project moved with its mp3 file (a folder copied to another disk) still finds it beside itself.
    std::filesystem::path source = project.source.path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(source, error)) {
        const std::filesystem::path beside = path->parent_path() / source.filename();
        if (std::filesystem::is_regular_file(beside, error)) {
            source = beside;
        }
    }
    const std::optional<platform::FileStatus> status = platform::statusOfTarget(source);
    if (!status || !status->isRegular()) {
        m_prompts.messageBox("The mp3 file \"" + pathText(project.source.path) +
                                 "\" of the project doesn't exist, the project can not be opened!",
                             "Error", MessageIcon::Error);
        return;
    }
    if (status->size != project.source.size || status->modifiedNs != project.source.modifiedNs) {
        // Its frames may have moved: the break points could cut in other places than they did.
        const std::string question = "The mp3 file \"" + pathText(source) +
                                     "\" has changed since the project was saved, so its break points and "
                                     "edits may no longer fall where they were placed.\n"
                                     "Open it with the project anyway?";
        if (m_prompts.askYesNoCancel(question, "Open Project") != ShellPrompts::Answer::Yes) {
            return;
        }
    }
    project.source.path = source;
    m_view->log(LogLevel::Normal, "Opening project " + pathText(*path));

    // The file is open already, as it was when the project was saved: the project goes straight in.
    const std::optional<Project> loaded = projectOf(*m_view);
    if (loaded && loaded->source.path == source && loaded->source.size == status->size &&
        loaded->source.modifiedNs == status->modifiedNs) {
        applyOpenedProject(project);
        return;
    }
    m_editState->setPending(std::move(project));
    openFile(toQString(source));
    if (!m_view->m_loadThread.isSet()) {
        m_editState->takePending();
    }
}

void CMainFrame::applyOpenedProject(const Project& project) {
    const int frames = m_view->frameCount();
    if (project.source.frameCount != frames) {
        m_view->log(LogLevel::Warning, "The project was made for " +
                                           std::to_string(project.source.frameCount) +
                                           " frames, the mp3 file has " + std::to_string(frames) + " frames");
    }
    const ProjectApplied applied = applyProject(*m_view, project, "open project");
    if (applied.droppedBreakPoints > 0 || applied.droppedEdits > 0) {
        m_view->log(LogLevel::Warning,
                    "The project's " + countOf(applied.droppedBreakPoints, "break point", "break points") +
                        " and " + countOf(applied.droppedEdits, "block edit", "block edits") +
                        " past the end of the mp3 file have been left out");
    }
    m_view->log(LogLevel::Normal, "Project has been loaded: " +
                                      countOf(m_view->m_breakPoints.size(), "break point", "break points"));
    m_view->update();
    updateCommands();
}

void CMainFrame::onFileLoaded() {
    m_editState->startFile();
    if (const std::optional<Project> pending = m_editState->takePending()) {
        applyOpenedProject(*pending);
        return;
    }
    if (!offerRememberedEdits()) {
        return;
    }
    const std::optional<Project> remembered = m_editState->rememberedForLoadedFile();
    if (!remembered) {
        return;
    }
    const std::string question =
        "Kerfline remembers your work on this file from the last time it was open (" +
        countOf(remembered->breakPoints.size(), "break point", "break points") + ", " +
        countOf(static_cast<std::size_t>(removedBlocks(*remembered)), "removed block", "removed blocks") +
        ").\nRestore it?";
    if (m_prompts.askYesNoCancel(question, "Restore Edits") != ShellPrompts::Answer::Yes) {
        return;
    }
    applyProject(*m_view, *remembered, "restore the remembered edits");
    // What was restored is what the store holds: nothing to write until the user changes it.
    m_editState->startFile();
    m_view->log(LogLevel::Normal, "The remembered break points and edits have been restored");
    m_view->update();
    updateCommands();
}
