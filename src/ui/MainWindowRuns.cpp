// Command runs from the window: starting them, their messages (select, confirm, progress, list
// update, error, end), the abort keys and the scripts.
#include <QAction>
#include <QLabel>
#include <QTreeView>
#include <QTimer>

#include <filesystem>
#include <utility>

#include "commands/CommandModule.h"
#include "commands/ScriptRunner.h"
#include "commands/Workers.h"
#include "ui/ActionTable.h"
#include "ui/FileListModel.h"
#include "ui/FolderScanner.h"
#include "ui/MainWindow.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/ScanFeed.h"
#include "ui/WindowDialogs.h"
#include "ui/WindowHost.h"

namespace kelvor::ui {

using commands::RunKind;

namespace {

bool NamesFolder(const std::string& value) {
    std::error_code ec;
    return !value.empty() && std::filesystem::is_directory(value, ec);
}

}  // namespace

commands::WorkerServices MainWindow::services() {
    return {*host_, s_.Control, *module_, *graphs_};
}

bool MainWindow::canStartRun() const {
    // One run at a time: the list and the commands wait for the end of the one going on.
    return module_ && graphs_ && life_.CanStartRun();
}

void MainWindow::RunMonoCommand(const std::string& command) {
    const int f = Focused();
    if (f < 0 || !canStartRun())
        return;
    const commands::Command* c = module_->Find(command);
    if (!c)
        return;
    const commands::FileItem item = model_->At(f).item;
    commands::RunMonoCommand(*c, item, services());
}

void MainWindow::RunFileCommand(const std::string& command) {
    if (SelectedCount() == 0 || !canStartRun())
        return;
    const commands::Command* c = module_->Find(command);
    if (!c)
        return;
    // The last run has sent its end; its thread is over or about to be.
    fastWorker_.reset();
    fastWorker_ = commands::RunFileCommand(*c, services());
}

void MainWindow::RunGraphCommand(const std::string& command) {
    if (SelectedCount() == 0 || !canStartRun())
        return;
    const commands::Command* c = module_->Find(command);
    if (!c)
        return;
    graphWorker_.reset();
    graphWorker_ = commands::RunGraphCommand(*c, services());
}

void MainWindow::runStarted(int kind) {
    life_.BeginRun();
    failures_.clear();
    lb_->setEnabled(false);
    if (kind == static_cast<int>(RunKind::Graph))
        for (QAction* a : actions_) {
            const QString c = a->property("category").toString();
            if (c == kCategoryList || c == kMulti)
                a->setEnabled(false);
        }
}

void MainWindow::selectFile(const std::string& fullName) {
    const int i = FindItem(fullName);
    selectRow(i);
    if (i >= 0)
        lb_->scrollTo(model_->index(i));
}

commands::Answer MainWindow::confirm(const commands::FileItem&, const QString& text,
                                     bool severalFiles) {
    // While the window closes, a run that was aborted is not asked about its next file.
    if (life_.Closing())
        return commands::Answer::Cancel;
    return dialogs_->Confirm(this, text, severalFiles);
}

void MainWindow::fileStarted(const QString& status) {
    player_->BeginProgress();
    setStatus(status);
}

void MainWindow::progress(int percent) {
    player_->SetProgress(percent);
}

void MainWindow::applyUpdate(const std::string& processed, commands::ListUpdate update,
                             const std::string& newPath) {
    switch (update) {
        case commands::ListUpdate::None:
            break;
        case commands::ListUpdate::Add:
            try {
                AddFile(newPath);
            } catch (...) {
            }
            break;
        case commands::ListUpdate::Delete:
            RemoveItem(FindItem(processed));
            break;
        case commands::ListUpdate::Modify:
            RefreshItem(FindItem(processed));
            break;
        case commands::ListUpdate::Rename:
            ReplaceItem(FindItem(processed), newPath);
            break;
    }
}

void MainWindow::fileDone(int kind, const commands::FileItem& file, commands::ListUpdate update,
                          const std::string& newPath, const std::string& failure) {
    if (!failure.empty())
        failures_.push_back(QString::fromStdString(
            std::filesystem::path(file.FullName()).filename().string() + ": " + failure));
    applyUpdate(file.FullName(), update, newPath);
    switch (static_cast<RunKind>(kind)) {
        case RunKind::Graph:
            player_->EndProgress();
            setStatus(tr("Ready"));
            if (lb_->isVisible() && lb_->isEnabled())
                lb_->setFocus();
            RefreshList();
            break;
        case RunKind::File:
        case RunKind::Mono:
            if (update != commands::ListUpdate::None)
                RefreshList();
            break;
    }
}

void MainWindow::fileError(const QString& message) {
    dialogs_->Error(this, message);
}

void MainWindow::batchDone(int kind) {
    if (kind == static_cast<int>(RunKind::Graph))
        player_->EndProgress();
    lb_->setEnabled(!editorShown_);
    life_.EndRun();
    wakeWaiters();
    UpdateActions();
    if (failures_.empty()) {
        setStatus(tr("Ready"));
    } else {
        // A file that could not be processed says so, rather than the run looking done.
        QString text = tr("Not processed: %1").arg(failures_.back());
        if (failures_.size() > 1)
            text += tr(" (and %1 more)").arg(failures_.size() - 1);
        setStatus(text);
        QStringList all;
        for (const QString& f : failures_)
            all << f;
        status_->setToolTip(all.join('\n'));
    }
    if (isActiveWindow() && panel_ == Panel::None && lb_->isVisible())
        lb_->setFocus();
    s_.Control.CommandFinished = true;
    // The worker is still inside this call; it is freed out of it. A command line's script that
    // the run kept waiting may start now.
    QTimer::singleShot(0, this, &MainWindow::reapWorkers);
    maybeRunScript();
}

void MainWindow::reapWorkers() {
    // Without a run going on, every worker has had its BatchDone handled, its last call: its
    // thread only returns, and the join is short. During a run only the finished ones go; the
    // others go after that run's end.
    const bool idle = !life_.RunActive();
    for (auto* w : {&graphWorker_, &fastWorker_})
        if (*w && (idle || (*w)->Finished()))
            w->reset();
}

void MainWindow::waitForWorker(commands::CommandWorker& worker) {
    // The run's calls need this thread: the event loop runs until its BatchDone has been
    // handled here (which wakes the loop); the worker's thread then only returns.
    commands::CommandWorker* outer = std::exchange(waitedWorker_, &worker);
    waitUntil([&] { return !life_.RunActive() || worker.Finished(); });
    waitedWorker_ = outer;
    worker.Wait();
}

bool MainWindow::conversionRunning() const {
    if (!life_.RunActive())
        return false;
    for (const commands::CommandWorker* w : {graphWorker_.get(), waitedWorker_})
        if (w && !w->Finished() && w->WritesVideo())
            return true;
    return false;
}

void MainWindow::Abort() {
    s_.Control.Abort();
    if (scanner_)
        scanner_->Stop();
    if (feed_)
        feed_->Reject();
    if (preview_->Fullscreen())
        toggleFullscreen();
}

void MainWindow::AbortAll() {
    s_.Control.AbortAll();
    if (scanner_)
        scanner_->Stop();
    if (feed_)
        feed_->Reject();
}

void MainWindow::RunScript(commands::Script script) {
    if (!module_ || !graphs_ || !life_.BeginScript())
        return;
    commands::ScriptRunner::Result result;
    try {
        result = commands::ScriptRunner(services()).Run(script);
    } catch (...) {
    }
    life_.EndScript();
    pendingScript_.clear();
    if (result.CloseRequested)
        close();
}

void MainWindow::runPendingScript() {
    if (!life_.TakeQueuedScript())
        return;
    commands::Script script = std::move(pendingScript_);
    pendingScript_.clear();
    runCommandLine(std::move(script));
}

void MainWindow::runCommandLine(commands::Script script) {
    if (!module_ || !graphs_ || !life_.BeginScript())
        return;
    bool closeRequested = false;
    bool firstShown = false;
    s_.Control.ScriptStop = false;
    try {
        // One switch at a time: a folder is scanned to its end before the next switch, and the
        // first file given is made current before any command runs on the selection.
        for (const commands::ScriptSwitch& p : script) {
            if (s_.Control.ScriptStop || life_.Closing())
                break;
            const bool loads = p.Letter == 'F' && p.Refusal.empty();
            if (loads && NamesFolder(p.Value)) {
                scanGivenFolder(p.Value);
            } else {
                commands::Script one{p};
                closeRequested |= commands::ScriptRunner(services()).Run(one).CloseRequested;
            }
            if (!loads || life_.Closing())
                continue;
            // A name that lists nothing says so rather than leaving the welcome frame.
            if (const int row = firstGivenRow(p.Value); row < 0) {
                setStatus(tr("Nothing listed from %1: no such file or folder, or no video the "
                             "list takes")
                              .arg(QString::fromStdString(p.Value)));
            } else if (!firstShown) {
                makeCurrent(row);
                firstShown = true;
            }
        }
    } catch (...) {
    }
    life_.EndScript();
    if (closeRequested)
        close();
}

void MainWindow::maybeRunScript() {
    if (life_.Now() != WindowLife::State::Ready || loadingDepth_ > 0 || pendingScript_.empty())
        return;
    // Out of the activation's own handling; the queued state keeps a second activation from
    // queuing it again meanwhile.
    life_.QueueScript();
    QTimer::singleShot(0, this, &MainWindow::runPendingScript);
}

}  // namespace kelvor::ui
