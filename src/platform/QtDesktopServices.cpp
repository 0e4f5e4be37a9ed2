#include "platform/QtDesktopServices.h"

#include "platform/DesktopShell.h"
#include "platform/UserLocale.h"

namespace kelvor::platform {

bool QtDesktopServices::RecycleFile(const std::string& path) {
    return platform::RecycleFile(path);
}
void QtDesktopServices::ShowInExplorer(const std::string& path) {
    platform::ShowInExplorer(path);
}
std::string QtDesktopServices::DocumentsFolder() {
    return platform::DocumentsFolder();
}
std::string QtDesktopServices::OsVersionText() {
    return platform::OsVersionText();
}
bool QtDesktopServices::CreateSendToShortcut(const std::string& name) {
    return platform::CreateSendToShortcut(name);
}
bool QtDesktopServices::DeleteSendToShortcut(const std::string& name) {
    return platform::DeleteSendToShortcut(name);
}
std::vector<std::string> QtDesktopServices::FixedDrives() {
    return platform::FixedDrives();
}
LocaleInfo QtDesktopServices::UserLocale() {
    return UserLocaleInfo();
}
bool QtDesktopServices::OpenDocument(const std::string& pathOrUrl) {
    return platform::OpenDocument(pathOrUrl);
}
bool QtDesktopServices::StartProgram(const std::string& program,
                                     const std::vector<std::string>& arguments) {
    return platform::StartProgram(program, arguments);
}

}  // namespace kelvor::platform
