// The window's life: creation, first show, first paint, activation, closing and the
// preferences.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <filesystem>

#include "commands/CommandModule.h"
#include "commands/Workers.h"
#include "core/files/DatePattern.h"
#include "core/shell/About.h"
#include "core/shell/DesktopServices.h"
#include "ui/ActionTable.h"
#include "ui/FileListModel.h"
#include "ui/FolderScanner.h"
#include "ui/MainWindow.h"
#include "ui/Panels.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/ScanFeed.h"
#include "ui/WindowDialogs.h"
#include "ui/WindowHost.h"
#include "ui/panels/AboutPanel.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"
#include "ui/preview/PlayerFrame.h"

namespace kelvor::ui {
namespace {

// The window's client height at start, in pixels.
constexpr int kClientHeight = 600;

std::string WithSlash(const std::string& folder) {
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

}  // namespace

MainWindow::MainWindow(WindowServices services, const std::vector<std::string>& arguments)
    : s_(std::move(services)),
      host_(std::make_unique<WindowHost>(*this)),
      ownDialogs_(std::make_unique<WindowDialogs>()),
      ownPreview_(std::make_unique<PreviewSlot>()) {
    dialogs_ = ownDialogs_.get();
    preview_ = ownPreview_.get();
    // FormCreate: a failure here leaves a usable, if plainer, window.
    try {
        setObjectName("MainWindow");
        setWindowTitle(QString("%1 by %2").arg(about::kProductName, about::kMaker));
        versionText_ = QString::fromStdString(about::VersionText());
        buildDateText_ = QString::fromStdString(FormatDateTime("ddddd", about::BuildDate()));
        buildWindow();
        attachPlayer();
        createActions();
        createMenus();
        sceneTracking_ = true;
        s_.Control.ScriptStop = false;
        pendingScript_ = commands::ParseCommandLine(arguments);
    } catch (...) {
    }
}

MainWindow::~MainWindow() {
    // The scanner and the workers call into this window; they end before it does.
    s_.Control.AbortAll();
    if (feed_)
        feed_->Close();
    scanner_.reset();
    graphWorker_.reset();
    fastWorker_.reset();
    if (life_.WasShown() && s_.Prefs.SaveListOnQuit)
        SavePlaylist(DefaultPlaylist());
}

void MainWindow::AttachModules(WindowModules modules) {
    module_ = &modules.Module;
    probe_ = &modules.Probe;
    graphs_ = &modules.Graphs;
}

commands::CommandHost& MainWindow::Host() {
    return *host_;
}

void MainWindow::SetDialogs(WindowDialogs* dialogs) {
    dialogs_ = dialogs ? dialogs : ownDialogs_.get();
}

void MainWindow::SetPreview(PreviewSlot* preview) {
    preview_ = preview ? preview : ownPreview_.get();
    if (settings_)
        settings_->SetPreview(preview_);
}

void MainWindow::attachPlayer() {
    frame_ = new PlayerFrame(player_, s_.Prefs, s_.Env.Locale, this);
    frame_->SetIdleLine(QString("%1 %2 %3 %4")
                            .arg(about::kProductName, versionText_, tr("by"), about::kMaker)
                            .toStdString());
    frame_->Clear();
    preview_ = frame_;
    connect(frame_, &PlayerFrame::PlayCaptionChanged, this, [this](const QString& caption) {
        if (QAction* a = Action("PlayStop"))
            a->setText(caption);
    });
    connect(frame_, &PlayerFrame::StatusChanged, this, [this](const StatusTexts& t) {
        if (t.Datecode != "-")
            player_->ShowPlayingTexts(t.Datecode, t.Timecode, t.Image, t.Audio, t.DataRate);
    });
    connect(frame_, &PlayerFrame::CornerMarkClicked, this, [this] {
        if (QAction* a = Action("ShowInlaySliders"); a && a->isEnabled())
            a->trigger();
    });
    connect(frame_, &PlayerFrame::InlayPlaced, this,
            [this](int x, int y) { player_->SetInlayPosition(x, y); });
}

void MainWindow::buildWindow() {
    model_ = new FileListModel(this);
    body_ = new QWidget(this);
    body_->setObjectName("Body");
    body_->installEventFilter(this);
    setCentralWidget(body_);

    player_ = new PlayerPanel(body_);
    connect(player_, &PlayerPanel::FileNameClicked, this, [this] {
        if (QAction* a = Action("ShowInFolder"); a && a->isEnabled())
            a->trigger();
    });
    connect(player_, &PlayerPanel::InlayPositionChanged, this, [this](int x, int y) {
        s_.Prefs.InlayPositionX = x;
        s_.Prefs.InlayPositionY = y;
        preview_->SetInlayPosition(x, y, s_.Prefs.InlayAlignment);
    });
    player_->VideoArea()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(
        player_->VideoArea(), &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { videoPopup_->popup(player_->VideoArea()->mapToGlobal(at)); });
    player_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(player_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { windowPopup_->popup(player_->mapToGlobal(at)); });

    listColumn_ = new QWidget(body_);
    listColumn_->setObjectName("ListColumn");
    auto* column = new QVBoxLayout(listColumn_);
    column->setContentsMargins(0, 8, 0, 4);
    column->setSpacing(4);
    lb_ = new QTreeView(listColumn_);
    lb_->setObjectName("List");
    lb_->setModel(model_);
    lb_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lb_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lb_->setRootIsDecorated(false);
    lb_->setItemsExpandable(false);
    lb_->setUniformRowHeights(true);
    lb_->setAllColumnsShowFocus(true);
    lb_->header()->setSectionsClickable(true);
    lb_->header()->setSortIndicatorShown(true);
    lb_->header()->setStretchLastSection(false);
    lb_->header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(lb_->header(), &QHeaderView::sectionClicked, this, &MainWindow::headerClicked);
    lb_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lb_->setContextMenuPolicy(Qt::CustomContextMenu);
    lb_->installEventFilter(this);
    lb_->viewport()->installEventFilter(this);
    connect(lb_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { listPopup_->popup(lb_->viewport()->mapToGlobal(at)); });
    column->addWidget(lb_, 1);
    counter_ = new QLabel(listColumn_);
    counter_->setObjectName("FileCounter");
    column->addWidget(counter_);
    listColumn_->hide();

    welcome_ = new WelcomeFrame(body_);
    buildPanels();

    status_ = new QLabel(this);
    status_->setObjectName("StatusText");
    statusBar()->addWidget(status_, 1);
    setStatus(tr("Ready"));

    setAcceptDrops(true);
    resize(WelcomeFrame::kWidth, kClientHeight);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (life_.FirstShow())
        FormShow();
}

void MainWindow::FormShow() {
    try {
        osText_ = QString::fromStdString(s_.Desktop.OsVersionText());
        createScanner();
        TranslateCaptions();
        // Without a store the window has no place of its own yet.
        std::error_code ec;
        const bool stored = std::filesystem::exists(s_.Env.Locations.IniFile(), ec) ||
                            std::filesystem::exists(s_.Env.Locations.UserFile(), ec);
        settings::LoadPreferences(s_.Prefs, s_.Env);
        ApplyPreferences();
        fitToScreen(!stored);
        // The plain key first: the menu shows the first key, and "Num++" reads as a typo.
        if (QAction* a = Action("VolumeUp"))
            a->setShortcuts(
                {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)});
        if (QAction* a = Action("VolumeDown"))
            a->setShortcuts(
                {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)});
        setListShown(false);
        preview_->Clear();
        focusRow(-1);
        if (module_) {
            module_->Start();
            LinkCommands();
        }
        const auto openWith = [this](const std::string& program) {
            return tr("Open with %1")
                .arg(QString::fromStdString(std::filesystem::path(program).stem().string()));
        };
        setCaption("OpenInVarnolt", openWith(s_.Prefs.VarnoltProgram), -1);
        setCaption("OpenWithF3", openWith(s_.Prefs.F3Program), -1);
        setCaption("OpenWithF4", openWith(s_.Prefs.F4Program), -1);
        fillShortcutTable();
        about_->WriteSystemReport();
        setAcceptDrops(true);
        RefreshList();
    } catch (...) {
    }
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (life_.FirstPaint())
        // Out of the paint: loading a playlist lets messages run.
        QTimer::singleShot(0, this, &MainWindow::FirstPaint);
}

