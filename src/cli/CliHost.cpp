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
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
}

InterruptGuard::~InterruptGuard() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    gControl = nullptr;
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
    if (reason == commands::SkipReason::Condition) {
        NotProcessed(file.FullName(), "skipped: " + why);
        return;
    }
    std::string line = "not done, not confirmed: " + commands::OneLine(why);
    if (interactive_ && options_.Answers == AnswerPolicy::Ask)
        line = "not done (answered no)";
    else if (options_.Answers == AnswerPolicy::Ask)
        line += " (no answer without a terminal: --yes-to-all or --no-to-all)";
    NotProcessed(file.FullName(), line);
}

void TerminalHost::FileStarted(const commands::FileItem& file, const std::string& status) {
    progressShown_ = !status.empty() && ::isatty(STDERR_FILENO) == 1;
    progressName_ = file.Record->Name;
    progressStart_ = std::chrono::steady_clock::now();
    if (progressShown_)
        Progress(0);
}

void TerminalHost::Progress(std::int64_t percent) {
    if (!progressShown_)
        return;
    const int p = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - progressStart_).count();
    constexpr int kWidth = 30;
    std::string bar(static_cast<std::size_t>(kWidth), '.');
    for (int i = 0; i < p * kWidth / 100; ++i)
        bar[static_cast<std::size_t>(i)] = '#';
    const std::string left = p > 0 ? Clock(elapsed * (100 - p) / p) : std::string("?");
    std::fprintf(stderr, "\r%s [%s] %3d%%  %s elapsed  %s left\x1b[K", progressName_.c_str(),
                 bar.c_str(), p, Clock(elapsed).c_str(), left.c_str());
    std::fflush(stderr);
}

void TerminalHost::endProgress() {
    if (progressShown_)
        std::fprintf(stderr, "\r\x1b[K");
    progressShown_ = false;
}

void TerminalHost::FileDone(commands::RunKind kind, const commands::FileItem& file,
                            const commands::Command& command,
                            const commands::FileOutcome& outcome) {
    endProgress();
    unreached_.erase(file.FullName());
    ListHost::FileDone(kind, file, command, outcome);
    done_.push_back(
        Done{command.Name, file.FullName(), outcome.Update, outcome.NewPath, outcome.Succeeded()});
    if (outcome.Aborted)
        NotProcessed(file.FullName(), "stopped; what was written so far stays");
    else if (!outcome.Failure.empty())
        NotProcessed(file.FullName(), commands::OneLine(outcome.Failure));
    else if (options_.DryRun && !options_.Json && !outcome.NewPath.empty())
        std::printf("%s -> %s\n", file.FullName().c_str(), outcome.NewPath.c_str());
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
    ++notProcessed_;
    std::fprintf(stderr, "kelvor-cli %s: %s: %s\n", options_.Verb.c_str(), file.c_str(),
                 why.c_str());
}

void TerminalHost::PrintReport() const {
    std::printf("[");
    for (std::size_t i = 0; i < done_.size(); ++i) {
        const Done& d = done_[i];
        std::printf(
            "%s\n  {\"command\": %s, \"file\": %s, \"update\": %s, \"newPath\": %s, "
            "\"succeeded\": %s}",
            i ? "," : "", JsonString(d.command).c_str(), JsonString(d.file).c_str(),
            JsonString(commands::UpdateTypeName(d.update)).c_str(), JsonString(d.newPath).c_str(),
            d.succeeded ? "true" : "false");
    }
    std::printf("%s]\n", done_.empty() ? "" : "\n");
    std::fflush(stdout);
}

}  // namespace kelvor::cli
