// The main window as the host of command runs. A run calls from its worker's thread (or, for a
// mono run and a script's list switches, from the UI thread); each call is carried over to the
// UI thread and, except Progress, waited for (a Qt::BlockingQueuedConnection), so the list and
// the dialogs are only ever touched by the UI thread. Progress is posted: the latest percent is
// kept in an atomic and at most one delivery is on its way.
//
// Owned by the window, which it outlives never; the window stops every worker before it goes.
#pragma once

#include <QObject>

#include <atomic>

#include "commands/CommandHost.h"

namespace kelvor::ui {

class MainWindow;

class WindowHost final : public QObject, public commands::CommandHost {
    Q_OBJECT
  public:
    explicit WindowHost(MainWindow& window);

    void RunStarted(commands::RunKind kind) override;
    void SelectFile(const commands::FileItem& file) override;
    commands::Answer Confirm(const commands::FileItem& file,
                             const commands::Question& question) override;
    void FileStarted(const commands::FileItem& file, const std::string& status) override;
    void Progress(std::int64_t percent) override;
    void FileDone(commands::RunKind kind, const commands::FileItem& file,
                  const commands::Command& command, const commands::FileOutcome& outcome) override;
    void FileError(const commands::FileItem& file, const commands::Command& command,
                   const std::string& message) override;
    void BatchDone(commands::RunKind kind) override;
    void WaitForRun(commands::CommandWorker& worker) override;

    void ReleasePreview(const std::string& path) override;
    void TakeBackPreview(const std::string& path, bool reload) override;

    bool ShowRiffReport(const std::string& path) override;
    bool ShowInFileManager(const std::string& path) override;
    bool OpenDocument(const std::string& path) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
    bool SetPreviewInlay(bool on) override;
    bool SetInlaySliders(bool visible, bool volumeNeedle) override;
    void SetCommandCaption(const std::string& command, const std::string& caption,
                           int image) override;

    void SwitchRefused(const std::string& switchText, const std::string& why) override;

    void BeginLoading(const std::string& status) override;
    bool AddFile(const std::string& path, bool select) override;
    void EndLoading() override;
    bool LoadPlaylist(const std::string& path) override;
    void EmptyList() override;
    void SelectAll() override;
    void UnselectAll() override;
    std::vector<commands::FileItem> SelectedFiles() override;
    std::optional<commands::FileItem> CurrentFile() override;

  private:
    // Runs f on the UI thread and waits for it; directly when already there.
    template <typename F>
    void onUi(F&& f);

    MainWindow& w_;
    std::atomic<int> percent_{0};
    std::atomic<bool> progressPosted_{false};
};

}  // namespace kelvor::ui
