#include "app/MainFrame.h"
#include "app/LoadCacheSettings.h"
#include "view/TimePane.h"

#include "app/AboutDialog.h"
#include "app/AddBreakPointDialog.h"
#include "app/AppIcon.h"
#include "app/CommandIds.h"
#include "app/HelpFile.h"
#include "app/ID3TagEditor.h"
#include "app/LockKeys.h"
#include "app/MemorySettings.h"
#include "app/MoreBreakPointsDialog.h"
#include "app/OutputWnd.h"
#include "app/PieceSettings.h"
#include "app/PreferencesSheet.h"
#include "app/QtPath.h"
#include "app/QtPrompts.h"
#include "app/RecentFileList.h"
#include "app/SaveBlockDialog.h"
#include "app/ShellChildView.h"
#include "document/SharedTexts.h"
#include "kerfline/Version.h"
#include "output/SaveAll.h"
#include "playback/PortAudioOutput.h"
#include "settings/PathText.h"
#include "view/EditKeys.h"
#include "view/OverviewStrip.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <climits>

namespace {

constexpr auto kTitle = kKerflineProductLine;

QSettings programSettings() {
    return QSettings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
}

const QString kWorkspaceGroup = QStringLiteral("Kerfline/Workspace");
// The docked output pane's height on a first start.
constexpr int kOutputPaneHeight = 100;
constexpr int kProgressWidth = 180;
constexpr int kProgressGap = 8;

} // namespace

CMainFrame::CMainFrame(ShellPrompts* prompts, QWidget* parent)
    : CMainFrame(prompts, std::make_unique<PortAudioOutput>(), parent) {}

CMainFrame::CMainFrame(ShellPrompts* prompts, std::unique_ptr<SoundOutput> output, QWidget* parent)
    : QMainWindow(parent), m_ownPrompts(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      m_prompts(prompts ? *prompts : *m_ownPrompts),
      m_frameLink(*this, [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
          return handleMessage(message, wParam, lParam);
      }) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(appIcon());

    // The view holds the document and reads the settings file as it comes to life.
    m_view = new ShellChildView(
        m_frameLink, m_prompts, std::move(output),
        [this](const std::filesystem::path& path) { m_recentFiles->add(toQString(path)); }, this);
    m_view->setObjectName(QStringLiteral("View"));
    m_view->m_loadCache = userLoadCache();
    if (m_ownPrompts) {
        m_ownPrompts->setLoadedFile([this] { return m_view->m_filePath; });
    }
    const Preferences preferences = m_view->preferences();
    setCentralWidget(createWaveArea());

    m_output = new COutputWnd(this);
    if (preferences.IsSaveLog) {
        m_output->openLogFile(pathFromText(preferences.LogFileName));
    }

    createStatusBar();
    addTimePane();
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    addDockWidget(Qt::BottomDockWidgetArea, m_output);
    createMenus();
    createEditStateKeeper();

    QSettings settings = programSettings();
    m_recentFiles->load(settings);
    m_view->setPieceOptions(loadPieceOptions(settings));
    setWindowTitle(QLatin1String(kTitle));
    setAcceptDrops(true);

    resize(960, 640);
    restoreLayout();
    m_view->setFocus();
    // The focus goes from the view to the menu that opens and on to the menu bar, and back.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (isMenuWidget(now)) {
            m_menuBarFocusFromView = old == m_view || (m_menuBarFocusFromView && isMenuWidget(old));
        } else {
            m_menuBarFocusFromView = false;
        }
    });

    // Enabling follows the state whenever the program goes idle, as well as when a menu opens.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CMainFrame::updateCommands);
    }
    updateCommands();
}

CMainFrame::~CMainFrame() {
    // The focus moves while the widgets go; this object is no longer there to watch it.
    disconnect(m_focusWatch);
    QSettings settings = programSettings();
    m_recentFiles->save(settings);
}

// --- Menus and commands

