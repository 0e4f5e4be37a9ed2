// The left part of the main window: the player's video area (an empty frame until the preview
// comes), the playing slider, the progress gauge of a conversion, the volume needle, the inlay
// position sliders and the information about the current file, with the pop-up that copies
// each text.
//
// UI thread only. The panel keeps no record of its own beyond the one it shows (shared with
// the list); ShowFile(nullptr) clears it.
#pragma once

#include <QWidget>

#include <memory>

#include "core/files/DatePattern.h"
#include "core/files/FileRecord.h"

class QLabel;
class QProgressBar;
class QSlider;
class QMenu;

namespace kelvor::ui {

class PlayerPanel final : public QWidget {
    Q_OBJECT
  public:
    explicit PlayerPanel(QWidget* parent);

    // The record's texts as the information panel shows them; the datecode is formatted with the
    // display format when the record holds one.
    void ShowFile(std::shared_ptr<const files::FileRecord> record,
                  const std::string& displayFormat = "ddddd hh:nn:ss",
                  const LocaleInfo& locale = EnglishLocale());
    const files::FileRecord* Shown() const { return shown_.get(); }

    // The conversion's progress display: the gauge replaces the playing slider.
    void BeginProgress();
    void SetProgress(int percent);
    void EndProgress();
    bool ProgressShown() const;
    int ProgressValue() const;

    // The volume needle shows volume / 100; hidden while muted or while the inlay sliders show.
    void SetVolumeNeedle(int value);
    void SetNeedleVisible(bool visible);
    bool NeedleVisible() const;

    // The inlay position: X from the horizontal slider, the vertical one shows 1000 - Y.
    void SetInlayPosition(int x, int y);
    void SetSlidersVisible(bool visible);
    bool SlidersVisible() const;
    int InlayX() const;
    int InlayY() const;

    // The text of each information label, as the copy pop-up takes it.
    enum class Info { Datecode, Timecode, Codec, Image, Duration, Framerate, Audio, FullName };
    QString InfoText(Info which) const;
    QMenu* CopyMenu() const { return copyMenu_; }

    QWidget* VideoArea() const { return video_; }
    // The trackbar under the video (0 to 1000 once the player takes it).
    QSlider* PlayingSlider() const { return playing_; }
    // The frame being played: its datecode, timecode, image and sound texts replace the file's
    // while it plays; an empty text leaves its label as it is.
    void ShowPlayingTexts(const std::string& datecode, const std::string& timecode,
                          const std::string& image, const std::string& audio,
                          const std::string& dataRate);

  signals:
    void FileNameClicked();
    void InlayPositionChanged(int x, int y);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* value(const char* caption, int row);
    void copy(Info which);

    std::shared_ptr<const files::FileRecord> shown_;
    QWidget* video_;
    QSlider* playing_;
    QProgressBar* gauge_;
    QProgressBar* needle_;
    QSlider* inlayX_;
    QSlider* inlayY_;
    QWidget* info_;
    QLabel* name_;
    QLabel* datecode_;
    QLabel* timecode_;
    QLabel* codec_;
    QLabel* image_;
    QLabel* duration_;
    QLabel* framerate_;
    QLabel* audio1_;
    QLabel* audio2_;
    QLabel* scn_;
    QLabel* srt_;
    QMenu* copyMenu_;
};

}  // namespace kelvor::ui
