#include "ui/ImageList.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

#include <map>

#include "ui/ActionTable.h"

namespace kelvor::ui {
namespace {

constexpr int kSize = 32;

// A rounded tile of the given colour with a short white label: the drawn images.
QIcon Tile(QColor colour, const QString& label, bool crossed = false) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour.darker(130));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1.5, 1.5, kSize - 3, kSize - 3), 6, 6);
    QFont f("Liberation Sans");
    f.setBold(true);
    f.setPixelSize(label.size() > 2 ? 10 : 14);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, label);
    if (crossed) {
        p.setPen(QPen(QColor(200, 30, 30), 3));
        p.drawLine(6, kSize - 6, kSize - 6, 6);
    }
    return QIcon(pm);
}

QIcon Standard(QStyle::StandardPixmap sp) {
    return QApplication::style()->standardIcon(sp);
}

QIcon Make(int index) {
    const QColor blue(40, 100, 180), green(40, 140, 80), orange(210, 120, 20), grey(100, 100, 110),
        violet(120, 70, 160), red(180, 50, 50);
    switch (index) {
        case kImgOpen:
            return Standard(QStyle::SP_DialogOpenButton);
        case kImgPaste:
            return Tile(grey, "Paste");
        case kImgFolder:
            return Standard(QStyle::SP_DirOpenIcon);
        case kImgPreferred:
            return Standard(QStyle::SP_DirHomeIcon);
        case kImgDrives:
            return Standard(QStyle::SP_DriveHDIcon);
        case kImgPlaylist:
            return Standard(QStyle::SP_FileDialogContentsView);
        case kImgSavePlaylist:
            return Standard(QStyle::SP_DialogSaveButton);
        case kImgQuit:
            return Standard(QStyle::SP_DialogCloseButton);
        case kImgList:
            return Standard(QStyle::SP_FileDialogListView);
        case kImgAbout:
            return Standard(QStyle::SP_MessageBoxInformation);
        case kImgSettings:
            return Standard(QStyle::SP_FileDialogDetailedView);
        case kImgAbort:
            return Standard(QStyle::SP_BrowserStop);
        case kImgPlay:
            return Standard(QStyle::SP_MediaPlay);
        case kImgTrash:
            return Standard(QStyle::SP_TrashIcon);
        case kImgRemove:
            return Tile(grey, "-");
        case kImgCommand:
            return Tile(blue, "DV");
        case kImgRename:
            return Tile(green, "Aa");
        case kImgConvert:
            return Tile(orange, "DV2");
        case kImgShowInlay:
            return Tile(violet, "12:00");
        case kImgSoundOn:
            return Standard(QStyle::SP_MediaVolumeMuted);
        case kImgSoundOff:
            return Standard(QStyle::SP_MediaVolume);
        case kImgHideInlay:
            return Tile(violet, "12:00", true);
        case kImgScenes:
            return Tile(blue, "scn");
        case kImgEditScenes:
            return Tile(green, "scn");
        case kImgScript:
            return Tile(grey, "+d");
        case kImgParent:
            return Standard(QStyle::SP_FileDialogToParent);
        case kImgRiff:
            return Tile(grey, "RIFF");
        case kImgFullscreen:
            return Standard(QStyle::SP_TitleBarMaxButton);
        case kImgVolumeUp:
            return Tile(green, "+");
        case kImgVolumeDown:
            return Tile(green, "-");
        case kImgSort:
            return Tile(blue, "A-Z");
        case kImgDefaultPlaylist:
            return Standard(QStyle::SP_FileDialogInfoView);
        case kImgSelectAll:
            return Standard(QStyle::SP_DialogApplyButton);
        case kImgEmpty:
            return Tile(red, "x");
        case kImgFrameForward:
            return Tile(grey, "+1");
        case kImgFrameBackward:
            return Tile(grey, "-1");
        case kImgSecondForward:
            return Tile(grey, "+1s");
        case kImgSecondBackward:
            return Tile(grey, "-1s");
        case kImgMinuteForward:
            return Tile(grey, "+1m");
        case kImgMinuteBackward:
            return Tile(grey, "-1m");
        case kImgGoToEnd:
            return Standard(QStyle::SP_MediaSkipForward);
        case kImgGoToStart:
            return Standard(QStyle::SP_MediaSkipBackward);
        case kImgNextScene:
            return Standard(QStyle::SP_MediaSeekForward);
        case kImgPreviousScene:
            return Standard(QStyle::SP_MediaSeekBackward);
        case kImgDefaultPlayer:
            return Standard(QStyle::SP_ComputerIcon);
        default:
            return {};
    }
}

}  // namespace

QIcon ImageIcon(int index) {
    static std::map<int, QIcon> made;
    if (index < 0 || index >= kImageCount)
        return {};
    auto it = made.find(index);
    if (it == made.end())
        it = made.emplace(index, Make(index)).first;
    return it->second;
}

}  // namespace kelvor::ui