QAction* CMainFrame::addCommand(QMenu* menu, int id, const QString& text, const QString& prompt,
                                void (CMainFrame::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::number(id));
    action->setData(id);
    action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, id, handler] {
        // A command runs only while its rule holds, however it was reached.
        if (isCommandEnabled(id, commandState())) {
            // Nothing may leave a slot: a failure the command did not handle becomes a log line.
            try {
                (this->*handler)();
            } catch (const std::exception& error) {
                m_view->log(LogLevel::Error, std::string("Command failed: ") + error.what());
            }
        }
        updateCommands();
    });
    m_commands.insert(id, action);
    return action;
}

void CMainFrame::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, ID_OPEN_MP3, QStringLiteral("&Open ..."), QStringLiteral("Load a mp3 file to workspace"),
               &CMainFrame::onOpen);
    m_recentMenu = file->addMenu(QStringLiteral("Open Recent List ..."));
    m_recentMenu->setObjectName(QStringLiteral("RecentMenu"));
    m_recentFiles =
        std::make_unique<RecentFileList>(*m_recentMenu, [this](int position) { openRecent(position); });
    file->addSeparator();
    addCommand(file, ID_SAVE_ALL, QStringLiteral("Sav&e All"),
               QStringLiteral("Save all separated blocks to a folder"), &CMainFrame::onSaveAll);
    addCommand(file, ID_SAVE_BLOCKS, QStringLiteral("S&ave Specified Blocks ..."),
               QStringLiteral("Save one or more blocks by selecting"), &CMainFrame::onSaveBlocks);
    addCommand(file, ID_CONVERT_WAV, QStringLiteral("Co&nvert to WAV format"),
               QStringLiteral("Convert current mp3 file to wav format"), &CMainFrame::onConvertWav);
    file->addSeparator();
    QAction* add =
        addCommand(file, ID_ADD_BREAKPOINT, QStringLiteral("A&dd Break Point\tCtrl+A"),
                   QStringLiteral("Add a new break point by entering frame"), &CMainFrame::onAddBreakPoint);
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    add->setShortcutContext(Qt::WindowShortcut);
    addCommand(file, ID_MORE_BREAKPOINTS, QStringLiteral("Add &More Break Points ..."),
               QStringLiteral("Add more break points ..."), &CMainFrame::onMoreBreakPoints);
    addFindSilencesCommand(file);
    addCommand(file, ID_CLEAR_BREAKPOINTS, QStringLiteral("&Clear Break Points"),
               QStringLiteral("Delete all break points"), &CMainFrame::onClearBreakPoints);
    file->addSeparator();
    addCommand(file, ID_LOAD_BREAKPOINTS, QStringLiteral("&Load Break Points ..."),
               QStringLiteral("Load break points from a file"), &CMainFrame::onLoadBreakPoints);
    addCommand(file, ID_SAVE_BREAKPOINTS, QStringLiteral("Sa&ve Break Points ..."),
               QStringLiteral("Save break points to a file"), &CMainFrame::onSaveBreakPoints);
    addCommand(file, ID_IMPORT_BREAKPOINTS, QStringLiteral("&Import Break Points ..."),
               QStringLiteral("Import break points from a CUE sheet, a label file, a tracklist or chapters"),
               &CMainFrame::onImportBreakPoints);
    addCommand(
        file, ID_EXPORT_BREAKPOINTS, QStringLiteral("Expor&t Break Points ..."),
        QStringLiteral("Export break points to a CUE sheet, a label file, a tracklist or a break point file"),
        &CMainFrame::onExportBreakPoints);
    addCommand(file, ID_SAVE_CHAPTERS, QStringLiteral("Save Copy with C&hapters ..."),
               QStringLiteral("Save a copy of the mp3 file with one chapter per block"),
               &CMainFrame::onSaveCopyWithChapters);
    addSaveEditedCopyCommand(file);
    addProjectCommands(file);
    file->addSeparator();
    addCommand(file, ID_PLAY, QStringLiteral("Play\tSpace Bar"),
               QStringLiteral("Play mp3 file from current play indicator"), &CMainFrame::onPlay);
    addCommand(file, ID_STOP, QStringLiteral("Stop\tSpace Bar"), QStringLiteral("Stop playing"),
               &CMainFrame::onStop);
    file->addSeparator();
    addCommand(file, ID_ID3_EDITOR, QStringLiteral("ID3 Ta&g Editor ..."), QStringLiteral("ID3 Tag editor"),
               &CMainFrame::onId3Editor);
    addCommand(file, ID_PREFERENCES, QStringLiteral("&Preferences"), QStringLiteral("Show preferences"),
               &CMainFrame::onPreferences);
    file->addSeparator();
    addCommand(file, ID_APP_EXIT, QStringLiteral("E&xit"), QStringLiteral("Quit Kerfline"),
               &CMainFrame::onExit);

    createEditMenu();
    addLevelCommands();

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    addCommand(view, ID_VIEW_OUTPUT, QStringLiteral("&Output Window"),
               QStringLiteral("Show or hide output window"), &CMainFrame::onViewOutput)
        ->setCheckable(true);
    addCommand(view, ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"),
               QStringLiteral("Show or hide the status bar"), &CMainFrame::onViewStatusBar)
        ->setCheckable(true);
    addViewCommands(view);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, ID_HELP_TOPICS, QStringLiteral("&Help Topics"), QStringLiteral("Show help"),
               &CMainFrame::onHelpTopics);
    addCommand(help, ID_ONLINE_HELP, QStringLiteral("&Online Help"),
               QStringLiteral("Find more help information or documents from our website"),
               &CMainFrame::onOnlineHelp);
    help->addSeparator();
    addCommand(help, ID_VISIT_WEBSITE, QStringLiteral("&Visit Velquorn Technology Website"),
               QStringLiteral("Visit our website"), &CMainFrame::onVisitWebsite);
    help->addSeparator();
    addCommand(help, ID_APP_ABOUT, QStringLiteral("&About ..."), QStringLiteral("About Kerfline"),
               &CMainFrame::onAbout);

    for (QMenu* menu : {file, m_recentMenu, view, help}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
    }
}

