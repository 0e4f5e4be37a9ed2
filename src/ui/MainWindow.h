// MainWindow, the program's main window: the list of video files with its key list, the player and
// information panel, the welcome frame, the panel slots, tool bar, menus, pop-ups and status bar;
// every user command as an action; the host of the command runs; the folder scanner; the
// playlists; the script of the command line.
//
// The class is split by concern over several files:
//   MainWindowStart.cpp    creation, first show, first paint, activation, closing, preferences
//   MainWindowList.cpp     the list and its keys: add, remove, refresh, replace, find, sort,
//   counters MainWindowLoading.cpp  loading: open dialogs, drop, paste, folder scans, playlists
//   MainWindowActions.cpp  the actions, menus and pop-ups, their availability, the commands' links
//   MainWindowRuns.cpp     command runs and their messages, abort keys, scripts
//   MainWindowPanels.cpp   the list's place (F6), panels, welcome frame, volume and mute, player
//
// Ownership: the program entry creates the preferences, the desktop services and the run flags
// before the window and the command module, the list probe and the conversion module after it,
// and hands them in with AttachModules before the window is shown; all outlive the window. The
// window owns its widgets, the records of its list (shared with runs that still read them), the
// folder scanner and the workers it starts.
// Threads: everything here runs on the UI thread. Workers reach the window only through Host(),
// which carries each call over to the UI thread (sent and waited for, progress posted); the
// folder scanner hands its reports over through a bounded queue.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QLocale>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "commands/Command.h"
#include "commands/RunControl.h"
#include "commands/ScriptParser.h"
#include "core/settings/PreferencesStore.h"
#include "ui/WindowLife.h"

class QAction;
class QEventLoop;
class QKeyEvent;
class QLabel;
class QTreeView;
class QMenu;
class QToolBar;
class QItemSelection;

namespace kelvor::commands {
class CommandHost;
class CommandWorker;
class CommandModule;
struct WorkerServices;
}  // namespace kelvor::commands
namespace kelvor::media {
class ConversionGraphs;
}
namespace kelvor::shell {
class DesktopServices;
}

namespace kelvor::ui {

class FileListModel;
class PlayerPanel;
class PanelsLink;
class PreviewSlot;
class PlayerFrame;
class ScanFeed;
class AboutPanel;
class SettingsPanel;
class RiffReportWindow;
class SceneEditorPanel;
class WelcomeFrame;
class FolderScanner;
class WindowDialogs;
class WindowHost;

// What the program entry creates before the window.
struct WindowServices {
    settings::Preferences& Prefs;
    settings::PreferencesEnvironment Env;
    shell::DesktopServices& Desktop;
    commands::RunControl& Control;
    // The date names and patterns of a locale, to follow a locale change while the window runs;
    // none: the window keeps Env.Locale.
    std::function<LocaleInfo(const QLocale&)> LocaleOf = {};
};

// The modules created after the window.
struct WindowModules {
    commands::CommandModule& Module;
    files::MediaProbe& Probe;
    media::ConversionGraphs& Graphs;
};

class MainWindow final : public QMainWindow {
    Q_OBJECT
  public:
    // FormCreate: the key list, captions, version texts, the keys of the DV type actions, and
    // the command line (the program's arguments without its own name) parsed into the pending
    // script.
    MainWindow(WindowServices services, const std::vector<std::string>& arguments);
    // FormDestroy: the default playlist when "Sauver Liste en quittant" is set; the scanner and
    // any worker are stopped first.
    ~MainWindow() override;

    void AttachModules(WindowModules modules);
    // The host of the command runs, for the command module and the workers.
    commands::CommandHost& Host();
    // Tests answer the dialogs themselves; null gives back the message boxes and file dialogs.
    void SetDialogs(WindowDialogs* dialogs);
    // The preview the player frame will drive; null gives back the one that does nothing.
    void SetPreview(PreviewSlot* preview);
    // The panels, for the program entry and the tests.
    SettingsPanel* Settings() const { return settings_; }
    AboutPanel* About() const { return about_; }
    SceneEditorPanel* SceneEditor() const { return editor_; }
    RiffReportWindow* RiffWindow() const { return riff_; }
    // The player frame (the preview of the focused file), made with the window.
    PlayerFrame* PlayerView() const { return frame_; }

