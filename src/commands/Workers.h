// The two workers that run a command over a batch of files, and the three ways a front end
// starts a command: RunMonoCommand (the focused file, on the caller's thread), RunFileCommand
// (the short worker FileWorker, for commands that finish at once) and RunGraphCommand (the
// graph worker GraphWorker, for commands that convert a file through the conversion graph and
// may take minutes).
//
// A worker runs on its own thread from its construction; it copies the file list and the
// command. Its owner (the front end, which keeps the most recent worker of each kind) destroys
// it after its BatchDone, never from inside a host call (the destructor joins the thread).
// The host is called on the worker's thread, the conversion module is driven from it; the
// RunControl flags are read between steps. No exception leaves a worker: one that escapes an
// execution is reported with FileError and the batch goes on. BatchDone comes on every way out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "commands/Command.h"
#include "commands/CommandHost.h"
#include "commands/RunControl.h"

namespace kelvor::media {
class CompletionEvent;
class ConversionGraphs;
}  // namespace kelvor::media

namespace kelvor::commands {

class CommandModule;

// What a run needs of its front end and modules; all outlive the run.
struct WorkerServices {
    CommandHost& Host;
    RunControl& Control;
    CommandModule& Module;
    media::ConversionGraphs& Graphs;
};

class CommandWorker {
  public:
    virtual ~CommandWorker();  // joins the thread
    CommandWorker(const CommandWorker&) = delete;
    CommandWorker& operator=(const CommandWorker&) = delete;

    // Blocks until the run has ended (its BatchDone has returned). Any thread but the worker's.
    void Wait();
    bool Finished() const { return finished_.load(); }
    // The run writes new video (or sound) files, which a stop leaves partial: a conversion or
    // the cut. Fixed at construction; any thread.
    bool WritesVideo() const { return writesVideo_; }

  protected:
    CommandWorker(std::vector<FileItem> files, const Command& command, WorkerServices services);
    // Starts the thread; the derived constructor calls it last, and the derived destructor
    // calls join first, so run() never outlives the object it belongs to.
    void start();
    void join();
    virtual void run() = 0;

    // Conditions and confirmation: false when the file is passed over (the host told why);
    // `cancelled` when the answer ended the batch.
    bool admit(const FileItem& file, Answer& answer, bool severalFiles, bool& cancelled);

    std::vector<FileItem> files_;
    Command command_;  // the private copy
    WorkerServices s_;

  private:
    const bool writesVideo_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::mutex mutex_;  // guards nothing but the wait below on finished_
    std::condition_variable cv_;
};

// The graph worker: per file (per scene for the cut) select, condition, confirmation, the
// execution that starts a conversion, a wait for its completion with a progress percent every
// 500 ms, the graph stopped, the list update.
class GraphWorker final : public CommandWorker {
  public:
    GraphWorker(std::vector<FileItem> files, const Command& command, WorkerServices services);
    ~GraphWorker() override;

  private:
    void run() override;
    FileOutcome execute(const FileItem& file);

    std::shared_ptr<media::CompletionEvent> event_;
};

// The short worker: the same without a conversion to wait for and without progress.
class FileWorker final : public CommandWorker {
  public:
    FileWorker(std::vector<FileItem> files, const Command& command, WorkerServices services);
    ~FileWorker() override;

  private:
    void run() override;
};

// The command on the current file, on this thread: condition, the question (Yes and No),
// execution, list update; FileDone and BatchDone(Mono) as the workers send them.
void RunMonoCommand(const Command& command, const FileItem& current, WorkerServices services);
// The selected files (unselected first) through the short worker; null when none is selected.
std::unique_ptr<FileWorker> RunFileCommand(const Command& command, WorkerServices services);
// The selected files through the graph worker; null when none is selected.
std::unique_ptr<GraphWorker> RunGraphCommand(const Command& command, WorkerServices services);

}  // namespace kelvor::commands