void MainWindow::FirstPaint() {
    // The preference as the first show loaded it: nothing can change it before the first paint.
    if (s_.Prefs.SaveListOnQuit)
        LoadPlaylist(DefaultPlaylist());
    UpdateActions();
    life_.Started();
    activateWindow();
    // The command line's script runs now: a window manager that prevents focus stealing, or no
    // window manager at all, never activates the new window.
    activated();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
    // The window's locale (QLocale::setDefault, or one set on the window) changed: every date
    // shown follows, as it does a change of the display format.
    if (event->type() == QEvent::LocaleChange && s_.LocaleOf) {
        // A widget keeps the default locale it was made with; only one set on it is newer.
        s_.Env.Locale = s_.LocaleOf(testAttribute(Qt::WA_SetLocale) ? locale() : QLocale());
        if (frame_)
            frame_->SetLocale(s_.Env.Locale);
        dateStyleChanged();
    }
}

void MainWindow::activated() {
    // The window manager's frame is known once it has framed the window, after the first
    // show placed it: the place is checked again with the frame, once.
    if (!placeFramed_ && frameGeometry() != geometry()) {
        placeFramed_ = true;
        keepOnScreen();
    }
    updatePaste();
    maybeRunScript();
}

void MainWindow::TranslateCaptions() {
    setWindowTitle(QString("%1 %2 by %3").arg(about::kProductName, versionText_, about::kMaker));
    for (QAction* a : actions_) {
        const ActionDef* d = FindActionDef(a->objectName().toStdString());
        if (!d)
            continue;
        a->setText(ActionCaption(*d));
        QString tip = ActionCaption(*d);
        if (!a->shortcuts().isEmpty())
            tip += " (" + a->shortcuts().front().toString(QKeySequence::NativeText) + ")";
        a->setToolTip(tip);
        a->setStatusTip(ActionCaption(*d));
    }
    if (QAction* quit = Action("Quit"))
        quit->setToolTip(tr("Quit %1").arg(about::kProductName));
}

