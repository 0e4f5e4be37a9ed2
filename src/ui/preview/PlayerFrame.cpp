#include "ui/preview/PlayerFrame.h"

#include <QAction>
#include <QApplication>
#include <QAudioSink>
#include <QGridLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>

#include "core/scenes/ScnFile.h"
#include "media/engine/DvCodec.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/InlayFilter.h"
#include "ui/PlayerPanel.h"
#include "ui/TimeStamp.h"

namespace kelvor::ui {
namespace {

constexpr int kTickMs = 40;
constexpr int kTrackbarMax = 1000;
constexpr int kMarkSize = 16;

// The sound through Qt Multimedia. The graph's sound renderer appends PCM from its streaming
// thread to a queue; a timer on the window's thread moves it into the sink as it has room and
// reads how much the sink has played, which the preview's clock reads from any thread. Without
// an output device Start fails and the silent clock paces the pictures.
class QtAudioOutput final : public media::PreviewAudioOutput {
  public:
    QtAudioOutput() {
        timer_.setInterval(kPumpMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { pump(); });
    }

    bool Start(int rate, int channels) override {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(channels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            return false;
        format_ = format;
        device_ = device;
        bytesPerSecond_ = rate * channels * 2;
        frameBytes_ = channels * 2;
        failed_ = false;
        return open();
    }
    void Write(const std::uint8_t* data, std::size_t bytes, int volume) override {
        std::lock_guard lock(queueMutex_);
        // Bounded: the renderer writes only a little ahead of what is heard.
        if (queue_.size() + bytes > static_cast<std::size_t>(bytesPerSecond_) * kMaxQueuedSeconds)
            return;
        const std::size_t at = queue_.size();
        queue_.insert(queue_.end(), data, data + bytes);
        if (volume < 10000) {
            for (std::size_t i = at; i + 1 < queue_.size(); i += 2) {
                std::int16_t v;
                std::memcpy(&v, &queue_[i], 2);
                v = static_cast<std::int16_t>(v * volume / 10000);
                std::memcpy(&queue_[i], &v, 2);
            }
        }
    }
    void Stop() override {
        timer_.stop();
        if (sink_)
            sink_->stop();
        io_ = nullptr;
        sink_.reset();
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    void Suspend(bool on) override {
        suspended_ = on;
        if (on)
            active_ = false;
        if (!sink_)
            return;
        if (on)
            sink_->suspend();
        else
            sink_->resume();
    }
    void Flush() override {
        // A new sink starts its processed count at 0 with nothing queued in the device.
        const bool held = suspended_;
        Stop();
        if (open() && held)
            sink_->suspend();
    }
    std::int64_t PlayedUSecs() const override {
        if (failed_.load())
            return -1;
        // Read every pump; between reads (or while the window's thread is busy for a moment)
        // the sound goes on playing, so the time since the last read is added, up to a bound.
        const std::int64_t at = played_.load();
        if (!active_.load())
            return at;
        const std::int64_t since = std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count() -
                                   readAt_.load();
        return at + std::clamp<std::int64_t>(since, 0, kMaxExtrapolationUSecs);
    }
    std::int64_t LeadUSecs() const override { return lead_.load(); }

  private:
    static constexpr int kPumpMs = 10;
    static constexpr int kMaxQueuedSeconds = 4;
    static constexpr std::int64_t kMaxExtrapolationUSecs = 100'000;

    bool open() {
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        io_ = sink_->start();
        played_ = 0;
        active_ = false;
        if (!io_) {
            sink_.reset();
            return false;
        }
        // Enough ahead to keep the device's whole buffer full, so it starts and never starves.
        const std::int64_t buffered =
            bytesPerSecond_ > 0 ? sink_->bufferSize() * 1'000'000LL / bytesPerSecond_ : 0;
        lead_ = std::clamp<std::int64_t>(buffered + 100'000, 200'000, 1'000'000);
        timer_.start();
        return true;
    }

    void pump() {
        if (!sink_ || !io_)
            return;
        if (sink_->error() != QAudio::NoError && sink_->error() != QAudio::UnderrunError) {
            failed_ = true;
            return;
        }
        {
            std::lock_guard lock(queueMutex_);
            // Whole sample frames only: the device takes no part of one.
            qint64 room = std::min<qint64>(sink_->bytesFree(), qint64(queue_.size()));
            room -= room % frameBytes_;
            if (room > 0) {
                const qint64 n = io_->write(reinterpret_cast<const char*>(queue_.data()), room);
                if (n > 0)
                    queue_.erase(queue_.begin(), queue_.begin() + n);
            }
        }
        // What the device took minus what still waits in its buffer is what was heard.
        const qint64 waiting = std::max<qint64>(0, sink_->bufferSize() - sink_->bytesFree());
        const std::int64_t waitingUSecs =
            bytesPerSecond_ > 0 ? waiting * 1'000'000LL / bytesPerSecond_ : 0;
        const std::int64_t heard = sink_->processedUSecs() - waitingUSecs;
        played_ = std::max<std::int64_t>(played_.load(), heard);
        readAt_ = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
        active_ = sink_->state() == QAudio::ActiveState;
    }

    QTimer timer_;  // on the window's thread, as are the sink and its device
    QAudioDevice device_;
    QAudioFormat format_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    int bytesPerSecond_ = 0;
    int frameBytes_ = 4;
    bool suspended_ = false;
    std::mutex queueMutex_;  // guards queue_
    std::vector<std::uint8_t> queue_;
    std::atomic<std::int64_t> played_{0};
    std::atomic<std::int64_t> readAt_{0};  // steady microseconds of the last read of played_
    std::atomic<bool> active_{false};      // the sink was playing at that read
    std::atomic<std::int64_t> lead_{200'000};
    std::atomic<bool> failed_{false};
};

QImage toImage(const media::PreviewPicture& p) {
    // Bottom-up BGR rows: mirrored and swapped into a top-down RGB image.
    QImage img(p.Rgb.data(), p.Width, p.Height, static_cast<qsizetype>(media::Rgb24Stride(p.Width)),
               QImage::Format_BGR888);
    return img.mirrored(false, true);
}

}  // namespace

double DisplayAspect(const scenes::FrameInfo* frame, const files::FileRecord& record,
                     QSize picture) {
    constexpr double kNarrow = 4.0 / 3.0, kWide = 16.0 / 9.0;
    // This frame's own source-control pack decides; a frame without one (a dropout, a camcorder
    // that writes none) keeps the file's aspect, so the picture does not change shape mid-play.
    if (frame && (frame->FormatValid || frame->AspectFound))
        return frame->Widescreen == 1 ? kWide : kNarrow;
    if (record.IsDV)
        return record.Wide ? kWide : kNarrow;
    return picture.height() > 0 ? static_cast<double>(picture.width()) / picture.height() : 0;
}

VideoWindow::VideoWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("VideoWindow");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void VideoWindow::SetPicture(QImage picture, double aspect) {
    picture_ = std::move(picture);
    aspect_ = aspect;
    update();
}

void VideoWindow::ClearPicture() {
    picture_ = QImage();
    update();
}

QRect VideoWindow::PictureRect() const {
    if (picture_.isNull())
        return rect();
    const int W = width(), H = height();
    const double aspect =
        aspect_ > 0 ? aspect_
                    : static_cast<double>(picture_.width()) / std::max(1, picture_.height());
    if (W < H * aspect) {
        const int ph = static_cast<int>(std::lround(W / aspect));
        return {0, (H - ph) / 2, W, ph};
    }
    const int pw = static_cast<int>(std::lround(H * aspect));
    return {(W - pw) / 2, 0, pw, H};
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull())
        painter.drawImage(PictureRect(), picture_);
}

void VideoWindow::mousePressEvent(QMouseEvent* e) {
    const QRect r = PictureRect();
    if (e->button() == Qt::LeftButton && !picture_.isNull() && r.contains(e->position().toPoint()))
        emit PictureClicked(static_cast<int>((e->position().x() - r.x()) * 1000 / r.width()),
                            static_cast<int>((e->position().y() - r.y()) * 1000 / r.height()));
    QWidget::mousePressEvent(e);
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent*) {
    emit DoubleClicked();
}

PlayerFrame::PlayerFrame(PlayerPanel* panel, settings::Preferences& prefs, const LocaleInfo& locale,
                         QObject* parent)
    : QObject(parent),
      panel_(panel),
      prefs_(prefs),
      locale_(locale),
      view_(std::make_unique<media::PreviewGraph>(prefs)),
      audio_(std::make_shared<QtAudioOutput>()) {
    view_->AudioRenderer().SetOutput(audio_);
    // The datecode on the picture is written in the window's style, as the panel's is.
    view_->SetLocale(locale_);
    // Streaming thread: one queued call at a time takes the newest picture.
    view_->VideoRenderer().SetNotifier([this] {
        if (!pictureQueued_.exchange(true))
            QMetaObject::invokeMethod(this, &PlayerFrame::TakePicture, Qt::QueuedConnection);
    });

    QWidget* area = panel_->VideoArea();
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    videoWindow_ = new VideoWindow(area);
    infoText_ = new QTextEdit(area);
    infoText_->setObjectName("InfoText");
    infoText_->setReadOnly(true);
    // The messages take no keyboard focus, so the window's keys keep reaching its actions.
    infoText_->setFocusPolicy(Qt::NoFocus);
    infoText_->setFrameShape(QFrame::NoFrame);
    infoText_->setAlignment(Qt::AlignCenter);
    infoText_->setStyleSheet("QTextEdit { background: rgb(16,16,20); color: rgb(220,220,225); }");
    timeStampLabel_ = new QLabel(area);
    timeStampLabel_->setObjectName("TimeStampLabel");
    timeStampLabel_->setFont(QFont("Times New Roman", 11));
    timeStampLabel_->setAlignment(Qt::AlignCenter);
    timeStampLabel_->setStyleSheet(
        "QLabel { color: rgb(230,230,230); background: rgb(16,16,20); }");
    grid->addWidget(videoWindow_, 0, 0);
    grid->addWidget(infoText_, 0, 0);
    grid->addWidget(timeStampLabel_, 1, 0);
    grid->setRowStretch(0, 1);

    inlayMark_ = new QWidget(videoWindow_);
    inlayMark_->setObjectName("InlayMark");
    inlayMark_->setFixedSize(kMarkSize, kMarkSize);
    inlayMark_->setStyleSheet(
        "QWidget { background: rgba(255,200,0,170); border: 1px solid black; }");
    inlayMark_->setCursor(Qt::PointingHandCursor);
    inlayMark_->setToolTip(tr("Modify the position of inlay"));
    inlayMark_->installEventFilter(this);
    inlayMark_->hide();
    videoWindow_->installEventFilter(this);

    tb_ = panel_->PlayingSlider();
    tb_->setRange(0, kTrackbarMax);
    connect(tb_, &QSlider::valueChanged, this, [this](int v) {
        if (!trackbarSetting_)
            GoTrackbar(v);
    });
    connect(videoWindow_, &VideoWindow::PictureClicked, this, [this](int x, int y) {
        if (!record_ || !record_->IsDV || !view_->Active())
            return;
        // The click places the anchor of the text; the position counts from the top left.
        prefs_.InlayPositionX = x;
        prefs_.InlayPositionY = y;
        SetInlayPosition(x, y, prefs_.InlayAlignment);
        emit InlayPlaced(x, y);
    });
    connect(videoWindow_, &VideoWindow::DoubleClicked, this,
            [this] { SetFullscreen(!fullscreen_); });

    timer1_.setInterval(kTickMs);
    connect(&timer1_, &QTimer::timeout, this, [this] { UpdateTick(); });
    setLayout(Layout::Message);
}

PlayerFrame::~PlayerFrame() {
    timer1_.stop();
    view_->Clear();
    view_->VideoRenderer().SetNotifier(nullptr);
}

bool PlayerFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == inlayMark_ && event->type() == QEvent::MouseButtonPress) {
        emit CornerMarkClicked();
        return true;
    }
    if (watched == videoWindow_ && event->type() == QEvent::Resize) {
        const QRect r = videoWindow_->PictureRect();
        inlayMark_->move(r.right() - kMarkSize + 1, r.bottom() - kMarkSize + 1);
    }
    return QObject::eventFilter(watched, event);
}

void PlayerFrame::TakePicture() {
    pictureQueued_ = false;
    const auto p = view_->VideoRenderer().Latest();
    if (!p || p->Rgb.empty())
        return;
    QImage image = toImage(*p);
    const double aspect =
        record_ ? DisplayAspect(p->Facts ? &p->Facts->Info : nullptr, *record_, image.size()) : 0;
    videoWindow_->SetPicture(std::move(image), aspect);
    const QRect r = videoWindow_->PictureRect();
    inlayMark_->move(r.right() - kMarkSize + 1, r.bottom() - kMarkSize + 1);
    emit PictureArrived();
}

void PlayerFrame::setLayout(Layout l) {
    layout_ = l;
    const bool video = l == Layout::Video;
    videoWindow_->setVisible(l != Layout::Message);
    infoText_->setVisible(!video);
    if (!video)
        infoText_->raise();
    timeStampLabel_->setVisible(l != Layout::Message);
    tb_->setEnabled(l != Layout::Message);
    tb_->setVisible(l != Layout::Message && !panel_->ProgressShown());
    if (l == Layout::Message)
        timer1_.stop();
    else
        timer1_.start();
}

QString PlayerFrame::MessageText() const {
    return infoText_->toPlainText();
}

void PlayerFrame::ShowIdlePanel() {
    infoText_->setPlainText(QString("\n\n\n") + QString::fromStdString(idleLine_));
    infoText_->setAlignment(Qt::AlignCenter);
    setLayout(Layout::Message);
}

void PlayerFrame::ShowMessageCode(int code) {
    timer1_.stop();
    if (!record_) {
        infoText_->setPlainText(
            "Please tell Quennel that occured the failure: Error in AfficherCode");
        setLayout(Layout::Message);
        return;
    }
    QStringList lines;
    for (const std::string& l : MessageLines(code, *record_))
        lines << QString::fromStdString(l);
    infoText_->setPlainText(lines.join('\n'));
    infoText_->selectAll();
    infoText_->setAlignment(Qt::AlignCenter);
    infoText_->moveCursor(QTextCursor::Start);
    videoWindow_->ClearPicture();
    setLayout(Layout::Message);
}

void PlayerFrame::ShowAudioMessage(int code) {
    ShowMessageCode(code);
    setLayout(Layout::Audio);
}

void PlayerFrame::loadScenes() {
    scenes_.clear();
    if (!record_ || !record_->HasScn)
        return;
    const std::string scn = scenes::ReplaceExtension(record_->FullName, ".scn");
    if (!scenes::ReadScnFile(scn, scenes_, record_->Fps))
        scenes_.clear();
}

void PlayerFrame::Load(const files::FileRecord* record) {
    shownShift_.reset();
    if (!record) {
        Clear();
        return;
    }
    record_ = std::make_unique<files::FileRecord>(*record);
    loadScenes();
    texts_ = {};
    videoWindow_->ClearPicture();
    inlayMark_->setVisible(record_->IsDV);
    emit PlayCaptionChanged(tr("Play"));
    if (!view_->OpenPreview(*record_)) {
        ShowMessageCode(view_->MessageCode());
        return;
    }
    const int code = view_->MessageCode();
    if (code == 0)
        setLayout(Layout::Video);
    else if (code == 3 || code == 5)
        ShowAudioMessage(code);
    else
        ShowMessageCode(code);
    TakePicture();
    UpdateTick();
}

void PlayerFrame::Clear() {
    timer1_.stop();
    view_->Clear();
    record_.reset();
    scenes_.clear();
    videoWindow_->ClearPicture();
    inlayMark_->hide();
    texts_ = {};
    trackbarSetting_ = true;
    tb_->setValue(0);
    trackbarSetting_ = false;
    timeStampLabel_->clear();
    ShowIdlePanel();
}

void PlayerFrame::Release() {
    view_->ReleasePreview();
    if (record_)
        ShowMessageCode(8);
}

void PlayerFrame::Resume() {
    view_->ResumePreview();
}

void PlayerFrame::Run() {
    view_->Run();
    emit PlayCaptionChanged(tr("Pause"));
}

void PlayerFrame::Pause() {
    view_->PausePreview();
    emit PlayCaptionChanged(tr("Play"));
}

void PlayerFrame::Stop() {
    view_->Stop();
    // Stopped, the inlay takes what the settings panel changed meanwhile (a redraw stops and
    // pauses), and the shift the time-difference dialog shows.
    view_->ConfigureInlay(prefs_.IsInlayOn);
    if (shownShift_)
        view_->Inlay().SetTimeShift(*shownShift_);
}

std::int32_t PlayerFrame::CurrentFrame() const {
    return view_->Active() ? static_cast<std::int32_t>(view_->Position()) : 0;
}

void PlayerFrame::SeekFrame(std::int32_t frame) {
    if (view_->Active())
        view_->SeekTo(frame);
}

void PlayerFrame::StepBy(Step step, bool forward) {
    if (!record_ || !view_->Active())
        return;
    const int sign = forward ? 1 : -1;
    const double fps = record_->Fps;
    switch (step) {
        case Step::Frame:
        case Step::Second:
        case Step::Minute: {
            if (fps != 0) {
                const std::int64_t n = step == Step::Frame    ? 1
                                       : step == Step::Second ? std::llround(fps)
                                                              : std::llround(fps * 60);
                view_->SeekFrames(sign * n);
            } else {
                const std::int64_t t = step == Step::Frame    ? 400000
                                       : step == Step::Second ? 10000000
                                                              : 600000000;
                view_->SeekTime(sign * t);
            }
            break;
        }
        case Step::Start:
            view_->SeekTo(0);
            break;
        case Step::End:
            view_->SeekTo(view_->Duration());
            break;
        case Step::NextScene:
        case Step::PreviousScene: {
            view_->PausePreview();
            emit PlayCaptionChanged(tr("Play"));
            view_->SetTimeFormat(media::TimeFormat::Frame);
            const std::int64_t at = view_->Position();
            view_->SeekTo(step == Step::NextScene ? NextSceneStart(scenes_, at, record_->FrameCount)
                                                  : PreviousSceneStart(scenes_, at));
            break;
        }
    }
    afterStep();
}

void PlayerFrame::afterStep() {
    UpdateTick();
}

void PlayerFrame::GoTrackbar(int value) {
    if (!view_->Active())
        return;
    view_->SeekTo(static_cast<std::int64_t>(std::llround(
        static_cast<double>(value) * static_cast<double>(view_->Duration()) / kTrackbarMax)));
    if (layout_ != Layout::Message)
        timer1_.start();
}

void PlayerFrame::SetVolume(int volume) {
    view_->SetVolume(volume);
}

void PlayerFrame::SetInlay(bool on) {
    prefs_.IsInlayOn = on;
    view_->SetInlay(on);
}

void PlayerFrame::SetInlayPosition(int x, int y, int alignment) {
    view_->Inlay().SetPosition(x, y, alignment);
    // A paused picture shows the new place at once.
    if (view_->Active() && !view_->Running() && prefs_.IsInlayOn)
        view_->SeekTo(view_->Position());
}

bool PlayerFrame::Fullscreen() const {
    return fullscreen_;
}

void PlayerFrame::SetFullscreen(bool on) {
    if (on == fullscreen_)
        return;
    fullscreen_ = on;
    if (on) {
        // A window of its own now: the main window's keys (Esc among them) must work there too.
        const QList<QAction*> keys = videoWindow_->window()->actions();
        videoWindow_->setParent(nullptr);
        videoWindow_->setWindowFlag(Qt::FramelessWindowHint);
        videoWindow_->addActions(keys);
        videoWindow_->showFullScreen();
        videoWindow_->setCursor(Qt::BlankCursor);
    } else {
        for (QAction* a : videoWindow_->actions())
            videoWindow_->removeAction(a);
        videoWindow_->unsetCursor();
        videoWindow_->showNormal();
        auto* grid = static_cast<QGridLayout*>(panel_->VideoArea()->layout());
        videoWindow_->setParent(panel_->VideoArea());
        videoWindow_->setWindowFlag(Qt::FramelessWindowHint, false);
        grid->addWidget(videoWindow_, 0, 0);
        videoWindow_->show();
        if (layout_ != Layout::Video)
            infoText_->raise();
    }
}

void PlayerFrame::SetLocale(const LocaleInfo& locale) {
    locale_ = locale;
    view_->SetLocale(locale);
    // A picture standing still is drawn anew in the new style; a playing one takes it at the
    // next stop.
    if (!view_->Running())
        view_->SetInlay(prefs_.IsInlayOn);
}

StatusTexts PlayerFrame::UpdateTick() {
    if (!record_)
        return texts_;
    const auto picture = view_->VideoRenderer().Latest();
    std::shared_ptr<const media::DvSourceFrame> facts = picture ? picture->Facts : nullptr;
    if (!facts && view_->DetectorStreaming())
        facts = view_->Detector().LatestFrame();
    const bool stopped = !view_->DetectorStreaming() && !facts;
    StatusTexts t = TickTexts(stopped || !facts ? nullptr : &facts->Info, *record_,
                              prefs_.DisplayDatecodeFormat, locale_);
    if (!record_->IsDV && !stopped) {
        t.Datecode = "N/A";
        t.Timecode = "N/A";
    }
    const double fps = view_->GetTimeFormat() == media::TimeFormat::Frame ? record_->Fps : 0;
    t.TimeStamp = TimeStampText(view_->Position(), fps);
    if (view_->Active() && view_->Duration() > 0) {
        t.Trackbar = view_->TrackbarValue(kTrackbarMax);
        trackbarSetting_ = true;
        tb_->setValue(t.Trackbar);
        trackbarSetting_ = false;
    }
    timeStampLabel_->setText(QString::fromStdString(t.TimeStamp));
    texts_ = t;
    emit StatusChanged(texts_);
    return texts_;
}

}  // namespace kelvor::ui
