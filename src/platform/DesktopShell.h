// The desktop services on Linux: the freedesktop trash, the file manager over D-Bus, the
// documents folder, the operating-system text, the "Open With" desktop entry and the fixed
// drives.
//
// Stateless functions. ShowInExplorer and OpenDocument need a QGuiApplication and the main
// thread; the others may be called from any thread. None throws or shows a message.
#pragma once

#include <string>
#include <vector>

#include "core/shell/DesktopEntry.h"

namespace kelvor::platform {

// Moves the file to the trash of the desktop (freedesktop trash, with its .trashinfo record);
// true when it was moved. The path is taken as it is: file names are case-sensitive here.
bool RecycleFile(const std::string& path);

// Asks the file manager (org.freedesktop.FileManager1.ShowItems) to show the file selected; when
// no file manager answers, opens the file's folder with the desktop's default handler.
void ShowInExplorer(const std::string& path);

// The documents folder (xdg-user-dirs); the home folder when it is unset or does not exist.
std::string DocumentsFolder();

// Kernel name and release with the distribution's PRETTY_NAME from /etc/os-release.
std::string OsVersionText();

// The folder of desktop entries: $XDG_DATA_HOME/applications, by default
// ~/.local/share/applications.
std::string ApplicationsFolder();

// Writes the entry to linkFile (the folder is created) unless the file already holds it; true
// when the file holds it whole afterwards.
bool WriteDesktopEntry(const std::string& linkFile, const shell::DesktopEntry& entry);
// Writes a desktop entry named `name` to linkFile that starts target with the chosen files and
// is offered for DV and AVI videos; true when the file was written whole.
bool CreateShortcut(const std::string& linkFile, const std::string& target,
                    const std::string& workingFolder, const std::string& description,
                    const std::string& name);
// ApplicationsFolder()/<lower-cased name>.desktop: the program's own desktop entry (the one the
// package installs) under that name, starting this program.
bool CreateSendToShortcut(const std::string& name);
// Removes that entry; true when it is gone (also when it never existed).
bool DeleteSendToShortcut(const std::string& name);

// Mount points of local disk file systems from /proc/self/mounts.
std::vector<std::string> FixedDrives();

// The running program's file name (absolute).
std::string ProgramFile();
// The mount point of the file system that holds a path; "/" when it cannot be found.
std::string MountPointOf(const std::string& path);

bool OpenDocument(const std::string& pathOrUrl);
bool StartProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace kelvor::platform
