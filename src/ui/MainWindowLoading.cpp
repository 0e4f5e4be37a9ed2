// Loading files into the list: the open dialogs, drop and paste, folder scans on the scanner's
// thread, playlists, and launching a script.
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <filesystem>

#include "commands/ListLoading.h"
#include "commands/ScriptParser.h"
#include "core/files/DatePattern.h"
#include "core/files/FileKinds.h"
#include "core/scenes/ExportContext.h"
#include "core/shell/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/FolderScanner.h"
#include "ui/MainWindow.h"
#include "ui/Playlist.h"
#include "ui/ScanFeed.h"
#include "ui/WindowDialogs.h"

namespace kelvor::ui {
namespace {

// A dropped or pasted path longer than this is not a file name.
constexpr qsizetype kMaxDroppedPath = 65530;
// Paths the scanner may have found ahead of the list.
constexpr std::size_t kScanBacklog = 256;
// The longest the UI thread adds found files before it lets other work run.
constexpr auto kScanSlice = std::chrono::milliseconds(12);
// Loading loops let messages run at most this often, so a fast loop does not spend its time
// repainting.
constexpr qint64 kMessagesEveryMs = 20;

// The name as the list's records hold it: absolute and normalised.
std::string AbsoluteName(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : full).lexically_normal().string();
}

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// The local files a drop or the clipboard names.
QStringList LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

}  // namespace

void MainWindow::setWaitCursor(bool on) {
    if (on == waitCursor_)
        return;
    waitCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::BeginLoading(const QString& status) {
    s_.Control.KeepLoading = true;
    hadCurrent_ = Focused() >= 0;
    setWaitCursor(true);
    setStatus(status);
}

void MainWindow::EndLoading() {
    setWaitCursor(false);
    RefreshList();
    if (!hadCurrent_ && model_->Count() > 0 && SelectedCount() == 0) {
        focusRow(0);
        selectRow(0);
        SelectionChanged();
    }
    UpdateActions();
    showCurrent();
    setStatus(tr("Ready"));
    if (lb_->isVisible() && lb_->isEnabled())
        lb_->setFocus();
}

void MainWindow::letMessagesRun() {
    const qint64 now = NowMs();
    if (now - lastMessages_ < kMessagesEveryMs)
        return;
    lastMessages_ = now;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::LoadFiles(const QString& status, const QStringList& paths) {
    BeginLoading(status);
    ++loadingDepth_;
    for (const QString& p : paths) {
        if (!s_.Control.KeepLoading)
            break;
        if (p.size() > kMaxDroppedPath)
            continue;
        letMessagesRun();
        AddFile(p.toStdString());
    }
    --loadingDepth_;
    EndLoading();
    maybeRunScript();
}

bool MainWindow::LoadPlaylist(const std::string& path) {
    const auto entries = commands::PlaylistEntries(path);
    if (!entries) {
        EndLoading();
        return false;
    }
    BeginLoading(tr("Open the playlist %1").arg(QString::fromStdString(path)));
    ++loadingDepth_;
    for (const std::string& entry : *entries) {
        if (!s_.Control.KeepLoading)
            break;
        letMessagesRun();
        AddFile(entry);
    }
    --loadingDepth_;
    EndLoading();
    maybeRunScript();
    return true;
}

std::string MainWindow::DefaultPlaylist() const {
    std::string folder = s_.Prefs.PlaylistFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + kDefaultPlaylistName;
}

bool MainWindow::SavePlaylist(const std::string& path) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(model_->Count()));
    for (int i = 0; i < model_->Count(); ++i)
        names.push_back(model_->At(i).item.FullName());
    const double now = s_.Env.Now ? s_.Env.Now() : scenes::SystemLocalNow();
    const std::string text =
        PlaylistText(names, SortMode(), versionText_.toStdString(),
                     FormatDateTime(s_.Prefs.DisplayDatecodeFormat, now, s_.Env.Locale));
    std::string error;
    if (WritePlaylistFile(path, text, error))
        return true;
    dialogs_->Error(this, QString::fromStdString(path + ": " + error));
    return false;
}

void MainWindow::createScanner() {
    if (scanner_)
        return;
    feed_ = std::make_unique<ScanFeed>(
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { drainScan(); }, Qt::QueuedConnection);
        },
        kScanBacklog);
    FolderScanner::Callbacks on;
    // Dirscan1FileFound: only DV video files go over, by name or by their first bytes (read on
    // the scanner's thread); AddFile checks again that the file exists.
    on.OnFileFound = [this](FolderScanner&, const std::string& path) {
        if (files::IsDvVideoCandidate(path))
            feed_->Push({ScanFeed::Kind::File, path});
    };
    on.OnDirWithFiles = [this](FolderScanner&, const std::string& folder) {
        feed_->Push({ScanFeed::Kind::Folder, folder});
    };
    on.OnEndScan = [this](FolderScanner&, const std::string& root, bool, const std::string&) {
        feed_->Push({ScanFeed::Kind::End, root});
    };
    // A loop waiting for the scanner to rest (the close) looks again.
    on.OnSleep = [this](FolderScanner&) {
        QMetaObject::invokeMethod(
            this, [this] { wakeWaiters(); }, Qt::QueuedConnection);
    };
    scanner_ = std::make_unique<FolderScanner>(std::move(on), "*.*", true);
}

void MainWindow::ScanFolders(const QStringList& folders, const QString& status,
                             bool oneFileSystem) {
    createScanner();
    if (folders.isEmpty())
        return;
    feed_->Accept();
    BeginLoading(status);
    for (const QString& f : folders)
        scanner_->QueueFolder(f.toStdString(), oneFileSystem);
}

