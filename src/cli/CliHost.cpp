#include "cli/CliHost.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

#include "cli/Json.h"
#include "cli/Names.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "commands/CommandTexts.h"
#include "core/avi/RiffReport.h"
#include "platform/DesktopShell.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

using commands::Answer;

// What the Ctrl+C handler reaches: atomics only.
std::atomic<commands::RunControl*> gControl{nullptr};
std::atomic<int> gInterrupts{0};
std::atomic<bool> gFileAbortable{false};
static_assert(std::atomic<commands::RunControl*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    commands::RunControl* control = gControl.load();
    if (!control)
        return;
    if (gInterrupts.fetch_add(1) == 0 && gFileAbortable.load())
        control->AbortFromSignal();
    else
        control->AbortAllFromSignal();
}

// SIGTERM and SIGHUP (a logout, a closed terminal): the file being converted and the batch stop
// at once, with the same partial output rules as Ctrl+C, and the exit status names the signal.
std::atomic<int> gTerminatingSignal{0};

extern "C" void OnTermination(int signal) {
    gTerminatingSignal.store(signal);
    if (commands::RunControl* control = gControl.load()) {
        control->AbortFromSignal();
        control->AbortAllFromSignal();
    }
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(signal, &sa, nullptr);
}

// One key from the terminal without waiting for Enter; 0 at the end of the input or when
// Ctrl+C was pressed meanwhile (the signal may be delivered to any thread, so the key is
// waited for in short polls that watch the interrupt count).
char ReadKey() {
    termios old{};
    if (::tcgetattr(STDIN_FILENO, &old) != 0)
        return 0;
    termios raw = old;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    const int interrupts = gInterrupts.load();
    char c = 0;
    while (gInterrupts.load() == interrupts) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, 1, 100);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (ready > 0 && ::read(STDIN_FILENO, &c, 1) != 1)) {
            c = 0;
            break;
        }
        if (ready > 0)
            break;
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
    return c;
}

std::string Clock(double seconds) {
    const long s = static_cast<long>(seconds);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

InterruptGuard::InterruptGuard(commands::RunControl& control) {
    gInterrupts = 0;
    gControl = &control;
    Handle(SIGINT, OnInterrupt);
    Handle(SIGTERM, OnTermination);
    Handle(SIGHUP, OnTermination);
}

InterruptGuard::~InterruptGuard() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        Handle(signal, SIG_DFL);
    gControl = nullptr;
}

int InterruptGuard::TerminatingSignal() {
    return gTerminatingSignal.load();
}

void InterruptGuard::SetFileAbortable(bool abortable) {
    gFileAbortable = abortable;
    gInterrupts = 0;
}

TerminalHost::TerminalHost(commands::FileList& list, commands::RunControl& control,
                           HostOptions options)
    : ListHost(list, control),
      options_(options),
      interactive_(::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1) {}

void TerminalHost::RunStarted(commands::RunKind kind) {
    InterruptGuard::SetFileAbortable(kind == commands::RunKind::Graph);
    // The files the run is given: those it never reaches (Cancel, Ctrl+C) are reported at its
    // end.
    unreached_.clear();
    if (kind != commands::RunKind::Mono)
        for (const commands::FileItem& f : list_.SelectedFiles())
            unreached_.insert(f.FullName());
}

Answer TerminalHost::Confirm(const commands::FileItem&, const commands::Question& question) {
    const bool several = question.SeveralFiles;
    if (options_.Answers == AnswerPolicy::YesToAll)
        return several ? Answer::YesToAll : Answer::Yes;
    // Without a person to ask, nothing existing is replaced.
    if (options_.Answers == AnswerPolicy::NoToAll || !interactive_)
        return several ? Answer::NoToAll : Answer::No;
    endProgress();
    std::fprintf(stderr, "%s\n%s ", commands::OneLine(question.Message, "\n").c_str(),
                 several ? "[y] yes  [n] no  [a] yes to all  [s] no to all  [c] cancel ?"
                         : "[y] yes  [n] no ?");
    std::fflush(stderr);
    for (;;) {
        const char key = ReadKey();
        Answer answer = Answer::Cancel;
        switch (key) {
            case 'y':
            case 'Y':
                answer = Answer::Yes;
                break;
            case 'n':
            case 'N':
                answer = Answer::No;
                break;
            case 'a':
            case 'A':
                answer = Answer::YesToAll;
                break;
            case 's':
            case 'S':
                answer = Answer::NoToAll;
                break;
            case 0:  // end of input or Ctrl+C: the user wants out of the whole script
                control_.AbortAll();
                answer = several ? Answer::Cancel : Answer::No;
                break;
            case 'c':
            case 'C':
            case 27:
                answer = several ? Answer::Cancel : Answer::No;
                break;
            default:
                continue;
        }
        if (!several && answer != Answer::Yes && answer != Answer::No)
            continue;
        std::fprintf(stderr, "%c\n", key ? key : '-');
        return answer;
    }
}