QAction* CMainFrame::command(int id) const {
    if (QAction* action = m_commands.value(id)) {
        return action;
    }
    for (QAction* action : m_recentMenu->actions()) {
        if (action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

CommandState CMainFrame::commandState() const {
    CommandState state;
    state.loading = m_view->m_loadThread.isSet();
    state.busy = m_view->isBusy();
    // The loading thread fills the frame levels: they are not read while it runs.
    state.frameCount = state.loading ? 0 : m_view->frameCount();
    state.playing = isPlaying();
    state.canUndo = m_view->m_history.canUndo();
    state.canRedo = m_view->m_history.canRedo();
    state.framesPerColumn = m_view->m_framesPerColumn;
    state.maxFramesPerColumn = m_view->maxFramesPerColumn();
    fillEditState(state);
    return state;
}

void CMainFrame::updateCommands() {
    const CommandState state = commandState();
    for (auto it = m_commands.cbegin(); it != m_commands.cend(); ++it) {
        it.value()->setEnabled(isCommandEnabled(it.key(), state));
    }
    updateEditPrompts();
    m_commands.value(ID_VIEW_OUTPUT)->setChecked(m_output->isVisible());
    m_commands.value(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisible());
    m_commands.value(ID_VIEW_OVERVIEW)->setChecked(!m_overview->isHidden());
    syncSilenceDialog();
    updateTitle();
}

// --- Messages

std::intptr_t CMainFrame::handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case UM_OUTPUT_LOG:
        if (lParam != 0) {
            m_output->appendLine(static_cast<int>(wParam),
                                 QString::fromUtf8(reinterpret_cast<const char*>(lParam)));
        }
        return 0;
    case UM_PROGRESS_SHOW:
        if (wParam != 0) {
            m_progressPosition = 0;
            showProgress();
            m_progress->show();
        } else {
            m_progress->hide();
        }
        return 0;
    case UM_PROGRESS_SET:
        // A zero leaves its value alone: position 0 only comes with UM_PROGRESS_SHOW.
        if (wParam != 0) {
            m_progressPosition = static_cast<std::int64_t>(wParam);
        }
        if (lParam != 0) {
            m_progressEnd = static_cast<std::int64_t>(lParam);
        }
        showProgress();
        return 0;
    case UM_QUERY_LOADING:
        return m_view->m_loadThread.isSet() ? 1 : 0;
    case UM_QUERY_LOADED:
        return commandState().frameCount >= 1 ? 1 : 0;
    case UM_QUERY_VIEW_FOCUS:
        return viewLooksFocused() ? 1 : 0;
    case UM_ADD_BREAKPOINT:
        if (commandState().canEditBreakPoints()) {
            onAddBreakPoint();
        }
        return 0;
    case UM_REMOVE_BLOCK:
    case UM_PLAY_AROUND:
        runViewKey(message);
        return 0;
    default:
        return 0;
    }
}

void CMainFrame::showProgress() {
    // The bar counts in int: a larger range (a file's size in bytes) is scaled down to fit.
    const std::int64_t end = std::max<std::int64_t>(m_progressEnd, 1);
    const std::int64_t position = std::clamp<std::int64_t>(m_progressPosition, 0, end);
    if (end <= INT_MAX) {
        m_progress->setRange(0, static_cast<int>(end));
        m_progress->setValue(static_cast<int>(position));
    } else {
        m_progress->setRange(0, INT_MAX);
        m_progress->setValue(
            static_cast<int>(static_cast<double>(position) / static_cast<double>(end) * INT_MAX));
    }
}

// --- Status bar

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& message) {
        if (message.isEmpty()) {
            bar->showMessage(QStringLiteral("Ready"));
        }
    });
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel;
        pane->setObjectName(QLatin1String(names[i]));
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        bar->addPermanentWidget(pane);
        m_lockPanes[i] = pane;
    }
    bar->showMessage(QStringLiteral("Ready"));

    m_progress = new QProgressBar(bar);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->hide();
    bar->installEventFilter(this);

    auto* lockTimer = new QTimer(this);
    connect(lockTimer, &QTimer::timeout, this, &CMainFrame::updateLockPanes);
    lockTimer->start(400);
    updateLockPanes();
}