    // --- The list and its keys (MainWindowList.cpp).
    // The item index, or -1 when the file is missing or is not DV video (commands::AcceptedFile).
    // The same file again replaces its record.
    int AddFile(const std::string& path, bool select = false);
    void RemoveItem(int index);
    void RefreshItem(int index);
    void ReplaceItem(int index, const std::string& path);
    int FindItem(const std::string& fullName) const;
    void SelectionChanged();
    void RefreshList();
    void SortList(int mode);
    void EmptyList();
    void SelectAll();

    // --- Loading (MainWindowLoading.cpp).
    void BeginLoading(const QString& status);
    void EndLoading();
    // Adds the paths in their order under the status, as a drop, a paste or the open dialog.
    void LoadFiles(const QString& status, const QStringList& paths);
    // False when the playlist could not be read.
    bool LoadPlaylist(const std::string& path);
    // False when it could not be written; the user has been told why.
    bool SavePlaylist(const std::string& path);
    std::string DefaultPlaylist() const;
    // Queues the folders with the scanner under the status.
    void ScanFolders(const QStringList& folders, const QString& status, bool oneFileSystem = false);

    // --- Actions (MainWindowActions.cpp).
    void UpdateActions();
    QAction* Action(const QString& name) const;
    const std::vector<QAction*>& Actions() const { return actions_; }
    QMenu* Menu(const QString& name) const;
    QMenu* ListPopup() const { return listPopup_; }
    QMenu* VideoPopup() const { return videoPopup_; }
    QMenu* WindowPopup() const { return windowPopup_; }

    // --- Command runs (MainWindowRuns.cpp).
    void RunMonoCommand(const std::string& command);
    void RunFileCommand(const std::string& command);
    void RunGraphCommand(const std::string& command);
    // Esc and Shift+Esc.
    void Abort();
    void AbortAll();
    // Runs a script now (the command line's runs once the window is first painted).
    void RunScript(commands::Script script);
    bool RunActive() const { return life_.RunActive(); }
    bool ScriptPending() const { return !pendingScript_.empty(); }

    // --- What the panels, the tests and the benchmark read.
    const FileListModel& Items() const { return *model_; }
    QTreeView* List() const { return lb_; }
    std::vector<int> SelectedRows() const;
    int SelectedCount() const;
    int Focused() const;
    std::shared_ptr<const files::FileRecord> CurrentFile() const { return current_; }
    QString StatusText() const;
    QString CounterText() const;
    QString ListHint() const;
    bool ListShown() const { return listShown_; }
    // The list shows its columns (the details view) rather than the names alone.
    bool DetailsShown() const;
    void SetDetailsShown(bool on);
    bool WelcomeShown() const;
    int SortMode() const;
    // The categories currently allowed: "liste", "mono", "multi".
    const std::set<std::string>& Availability() const { return allowed_; }
    PlayerPanel* Player() const { return player_; }
    FolderScanner* Scanner() const { return scanner_.get(); }
    bool ScanIdle() const;
    int Volume() const { return volume_; }
    bool Muted() const { return muted_; }
    bool PanelShown() const { return panel_ != Panel::None; }
    bool EditorShown() const { return editorShown_; }
    const QString& VersionText() const { return versionText_; }

