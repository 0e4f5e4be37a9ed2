#include "commands/Workers.h"

#include <chrono>
#include <exception>

#include "commands/CommandTexts.h"
#include "commands/Tch.h"
#include "media/graphs/CompletionEvent.h"
#include "media/graphs/TCdm.h"

namespace kelvor::commands {
namespace {

constexpr auto kProgressSlice = std::chrono::milliseconds(500);
constexpr const char* kCutScenes = "CutScenes";

// The confirmation step: the batch's answer, the command's question for this file, and the
// dialog when a question is needed. True when the file is to be processed.
bool Confirmation(const tFileAction& command, TParam& param, const FileItem& file, TAnswer& answer,
                  bool severalFiles, CommandHost& host, std::string& message) {
    message.clear();
    if (answer == TAnswer::YesToAll)
        return true;
    if (command.OnConfirmation)
        command.OnConfirmation(param, *file.Record, message);
    if (answer == TAnswer::NoToAll)
        return message.empty();
    if (message.empty())
        return true;
    TAnswer given = host.Confirm(
        file, Question{message, ConfirmationDialogText(message, severalFiles), severalFiles});
    if (!severalFiles)
        given = given == TAnswer::Yes || given == TAnswer::YesToAll ? TAnswer::Yes : TAnswer::No;
    answer = given;
    return given == TAnswer::Yes || given == TAnswer::YesToAll;
}

// Why a file the condition excludes is passed over.
std::string ExcludedBecause(const tFileAction& command, const FileItem& file) {
    if (!file.Record->Exists)
        return "the file is not found";
    if (!command.Requirement.empty())
        return command.Requirement;
    return "\"" + (command.Caption.empty() ? command.Name : command.Caption) +
           "\" does not apply to this file";
}

std::string EscapedText(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
        return "unknown error";
    }
}

// Runs the execution; an exception it lets out becomes the file's failure (the short worker and
// mono runs: their handlers catch their own, this is the last guard).
FileOutcome ExecuteCaught(tFileAction& command, const FileItem& file) {
    TExecutionResult result;
    try {
        command.OnExecution(command.Param, *file.Record, result);
    } catch (...) {
        if (result.failure.empty())
            result.failure = "an error occured: " + EscapedText(std::current_exception());
    }
    return FileOutcome{result.update, result.newfichier, result.failure, false};
}

}  // namespace

CommandWorker::CommandWorker(std::vector<FileItem> files, const tFileAction& command,
                             WorkerServices services)
    : files_(std::move(files)), command_(command), s_(services) {}

CommandWorker::~CommandWorker() {
    join();
}

void CommandWorker::join() {
    if (thread_.joinable())
        thread_.join();
}

void CommandWorker::start() {
    thread_ = std::thread([this] {
        try {
            run();
        } catch (...) {
            // run() reports every failure itself; nothing may leave the thread.
        }
        s_.Control.CommandFinished = true;
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        cv_.notify_all();
    });
}

void CommandWorker::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return finished_.load(); });
}

bool CommandWorker::admit(const FileItem& file, TAnswer& answer, bool severalFiles,
                          bool& cancelled) {
    cancelled = false;
    if (command_.OnFileCondition) {
        bool visible = true, enabled = true;
        command_.OnFileCondition(command_.Param, *file.Record, visible, enabled);
        if (!enabled) {
            s_.Host.FileSkipped(file, SkipReason::Condition, ExcludedBecause(command_, file));
            return false;
        }
    }
    std::string message;
    const bool proceed =
        Confirmation(command_, command_.Param, file, answer, severalFiles, s_.Host, message);
    if (answer == TAnswer::Cancel) {
        s_.Host.FileSkipped(file, SkipReason::Declined, message);
        cancelled = true;
        return false;
    }
    if (!proceed)
        s_.Host.FileSkipped(file, SkipReason::Declined, message);
    return proceed;
}

TcmdThread::TcmdThread(std::vector<FileItem> files, const tFileAction& command,
                       WorkerServices services)
    : CommandWorker(std::move(files), command, services),
      event_(std::make_shared<media::CompletionEvent>()) {
    s_.Control.GraphFile = true;
    s_.Control.GraphBatch = true;
    s_.Cdm.SetCompletionEvent(event_);
    s_.Control.SetWakeTarget(event_);
    start();
}

TcmdThread::~TcmdThread() {
    join();
}

void TcmdThread::run() {
    struct BatchEnd {
        CommandHost& host;
        Tch& module;
        bool cut;
        ~BatchEnd() {
            if (cut)
                module.CutSceneList.clear();
            host.BatchDone(RunKind::Graph);
        }
    } end{s_.Host, s_.Module, command_.Name == kCutScenes};
    if (files_.empty() || !command_.OnExecution)
        return;
    RunControl& control = s_.Control;
    TAnswer answer = command_.OnConfirmation ? TAnswer::Yes : TAnswer::YesToAll;
    // The cut makes several files of one: each scene is a pass of its own.
    const bool severalFiles = files_.size() > 1 || end.cut;
    for (const FileItem& file : files_) {
        const int passes = end.cut ? s_.Module.LoadCutScenes(*file.Record) : 1;
        for (int k = 0; k < passes; ++k) {
            if (!control.GraphBatch)
                return;
            if (end.cut) {
                command_.MonoMessage =
                    FormatText("Cutting the scene %d of ", {std::to_string(k + 1)}) + "\"%s\"";
                s_.Module.CutSceneIndex = k;
            }
            s_.Host.SelectFile(file);
            bool cancelled = false;
            if (!admit(file, answer, severalFiles, cancelled)) {
                if (cancelled)
                    return;
                continue;
            }
            s_.Host.FileStarted(file, command_.MonoMessage.empty()
                                          ? std::string()
                                          : FormatText(command_.MonoMessage, {file.Record->Name}));
            const FileOutcome outcome = execute(file);
            s_.Host.FileDone(RunKind::Graph, file, command_, outcome);
            control.GraphFile = true;
            if (!control.GraphBatch)
                return;
        }
        if (end.cut)
            s_.Module.CutSceneList.clear();
    }
}

