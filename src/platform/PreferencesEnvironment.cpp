#include "platform/PreferencesEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QRect>
#include <QStandardPaths>
#include <QVariant>

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
    // The screen is asked through the meta-object system, so the front ends that never open a
    // window do not load Qt Gui for it.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && app->inherits("QGuiApplication")) {
        if (const QObject* screen = app->property("primaryScreen").value<QObject*>()) {
            const QRect geometry = screen->property("geometry").toRect();
            env.ScreenWidth = geometry.width();
            env.ScreenHeight = geometry.height();
        }
    }
    env.DocumentsFolder = DocumentsFolder();
    env.VarnoltProgram = QStandardPaths::findExecutable("varnolt").toStdString();
    env.Locale = UserLocaleInfo();
    return env;
}

}  // namespace kelvor::platform