void MainWindow::dateStyleChanged() {
    const settings::Preferences& p = s_.Prefs;
    model_->SetDateStyle(p.DisplayDatecodeFormat, s_.Env.Locale);
    if (editor_)
        editor_->SetDateStyle(p.DisplayDatecodeFormat, s_.Env.Locale);
    if (current_)
        player_->ShowFile(current_, p.DisplayDatecodeFormat, s_.Env.Locale);
}

void MainWindow::ApplyPreferences() {
    settings::Preferences& p = s_.Prefs;
    // Left and Top hold the client area's corner: restored as saved, whatever frame the window
    // manager puts around it.
    setGeometry(QRect(QPoint(p.Left, p.Top), size()));
    dateStyleChanged();
    SetDetailsShown(p.Window.DetailedList);
    volume_ = std::clamp(p.Volume, 0, 10000);
    player_->SetVolumeNeedle(volume_ / 100);
    player_->SetNeedleVisible(!p.InlaySlidersVisible);
    for (std::string* folder :
         {&p.OpenFolder, &p.PreferredFolder, &p.SaveFolder, &p.PlaylistFolder})
        *folder = WithSlash(*folder);
    player_->SetInlayPosition(p.InlayPositionX, p.InlayPositionY);
    preview_->SetInlayPosition(p.InlayPositionX, p.InlayPositionY, p.InlayAlignment);
    muted_ = false;
    if (p.IsMuteOn) {
        p.IsMuteOn = false;
        toggleMute();
    }
    if (p.IsInlayOn)
        setCaption("ShowInlay", tr("Hide  inlay"), kImgHideInlay);
    else
        setCaption("ShowInlay", tr("Show inlay"), kImgShowInlay);
    setCaption("ShowInlaySliders",
               p.InlaySlidersVisible ? tr("Hide the sliders for inlay")
                                     : tr("Modify the position of inlay"),
               -1);
    player_->SetSlidersVisible(p.InlaySlidersVisible);
    // Last: the settings panel's controls from the preferences (which also sends conversions
    // beside their sources when the save folder is gone).
    fillSettings();
}

void MainWindow::SavePreferences() {
    readBackSettings();
    settings::Preferences& p = s_.Prefs;
    const QRect place = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    p.Left = place.x();
    p.Top = place.y();
    p.InlayPositionX = player_->InlayX();
    p.InlayPositionY = player_->InlayY();
    p.Volume = volume_;
    p.IsMuteOn = muted_;
    settings::RecordProgramRoot(p, s_.Env);
    settings::StorePreferences(p, s_.Env);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (life_.Closing()) {
        event->accept();
        return;
    }
    // Quitting stops the conversion as Esc would, so the user decides before it is lost.
    if (conversionRunning() &&
        dialogs_->Confirm(this, tr("A conversion is running: stop it and quit?"), false) !=
            commands::Answer::Yes) {
        event->ignore();
        return;
    }
    try {
        settings::Preferences& p = s_.Prefs;
        if (p.SavePreferencesOnQuit) {
            SavePreferences();
        } else {
            const QString text =
                (p.IniMode ? tr("Do you want to save the preferences of %1 beside the program to "
                                "find them again at next start?\r\n\r\nIf you answer \"All\", "
                                "then %2 will save them automatically when quitting.")
                           : tr("Do you want to save the preferences of %1 in your configuration "
                                "folder to find them again at next start?\r\n\r\nIf you answer "
                                "\"All\", then %2 will save them automatically when quitting."))
                    .arg(about::kProductName, about::kProductName);
            const SaveAnswer answer = dialogs_->SavePreferences(this, text);
            if (answer == SaveAnswer::Cancel) {
                event->ignore();
                return;
            }
            // Through the settings box, which the store reads back.
            if (answer == SaveAnswer::All)
                settings_->savePrefsOnQuitBox->setChecked(true);
            if (answer == SaveAnswer::Yes || answer == SaveAnswer::All)
                SavePreferences();
        }
    } catch (...) {
    }
    life_.Close();
    AbortAll();
    preview_->Stop();
    waitUntilIdle();
    event->accept();
}

bool MainWindow::ScanIdle() const {
    return !scanner_ || (scanner_->Sleeping() && !scanner_->Busy());
}

void MainWindow::waitUntilIdle() {
    if (feed_)
        feed_->Reject();
    // The scanner's end reports and the run's last calls need this thread's event loop; the
    // scanner falling asleep and the run's end wake it.
    waitUntil([this] { return ScanIdle() && !life_.RunActive(); });
    // Every run has had its BatchDone handled: the workers' threads only return now.
    reapWorkers();
}

void MainWindow::waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        QEventLoop loop;
        waiters_.push_back(&loop);
        loop.exec();
        std::erase(waiters_, &loop);
    }
}

void MainWindow::wakeWaiters() {
    // Each loop ends and looks again; an outer one ends once the inner ones have returned.
    for (QEventLoop* loop : waiters_)
        loop->quit();
}

}  // namespace kelvor::ui
