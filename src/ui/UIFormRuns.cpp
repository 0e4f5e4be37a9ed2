// Command runs from the window: starting them, their messages (select, confirm, progress, list
// update, error, end), the abort keys and the scripts.
#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QListView>
#include <QTimer>

#include <filesystem>

#include "commands/ScriptRunner.h"
#include "commands/Tch.h"
#include "commands/Workers.h"
#include "ui/ActionTable.h"
#include "ui/FileListModel.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/ScanFeed.h"
#include "ui/ThreadedDirscan.h"
#include "ui/UIForm.h"
#include "ui/WindowDialogs.h"
#include "ui/WindowHost.h"

namespace kelvor::ui {

using commands::RunKind;

commands::WorkerServices TUIForm::services() {
    return {*host_, s_.Control, *module_, *cdm_};
}

bool TUIForm::canStartRun() const {
    // One run at a time: the list and the commands wait for the end of the one going on.
    return module_ && cdm_ && !runActive_;
}

void TUIForm::RunMonoCommand(const std::string& command) {
    const int f = Focused();
    if (f < 0 || !canStartRun())
        return;
    const commands::tFileAction* c = module_->Find(command);
    if (!c)
        return;
    const commands::FileItem item = model_->At(f).item;
    commands::RunMonoCommand(*c, item, services());
}

void TUIForm::RunFileCommand(const std::string& command) {
    if (SelectedCount() == 0 || !canStartRun())
        return;
    const commands::tFileAction* c = module_->Find(command);
    if (!c)
        return;
    // The last run has sent its end; its thread is over or about to be.
    fastWorker_.reset();
    fastWorker_ = commands::RunFileCommand(*c, services());
}

void TUIForm::RunGraphCommand(const std::string& command) {
    if (SelectedCount() == 0 || !canStartRun())
        return;
    const commands::tFileAction* c = module_->Find(command);
    if (!c)
        return;
    graphWorker_.reset();
    graphWorker_ = commands::RunGraphCommand(*c, services());
}

void TUIForm::runStarted(int kind) {
    runActive_ = true;
    failures_.clear();
    lb_->setEnabled(false);
    if (kind == static_cast<int>(RunKind::Graph))
        for (QAction* a : actions_) {
            const QString c = a->property("category").toString();
            if (c == kListe || c == kMulti)
                a->setEnabled(false);
        }
}

void TUIForm::selectFile(const std::string& fullName) {
    const int i = FindItem(fullName);
    selectRow(i);
    if (i >= 0)
        lb_->scrollTo(model_->index(i));
}

commands::TAnswer TUIForm::confirm(const commands::FileItem&, const QString& text,
                                   bool severalFiles) {
    // While the window closes, a run that was aborted is not asked about its next file.
    if (closing_)
        return commands::TAnswer::Cancel;
    return dialogs_->Confirm(this, text, severalFiles);
}

void TUIForm::fileStarted(const QString& status) {
    player_->BeginProgress();
    setStatus(status);
}

void TUIForm::progress(int percent) {
    player_->SetProgress(percent);
}

void TUIForm::applyUpdate(const std::string& processed, commands::TchUpdateType update,
                          const std::string& newPath) {
    switch (update) {
        case commands::utNone:
            break;
        case commands::utAdd:
            try {
                AddFile(newPath);
            } catch (...) {
            }
            break;
        case commands::utDelete:
            RemoveItem(FindItem(processed));
            break;
        case commands::utModify:
            RefreshItem(FindItem(processed));
            break;
        case commands::utRename:
            ReplaceItem(FindItem(processed), newPath);
            break;
    }
}

void TUIForm::fileDone(int kind, const commands::FileItem& file, commands::TchUpdateType update,
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
            if (update != commands::utNone)
                RefreshList();
            break;
    }
}

void TUIForm::fileError(const QString& message) {
    dialogs_->Error(this, message);
}

void TUIForm::batchDone(int kind) {
    if (kind == static_cast<int>(RunKind::Graph))
        player_->EndProgress();
    lb_->setEnabled(!editorShown_);
    runActive_ = false;
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
    // The worker is still inside this call; it is freed once its thread has ended.
    QTimer::singleShot(0, this, &TUIForm::reapWorkers);
}

void TUIForm::reapWorkers() {
    bool waiting = false;
    for (auto* w : {&graphWorker_, &fastWorker_}) {
        if (*w && (*w)->Finished())
            w->reset();
        else if (*w)
            waiting = true;
    }
    if (waiting && !runActive_)
        QTimer::singleShot(5, this, &TUIForm::reapWorkers);
}

void TUIForm::waitForWorker(commands::CommandWorker& worker) {
    while (!worker.Finished()) {
        QEventLoop loop;
        connect(host_.get(), &WindowHost::RunEnded, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    worker.Wait();
}

void TUIForm::Abort() {
    s_.Control.Abort();
    if (scanner_)
        scanner_->Stop();
    if (feed_)
        feed_->Reject();
    if (preview_->Fullscreen())
        toggleFullscreen();
}

void TUIForm::AbortAll() {
    s_.Control.AbortAll();
    if (scanner_)
        scanner_->Stop();
    if (feed_)
        feed_->Reject();
}

void TUIForm::RunScript(commands::TparamList script) {
    if (!module_ || !cdm_ || scriptRunning_)
        return;
    scriptRunning_ = true;
    commands::ScriptRunner::Result result;
    try {
        result = commands::ScriptRunner(services()).Run(script);
    } catch (...) {
    }
    scriptRunning_ = false;
    pendingScript_.clear();
    if (result.CloseRequested)
        close();
}

void TUIForm::runPendingScript() {
    scriptRunning_ = false;
    commands::TparamList script = std::move(pendingScript_);
    pendingScript_.clear();
    RunScript(std::move(script));
}

void TUIForm::maybeRunScript() {
    if (!firstPaintDone_ || scriptRunning_ || loadingDepth_ > 0 || pendingScript_.empty() ||
        !isActiveWindow())
        return;
    // Out of the activation's own handling; the flag keeps a second activation from queuing it
    // again meanwhile.
    scriptRunning_ = true;
    QTimer::singleShot(0, this, &TUIForm::runPendingScript);
}

}  // namespace kelvor::ui
