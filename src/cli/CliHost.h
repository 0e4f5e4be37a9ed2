// The terminal as the host of command runs: questions asked with single keys when stdin and
// stderr are terminals and answered by an option otherwise, a progress bar per converted file on
// a terminal, one line on stderr per file that was not processed, the dry-run names and the
// JSON report on stdout, and the exit status.
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
    std::string Verb;  // the verb that runs, for its lines: "kelvor-cli VERB: FILE: reason"
    AnswerPolicy Answers = AnswerPolicy::Ask;
    bool Json = false;
    bool DryRun = false;
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

    // A file or switch the front end could not take; counts as not processed.
    void NotProcessed(const std::string& file, const std::string& why);
    // Prints the JSON array of the processed files (with --json).
    void PrintReport() const;
    // 0 when every file was processed, 1 when some were not.
    int ExitStatus() const { return notProcessed_ == 0 ? 0 : 1; }

  private:
    void endProgress();

    struct Done {
        std::string command;
        std::string file;
        commands::ListUpdate update;
        std::string newPath;
        bool succeeded;
    };
    HostOptions options_;
    bool interactive_ = false;  // stdin and stderr are terminals
    bool progressShown_ = false;
    std::string progressName_;
    std::chrono::steady_clock::time_point progressStart_;
    std::vector<Done> done_;
    std::set<std::string> unreached_;
    int notProcessed_ = 0;
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
};

}  // namespace kelvor::cli