void MainWindow::drainScan() {
    if (!feed_)
        return;
    const auto deadline = std::chrono::steady_clock::now() + kScanSlice;
    ScanFeed::Report report;
    while (feed_->Take(report)) {
        switch (report.kind) {
            case ScanFeed::Kind::Folder:
                setStatus(tr("Browsing %1").arg(QString::fromStdString(report.text)));
                break;
            case ScanFeed::Kind::File:
                if (s_.Control.KeepLoading)
                    AddFile(report.text);
                break;
            case ScanFeed::Kind::End:
                endOfScan();
                break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            // More may wait and no wake-up comes for them: come back after other work.
            QTimer::singleShot(0, this, &MainWindow::drainScan);
            return;
        }
    }
}

void MainWindow::endOfScan() {
    ++scansEnded_;
    wakeWaiters();
    setWaitCursor(false);
    if (!hadCurrent_ && model_->Count() > 0) {
        if (SelectedCount() == 0) {
            focusRow(0);
            selectRow(0);
        }
        RefreshList();
        showCurrent();
    }
    UpdateActions();
    setStatus(tr("Ready"));
    if (lb_->isVisible() && lb_->isEnabled())
        lb_->setFocus();
}

void MainWindow::scanGivenFolder(const std::string& folder) {
    const int ended = scansEnded_;
    ScanFolders({QString::fromStdString(folder)}, tr("Browsing a folder"));
    // Esc stops the scan: its end comes, or the scanner drops the folder and falls asleep.
    waitUntil([&] {
        return scansEnded_ != ended || life_.Closing() || (!s_.Control.KeepLoading && ScanIdle());
    });
}

int MainWindow::firstGivenRow(const std::string& value) const {
    int row = -1;
    std::error_code ec;
    if (std::filesystem::is_directory(value, ec)) {
        const std::string folder = WithDelimiter(AbsoluteName(value));
        for (int i = 0; i < model_->Count() && row < 0; ++i)
            if (model_->At(i).item.FullName().starts_with(folder))
                row = i;
    } else {
        for (const std::string& path : commands::ExpandFileMask(value)) {
            row = FindItem(AbsoluteName(path));
            if (row >= 0)
                break;
        }
    }
    return row;
}

void MainWindow::makeCurrent(int row) {
    focusRow(row);
    selectRow(row);
    lb_->scrollTo(model_->index(row));
    SelectionChanged();
    if (lb_->isVisible() && lb_->isEnabled())
        lb_->setFocus();
}

void MainWindow::openFiles() {
    const QStringList files = dialogs_->OpenFiles(
        this, QString::fromStdString(s_.Prefs.OpenFolder),
        tr("DV video files (*.avi *.AVI *.dv *.DV *.dif *.DIF *.mov *.MOV *.mkv *.MKV)"));
    if (files.isEmpty())
        return;
    LoadFiles(tr("Loading files"), files);
}

void MainWindow::openFolder() {
    const QString folder =
        dialogs_->ChooseFolder(this, tr("Select the folder containing the AVI files to open"),
                               QString::fromStdString(s_.Prefs.OpenFolder));
    if (folder.isEmpty())
        return;
    ScanFolders({folder}, tr("Browsing a folder"));
}

void MainWindow::openPreferredFolder() {
    ScanFolders({QString::fromStdString(s_.Prefs.PreferredFolder)}, tr("Browsing the folder"));
}

void MainWindow::openAll() {
    QStringList drives;
    for (const std::string& d : s_.Desktop.FixedDrives())
        drives << QString::fromStdString(d);
    ScanFolders(drives, tr("Loading all AVI files"), true);
}

void MainWindow::openPlaylist() {
    const QString file = dialogs_->OpenFile(this, QString::fromStdString(s_.Prefs.PlaylistFolder),
                                            tr("playlist (*.txt)"));
    if (!file.isEmpty())
        LoadPlaylist(file.toStdString());
}

void MainWindow::openDefaultPlaylist() {
    LoadPlaylist(DefaultPlaylist());
}

void MainWindow::savePlaylistAs() {
    const QString file = dialogs_->SaveFile(this, QString::fromStdString(s_.Prefs.PlaylistFolder),
                                            tr("playlist (*.txt)"), "txt");
    if (!file.isEmpty())
        SavePlaylist(file.toStdString());
}

void MainWindow::launchScript() {
    const QString file = dialogs_->OpenFile(this, QString(), "*.txt (*.txt)");
    if (file.isEmpty())
        return;
    RunScript(commands::LoadScriptFile(file.toStdString()));
}

void MainWindow::paste() {
    try {
        setWaitCursor(true);
        const QStringList files = LocalFiles(QApplication::clipboard()->mimeData());
        if (files.isEmpty()) {
            EndLoading();
            return;
        }
        LoadFiles(tr("Paste files"), files);
    } catch (...) {
        setWaitCursor(false);
    }
}

void MainWindow::updatePaste() {
    if (QAction* a = Action("PasteFiles"))
        a->setEnabled(!LocalFiles(QApplication::clipboard()->mimeData()).isEmpty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = LocalFiles(event->mimeData());
    event->acceptProposedAction();
    if (files.isEmpty())
        return;
    // The drop is released first; the files are added once the drag is over.
    QTimer::singleShot(0, this,
                       [this, files] { LoadFiles(tr("Open drag-and-dropped files"), files); });
}

}  // namespace kelvor::ui