void TerminalHost::FileSkipped(const commands::FileItem& file, commands::SkipReason reason,
                               const std::string& why) {
    endProgress();
    unreached_.erase(file.FullName());
    std::string line;
    if (reason == commands::SkipReason::Condition) {
        line = "skipped: " + why;
    } else if (interactive_ && options_.Answers == AnswerPolicy::Ask) {
        line = "not done (answered no)";
    } else {
        line = "not done, not confirmed: " + commands::OneLine(why);
        if (options_.Answers == AnswerPolicy::Ask)
            line += " (no answer without a terminal: --yes-to-all or --no-to-all)";
    }
    std::fprintf(stderr, "kelvor-cli %s: %s: %s\n", options_.Verb.c_str(),
                 ShownName(file.FullName()).c_str(), ShownText(line).c_str());
    add(Entry{
        options_.Command, file.FullName(), Status::Skipped, commands::ListUpdate::None, "",
        reason == commands::SkipReason::Condition ? why : "declined: " + commands::OneLine(why)});
}

void TerminalHost::FileStarted(const commands::FileItem& file, const std::string& status) {
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    progressLine_ = !status.empty() && terminal;
    progressPlain_ = !status.empty() && !terminal && options_.Progress;
    progressName_ = ShownName(file.Record->Name);
    progressSeconds_ = file.Record->Fps > 0 ? file.Record->FrameCount / file.Record->Fps : 0;
    progressStart_ = std::chrono::steady_clock::now();
    lastPercent_ = -1;
    Progress(0);
}

void TerminalHost::Progress(std::int64_t percent) {
    if (!progressLine_ && !progressPlain_)
        return;
    const int p = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
    // Plain lines only when the figure changes, so a log gets at most 101 lines per file.
    if (progressPlain_ && p == lastPercent_)
        return;
    lastPercent_ = p;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - progressStart_).count();
    std::string speed;
    if (progressSeconds_ > 0 && elapsed > 0 && p > 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "  %.1fx", progressSeconds_ * p / 100 / elapsed);
        speed = buf;
    }
    const std::string left = p > 0 ? Clock(elapsed * (100 - p) / p) : std::string("?");
    if (progressPlain_) {
        std::fprintf(stderr, "kelvor-cli %s: %s: %d%%%s  %s left\n", options_.Verb.c_str(),
                     progressName_.c_str(), p, speed.c_str(), left.c_str());
        return;
    }
    constexpr int kWidth = 30;
    std::string bar(static_cast<std::size_t>(kWidth), '.');
    for (int i = 0; i < p * kWidth / 100; ++i)
        bar[static_cast<std::size_t>(i)] = '#';
    std::fprintf(stderr, "\r%s [%s] %3d%%%s  %s elapsed  %s left\x1b[K", progressName_.c_str(),
                 bar.c_str(), p, speed.c_str(), Clock(elapsed).c_str(), left.c_str());
    std::fflush(stderr);
}

void TerminalHost::endProgress() {
    if (progressLine_)
        std::fprintf(stderr, "\r\x1b[K");
    progressLine_ = false;
    progressPlain_ = false;
}

void TerminalHost::FileDone(commands::RunKind kind, const commands::FileItem& file,
                            const commands::Command& command,
                            const commands::FileOutcome& outcome) {
    endProgress();
    unreached_.erase(file.FullName());
    // The list host applies only the updates of files that succeeded.
    ListHost::FileDone(kind, file, command, outcome);
    Entry entry{command.Name,           file.FullName(), Status::Done,
                outcome.ListedUpdate(), outcome.NewPath, ""};
    if (!outcome.Succeeded()) {
        entry.status = Status::Failed;
        entry.partial = outcome.Aborted && !outcome.NewPath.empty();
        if (!entry.partial)
            entry.newPath.clear();
        if (entry.partial) {
            entry.framesWritten = outcome.FramesWritten;
            entry.framesDue = outcome.FramesDue;
        }
        entry.reason = outcome.Aborted
                           ? (entry.partial ? "stopped; the part written so far stays in " +
                                                  ShownName(outcome.NewPath) + " (" +
                                                  commands::IncompleteText(outcome.FramesWritten,
                                                                           outcome.FramesDue) +
                                                  ")"
                                            : "stopped")
                           : commands::OneLine(outcome.Failure);
        std::fprintf(stderr, "kelvor-cli %s: %s: %s\n", options_.Verb.c_str(),
                     ShownName(file.FullName()).c_str(), ShownText(entry.reason).c_str());
    } else if (options_.DryRun) {
        entry.status = Status::Planned;
        if (!options_.Json && !outcome.NewPath.empty())
            std::printf("%s -> %s\n", ShownName(file.FullName()).c_str(),
                        ShownName(outcome.NewPath).c_str());
    }
    add(std::move(entry));
}