void CMainFrame::updateLockPanes() {
    const auto state = queryLockKeys();
    const bool on[3] = {state && state->caps, state && state->num, state && state->scroll};
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_lockPanes[i]->setText(on[i] ? QLatin1String(names[i]) : QString());
    }
}

void CMainFrame::placeProgressBar() {
    const int height = statusBar()->contentsRect().height();
    // 300 pixels from the right edge, but never over the time pane's text, which grows with a file.
    int left = width() - 300;
    if (m_timePane != nullptr && m_timePane->isVisible()) {
        left = std::min(left, m_timePane->geometry().left() - kProgressGap - kProgressWidth);
    }
    m_progress->setGeometry(std::max(0, left), (height - 13) / 2, kProgressWidth, 13);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeProgressBar();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == statusBar() || watched == m_timePane) &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        placeProgressBar();
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Layout

void CMainFrame::restoreLayout() {
    QSettings settings = programSettings();
    settings.beginGroup(kWorkspaceGroup);
    restoreGeometry(settings.value(QStringLiteral("Geometry")).toByteArray());
    const QByteArray state = settings.value(QStringLiteral("State")).toByteArray();
    m_overview->setVisible(settings.value(QStringLiteral("Overview"), true).toBool());
    settings.endGroup();
    if (state.isEmpty() || !restoreState(state)) {
        // First start: the pane at its default height rather than what its list would like.
        resizeDocks({m_output}, {kOutputPaneHeight}, Qt::Vertical);
    }
}