FileOutcome TcmdThread::execute(const FileItem& file) {
    RunControl& control = s_.Control;
    media::TCdm& cdm = s_.Cdm;
    media::ConversionProgress& progress = cdm.Progress();
    progress.ProgressSeeking = nullptr;
    progress.ProgressStart = 0;
    progress.ProgressDuration = 0;
    event_->Reset();
    TExecutionResult result;
    bool waited = false;
    std::string escaped;
    try {
        command_.OnExecution(command_.Param, *file.Record, result);
        if (progress.ProgressDuration > 0 && progress.ProgressSeeking) {
            waited = true;
            while (control.GraphFile && control.GraphBatch) {
                std::int64_t position = 0;
                progress.ProgressSeeking->GetCurrentPosition(position);
                s_.Host.Progress(100 * (position - progress.ProgressStart) /
                                 progress.ProgressDuration);
                // The completion signal may come from any thread, or not at all when a
                // graph's callback is lost: the graph's own state is asked too.
                if (event_->WaitFor(kProgressSlice) || cdm.GraphCompleted())
                    break;
            }
        }
    } catch (...) {
        escaped = EscapedText(std::current_exception());
        s_.Host.FileError(file, command_, FileErrorText(command_.MonoMessage, file.FullName()));
    }
    // Whether or not a graph ran; stopping ends the detectors' streams and closes writers.
    cdm.Stop();
    FileOutcome outcome{result.update, result.newfichier, result.failure, false};
    if (!escaped.empty() && outcome.Failure.empty())
        outcome.Failure = "an error occured: " + escaped;
    if (waited) {
        outcome.Aborted = !cdm.GraphCompleted() && (!control.GraphFile || !control.GraphBatch);
        if (outcome.Failure.empty() && !outcome.Aborted)
            outcome.Failure = cdm.RunFailure();
    }
    return outcome;
}

TfastThread::TfastThread(std::vector<FileItem> files, const tFileAction& command,
                         WorkerServices services)
    : CommandWorker(std::move(files), command, services) {
    s_.Control.FastBatch = true;
    start();
}

TfastThread::~TfastThread() {
    join();
}

void TfastThread::run() {
    struct BatchEnd {
        CommandHost& host;
        ~BatchEnd() { host.BatchDone(RunKind::File); }
    } end{s_.Host};
    if (files_.empty() || !command_.OnExecution)
        return;
    RunControl& control = s_.Control;
    TAnswer answer = command_.OnConfirmation ? TAnswer::Yes : TAnswer::YesToAll;
    const bool severalFiles = files_.size() > 1;
    for (const FileItem& file : files_) {
        if (!control.FastBatch)
            return;
        s_.Host.SelectFile(file);
        bool cancelled = false;
        if (!admit(file, answer, severalFiles, cancelled)) {
            if (cancelled)
                return;
            continue;
        }
        s_.Host.FileDone(RunKind::File, file, command_, ExecuteCaught(command_, file));
        if (!control.FastBatch)
            return;
    }
}

void RunMonoCommand(const tFileAction& command, const FileItem& current, WorkerServices services) {
    CommandHost& host = services.Host;
    host.RunStarted(RunKind::Mono);
    tFileAction copy = command;
    try {
        bool visible = true, enabled = true;
        if (copy.OnFileCondition)
            copy.OnFileCondition(copy.Param, *current.Record, visible, enabled);
        TAnswer answer = copy.OnConfirmation ? TAnswer::Yes : TAnswer::YesToAll;
        std::string message;
        if (!enabled) {
            host.FileSkipped(current, SkipReason::Condition, ExcludedBecause(copy, current));
        } else if (!Confirmation(copy, copy.Param, current, answer, false, host, message)) {
            host.FileSkipped(current, SkipReason::Declined, message);
        } else if (copy.OnExecution) {
            TExecutionResult result;
            try {
                copy.OnExecution(copy.Param, *current.Record, result);
            } catch (...) {
                if (result.failure.empty())
                    result.failure = "an error occured: " + EscapedText(std::current_exception());
            }
            host.FileDone(RunKind::Mono, current, copy,
                          FileOutcome{result.update, result.newfichier, result.failure, false});
        }
    } catch (...) {
        // Handlers report their own failures; the run still ends as it must.
    }
    host.BatchDone(RunKind::Mono);
}

namespace {

template <typename Worker>
std::unique_ptr<Worker> StartOnSelection(const tFileAction& command, WorkerServices services,
                                         RunKind kind) {
    std::vector<FileItem> files = services.Host.SelectedFiles();
    if (files.empty())
        return nullptr;
    services.Host.RunStarted(kind);
    services.Host.UnselectAll();
    services.Control.CommandFinished = false;
    return std::make_unique<Worker>(std::move(files), command, services);
}

}  // namespace

std::unique_ptr<TfastThread> RunFileCommand(const tFileAction& command, WorkerServices services) {
    return StartOnSelection<TfastThread>(command, services, RunKind::File);
}

std::unique_ptr<TcmdThread> RunGraphCommand(const tFileAction& command, WorkerServices services) {
    return StartOnSelection<TcmdThread>(command, services, RunKind::Graph);
}

void CommandHost::WaitForRun(CommandWorker& worker) {
    worker.Wait();
}

}  // namespace kelvor::commands
