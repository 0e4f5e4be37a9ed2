// What a command run asks of its front end. The window, kelvor-cli and the tests are three hosts
// of the same runs; no run touches a widget or a terminal itself.
//
// A run calls its host on the thread that runs it (a worker, or the CLI's main thread); a host
// that shows things on another thread hands them over itself.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::commands {

class CommandHost {
  public:
    virtual ~CommandHost() = default;
    // Progress of the file being processed, done and total in frames (total 0 when unknown).
    // False asks the run to abort that file.
    virtual bool Progress(const std::string& file, std::int64_t done, std::int64_t total) = 0;
    // The file's progress is over (finished, failed or aborted).
    virtual void ProgressDone() = 0;
    // The file could not be processed; the reason is one line for a person.
    virtual void FileFailed(const std::string& file, const std::string& reason) = 0;
};

}  // namespace kelvor::commands
