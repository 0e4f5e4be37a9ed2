// The player frame: the preview graph (PreviewGraph) shown in the video window `vw` of the player
// panel, the message area `reBaseFrame` that replaces the video when it cannot be shown, the
// time stamp under the video, the corner mark that shows the inlay sliders, the trackbar, the
// stepping operations and the 40 ms tick that turns the shown frame into status texts.
//
// UI thread only. Pictures come from the graph's threads through the renderer's mailbox: the
// renderer's notifier only posts a queued call, and the picture is taken here.
#pragma once

#include <optional>

#include <QImage>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

#include "core/scenes/SceneList.h"
#include "core/settings/Preferences.h"
#include "media/preview/PreviewGraph.h"
#include "ui/PreviewSlot.h"
#include "ui/preview/PlayerTexts.h"

class QLabel;
class QTextEdit;
class QSlider;

namespace kelvor::ui {

class PlayerPanel;

// The width-to-height ratio a picture is seen at: a DV frame's own source-control pack decides,
// else the file's (the first frame's pack, else the stream headers', see FileRecord::AspectFrom);
// other files have square pixels.
double DisplayAspect(const scenes::FrameInfo* frame, const files::FileRecord& record,
                     QSize picture);

// `vw`: draws the last picture fitted into its rectangle at its display aspect, on black.
class VideoWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit VideoWindow(QWidget* parent);
    // aspect: the width-to-height ratio to draw at; 0 draws the picture's own pixel proportions.
    void SetPicture(QImage picture, double aspect = 0);
    void ClearPicture();
    const QImage& Picture() const { return picture_; }
    double Aspect() const { return aspect_; }
    // The rectangle the picture is drawn in.
    QRect PictureRect() const;

  signals:
    // A click in the picture, in thousandths of its width and height from its top left.
    void PictureClicked(int x, int y);
    void DoubleClicked();

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

  private:
    QImage picture_;
    double aspect_ = 0;
};

class PlayerFrame final : public QObject, public PreviewSlot {
    Q_OBJECT
  public:
    PlayerFrame(PlayerPanel* panel, settings::Preferences& prefs, const LocaleInfo& locale,
                QObject* parent = nullptr);
    ~PlayerFrame() override;

    // PreviewSlot
    bool Active() const override { return view_->Active(); }
    bool Running() const override { return view_->Running(); }
    bool Paused() const override { return view_->Paused(); }
    void Load(const files::FileRecord* record) override;
    void Clear() override;
    // The locale of the dates shown from now on (status bar and picture overlay).
    void SetLocale(const LocaleInfo& locale);
    void Run() override;
    void Pause() override;
    void Stop() override;
    void StepBy(Step step, bool forward) override;
    void SetVolume(int volume) override;
    void SetInlay(bool on) override;
    void SetInlayPosition(int x, int y, int alignment) override;
    bool Fullscreen() const override;
    void SetFullscreen(bool on) override;
    void Release() override;
    // The scene editor's position and clicks, in frames.
    std::int32_t CurrentFrame() const override;
    void SeekFrame(std::int32_t frame) override;
    // The time-difference dialog's shift, shown on the next drawn frame until the file changes.
    void SetInlayTimeShift(double days) override { shownShift_ = days; }
    void Resume() override;

    // The frame's own operations.
    // The line the idle panel shows (product, version, " by ", maker); Clear shows the panel.
    void SetIdleLine(std::string line) { idleLine_ = std::move(line); }
    void ShowIdlePanel();
    void ShowMessageCode(int code);
    void ShowAudioMessage(int code);
    StatusTexts UpdateTick();
    void GoTrackbar(int value);

    enum class Layout { Video, Audio, Message };
    Layout CurrentLayout() const { return layout_; }
    QString MessageText() const;
    const StatusTexts& LastTexts() const { return texts_; }
    media::PreviewGraph& View() const { return *view_; }
    VideoWindow* Video() const { return videoWindow_; }
    QLabel* TimeStampLabel() const { return timeStampLabel_; }
    QWidget* CornerMark() const { return inlayMark_; }
    // Takes any picture waiting in the renderer's mailbox now (tests; the queued call does it
    // otherwise).
    void TakePicture();

  signals:
    // The status texts of each tick, for the window to show.
    void StatusChanged(const kelvor::ui::StatusTexts& texts);
    // A click on the corner mark: show or hide the inlay sliders.
    void CornerMarkClicked();
    // A click in the video placed the inlay there (thousandths).
    void InlayPlaced(int x, int y);
    void PlayCaptionChanged(const QString& caption);
    void PictureArrived();

  private:
    std::optional<double> shownShift_;
    void setLayout(Layout l);
    void afterStep();
    void loadScenes();
    bool eventFilter(QObject* watched, QEvent* event) override;

    PlayerPanel* panel_;
    settings::Preferences& prefs_;
    LocaleInfo locale_;
    std::unique_ptr<media::PreviewGraph> view_;
    std::shared_ptr<media::PreviewAudioOutput> audio_;
    std::unique_ptr<files::FileRecord> record_;  // the file shown
    scenes::SceneList scenes_;
    VideoWindow* videoWindow_;
    QTextEdit* infoText_;
    QLabel* timeStampLabel_;
    QWidget* inlayMark_;
    QSlider* tb_;
    QTimer timer1_;
    Layout layout_ = Layout::Message;
    StatusTexts texts_;
    std::atomic<bool> pictureQueued_{false};
    bool fullscreen_ = false;
    QWidget* fullscreenHost_ = nullptr;
    bool trackbarSetting_ = false;
    std::string idleLine_;
};

}  // namespace kelvor::ui