  signals:
    // The status bar's text changed.
    void StatusChanged(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class WindowHost;
    friend class PanelsLink;
    enum class Panel { None, About, Settings };
    // The window's action whose shortcut is this key press, or null.
    QAction* actionForKey(const QKeyEvent& key) const;

    // MainWindowStart.cpp
    void buildWindow();
    void attachPlayer();
    void FormShow();
    void FirstPaint();
    void activated();
    void TranslateCaptions();
    void ApplyPreferences();
    void SavePreferences();
    // Lets queued work and the workers' messages run until the scanner sleeps and no run is
    // active, then joins the workers.
    void waitUntilIdle();
    // Runs the event loop until done holds; it looks again each time wakeWaiters is called.
    void waitUntil(const std::function<bool()>& done);
    // Something a waiting loop may wait for has happened: a run ended, the scanner fell asleep.
    void wakeWaiters();

    // MainWindowList.cpp
    std::shared_ptr<const files::FileRecord> makeRecord(const std::string& path) const;
    void selectRow(int row, bool on = true);
    void focusRow(int row);
    void showCurrent();
    // The list's header follows the sort mode; a click on it sorts by the column's order.
    void showSortColumn();
    void headerClicked(int column);

    // MainWindowLoading.cpp
    void createScanner();
    void drainScan();
    void endOfScan();
    void letMessagesRun();
    void openFiles();
    void openFolder();
    void openPreferredFolder();
    void openAll();
    void openPlaylist();
    void openDefaultPlaylist();
    void savePlaylistAs();
    void launchScript();
    void paste();
    void updatePaste();
    void setWaitCursor(bool on);
    // Scans the folder and lets the event loop run until its scan has ended (or was stopped).
    void scanGivenFolder(const std::string& folder);
    // The row of the first listed file that a file switch's value names (a file, a mask or a
    // folder); -1 when the list holds none of them.
    int firstGivenRow(const std::string& value) const;
    // The row becomes the current file: focused, selected, shown in the panel and the preview.
    void makeCurrent(int row);

    // MainWindowActions.cpp
    void createActions();
    void createMenus();
    void LinkCommands();
    void triggered(QAction* action);
    commands::Command* boundCommand(const QAction* action) const;
    void fillShortcutTable();
    // The display format or the locale changed: every date the window shows takes it.
    void dateStyleChanged();
    void setCaption(const QString& action, const QString& caption, int image);
    void fixFrameRate();
    void changeCodec();
    void fixTimeDifference();

    // MainWindowRuns.cpp
    commands::WorkerServices services();
    bool canStartRun() const;
    void runStarted(int kind);
    void selectFile(const std::string& fullName);
    commands::Answer confirm(const commands::FileItem& file, const QString& text,
                             bool severalFiles);
    void fileStarted(const QString& status);
    void progress(int percent);
    void fileDone(int kind, const commands::FileItem& file, commands::ListUpdate update,
                  const std::string& newPath, const std::string& failure);
    void applyUpdate(const std::string& processed, commands::ListUpdate update,
                     const std::string& newPath);
    void fileError(const QString& message);
    void batchDone(int kind);
    void reapWorkers();
    void waitForWorker(commands::CommandWorker& worker);
    // A run that writes new video files goes on (the window's own or a script's).
    bool conversionRunning() const;
    void runPendingScript();
    void maybeRunScript();
    // The command line's script: as RunScript, but a file switch that names a folder scans it
    // as "Open a folder" does, and the first file given becomes the current one.
    void runCommandLine(commands::Script script);

    // MainWindowPanels.cpp
    void ToggleList();
    void setListShown(bool shown);
    void applyWidth();
    // The start's size: the player as wide and the window as tall as the available screen allows
    // for a comfortable picture (never below the smallest), centred when centre is set.
    void fitToScreen(bool centre);
    // Moves the window back within the available screen where a width change pushed it out.
    void keepOnScreen();
    void layoutBody();
    void showPanel(Panel panel);
    void toggleEditor(bool on);
    // The panels' wiring (MainWindowSettings.cpp): made with the window, the settings filled from
    // the preferences and read back into them, the scene editor on the current file.
    void buildPanels();
    void fillSettings();
    void readBackSettings();
    void loadEditorScenes();
    // While the settings panel is shown the space bar and Delete belong to its fields.
    void takeKeysForSettings(bool take);
    void changeVolume(int delta);
    void toggleMute();
    void playStop();
    void toggleFullscreen();
    void setStatus(const QString& text);
    // SelectionChanged once the list has handled the mouse or key that changed it.
    void scheduleSelectionChanged();

    WindowServices s_;
    commands::CommandModule* module_ = nullptr;
    files::MediaProbe* probe_ = nullptr;
    media::ConversionGraphs* graphs_ = nullptr;

    std::unique_ptr<WindowHost> host_;
    std::unique_ptr<WindowDialogs> ownDialogs_;
    WindowDialogs* dialogs_ = nullptr;
    std::unique_ptr<PreviewSlot> ownPreview_;
    PlayerFrame* frame_ = nullptr;  // the player frame, child of the window
    PreviewSlot* preview_ = nullptr;

    // Widgets (owned by Qt's parent chain).
    QWidget* body_ = nullptr;
    PlayerPanel* player_ = nullptr;
    QWidget* listColumn_ = nullptr;
    QTreeView* lb_ = nullptr;
    QAction* detailsAction_ = nullptr;  // "Details view", not one of the table's actions
    QLabel* counter_ = nullptr;
    WelcomeFrame* welcome_ = nullptr;
    AboutPanel* about_ = nullptr;
    SettingsPanel* settings_ = nullptr;
    RiffReportWindow* riff_ = nullptr;
    SceneEditorPanel* editor_ = nullptr;
    PanelsLink* link_ = nullptr;
    // The keys of play/stop and remove-file while the settings panel holds them.
    QList<QKeySequence> heldPlayKeys_;
    QList<QKeySequence> heldRemoveKeys_;
    int widthBeforeSettings_ = 0;
    // The player column's width: the narrowest until the first show fits it to the screen.
    int playerWidth_ = 440;
    // The list column's width, wider for the details view where the screen has the room.
    int listWidth_ = 330;
    // The time-difference dialog's last difference, where the command's dialog starts.
    double lastDifference_ = 0;
    QLabel* status_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QAction* editScenesButton_ = nullptr;
    FileListModel* model_ = nullptr;

    std::vector<QAction*> actions_;                // the action list `al`, in its order
    std::map<QString, QAction*> byName_;           // the same by name
    std::map<const QAction*, std::string> bound_;  // action -> the command it starts
    std::map<QString, QMenu*> menus_;              // "Files", "Files/Sort the list", ...
    QMenu* listPopup_ = nullptr;
    QMenu* videoPopup_ = nullptr;
    QMenu* windowPopup_ = nullptr;

    // The list's state.
    std::shared_ptr<const files::FileRecord> current_;
    std::set<std::string> allowed_;
    bool listShown_ = false;
    Panel panel_ = Panel::None;
    bool editorShown_ = false;

    // Where the window is in its life, and the loops of waitUntil now running (innermost
    // last).
    WindowLife life_;
    std::vector<QEventLoop*> waiters_;

    // Window flags.
    bool hadCurrent_ = false;
    bool sceneTracking_ = true;
    // The wait cursor this window pushed, so that it is popped once; loading (a folder scan)
    // goes on beside any state of the window's life.
    bool waitCursor_ = false;
    bool selectionPending_ = false;
    // The window's place was checked with its frame around it.
    bool placeFramed_ = false;
    // The counter and the list's hint as RefreshList last set them; the widgets take them once
    // per turn of the event loop, so a thousand files added in a row lay out text once.
    QString counterText_;
    QString listHint_;
    bool countersPending_ = false;
    int loadingDepth_ = 0;
    int scansEnded_ = 0;       // folder scans whose end the list has handled
    qint64 lastMessages_ = 0;  // when the loading loops last let messages run, ms

    // What the repair dialogs chose last (-1: nothing yet).
    int fpsChoice_ = -1;
    double fpsValue_ = 0;
    int codecChoice_ = -1;
    QString codecValue_;

    // Volume 0..10000 and the mute state.
    int volume_ = 10000;
    bool muted_ = false;

    // The pending script and the runs.
    commands::Script pendingScript_;
    std::unique_ptr<commands::CommandWorker> graphWorker_;
    std::unique_ptr<commands::CommandWorker> fastWorker_;
    commands::CommandWorker* waitedWorker_ = nullptr;  // a script's run, while it is waited for
    std::vector<QString> failures_;  // files of the current run that were not processed

    // The folder scanner and its hand-over queue.
    std::unique_ptr<ScanFeed> feed_;
    std::unique_ptr<FolderScanner> scanner_;

    QString versionText_;
    QString buildDateText_;
    QString osText_;
};

}  // namespace kelvor::ui
