// The window's places: the list shown or hidden (F6) and the widths that follow, the welcome
// frame and the panels, the scene editor's switch, and the player's volume, mute, play and full
// screen.
#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include "ui/ActionTable.h"
#include "ui/FileListModel.h"
#include "ui/MainWindow.h"
#include "ui/Panels.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/WindowPlace.h"
#include "ui/panels/AboutPanel.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"

namespace kelvor::ui {
namespace {

// The player and information panel's narrowest width; the list starts right of it.
constexpr int kPlayerWidth = 440;
constexpr int kListGap = 8;
constexpr int kListWidth = 330;
// The details view's width where the screen has the room: its columns without scrolling.
constexpr int kDetailsListWidth = 560;
// Right of the list.
constexpr int kListMargin = 16;
// The player's width and the window's height that show a PAL picture 640 pixels wide with the
// sliders and the information panel under it, where the screen has the room.
constexpr int kComfortablePlayerWidth = 680;
constexpr int kComfortableHeight = 770;
// The window's height on a screen without that room.
constexpr int kSmallestHeight = 600;
// Room kept for the window's frame and title bar, which are not known before it is shown.
constexpr int kFrameRoomWidth = 16;
constexpr int kFrameRoomHeight = 48;

}  // namespace

QString MainWindow::StatusText() const {
    return status_->text();
}

void MainWindow::setStatus(const QString& text) {
    status_->setText(text);
    status_->setToolTip(QString());
    emit StatusChanged(text);
}

bool MainWindow::WelcomeShown() const {
    return !welcome_->isHidden();
}

void MainWindow::ToggleList() {
    setListShown(!listShown_);
    UpdateActions();
}

void MainWindow::setListShown(bool shown) {
    listShown_ = shown;
    if (QAction* a = Action("ToggleList"))
        a->setText(shown ? tr("Hide the list") : tr("Show the list"));
    applyWidth();
}

void MainWindow::applyWidth() {
    const int listLeft = playerWidth_ + kListGap;
    int width = listLeft;
    if (panel_ != Panel::None)
        width =
            std::max(listLeft, panel_ == Panel::About ? AboutPanel::kWidth : SettingsPanel::kWidth);
    else if (WelcomeShown())
        width = std::max(listLeft, WelcomeFrame::kWidth);
    else if (listShown_)
        width = listLeft + (DetailsShown() ? listWidth_ : kListWidth) + kListMargin;
    resize(width, height());
    keepOnScreen();
    layoutBody();
}

void MainWindow::fitToScreen(bool centre) {
    const QScreen* shown = screen();
    if (!shown)
        return;
    const QRect room =
        shown->availableGeometry().adjusted(0, 0, -kFrameRoomWidth, -kFrameRoomHeight);
    // Wide enough for the picture, narrow enough for the list to fit beside it.
    const int wanted = DetailsShown() ? kDetailsListWidth : kListWidth;
    playerWidth_ = std::clamp(room.width() - kListGap - wanted - kListMargin, kPlayerWidth,
                              kComfortablePlayerWidth);
    // The picture keeps its narrowest width first; the details view gives up columns' room.
    listWidth_ =
        std::clamp(room.width() - playerWidth_ - kListGap - kListMargin, kListWidth, wanted);
    // A screen with less room than the smallest height (a scale factor of 2 on a laptop) gets a
    // window that fits rather than one whose title bar is off the screen.
    resize(width(), std::min(std::clamp(room.height(), kSmallestHeight, kComfortableHeight),
                             std::max(room.height(), 1)));
    applyWidth();
    if (centre) {
        const QRect screenRoom = shown->availableGeometry();
        move(screenRoom.x() + std::max(0, (screenRoom.width() - frameGeometry().width()) / 2),
             screenRoom.y() + std::max(0, (screenRoom.height() - frameGeometry().height()) / 2));
    }
    keepOnScreen();
}

void MainWindow::keepOnScreen() {
    const QRect client = geometry();
    const QRect frame = frameGeometry();
    // A place saved on a screen that is gone belongs to the screen the window is on now.
    const QScreen* shown = QGuiApplication::screenAt(frame.center());
    if (!shown)
        shown = screen();
    if (!shown)
        return;
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    const QRect fitted = FitInside(client, margins, shown->availableGeometry());
    if (fitted != client)
        setGeometry(fitted);
}

void MainWindow::layoutBody() {
    if (!body_)
        return;
    const int w = body_->width(), h = body_->height();
    const int listLeft = playerWidth_ + kListGap;
    player_->setGeometry(0, 0, playerWidth_, h);
    listColumn_->setGeometry(listLeft, 0, std::max(kListWidth / 2, w - listLeft - kListMargin / 2),
                             h);
    listColumn_->setVisible(listShown_ && panel_ == Panel::None);
    // The scene editor takes the list's place beside the player.
    editor_->setGeometry(listColumn_->geometry());
    editor_->setVisible(editorShown_ && panel_ == Panel::None);
    welcome_->setGeometry(0, 0, std::max(w, WelcomeFrame::kWidth), h);
    about_->setGeometry(0, 0, w, h);
    settings_->setGeometry(0, 0, w, h);
    if (WelcomeShown())
        welcome_->raise();
    if (panel_ == Panel::About)
        about_->raise();
    if (panel_ == Panel::Settings)
        settings_->raise();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutBody();
}

void MainWindow::showPanel(Panel panel) {
    if (panel == Panel::Settings && panel_ != Panel::Settings) {
        widthBeforeSettings_ = width();
        settings_->UpdateTitle();
        takeKeysForSettings(true);
    } else if (panel != Panel::Settings && panel_ == Panel::Settings) {
        takeKeysForSettings(false);
    }
    Action("About")->setChecked(panel == Panel::About);
    Action("Settings")->setChecked(panel == Panel::Settings);
    panel_ = panel;
    about_->setVisible(panel == Panel::About);
    settings_->setVisible(panel == Panel::Settings);
    if (panel == Panel::Settings)
        fillShortcutTable();
    applyWidth();
    RefreshList();
    UpdateActions();
}

void MainWindow::toggleEditor(bool on) {
    if (!listShown_)
        setListShown(true);
    auto* follow = editor_->findChild<QTimer*>("FollowTimer");
    if (!follow) {
        // The highlight follows the playing frame at the player's pace.
        follow = new QTimer(editor_);
        follow->setObjectName("FollowTimer");
        follow->setInterval(200);
        connect(follow, &QTimer::timeout, this,
                [this] { editor_->FollowFrame(preview_->CurrentFrame()); });
    }
    if (on && !editorShown_) {
        loadEditorScenes();
        editorShown_ = true;
        layoutBody();
        editor_->ShowEditor();
        follow->start();
    } else if (!on && editorShown_) {
        follow->stop();
        editorShown_ = false;
        editor_->HideEditor();
        layoutBody();
    }
    Action("EditScenes")->setChecked(editorShown_);
    lb_->setEnabled(!editorShown_ && !life_.RunActive());
    UpdateActions();
}

void MainWindow::changeVolume(int delta) {
    volume_ = std::clamp(volume_ + delta, 0, 10000);
    if (!muted_)
        preview_->SetVolume(volume_);
    player_->SetVolumeNeedle(volume_ / 100);
}

void MainWindow::toggleMute() {
    QAction* a = Action("Mute");
    if (muted_) {
        preview_->SetVolume(volume_);
        player_->SetNeedleVisible(!player_->SlidersVisible());
        a->setText(tr("Sound off"));
        a->setToolTip(tr("Sound is On.\r\nClick to turn the sound Off."));
        setCaption("Mute", a->text(), kImgSoundOff);
        muted_ = false;
    } else {
        preview_->SetVolume(0);
        player_->SetNeedleVisible(false);
        a->setText(tr("Sound on"));
        a->setToolTip(tr("Sound is Off.\r\nClick to turn the sound On."));
        setCaption("Mute", a->text(), kImgSoundOn);
        muted_ = true;
    }
    s_.Prefs.IsMuteOn = muted_;
}

void MainWindow::playStop() {
    QAction* a = Action("PlayStop");
    if (preview_->Running()) {
        preview_->Stop();
        preview_->Pause();
        a->setText(tr("Play"));
    } else if (preview_->Paused()) {
        preview_->Run();
        a->setText(tr("Pause"));
    }
}

void MainWindow::toggleFullscreen() {
    if (!preview_->Active())
        return;
    const bool enter = !preview_->Fullscreen();
    preview_->SetFullscreen(enter);
    Action("Fullscreen")->setText(enter ? tr("Quit fullscreen") : tr("Fullscreen"));
}

void MainWindow::scheduleSelectionChanged() {
    if (selectionPending_)
        return;
    selectionPending_ = true;
    QTimer::singleShot(0, this, [this] {
        selectionPending_ = false;
        SelectionChanged();
    });
}

QAction* MainWindow::actionForKey(const QKeyEvent& key) const {
    // The keypad's arrows are the same keys to a user.
    const QKeySequence pressed(
        QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    for (QAction* a : actions_)
        if (a->shortcuts().contains(pressed))
            return a;
    return nullptr;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!lb_) {
        // Still being built.
    } else if (watched == body_ && event->type() == QEvent::Resize) {
        layoutBody();
    } else if (watched == lb_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        scheduleSelectionChanged();
    } else if ((watched == lb_ || (editor_ && watched == editor_->List())) &&
               (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool moves = key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown ||
                           key->key() == Qt::Key_End || key->key() == Qt::Key_Home ||
                           key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                           key->key() == Qt::Key_Left || key->key() == Qt::Key_Right;
        const bool control = key->modifiers() & Qt::ControlModifier;
        if (event->type() == QEvent::KeyPress) {
            // With Ctrl these keys drive the player, not the list: the player's action takes
            // the key even where the list would otherwise move its focus with it.
            if (moves && control)
                if (QAction* a = actionForKey(*key)) {
                    if (a->isEnabled())
                        a->trigger();
                    return true;
                }
        } else if (moves && !control && watched == lb_) {
            // Only a move of the focus shows another file (Ctrl let go before the key leaves
            // the player where it stands).
            const int row = Focused();
            if (row < 0 || model_->At(row).item.Record != current_)
                scheduleSelectionChanged();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace kelvor::ui
