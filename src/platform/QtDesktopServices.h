// The desktop services of the running Linux desktop, for the modules that take a
// shell::DesktopServices.
//
// Holds no state. Main thread (ShowInExplorer and OpenDocument need the QGuiApplication).
#pragma once

#include "core/shell/DesktopServices.h"

namespace kelvor::platform {

class QtDesktopServices final : public shell::DesktopServices {
  public:
    bool RecycleFile(const std::string& path) override;
    void ShowInExplorer(const std::string& path) override;
    std::string DocumentsFolder() override;
    std::string OsVersionText() override;
    bool CreateSendToShortcut(const std::string& name) override;
    bool DeleteSendToShortcut(const std::string& name) override;
    std::vector<std::string> FixedDrives() override;
    LocaleInfo UserLocale() override;
    bool OpenDocument(const std::string& pathOrUrl) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
};

}  // namespace kelvor::platform
