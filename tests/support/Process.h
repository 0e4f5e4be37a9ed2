// The one way tests start another program (the oracles ffmpeg, ffprobe, mediainfo, dvgrab,
// unzip, desktop-file-validate, and our own kelvor-cli): an argument list, never a shell line;
// standard output and standard error captured apart; the exit code; a time limit after which the
// program is killed; optionally a working folder, bytes for standard input and changes to the
// environment.
//
// The wait is event-driven: poll() on the two output pipes and on a pidfd of the child, so the
// runner wakes when output comes or the child ends, and never sleeps to find out. On a kernel
// without pidfd_open (before 5.3, or a sandbox refusing it) the output pipes still wake it and
// the child's end is looked for every 10 ms, a bounded poll that is the only way left without
// taking over SIGCHLD for the whole test process.
//
// Threads: any; each call owns its child. Failure: started is false (and exitCode -1) when the
// program cannot be found or started.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace kelvor::test {

struct ProcessOptions {
    std::filesystem::path workDir;     // empty: the test's own
    std::optional<std::string> input;  // standard input; none: /dev/null
    // Variables set (a value) or removed (no value) for the program; the rest is inherited.
    std::map<std::string, std::optional<std::string>> environment;
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

struct ProcessResult {
    bool started = false;
    int exitCode = -1;  // -1 when it did not start, was killed or ended by a signal
    int signal = 0;     // the signal that ended it, if one did
    bool timedOut = false;
    std::string out;  // standard output
    std::string err;  // standard error
};

namespace process_detail {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

inline std::vector<std::string> environmentFor(const ProcessOptions& options) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : options.environment) {
        if (value)
            vars[name] = *value;
        else
            vars.erase(name);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : vars)
        out.push_back(name + "=" + value);
    return out;
}

// Reads what is there; false at the end of the stream (or an error), when the pipe is done.
inline bool drain(int fd, std::string& to) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            to.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

}  // namespace process_detail

inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                const ProcessOptions& options = {}) {
    using process_detail::Fd;
    using Clock = std::chrono::steady_clock;
    ProcessResult r;
    if (argv.empty())
        return r;

    // Only the runner's ends do not block: the program writes as it always does.
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return r;
    Fd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        return r;
    Fd errRead(errPipe[0]), errWrite(errPipe[1]);
    ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);
    // Standard input from an in-memory file: the child reads it at its pace and the runner
    // never blocks on a full pipe or meets SIGPIPE.
    Fd input;
    if (options.input) {
        input.reset(::memfd_create("kelvor-test-stdin", MFD_CLOEXEC));
        if (input.get() < 0)
            return r;
        std::size_t done = 0;
        while (done < options.input->size()) {
            const ssize_t n =
                ::write(input.get(), options.input->data() + done, options.input->size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return r;
            done += static_cast<std::size_t>(n);
        }
        ::lseek(input.get(), 0, SEEK_SET);
    }

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (options.input)
        posix_spawn_file_actions_adddup2(&fa, input.get(), 0);
    else
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&fa, errWrite.get(), 2);
    const std::string cwd = options.workDir.string();
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env = process_detail::environmentFor(options);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    outWrite.reset();
    errWrite.reset();
    input.reset();
    if (rc != 0)
        return r;
    r.started = true;

    Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = Clock::now() + options.timeout;
    bool outOpen = true, errOpen = true, exited = false;
    int status = 0;
    while (outOpen || errOpen || !exited) {
        if (!exited && pidfd.get() < 0 && ::waitpid(pid, &status, WNOHANG) == pid)
            exited = true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            if (!exited) {
                ::kill(pid, SIGKILL);
                r.timedOut = true;
            }
            break;
        }
        pollfd fds[3];
        nfds_t n = 0;
        if (outOpen)
            fds[n++] = {outRead.get(), POLLIN, 0};
        if (errOpen)
            fds[n++] = {errRead.get(), POLLIN, 0};
        if (!exited && pidfd.get() >= 0)
            fds[n++] = {pidfd.get(), POLLIN, 0};
        int wait = static_cast<int>(std::min<long long>(left.count(), 1000 * 60 * 60));
        if (!exited && pidfd.get() < 0)
            wait = std::min(wait, 10);
        if (n == 0) {
            // Both pipes closed and no pidfd: only the bounded poll for the end is left.
            if (!exited)
                ::poll(nullptr, 0, wait);
            continue;
        }
        if (::poll(fds, n, wait) < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == outRead.get())
                outOpen = process_detail::drain(outRead.get(), r.out);
            else if (fds[i].fd == errRead.get())
                errOpen = process_detail::drain(errRead.get(), r.err);
            else if (::waitpid(pid, &status, WNOHANG) == pid)
                exited = true;
        }
    }
    if (!exited) {
        if (!r.timedOut) {
            ::kill(pid, SIGKILL);
            r.timedOut = true;
        }
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return r;
    }
    if (WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

}  // namespace kelvor::test
