#include "platform/DesktopShell.h"

#include <sys/utsname.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>
#include <filesystem>
#include <optional>

#include "core/shell/DesktopEntry.h"
#include "core/shell/Mounts.h"
#include "core/shell/OsVersion.h"

namespace kelvor::platform {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Small system files only; the cap keeps a strange /proc from growing without bound.
QByteArray readSmallFile(const QString& path, qint64 cap) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(cap);
}

QString xdgFolder(const char* variable, const char* fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG base directory rules ignore relative values.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + "/" + fallbackUnderHome;
}

void refreshDesktopDatabase(const QString& folder) {
    const QString tool = QStandardPaths::findExecutable("update-desktop-database");
    if (!tool.isEmpty())
        QProcess::startDetached(tool, {folder});
}

// Some Qt versions write the original path of a trashed file unescaped, although the trash
// format wants it escaped as in URLs; file managers then restore names with "%" wrongly.
void encodeTrashInfoPath(const QString& inTrash, const QString& original) {
    const QFileInfo trashed(inTrash);
    const QString info = trashed.absolutePath() + "/../info/" + trashed.fileName() + ".trashinfo";
    const QByteArray encoded = QUrl::toPercentEncoding(original, "/");
    const QByteArray raw = QFile::encodeName(original);
    if (encoded == raw)
        return;
    QFile in(info);
    if (!in.open(QIODevice::ReadOnly))
        return;
    QByteArray text = in.read(64 * 1024);
    in.close();
    const QByteArray rawLine = "\nPath=" + raw + "\n";
    if (!text.contains(rawLine))
        return;
    text.replace(rawLine, "\nPath=" + encoded + "\n");
    QSaveFile out(info);
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size())
        out.commit();
}

}  // namespace

bool RecycleFile(const std::string& path) {
    if (path.empty())
        return false;
    // Qt makes the Trash folder but not the data folder above it, which a new account may lack.
    // When it can establish no trash at all it moves the file below the current folder instead,
    // so the home trash must be possible before we ask.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return false;
    if (!QFileInfo(data + "/Trash").isDir() && !QFileInfo(data).isWritable())
        return false;
    const QString original = QFileInfo(q(path)).absoluteFilePath();
    QString inTrash;
    if (!QFile::moveToTrash(q(path), &inTrash))
        return false;
    encodeTrashInfoPath(inTrash, original);
    return true;
}

void ShowInExplorer(const std::string& path) {
    const QFileInfo info(q(path));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            "org.freedesktop.FileManager1", "ShowItems");
        call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

std::string OsVersionText() {
    struct utsname names {};
    std::string kernel, release;
    if (uname(&names) == 0) {
        kernel = names.sysname;
        release = names.release;
    }
    QByteArray osRelease = readSmallFile("/etc/os-release", 64 * 1024);
    if (osRelease.isEmpty())
        osRelease = readSmallFile("/usr/lib/os-release", 64 * 1024);
    return shell::LinuxVersionText(kernel, release,
                                   shell::PrettyNameFromOsRelease(osRelease.toStdString()));
}

std::string ApplicationsFolder() {
    return (xdgFolder("XDG_DATA_HOME", ".local/share") + "/applications").toStdString();
}

bool WriteDesktopEntry(const std::string& linkFile, const shell::DesktopEntry& entry) {
    const std::optional<std::string> text = shell::DesktopEntryText(entry);
    if (!text)
        return false;
    const QFileInfo link(q(linkFile));
    // The settings panel re-creates the entry at every start; an unchanged one is left alone.
    const QByteArray wanted = QByteArray::fromStdString(*text);
    if (link.isFile() && link.size() == wanted.size() &&
        readSmallFile(link.absoluteFilePath(), wanted.size() + 1) == wanted)
        return true;
    if (!QDir().mkpath(link.absolutePath()))
        return false;
    QSaveFile out(link.absoluteFilePath());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(text->data(), static_cast<qint64>(text->size()));
    if (!out.commit())
        return false;
    refreshDesktopDatabase(link.absolutePath());
    return true;
}

bool CreateShortcut(const std::string& linkFile, const std::string& target,
                    const std::string& workingFolder, const std::string& description,
                    const std::string& name) {
    shell::DesktopEntry entry;
    entry.Name = name;
    entry.Comment = description;
    entry.Program = target;
    entry.WorkingFolder = workingFolder;
    return WriteDesktopEntry(linkFile, entry);
}

bool CreateSendToShortcut(const std::string& name) {
    // The same entry as the package installs, so a user's copy shadows it with nothing lost.
    shell::DesktopEntry entry = shell::ProgramDesktopEntry(ProgramFile());
    entry.Name = name;
    return WriteDesktopEntry(ApplicationsFolder() + "/" + shell::DesktopFileName(name), entry);
}

bool DeleteSendToShortcut(const std::string& name) {
    const QString folder = q(ApplicationsFolder());
    const QString file = folder + "/" + q(shell::DesktopFileName(name));
    if (!QFileInfo::exists(file))
        return true;
    if (!QFile::remove(file))
        return false;
    refreshDesktopDatabase(folder);
    return true;
}

std::vector<std::string> FixedDrives() {
    return shell::FixedMountPoints(readSmallFile("/proc/self/mounts", 4 << 20).toStdString());
}

bool OpenDocument(const std::string& pathOrUrl) {
    const QString text = q(pathOrUrl);
    const QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
    return QDesktopServices::openUrl(url);
}

bool StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& a : arguments)
        args << q(a);
    return QProcess::startDetached(q(program), args);
}

}  // namespace kelvor::platform
