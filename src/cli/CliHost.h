// The terminal as the host of command runs: questions asked with single keys when stdin and
// stderr are terminals and answered by an option otherwise, one updating progress line per
// converted file on a terminal (plain progress lines elsewhere with --progress), one line on
// stderr per file that failed or was passed over, the dry-run names and the JSON report on
// stdout, and the exit status.
//
// The run calls come on the worker's thread while the main thread waits for the run, so no two
// threads touch the host at once. The Ctrl+C handler only stores to atomics.
#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "commands/ListHost.h"

namespace kelvor::cli {

enum class AnswerPolicy {
    Ask,       // on a terminal: ask; elsewhere: No to all
    YesToAll,  // --yes-to-all
    NoToAll,   // --no-to-all
};

struct HostOptions {
    std::string Verb;     // the verb that runs, for its lines: "kelvor-cli VERB: FILE: reason"
    std::string Command;  // the command a command verb runs; empty for a script
    AnswerPolicy Answers = AnswerPolicy::Ask;
    bool Json = false;
    bool DryRun = false;
    bool Progress = false;  // --progress: plain progress lines when stderr is no terminal
    std::string OutputDir;  // --output-dir: new files go there instead of beside the source
};

class TerminalHost : public commands::ListHost {
  public:
    TerminalHost(commands::FileList& list, commands::RunControl& control, HostOptions options);

    void RunStarted(commands::RunKind kind) override;
    commands::Answer Confirm(const commands::FileItem& file,
                             const commands::Question& question) override;
    void FileSkipped(const commands::FileItem& file, commands::SkipReason reason,
                     const std::string& why) override;
    void FileStarted(const commands::FileItem& file, const std::string& status) override;
    void Progress(std::int64_t percent) override;
    void FileDone(commands::RunKind kind, const commands::FileItem& file,
                  const commands::Command& command, const commands::FileOutcome& outcome) override;
    void FileError(const commands::FileItem&, const commands::Command&,
                   const std::string&) override {}
    void BatchDone(commands::RunKind kind) override;

    bool ShowRiffReport(const std::string& path) override;
    bool ShowInFileManager(const std::string& path) override;
    bool OpenDocument(const std::string& path) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
    bool SetPreviewInlay(bool) override { return false; }
    bool SetInlaySliders(bool, bool) override { return false; }

    bool AddFile(const std::string& path, bool select) override;
    void SwitchRefused(const std::string& switchText, const std::string& why) override {
        NotProcessed(switchText, why);
    }

    // A file or switch the front end could not take; counts as failed.
    void NotProcessed(const std::string& file, const std::string& why);
    // A file the command does not apply to, found by the front end itself (a dry run).
    void PassedOver(const std::string& command, const std::string& file, const std::string& why);
    // A file a dry run would process, under the name it would get when it is renamed.
    void Planned(const std::string& command, const std::string& file, const std::string& newPath);
    // Prints the JSON report of every file (with --json).
    void PrintReport() const;
    // 1 when a file failed; otherwise 3 when files were passed over and none was processed;
    // otherwise 0.
    int ExitStatus() const;

  private:
    void endProgress();

    enum class Status { Done, Failed, Skipped, Planned };
    struct Entry {
        std::string command;  // empty when no command had started on the file
        std::string file;
        Status status;
        commands::ListUpdate update = commands::ListUpdate::None;
        std::string newPath;
        std::string reason;
        // A conversion stopped midway: newPath holds what was written, not a complete file.
        bool partial = false;
        std::int64_t framesWritten = -1;  // for a partial output: its frames, when known
        std::int64_t framesDue = -1;
    };
    void add(Entry entry);

    HostOptions options_;
    bool interactive_ = false;    // stdin and stderr are terminals
    bool progressLine_ = false;   // the updating line on a terminal
    bool progressPlain_ = false;  // --progress lines without a terminal
    std::int64_t lastPercent_ = -1;
    std::string progressName_;
    double progressSeconds_ = 0;  // the file's length, for the speed
    std::chrono::steady_clock::time_point progressStart_;
    std::vector<Entry> entries_;
    std::set<std::string> unreached_;
    int done_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
};

// Ctrl+C: the first aborts the file being converted (as Esc; during other runs the batch), the
// next ones the batch and the script (as Shift+Esc). Installed for the life of the object.
class InterruptGuard {
  public:
    explicit InterruptGuard(commands::RunControl& control);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    // Whether the current run's file can be aborted on its own (a graph run).
    static void SetFileAbortable(bool abortable);
    // SIGTERM or SIGHUP, when one stopped the run (both abort the file and the batch); else 0.
    static int TerminatingSignal();
};

}  // namespace kelvor::cli