void TerminalHost::BatchDone(commands::RunKind) {
    endProgress();
    for (const std::string& f : unreached_)
        NotProcessed(f, "not done: the run ended before this file");
    unreached_.clear();
    std::fflush(stdout);
}

bool TerminalHost::ShowRiffReport(const std::string& path) {
    avi::RiffReport report;
    report.Locale = platform::UserLocaleInfo();
    try {
        report.RunReport(path);
    } catch (const std::exception&) {
        return false;
    }
    // With --json the report goes to stderr, so stdout stays one JSON document.
    std::FILE* to = options_.Json ? stderr : stdout;
    for (const std::string& line : report.lines())
        std::fprintf(to, "%s\n", line.c_str());
    return report.saveEnabled();
}

bool TerminalHost::ShowInFileManager(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return platform::StartProgram("xdg-open",
                                  {slash == std::string::npos ? "." : path.substr(0, slash + 1)});
}

bool TerminalHost::OpenDocument(const std::string& path) {
    return platform::StartProgram("xdg-open", {path});
}

bool TerminalHost::StartProgram(const std::string& program,
                                const std::vector<std::string>& arguments) {
    return platform::StartProgram(program, arguments);
}

bool TerminalHost::AddFile(const std::string& path, bool select) {
    if (ListHost::AddFile(path, select))
        return true;
    NotProcessed(
        path,
        "not loaded: the list takes existing DV video files: .avi, .dv, .dif, .mov or .mkv, "
        "or raw DV, AVI, QuickTime or Matroska by their content");
    return false;
}

void TerminalHost::NotProcessed(const std::string& file, const std::string& why) {
    std::fprintf(stderr, "kelvor-cli %s: %s: %s\n", options_.Verb.c_str(), ShownName(file).c_str(),
                 ShownText(why).c_str());
    add(Entry{"", file, Status::Failed, commands::ListUpdate::None, "", why});
}

void TerminalHost::PassedOver(const std::string& command, const std::string& file,
                              const std::string& why) {
    std::fprintf(stderr, "kelvor-cli %s: %s: skipped: %s\n", options_.Verb.c_str(),
                 ShownName(file).c_str(), ShownText(why).c_str());
    add(Entry{command, file, Status::Skipped, commands::ListUpdate::None, "", why});
}

void TerminalHost::Planned(const std::string& command, const std::string& file,
                           const std::string& newPath) {
    if (!options_.Json)
        std::printf("%s\n", ShownName(file).c_str());
    add(Entry{command, file, Status::Planned, commands::ListUpdate::None, newPath, ""});
}

void TerminalHost::add(Entry entry) {
    switch (entry.status) {
        case Status::Done:
        case Status::Planned:
            ++done_;
            break;
        case Status::Failed:
            ++failed_;
            break;
        case Status::Skipped:
            ++skipped_;
            break;
    }
    entries_.push_back(std::move(entry));
}

int TerminalHost::ExitStatus() const {
    if (failed_ > 0)
        return kExitFailed;
    if (done_ == 0 && skipped_ > 0)
        return kExitNothingApplied;
    return kExitDone;
}

namespace {

const char* UpdateName(commands::ListUpdate update) {
    switch (update) {
        case commands::ListUpdate::None:
            return "none";
        case commands::ListUpdate::Add:
            return "add";
        case commands::ListUpdate::Delete:
            return "delete";
        case commands::ListUpdate::Modify:
            return "modify";
        case commands::ListUpdate::Rename:
            return "rename";
    }
    return "none";
}

}  // namespace

void TerminalHost::PrintReport() const {
    static constexpr const char* kStatus[] = {"done", "failed", "skipped", "planned"};
    QJsonArray files;
    for (const Entry& e : entries_) {
        QJsonObject o;
        o["command"] = e.command.empty() ? QJsonValue(QJsonValue::Null)
                                         : QJsonValue(QString::fromStdString(e.command));
        o["verb"] = e.command.empty() ? QJsonValue(QJsonValue::Null)
                                      : QJsonValue(QString::fromStdString(KebabName(e.command)));
        PutJsonName(o, "file", e.file);
        o["status"] = kStatus[static_cast<int>(e.status)];
        o["update"] = UpdateName(e.update);
        PutJsonName(o, "newPath", e.newPath);
        if (e.partial && e.framesWritten >= 0) {
            o["framesWritten"] = static_cast<qint64>(e.framesWritten);
            o["framesDue"] = e.framesDue >= 0 ? QJsonValue(static_cast<qint64>(e.framesDue))
                                              : QJsonValue(QJsonValue::Null);
        }
        o["reason"] = JsonTextOrNull(e.reason);
        o["partial"] = e.partial;
        files.append(o);
    }
    QJsonObject top = JsonDocumentTop();
    top["files"] = files;
    QJsonObject summary;
    summary["done"] = done_;
    summary["failed"] = failed_;
    summary["skipped"] = skipped_;
    top["summary"] = summary;
    top["exitStatus"] = ExitStatus();
    PrintJson(top);
}

}  // namespace kelvor::cli
