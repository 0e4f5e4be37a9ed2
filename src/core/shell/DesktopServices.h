// The desktop services the commands and windows need: trash, file manager, documents folder,
// operating-system text, the "Open With" entry, fixed drives, the user's locale, opening
// documents and starting programs.
//
// The program entry creates one implementation (kelvor_platform's QtDesktopServices) and hands
// it on by reference; tests use their own. Call from the main thread unless the implementation
// says otherwise. No method throws or shows a message; failures come back as the result.
#pragma once

#include <string>
#include <vector>

#include "core/files/DatePattern.h"

namespace kelvor::shell {

class DesktopServices {
  public:
    virtual ~DesktopServices() = default;

    // Moves the file to the desktop's trash; true when it was moved. The path is used as given.
    virtual bool RecycleFile(const std::string& path) = 0;
    // Shows the file selected in a file manager window, or at least its folder. No result.
    virtual void ShowInExplorer(const std::string& path) = 0;
    // The user's documents folder without a trailing delimiter; the home folder when there is
    // none.
    virtual std::string DocumentsFolder() = 0;
    virtual std::string OsVersionText() = 0;
    // Creates or removes the entry that makes file managers offer the program for AVI files.
    virtual bool CreateSendToShortcut(const std::string& name) = 0;
    virtual bool DeleteSendToShortcut(const std::string& name) = 0;
    // Mount points of the local disk file systems.
    virtual std::vector<std::string> FixedDrives() = 0;
    virtual LocaleInfo UserLocale() = 0;
    // Opens a file or a web address with the desktop's default application.
    virtual bool OpenDocument(const std::string& pathOrUrl) = 0;
    // Starts a program with each argument passed as one argument (no shell in between).
    virtual bool StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
};

}  // namespace kelvor::shell
