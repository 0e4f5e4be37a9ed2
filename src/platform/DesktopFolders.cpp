// The folders the preferences need (documents, the program's own file and its mount point), apart
// from the other desktop services because they need only QtCore: a front end that never talks to
// the desktop loads neither Qt Gui nor D-Bus for them.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <filesystem>

#include "platform/DesktopShell.h"

namespace kelvor::platform {

std::string DocumentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return QDir::cleanPath(documents).toStdString();
    return QDir::cleanPath(QDir::homePath()).toStdString();
}

std::string ProgramFile() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath().toStdString();
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

std::string MountPointOf(const std::string& path) {
    const QStorageInfo storage(QString::fromStdString(path));
    const QString root = storage.isValid() ? storage.rootPath() : QString();
    return root.isEmpty() ? std::string("/") : root.toStdString();
}

}  // namespace kelvor::platform