void CMainFrame::saveLayout() {
    QSettings settings = programSettings();
    settings.beginGroup(kWorkspaceGroup);
    settings.setValue(QStringLiteral("Geometry"), saveGeometry());
    settings.setValue(QStringLiteral("State"), saveState());
    settings.setValue(QStringLiteral("Overview"), !m_overview->isHidden());
    settings.endGroup();
}

bool CMainFrame::isMenuWidget(const QWidget* widget) const {
    return widget != nullptr && (widget == menuWidget() || qobject_cast<const QMenu*>(widget) != nullptr);
}

bool CMainFrame::viewLooksFocused() const {
    // A menu opened with the mouse leaves the focus where it was; one opened by key should look the same.
    const QWidget* focus = QApplication::focusWidget();
    return focus == m_view || (m_menuBarFocusFromView && isMenuWidget(focus));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Playback does not keep the window open; a worker thread does.
    if (m_view->isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        event->ignore();
        return;
    }
    // The edits are remembered without a question: nothing keeps the program open.
    rememberEditState();
    saveLayout();
    event->accept();
}

// --- Opening files

void CMainFrame::openFile(const QString& path) {
    // The file open now loses its state to the load: what the user did with it is kept first.
    rememberEditState();
    m_view->openFile(toPath(path));
    updateCommands();
}

void CMainFrame::openRecent(int position) {
    openListed(m_recentFiles->entry(position));
}

