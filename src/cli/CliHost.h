// The terminal as the host of command runs: progress of one file on one rewritten stderr line
// when stderr is a terminal, and one clear line per file that could not be processed.
// Called on the thread that runs the command.
#pragma once

#include <cstdint>
#include <string>

#include "commands/CommandHost.h"

namespace kelvor::cli {

class TerminalHost : public commands::CommandHost {
  public:
    TerminalHost();
    bool Progress(const std::string& file, std::int64_t done, std::int64_t total) override;
    void ProgressDone() override;
    void FileFailed(const std::string& file, const std::string& reason) override;

  private:
    bool tty_ = false;
    bool shown_ = false;
    std::int64_t lastMs_ = 0;
};

}  // namespace kelvor::cli
