#include "platform/PreferencesEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include "platform/DesktopShell.h"
#include "platform/UserLocale.h"

namespace kelvor::platform {

std::filesystem::path ConfigHome() {
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value).toStdString();
    return (QDir::homePath() + "/.config").toStdString();
}

settings::PreferencesEnvironment CurrentPreferencesEnvironment() {
    settings::PreferencesEnvironment env;
    env.Locations.ProgramFile = ProgramFile();
    env.Locations.ConfigHome = ConfigHome();
    env.ProgramRoot = MountPointOf(env.Locations.ProgramFile.parent_path().string());
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            env.ScreenWidth = screen->geometry().width();
            env.ScreenHeight = screen->geometry().height();
        }
    }
    env.DocumentsFolder = DocumentsFolder();
    env.VarnoltProgram = QStandardPaths::findExecutable("varnolt").toStdString();
    env.Locale = UserLocaleInfo();
    return env;
}

}  // namespace kelvor::platform
