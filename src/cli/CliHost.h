// What a long command tells the person at the terminal: progress of one file and one clear line
// per file it could not process. The command framework can put its own host in its place.
// Called on the thread that runs the command.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::cli {

class CommandHost {
  public:
    virtual ~CommandHost() = default;
    // done and total in the same unit (frames); total 0 when unknown.
    virtual void progress(const std::string& file, std::int64_t done, std::int64_t total) = 0;
    virtual void progressDone() = 0;
    virtual void fileFailed(const std::string& file, const std::string& reason) = 0;
};

// Progress on one rewritten stderr line when stderr is a terminal, at most a few times a second.
class TerminalHost : public CommandHost {
  public:
    TerminalHost();
    void progress(const std::string& file, std::int64_t done, std::int64_t total) override;
    void progressDone() override;
    void fileFailed(const std::string& file, const std::string& reason) override;

  private:
    bool tty_ = false;
    bool shown_ = false;
    std::int64_t lastMs_ = 0;
};

}  // namespace kelvor::cli
