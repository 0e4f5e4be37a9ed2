// kelvor-installed-files: makes, at build time, the installed files that come from the program's
// own code or drawing rather than being kept as they are: the desktop entry (from the same code
// that writes the user's copy) and the icon's PNG sizes (rendered from the scalable icon).
//
//   kelvor-installed-files desktop-entry OUT
//   kelvor-installed-files icons SVG FOLDER SIZE...   writes FOLDER/<size>x<size>/apps/kelvor.png
//
// Exit status 0 when every file was written, 1 when one could not be, 2 on a usage error.
#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/shell/DesktopEntry.h"

namespace {

constexpr int kLargestIcon = 1024;

int usage() {
    std::fputs(
        "usage: kelvor-installed-files desktop-entry OUT\n"
        "       kelvor-installed-files icons SVG FOLDER SIZE...\n",
        stderr);
    return 2;
}

bool writeWhole(const QString& file, const QByteArray& bytes) {
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

int writeDesktopEntry(const QString& file) {
    // The installed entry starts the program found on PATH, as menus expect.
    const std::optional<std::string> text =
        kelvor::shell::DesktopEntryText(kelvor::shell::ProgramDesktopEntry("kelvor"));
    if (!text || !writeWhole(file, QByteArray::fromStdString(*text))) {
        std::fprintf(stderr, "kelvor-installed-files: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

int renderIcons(const QString& svg, const QString& folder, char** sizes, int count) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kelvor-installed-files: %s is not a drawing\n", qPrintable(svg));
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(sizes[i]).toInt(&ok);
        if (!ok || size < 1 || size > kLargestIcon)
            return usage();
        QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        const QString sub = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = sub + "/kelvor.png";
        if (!QDir().mkpath(sub) || !picture.save(file, "PNG")) {
            std::fprintf(stderr, "kelvor-installed-files: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view verb = argc > 1 ? argv[1] : "";
    if (verb == "desktop-entry" && argc == 3)
        return writeDesktopEntry(QString::fromLocal8Bit(argv[2]));
    if (verb == "icons" && argc >= 5)
        return renderIcons(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                           argv + 4, argc - 4);
    return usage();
}