void CMainFrame::openListed(const QString& path) {
    if (m_view->isBusy()) {
        m_prompts.messageBox(
            "Before you loading a new mp3 file, please make sure there is no file is loading or saving!",
            "Error", MessageIcon::Error);
        sendLog(m_frameLink, LogLevel::Error, "Can't load file while the program is loading or saving file!");
        return;
    }
    if (!path.isEmpty()) {
        openFile(path);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    // Only the first dropped file opens.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    const QString path = urls.constFirst().toLocalFile();
    // The open routine may show a box: leave the drop first.
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}

// --- Command handlers

void CMainFrame::onOpen() {
    if (const auto path = m_prompts.chooseOpenFile("MP3 files(*.mp3)|*.mp3||", "mp3")) {
        openFile(toQString(*path));
    }
}

void CMainFrame::onSaveAll() {
    saveAll(*m_view);
}

void CMainFrame::onSaveBlocks() {
    if (m_view->isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        return;
    }
    CSaveBlockDialog dialog(*m_view, m_frameLink, m_prompts, this);
    dialog.exec();
}

void CMainFrame::onConvertWav() {
    // The proposed name is the source's base name with ".wav"; the dialog picks the folder.
    const std::filesystem::path stem = m_view->m_filePath.stem();
    const std::string proposed =
        stem.empty() ? std::string() : (toQString(stem) + QStringLiteral(".wav")).toStdString();
    if (const auto path = m_prompts.chooseSaveFile("Wave file(*.wav)|*.wav||", "wav", proposed,
                                                   ShellPrompts::Overwrite::DontAsk)) {
        m_view->startWavConversion(*path);
    }
}

void CMainFrame::onAddBreakPoint() {
    // The sound thread moves the cursor on while playing.
    const int cursorFrame = std::max(0, m_view->player().playPosition());
    // Times typed in the dialog are placed on the file's own timeline, as the time pane shows them.
    std::optional<FrameTimeline> timeline;
    if (const std::optional<FrameClock>& clock = m_view->fileClock()) {
        timeline = clock->timeline();
        timeline->frameCount = m_view->frameCount();
    }
    CAddBreakPointDialog dialog(cursorFrame, m_view->frameCount() - 1, m_prompts, this, timeline);
    if (dialog.exec() == QDialog::Accepted) {
        m_view->addBreakPointByDialog(dialog.frame());
    }
}

void CMainFrame::onMoreBreakPoints() {
    CMoreBreakPointsDialog dialog(m_prompts, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_view->placeAutomaticBreakPoints(dialog.method(), dialog.value(), dialog.m_deleteOriginal);
    }
}

void CMainFrame::onClearBreakPoints() {
    m_view->clearBreakPoints();
}

void CMainFrame::onLoadBreakPoints() {
    if (const auto path = m_prompts.chooseOpenFile("Break Point File(*.bps)|*.bps||", "bps")) {
        m_view->loadBreakPointFile(*path);
    }
}

void CMainFrame::onSaveBreakPoints() {
    if (const auto path = m_prompts.chooseSaveFile("Break Point File(*.bps)|*.bps||", "bps", "",
                                                   ShellPrompts::Overwrite::Ask)) {
        m_view->saveBreakPointFile(*path);
    }
}

bool CMainFrame::isPlaying() const {
    return m_view->player().isPlaying();
}

void CMainFrame::onPlay() {
    // Up to the stop position the last play left, unlike the Space key.
    m_view->player().play();
}

void CMainFrame::onStop() {
    m_view->viewLink().post(UM_STOP_PLAYBACK, 0, 0);
}

void CMainFrame::onId3Editor() {
    const int rows = static_cast<int>(m_view->m_breakPoints.size()) + 1;
    CID3TagEditor editor(m_view->m_mainTag, m_view->m_blockTags, rows, m_prompts, this);
    // A saving thread reads the block tags: the editor's result is not stored while one runs.
    if (editor.exec() == QDialog::Accepted && !m_view->m_saveAllThread.isSet() &&
        !m_view->m_blockThread.isSet()) {
        m_view->replaceBlockTags(editor.tags());
    }
}

void CMainFrame::onPreferences() {
    QSettings settings = programSettings();
    CPreferencesSheet sheet(m_view->preferences(), m_prompts, this, m_view->pieceOptions(),
                            pcmBudgetSetting(settings));
    if (sheet.exec() == QDialog::Accepted) {
        m_view->setPreferences(sheet.assembled());
        m_view->setPieceOptions(sheet.pieceOptions());
        savePieceOptions(settings, sheet.pieceOptions());
        savePcmBudgetSetting(settings, sheet.pcmBudgetBytes());
        // The cache takes the new budget at once; frames it holds beyond it go as it is next used.
        m_view->m_decoding.cache.setBudget(sheet.pcmBudgetBytes());
    }
}

void CMainFrame::onExit() {
    close();
}

void CMainFrame::onViewOutput() {
    if (m_output->isVisible()) {
        m_output->hide();
    } else {
        m_output->show();
        m_output->raise();
        m_output->widget()->setFocus();
    }
}

void CMainFrame::onViewStatusBar() {
    statusBar()->setVisible(!statusBar()->isVisible());
}

void CMainFrame::onHelpTopics() {
    // The user's browser shows the manual; no help at all is no error.
    const QString help = helpFileFor(QCoreApplication::applicationFilePath());
    if (!help.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    }
}

void CMainFrame::openManualPage(const QString& section) {
    // There is no website to visit: the manual that comes with the program answers instead.
    const QUrl page = manualPageFor(QCoreApplication::applicationFilePath(), section);
    if (page.isEmpty() || !QDesktopServices::openUrl(page)) {
        m_view->log(LogLevel::Error, "The user manual could not be opened; it is installed in "
                                     "/usr/share/doc/kerfline/manual/index.html");
    }
}

void CMainFrame::onOnlineHelp() {
    openManualPage(QStringLiteral("contents"));
}

void CMainFrame::onVisitWebsite() {
    openManualPage(QStringLiteral("help"));
}

void CMainFrame::onAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}
