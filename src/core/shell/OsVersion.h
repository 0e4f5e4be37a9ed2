// The operating-system text of the about panel and the system report.
//
// Pure functions, callable from any thread. The desktop layer gathers the facts (uname and
// /etc/os-release on Linux) and passes them in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvor::shell {

// What a Windows system reports of its version.
struct WindowsVersion {
    std::uint32_t PlatformId = 0;  // 0 Win32s, 1 Windows 9x, 2 NT family
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Build = 0;
    std::string ServicePack;  // such as "Service Pack 2", or empty
};

// The product name from the version table, then " " + service pack + " - build " + the low
// 16 bits of the build number, such as "Windows XP Service Pack 2 - build 2600".
std::string WindowsVersionText(const WindowsVersion& version);

// The PRETTY_NAME value of an os-release file (quotes and backslash escapes removed); empty
// when the file has none.
std::string PrettyNameFromOsRelease(std::string_view osReleaseText);

// "Linux 6.1.0-18-amd64 - Debian GNU/Linux 12 (bookworm)", or only the kernel part when the
// distribution has no pretty name.
std::string LinuxVersionText(std::string_view kernelName, std::string_view kernelRelease,
                             std::string_view prettyName);

}  // namespace kelvor::shell
