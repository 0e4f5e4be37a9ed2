#include "ui/WindowHost.h"

#include <QAction>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QThread>
#include <QTreeView>

#include <filesystem>

#include "commands/CommandTexts.h"
#include "commands/Workers.h"
#include "core/shell/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MainWindow.h"
#include "ui/Panels.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/panels/RiffReportWindow.h"

namespace kelvor::ui {

using commands::FileItem;
using commands::RunKind;

WindowHost::WindowHost(MainWindow& window) : w_(window) {}

template <typename F>
void WindowHost::onUi(F&& f) {
    if (QThread::currentThread() == thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

void WindowHost::RunStarted(RunKind kind) {
    onUi([&] { w_.runStarted(static_cast<int>(kind)); });
}

void WindowHost::SelectFile(const FileItem& file) {
    onUi([&] { w_.selectFile(file.FullName()); });
}

commands::Answer WindowHost::Confirm(const FileItem& file, const commands::Question& question) {
    commands::Answer answer = commands::Answer::No;
    onUi([&] {
        answer = w_.confirm(file, QString::fromStdString(question.Text), question.SeveralFiles);
    });
    return answer;
}

void WindowHost::FileStarted(const FileItem&, const std::string& status) {
    if (status.empty())
        return;
    onUi([&] { w_.fileStarted(QString::fromStdString(status)); });
}

void WindowHost::Progress(std::int64_t percent) {
    percent_ = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
    // One delivery on its way at a time; it shows whatever percent is latest when it arrives.
    if (progressPosted_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressPosted_ = false;
            w_.progress(percent_.load());
        },
        Qt::QueuedConnection);
}

void WindowHost::FileDone(RunKind kind, const FileItem& file, const commands::Command&,
                          const commands::FileOutcome& outcome) {
    // A stopped conversion's new file is not listed: its part stays on disk, named in the
    // status with its frames, so it is not taken for a whole file.
    std::string failure = outcome.Aborted ? std::string() : outcome.Failure;
    if (outcome.Aborted && outcome.Update == commands::ListUpdate::Add && !outcome.NewPath.empty())
        failure = tr("stopped; the part written so far stays in %1 (%2)")
                      .arg(QString::fromStdString(
                               std::filesystem::path(outcome.NewPath).filename().string()),
                           QString::fromStdString(
                               commands::IncompleteText(outcome.FramesWritten, outcome.FramesDue)))
                      .toStdString();
    onUi([&] {
        w_.fileDone(static_cast<int>(kind), file, outcome.ListedUpdate(), outcome.NewPath, failure);
    });
}

void WindowHost::FileError(const FileItem&, const commands::Command&, const std::string& message) {
    onUi([&] { w_.fileError(QString::fromStdString(message)); });
}

void WindowHost::SwitchRefused(const std::string& switchText, const std::string& why) {
    onUi([&] { w_.fileError(QString::fromStdString(switchText + ": " + why)); });
}

void WindowHost::BatchDone(RunKind kind) {
    onUi([&] { w_.batchDone(static_cast<int>(kind)); });
}

void WindowHost::WaitForRun(commands::CommandWorker& worker) {
    // The worker's calls need this thread, so it waits by running the event loop until the
    // run's end wakes it.
    w_.waitForWorker(worker);
}

void WindowHost::ReleasePreview(const std::string& path) {
    onUi([&] {
        if (w_.current_ && w_.current_->FullName == path)
            w_.preview_->Release();
    });
}

void WindowHost::TakeBackPreview(const std::string& path, bool) {
    onUi([&] {
        w_.preview_->Resume();
        if (w_.current_ && w_.current_->FullName == path)
            w_.preview_->Load(w_.current_.get());
    });
}

bool WindowHost::ShowRiffReport(const std::string& path) {
    bool shown = false;
    onUi([&] {
        if (!w_.riff_)
            w_.riff_ = new RiffReportWindow(&w_);
        shown = w_.riff_->ShowReport(path);
    });
    return shown;
}

bool WindowHost::ShowInFileManager(const std::string& path) {
    onUi([&] { w_.s_.Desktop.ShowInExplorer(path); });
    return true;
}

bool WindowHost::OpenDocument(const std::string& path) {
    bool done = false;
    onUi([&] { done = w_.s_.Desktop.OpenDocument(path); });
    return done;
}

bool WindowHost::StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) {
    bool done = false;
    onUi([&] { done = w_.s_.Desktop.StartProgram(program, arguments); });
    return done;
}

bool WindowHost::SetPreviewInlay(bool on) {
    onUi([&] {
        const settings::Preferences& p = w_.s_.Prefs;
        w_.preview_->SetInlayPosition(p.InlayPositionX, p.InlayPositionY, p.InlayAlignment);
        w_.preview_->SetInlay(on);
    });
    return true;
}

bool WindowHost::SetInlaySliders(bool visible, bool volumeNeedle) {
    onUi([&] {
        w_.player_->SetSlidersVisible(visible);
        w_.player_->SetNeedleVisible(volumeNeedle);
    });
    return true;
}

void WindowHost::SetCommandCaption(const std::string& command, const std::string& caption,
                                   int image) {
    onUi([&] {
        for (const auto& [action, name] : w_.bound_)
            if (name == command)
                w_.setCaption(action->objectName(),
                              QCoreApplication::translate("kelvor::commands", caption.c_str()),
                              image);
    });
}

void WindowHost::BeginLoading(const std::string& status) {
    onUi([&] { w_.BeginLoading(QString::fromStdString(status)); });
}

bool WindowHost::AddFile(const std::string& path, bool select) {
    bool added = false;
    onUi([&] {
        w_.letMessagesRun();
        added = w_.AddFile(path, select) >= 0;
    });
    return added;
}

void WindowHost::EndLoading() {
    onUi([&] { w_.EndLoading(); });
}

bool WindowHost::LoadPlaylist(const std::string& path) {
    bool read = false;
    onUi([&] { read = w_.LoadPlaylist(path); });
    return read;
}

void WindowHost::EmptyList() {
    onUi([&] { w_.EmptyList(); });
}

void WindowHost::SelectAll() {
    onUi([&] { w_.SelectAll(); });
}

void WindowHost::UnselectAll() {
    onUi([&] { w_.lb_->selectionModel()->clearSelection(); });
}

std::vector<FileItem> WindowHost::SelectedFiles() {
    std::vector<FileItem> files;
    onUi([&] {
        for (int row : w_.SelectedRows())
            files.push_back(w_.model_->At(row).item);
    });
    return files;
}

std::optional<FileItem> WindowHost::CurrentFile() {
    std::optional<FileItem> file;
    onUi([&] {
        const int f = w_.Focused();
        if (f >= 0)
            file = w_.model_->At(f).item;
    });
    return file;
}

}  // namespace kelvor::ui
