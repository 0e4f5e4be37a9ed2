#include "commands/Workers.h"

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "media/graphs/CompletionEvent.h"
#include "media/graphs/ConversionGraphs.h"

namespace kelvor::commands {
namespace {

constexpr auto kProgressSlice = std::chrono::milliseconds(500);
constexpr const char* kCutScenes = "CutScenes";

// The confirmation step: the batch's answer, the command's question for this file, and the
// dialog when a question is needed. True when the file is to be processed.
bool Confirmation(const Command& command, CommandParam& param, const FileItem& file, Answer& answer,
                  bool severalFiles, CommandHost& host, std::string& message) {
    message.clear();
    if (answer == Answer::YesToAll)
        return true;
    if (command.Confirm)
        command.Confirm(param, *file.Record, message);
    if (answer == Answer::NoToAll)
        return message.empty();
    if (message.empty())
        return true;
    Answer given = host.Confirm(
        file, Question{message, ConfirmationDialogText(message, severalFiles), severalFiles});
    if (!severalFiles)
        given = given == Answer::Yes || given == Answer::YesToAll ? Answer::Yes : Answer::No;
    answer = given;
    return given == Answer::Yes || given == Answer::YesToAll;
}

// Why a file the condition excludes is passed over.
std::string ExcludedBecause(const Command& command, const FileItem& file) {
    if (!file.Record->Exists)
        return Translate("kelvor::commands", "the file is not found");
    // A file that cannot be opened says why (not what it would have to be to apply); the
    // open does not wait on a FIFO.
    if (const int fd = ::open(file.FullName().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd < 0)
        return Translate("kelvor::commands", "the file cannot be read: ") + std::strerror(errno);
    else
        ::close(fd);
    if (command.AviFilesOnly && files::IsKnownOtherThanAvi(file.Record->Container))
        return Translate("kelvor::commands",
                         "not an AVI file: this command applies to AVI files only");
    if (!command.Requirement.empty())
        return Translate("kelvor::commands", command.Requirement.c_str());
    return FormatText(Translate("kelvor::commands", "\"%s\" does not apply to this file"),
                      {command.Caption.empty() ? command.Name : command.Caption});
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
FileOutcome ExecuteCaught(Command& command, const FileItem& file) {
    ExecutionResult result;
    try {
        command.Execute(command.Param, *file.Record, result);
    } catch (...) {
        if (result.failure.empty())
            result.failure = Translate("kelvor::commands", "an error occured: ") +
                             EscapedText(std::current_exception());
    }
    return FileOutcome{result.update, result.NewFile, result.failure, result.aborted};
}

}  // namespace

CommandWorker::CommandWorker(std::vector<FileItem> files, const Command& command,
                             WorkerServices services)
    : files_(std::move(files)),
      command_(command),
      s_(services),
      writesVideo_(std::string_view(command.Action.Menu) == "Convert" ||
                   command.Name == kCutScenes) {}

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

bool CommandWorker::admit(const FileItem& file, Answer& answer, bool severalFiles,
                          bool& cancelled) {
    cancelled = false;
    if (command_.AppliesTo) {
        bool visible = true, enabled = true;
        command_.AppliesTo(command_.Param, *file.Record, visible, enabled);
        if (!enabled) {
            s_.Host.FileSkipped(file, SkipReason::Condition, ExcludedBecause(command_, file));
            return false;
        }
    }
    std::string message;
    const bool proceed =
        Confirmation(command_, command_.Param, file, answer, severalFiles, s_.Host, message);
    if (answer == Answer::Cancel) {
        s_.Host.FileSkipped(file, SkipReason::Declined, message);
        cancelled = true;
        return false;
    }
    if (!proceed)
        s_.Host.FileSkipped(file, SkipReason::Declined, message);
    return proceed;
}

GraphWorker::GraphWorker(std::vector<FileItem> files, const Command& command,
                         WorkerServices services)
    : CommandWorker(std::move(files), command, services),
      event_(std::make_shared<media::CompletionEvent>()) {
    s_.Control.GraphFile = true;
    s_.Control.GraphBatch = true;
    s_.Graphs.SetCompletionEvent(event_);
    s_.Control.SetWakeTarget(event_);
    start();
}

GraphWorker::~GraphWorker() {
    join();
}

void GraphWorker::run() {
    struct BatchEnd {
        CommandHost& host;
        CommandModule& module;
        bool cut;
        ~BatchEnd() {
            if (cut)
                module.CutSceneList.clear();
            host.BatchDone(RunKind::Graph);
        }
    } end{s_.Host, s_.Module, command_.Name == kCutScenes};
    if (files_.empty() || !command_.Execute)
        return;
    RunControl& control = s_.Control;
    Answer answer = command_.Confirm ? Answer::Yes : Answer::YesToAll;
    // The cut makes several files of one: each scene is a pass of its own.
    const bool severalFiles = files_.size() > 1 || end.cut;
    for (const FileItem& file : files_) {
        const int passes = end.cut ? s_.Module.LoadCutScenes(*file.Record) : 1;
        for (int k = 0; k < passes; ++k) {
            if (!control.GraphBatch)
                return;
            if (end.cut) {
                command_.ProgressMessage =
                    FormatText(Translate("kelvor::commands", "Cutting the scene %d of "),
                               {std::to_string(k + 1)}) +
                    "\"%s\"";
                s_.Module.CutSceneIndex = k;
            }
            s_.Host.SelectFile(file);
            bool cancelled = false;
            if (!admit(file, answer, severalFiles, cancelled)) {
                if (cancelled)
                    return;
                continue;
            }
            s_.Host.FileStarted(file,
                                command_.ProgressMessage.empty()
                                    ? std::string()
                                    : FormatText(command_.ProgressMessage, {file.Record->Name}));
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

FileOutcome GraphWorker::execute(const FileItem& file) {
    RunControl& control = s_.Control;
    media::ConversionGraphs& graphs = s_.Graphs;
    media::ConversionProgress& progress = graphs.Progress();
    progress.ProgressSeeking = nullptr;
    progress.ProgressStart = 0;
    progress.ProgressDuration = 0;
    event_->Reset();
    ExecutionResult result;
    bool waited = false;
    std::string escaped;
    // A conversion reads the file through a graph of its own: the preview lets go of it
    // meanwhile (and says why), and takes it back once the graph is stopped.
    s_.Host.ReleasePreview(file.FullName());
    try {
        command_.Execute(command_.Param, *file.Record, result);
        if (progress.ProgressDuration > 0 && progress.ProgressSeeking) {
            waited = true;
            while (control.GraphFile && control.GraphBatch) {
                std::int64_t position = 0;
                progress.ProgressSeeking->GetCurrentPosition(position);
                s_.Host.Progress(100 * (position - progress.ProgressStart) /
                                 progress.ProgressDuration);
                // The completion signal may come from any thread, or not at all when a
                // graph's callback is lost: the graph's own state is asked too.
                if (event_->WaitFor(kProgressSlice) || graphs.GraphCompleted())
                    break;
            }
        }
    } catch (...) {
        escaped = EscapedText(std::current_exception());
        s_.Host.FileError(file, command_, FileErrorText(command_.ProgressMessage, file.FullName()));
    }
    // Whether or not a graph ran; stopping ends the detectors' streams and closes writers.
    graphs.Stop();
    s_.Host.TakeBackPreview(file.FullName(), false);
    FileOutcome outcome{result.update, result.NewFile, result.failure, result.aborted};
    if (!escaped.empty() && outcome.Failure.empty())
        outcome.Failure = Translate("kelvor::commands", "an error occured: ") + escaped;
    if (waited) {
        outcome.Aborted = !graphs.GraphCompleted() && (!control.GraphFile || !control.GraphBatch);
        if (outcome.Failure.empty() && !outcome.Aborted)
            outcome.Failure = graphs.RunFailure();
    }
    // A run stopped before its writer published anything leaves no part to name; what a stopped
    // conversion leaves is named with its frames, so no host shows it as whole.
    if (outcome.Aborted && !outcome.NewPath.empty()) {
        std::error_code missing;
        if (!std::filesystem::exists(outcome.NewPath, missing))
            outcome.NewPath.clear();
        else
            graphs.WrittenFrames(outcome.FramesWritten, outcome.FramesDue);
    }
    return outcome;
}

FileWorker::FileWorker(std::vector<FileItem> files, const Command& command, WorkerServices services)
    : CommandWorker(std::move(files), command, services) {
    s_.Control.FastBatch = true;
    start();
}

FileWorker::~FileWorker() {
    join();
}

void FileWorker::run() {
    struct BatchEnd {
        CommandHost& host;
        ~BatchEnd() { host.BatchDone(RunKind::File); }
    } end{s_.Host};
    if (files_.empty() || !command_.Execute)
        return;
    RunControl& control = s_.Control;
    Answer answer = command_.Confirm ? Answer::Yes : Answer::YesToAll;
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

void RunMonoCommand(const Command& command, const FileItem& current, WorkerServices services) {
    CommandHost& host = services.Host;
    host.RunStarted(RunKind::Mono);
    Command copy = command;
    try {
        bool visible = true, enabled = true;
        if (copy.AppliesTo)
            copy.AppliesTo(copy.Param, *current.Record, visible, enabled);
        Answer answer = copy.Confirm ? Answer::Yes : Answer::YesToAll;
        std::string message;
        if (!enabled) {
            host.FileSkipped(current, SkipReason::Condition, ExcludedBecause(copy, current));
        } else if (!Confirmation(copy, copy.Param, current, answer, false, host, message)) {
            host.FileSkipped(current, SkipReason::Declined, message);
        } else if (copy.Execute) {
            ExecutionResult result;
            try {
                copy.Execute(copy.Param, *current.Record, result);
            } catch (...) {
                if (result.failure.empty())
                    result.failure = Translate("kelvor::commands", "an error occured: ") +
                                     EscapedText(std::current_exception());
            }
            host.FileDone(RunKind::Mono, current, copy,
                          FileOutcome{result.update, result.NewFile, result.failure, false});
        }
    } catch (...) {
        // Handlers report their own failures; the run still ends as it must.
    }
    host.BatchDone(RunKind::Mono);
}

namespace {

template <typename Worker>
std::unique_ptr<Worker> StartOnSelection(const Command& command, WorkerServices services,
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

std::unique_ptr<FileWorker> RunFileCommand(const Command& command, WorkerServices services) {
    return StartOnSelection<FileWorker>(command, services, RunKind::File);
}

std::unique_ptr<GraphWorker> RunGraphCommand(const Command& command, WorkerServices services) {
    return StartOnSelection<GraphWorker>(command, services, RunKind::Graph);
}

void CommandHost::WaitForRun(CommandWorker& worker) {
    worker.Wait();
}

}  // namespace kelvor::commands
