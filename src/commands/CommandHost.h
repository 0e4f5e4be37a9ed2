// What a command run asks of its front end. The window, kelvor-cli and the tests are three hosts
// of the same runs; no run touches a widget or a terminal itself.
//
// Threads: the run calls (RunStarted to BatchDone, the preview and the mono needs) come on the
// thread that runs the command: a worker's for file and graph runs, the caller's for mono runs.
// Every call except Progress is "sent and waited for": it returns when the front end has done
// it, so a window marshals it to its own thread and blocks (Qt::BlockingQueuedConnection);
// Progress is "posted" and must never block. The list calls come from the script runner on the
// front end's own thread. No call may throw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/Command.h"

namespace kelvor::commands {

class CommandWorker;

enum class RunKind { Mono, File, Graph };

// What the end of one file (or, for the cut, one scene) of a run carries.
struct FileOutcome {
    ListUpdate Update = ListUpdate::None;
    std::string NewPath;
    // Why the file was not processed; empty when it was.
    std::string Failure;
    // The user stopped this file (Esc); what was written so far stays and is reported.
    bool Aborted = false;
    // For a stopped conversion whose AVI output stays: the video frames it holds and those the
    // complete output would have held; -1 when not known.
    std::int64_t FramesWritten = -1;
    std::int64_t FramesDue = -1;
    // The update a host may apply: none for a file that failed or was stopped, whatever the
    // command had announced.
    ListUpdate ListedUpdate() const { return Succeeded() ? Update : ListUpdate::None; }
    bool Succeeded() const { return Failure.empty() && !Aborted; }
};

// A confirmation as the dialog shows it.
struct Question {
    std::string Message;  // the command's question for this file
    std::string Text;     // the dialog's text: the message, with the "to All" hint when several
    // Several files: the buttons Yes, No, Cancel, No to all, Yes to all. One file: Yes and No
    // (Yes to all counts as Yes, any other answer as No).
    bool SeveralFiles = false;
};

enum class SkipReason {
    Condition,  // the command does not apply to the file (its file condition)
    Declined,   // the confirmation was answered No (or No to all)
};

class CommandHost {
  public:
    virtual ~CommandHost() = default;

    // --- Runs.
    // A run begins: a window disables its list (and for graph runs the list and multi actions).
    virtual void RunStarted(RunKind) {}
    // Select the item of this file (found by its full path).
    virtual void SelectFile(const FileItem& file) = 0;
    // The confirmation dialog; the answer becomes the batch's answer.
    virtual Answer Confirm(const FileItem& file, const Question& question) = 0;
    // The file is passed over; a window says nothing, a terminal one line.
    virtual void FileSkipped(const FileItem&, SkipReason, const std::string& /*why*/) {}
    // A graph run begins this file: show the progress display with this status text (none when
    // the status is empty) and the gauge at 0.
    virtual void FileStarted(const FileItem&, const std::string& /*status*/) {}
    // Percent of the file being converted (the cut: of the scene). Posted; never blocks.
    virtual void Progress(std::int64_t /*percent*/) {}
    // The file is done: apply the list update (ListUpdate::Add adds NewPath, ListUpdate::Delete
    // removes the item, ListUpdate::Modify re-reads it, ListUpdate::Rename replaces it by NewPath)
    // and end the progress display.
    virtual void FileDone(RunKind kind, const FileItem& file, const Command& command,
                          const FileOutcome& outcome) = 0;
    // An exception escaped the execution; message is the text to show. The batch goes on.
    virtual void FileError(const FileItem& file, const Command& command,
                           const std::string& message) = 0;
    // The run is over, on every way out (also Cancel and an empty list).
    virtual void BatchDone(RunKind kind) = 0;
    // Waits until the worker's run has ended, letting the front end's own work go on meanwhile
    // (a window runs its event loop). The default joins the worker, which suits hosts that do
    // the run calls on the worker's thread.
    virtual void WaitForRun(CommandWorker& worker);

    // --- The preview, for the graph runs (which read the file) and the handlers that rewrite a
    // file in place.
    virtual void ReleasePreview(const std::string& /*path*/) {}
    // reload: load the file into the preview again (its header changed).
    virtual void TakeBackPreview(const std::string& /*path*/, bool /*reload*/) {}

    // --- What the mono commands need. False when this front end cannot do it.
    virtual bool ShowRiffReport(const std::string& path) = 0;
    // The file manager showing the file selected (or at least its folder).
    virtual bool ShowInFileManager(const std::string& path) = 0;
    // The desktop's default application for the file.
    virtual bool OpenDocument(const std::string& path) = 0;
    // Every argument is one argument; no shell in between.
    virtual bool StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
    // The preview's datecode inlay on (configured from the preferences) or off; the shown
    // frame is redrawn when the preview is not playing.
    virtual bool SetPreviewInlay(bool on) = 0;
    // The inlay position sliders shown or hidden, and the volume needle panel.
    virtual bool SetInlaySliders(bool visible, bool volumeNeedle) = 0;
    // The caption and image of the action bound to a command (image -1 keeps the image).
    virtual void SetCommandCaption(const std::string& /*command*/, const std::string& /*caption*/,
                                   int /*image*/) {}

    // --- Scripts (front end's thread).
    // A script switch that runs nothing for a reason of its own (its value, its letter, the file
    // it names): the user hears of it, and a terminal counts it as not processed.
    virtual void SwitchRefused(const std::string& switchText, const std::string& why) = 0;

    // --- The list, for scripts (front end's thread).
    // Status shown while loading; the script runner stops early when its keepLoading flag
    // clears.
    virtual void BeginLoading(const std::string& status) = 0;
    // Adds an existing ".avi" file (any case); false when the list does not take it.
    virtual bool AddFile(const std::string& path, bool select) = 0;
    virtual void EndLoading() = 0;
    // Adds the files a playlist names; false when it could not be read.
    virtual bool LoadPlaylist(const std::string& path) = 0;
    virtual void EmptyList() = 0;
    virtual void SelectAll() = 0;
    virtual void UnselectAll() = 0;
    // The selected items in list order.
    virtual std::vector<FileItem> SelectedFiles() = 0;
    // The focused item (the file the information panel shows), if any.
    virtual std::optional<FileItem> CurrentFile() = 0;
};

}  // namespace kelvor::commands
