#pragma once

#include "app/CommandState.h"
#include "app/FrameLink.h"
#include "app/SilenceDialog.h"
#include "app/SilenceSubject.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class COutputWnd;
class COverviewStrip;
class CChildView;
class CTimePane;
class EditStateKeeper;
struct Project;
class QLabel;
class QMenu;
class QProgressBar;
class QtPrompts;
class RecentFileList;
class ShellPrompts;
class SoundOutput;

// The main window: the menu and its command table, the status bar with the progress bar and the
// lock-key panes, the output pane, the recent-file list, and the view that holds the document.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Uses the toolkit's boxes and dialogs unless `prompts` is given (tests record them).
    // The player uses the default sound device.
    explicit CMainFrame(ShellPrompts* prompts = nullptr, QWidget* parent = nullptr);
    // The player uses `output` (tests play without a device).
    CMainFrame(ShellPrompts* prompts, std::unique_ptr<SoundOutput> output, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CChildView& view() const { return *m_view; }
    COutputWnd& outputPane() const { return *m_output; }
    RecentFileList& recentFiles() const { return *m_recentFiles; }
    QProgressBar& progressBar() const { return *m_progress; }
    COverviewStrip& overview() const { return *m_overview; }
    CTimePane& timePane() const { return *m_timePane; }
    QMenu& recentMenu() const { return *m_recentMenu; }
    WindowLink& frameLink() { return m_frameLink; }
    // The open Find Silences dialog, or null.
    CSilenceDialog* silenceDialog() const { return m_silenceDialog; }

    // The action of a command id (recent entries included), or null.
    QAction* command(int id) const;
    CommandState commandState() const;
    // Re-evaluates the enabling and check marks of every command from the current state.
    void updateCommands();

    std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // The open routine, reached from the Open command, a drop and the recent-file list.
    void openFile(const QString& path);
    void openRecent(int position);
    // What a recent-file entry does with its path: refused while a thread runs, else opened.
    void openListed(const QString& path);

protected:
    // Whether the player is playing; the Play and Stop rules ask it.
    virtual bool isPlaying() const;

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    QAction* addCommand(QMenu* menu, int id, const QString& text, const QString& prompt,
                        void (CMainFrame::*handler)());
    void createStatusBar();
    // The view with the overview strip under it, the zoom commands and the time pane.
    QWidget* createWaveArea();
    void addViewCommands(QMenu* menu);
    void addTimePane();
    // The caption names the open file first: "show.mp3 — Kerfline 4.0".
    void updateTitle();
    void placeProgressBar();
    void showProgress();
    void updateLockPanes();
    void restoreLayout();
    void saveLayout();
    // Whether the view has the keyboard focus, or lent it to the menu bar for a menu opened by key.
    bool viewLooksFocused() const;
    // The menu bar or one of the menus.
    bool isMenuWidget(const QWidget* widget) const;

    void onOpen();
    void onSaveAll();
    void onSaveBlocks();
    void onConvertWav();
    void onAddBreakPoint();
    void onMoreBreakPoints();
    // Find Silences, in its own file: the item and its handler.
    void addFindSilencesCommand(QMenu* menu);
    void onFindSilences();
    // Brings the open Find Silences dialog up to date with the document (on every idle).
    void syncSilenceDialog();
    // Its OK: false, with a level-2 line, when the document changed since the preview was found.
    bool applySilences(const SilenceOptions& options);
    void onClearBreakPoints();
    void onLoadBreakPoints();
    void onSaveBreakPoints();
    void onImportBreakPoints();
    void onExportBreakPoints();
    void onSaveCopyWithChapters();
    // Asks where a copy of the loaded file goes ("<name><suffix>" proposed); refuses the file itself
    // (`what` names the copy in the box) and asks before replacing another. None when cancelled.
    std::optional<std::filesystem::path> chooseCopyPath(const char* suffix, const std::string& what,
                                                        const std::string& caption);
    void createEditMenu();
    // Projects and the remembered edit state, in their own file.
    void addProjectCommands(QMenu* menu);
    void createEditStateKeeper();
    void rememberEditState();
    void onOpenProject();
    void onSaveProject();
    void applyOpenedProject(const Project& project);
    void onFileLoaded();
    // Gain and Fade In/Out at the end of the Edit menu (MainFrameLevel.cpp).
    void addLevelCommands();
    void onGain();
    void onFade();
    void onNormalise();
    void onUndo();
    void onRedo();
    // The block edits, Play Around Break Point and Save Edited Copy, in MainFrameEdit.cpp.
    void addSaveEditedCopyCommand(QMenu* menu);
    void fillEditState(CommandState& state) const;
    // The view's Delete and Shift+P: the command when its rule holds, else a line saying why not.
    void runViewKey(unsigned message);
    int editedBlock() const;
    void onRemoveBlock();
    void onKeepOnlyBlock();
    void onRestoreBlock();
    void onRestoreAllBlocks();
    void onPlayAround();
    void onSaveEditedCopy();
    // The status-bar prompts of Undo and Redo name the step they take back or do again.
    void updateEditPrompts();
    void onPlay();
    void onStop();
    void onId3Editor();
    void onPreferences();
    void onExit();
    void onViewOutput();
    void onViewStatusBar();
    void onViewOverview();
    void onZoomIn();
    void onZoomOut();
    void onZoomWholeFile();
    void onZoomOneFrame();
    void onHelpTopics();
    // Online Help and Visit Website open pages of the local manual.
    void openManualPage(const QString& section);
    void onOnlineHelp();
    void onVisitWebsite();
    void onAbout();

    std::unique_ptr<QtPrompts> m_ownPrompts;
    ShellPrompts& m_prompts;
    FrameLink m_frameLink;
    CChildView* m_view = nullptr;
    COutputWnd* m_output = nullptr;
    QMenu* m_recentMenu = nullptr;
    std::unique_ptr<RecentFileList> m_recentFiles;
    QHash<int, QAction*> m_commands;
    QProgressBar* m_progress = nullptr;
    std::int64_t m_progressPosition = 0;
    std::int64_t m_progressEnd = 100;
    QLabel* m_lockPanes[3] = {};
    // Alt+letter moves the focus from the view to the menu bar and its menus until they close.
    bool m_menuBarFocusFromView = false;
    QMetaObject::Connection m_focusWatch;
    COverviewStrip* m_overview = nullptr;
    CTimePane* m_timePane = nullptr;
    EditStateKeeper* m_editState = nullptr;
    QPointer<CSilenceDialog> m_silenceDialog;
    SilenceSubject m_silenceSubject;
};
