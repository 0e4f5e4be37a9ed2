#include "ui/PlayerPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSlider>
#include <QVBoxLayout>

#include "core/files/DisplayStyle.h"
#include "ui/preview/PlayerTexts.h"

namespace kelvor::ui {
namespace {

constexpr int kInlayScale = 1000;

}  // namespace

PlayerPanel::PlayerPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("PlayerPanel");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 4);
    column->setSpacing(6);

    auto* screenRow = new QHBoxLayout;
    screenRow->setSpacing(4);
    // The preview draws here once it exists; until then the frame stays dark.
    video_ = new QWidget(this);
    video_->setObjectName("VideoArea");
    video_->setAutoFillBackground(true);
    QPalette dark = video_->palette();
    dark.setColor(QPalette::Window, QColor(16, 16, 20));
    video_->setPalette(dark);
    video_->setMinimumSize(320, 240);
    screenRow->addWidget(video_, 1);
    inlayY_ = new QSlider(Qt::Vertical, this);
    inlayY_->setRange(0, kInlayScale);
    inlayY_->setToolTip(tr("Vertical position of the inlay"));
    inlayY_->hide();
    screenRow->addWidget(inlayY_);
    needle_ = new QProgressBar(this);
    needle_->setObjectName("VolumeNeedle");
    needle_->setOrientation(Qt::Vertical);
    needle_->setRange(0, 100);
    needle_->setTextVisible(false);
    needle_->setFixedWidth(10);
    needle_->setToolTip(tr("Volume"));
    screenRow->addWidget(needle_);
    column->addLayout(screenRow, 1);

    inlayX_ = new QSlider(Qt::Horizontal, this);
    inlayX_->setRange(0, kInlayScale);
    inlayX_->setToolTip(tr("Horizontal position of the inlay"));
    inlayX_->hide();
    column->addWidget(inlayX_);
    const auto moved = [this] { emit InlayPositionChanged(InlayX(), InlayY()); };
    connect(inlayX_, &QSlider::valueChanged, this, moved);
    connect(inlayY_, &QSlider::valueChanged, this, moved);

    playing_ = new QSlider(Qt::Horizontal, this);
    playing_->setObjectName("PlayingSlider");
    playing_->setEnabled(false);
    column->addWidget(playing_);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("ProgressGauge");
    gauge_->setRange(0, 100);
    gauge_->hide();
    column->addWidget(gauge_);

    info_ = new QWidget(this);
    info_->setObjectName("InfoPanel");
    auto* grid = new QGridLayout(info_);
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    auto* nameRow = new QHBoxLayout;
    name_ = new QLabel(info_);
    name_->setObjectName("NameLabel");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    name_->setCursor(Qt::PointingHandCursor);
    name_->installEventFilter(this);
    nameRow->addWidget(name_, 1);
    const auto badge = [this](const char* text, QColor colour) {
        auto* b = new QLabel(text, info_);
        b->setObjectName(QString("lab") + text);
        b->setStyleSheet(QString("QLabel { color: white; background: %1; border-radius: 3px; "
                                 "padding: 0px 4px; }")
                             .arg(colour.name()));
        b->hide();
        return b;
    };
    scn_ = badge("scn", QColor(40, 100, 180));
    srt_ = badge("srt", QColor(40, 140, 80));
    nameRow->addWidget(scn_);
    nameRow->addWidget(srt_);
    grid->addLayout(nameRow, 0, 0, 1, 2);
    datecode_ = value(QT_TR_NOOP("Datecode"), 1);
    timecode_ = value(QT_TR_NOOP("Timecode"), 2);
    codec_ = value(QT_TR_NOOP("Codec"), 3);
    image_ = value(QT_TR_NOOP("Image"), 4);
    duration_ = value(QT_TR_NOOP("Duration"), 5);
    framerate_ = value(QT_TR_NOOP("Fps"), 6);
    audio1_ = value(QT_TR_NOOP("Audio"), 7);
    audio2_ = value("", 8);
    column->addWidget(info_);

    copyMenu_ = new QMenu(this);
    const std::pair<const char*, Info> copies[] = {
        {QT_TR_NOOP("Copy the datecode"), Info::Datecode},
        {QT_TR_NOOP("Copy the timecode"), Info::Timecode},
        {QT_TR_NOOP("Copy the codec"), Info::Codec},
        {QT_TR_NOOP("Copy the image size"), Info::Image},
        {QT_TR_NOOP("Copy the duration"), Info::Duration},
        {QT_TR_NOOP("Copy the framerate"), Info::Framerate},
        {QT_TR_NOOP("Copy audio"), Info::Audio},
        {QT_TR_NOOP("Copy the full name"), Info::FullName},
    };
    for (const auto& [caption, which] : copies) {
        QAction* a = copyMenu_->addAction(tr(caption));
        connect(a, &QAction::triggered, this, [this, which = which] { copy(which); });
    }
    info_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(info_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (shown_)
            copyMenu_->popup(info_->mapToGlobal(at));
    });
    ShowFile(nullptr);
}

QLabel* PlayerPanel::value(const char* caption, int row) {
    auto* grid = static_cast<QGridLayout*>(info_->layout());
    auto* c = new QLabel(caption[0] ? tr(caption) + ":" : QString(), info_);
    c->setObjectName(QString("Caption") + caption);
    QPalette p = c->palette();
    p.setColor(QPalette::WindowText, QColor(90, 90, 100));
    c->setPalette(p);
    grid->addWidget(c, row, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* v = new QLabel(info_);
    v->setObjectName(QString("Value") + caption);
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->setContextMenuPolicy(Qt::NoContextMenu);
    grid->addWidget(v, row, 1);
    return v;
}

void PlayerPanel::ShowFile(std::shared_ptr<const files::FileRecord> record,
                           const std::string& displayFormat, const LocaleInfo& locale) {
    shown_ = std::move(record);
    const files::FileRecord* r = shown_.get();
    const auto set = [](QLabel* l, const std::string& text) {
        l->setText(QString::fromStdString(text));
    };
    scn_->setVisible(r && r->HasScn);
    srt_->setVisible(r && r->HasSrt);
    if (!r) {
        name_->setText("---");
        name_->setToolTip(QString());
        info_->setToolTip(QString());
        for (QLabel* l :
             {datecode_, timecode_, codec_, image_, duration_, framerate_, audio1_, audio2_})
            l->clear();
        return;
    }
    set(name_, r->Name);
    {
        // A name too wide for the panel shrinks its font, but not below 8 points.
        QFont f = name_->font();
        f.setPixelSize(13);
        const int textWidth = QFontMetrics(f).horizontalAdvance(name_->text());
        f.setPixelSize(NameFontHeight(textWidth, std::max(info_->width(), 200)));
        name_->setFont(f);
    }
    name_->setToolTip(tr("Click to open the parent folder"));
    set(datecode_, r->Datecode > 0 ? files::DisplayDateTime(r->Datecode, displayFormat, locale)
                                   : r->DatecodeText);
    set(timecode_, r->TimecodeValid ? files::TapeTimecodeText(r->Timecode, r->Timecode.DropFrame)
                                    : r->TimecodeText);
    std::string codec = r->Codec;
    if (r->IsDV) {
        if (r->DVType == 1)
            codec += " (type 1)";
        else if (r->DVType == 2)
            codec += r->IavsType2 ? " (type 2 iavs)" : " (type 2)";
        else
            codec += tr(" (atypical)").toStdString();
    }
    set(codec_, codec);
    set(image_, r->ImageText + r->AspectText);
    std::string duration = r->DurationText;
    if (!r->AudioDurationText.empty() && r->AudioDurationText != r->DurationText)
        duration += " (" + r->AudioDurationText + ")";
    set(duration_, duration);
    set(framerate_, r->Fps > 0 ? files::ReadableFrameRate(r->Fps) : std::string());
    set(audio1_, r->AudioText == "N/A"
                     ? r->AudioText
                     : SoundText(static_cast<int>(r->SampleRate), static_cast<int>(r->SampleBits),
                                 r->Channels, r->IsDV));
    set(audio2_, r->AudioFormatText);
    const qulonglong size = (static_cast<qulonglong>(r->SizeHigh) << 32) | r->SizeLow;
    info_->setToolTip(tr("File     : %1\r\nSize     : %2\r\nModified : %3")
                          .arg(QString::fromStdString(r->FullName), QLocale().toString(size),
                               QString::fromStdString(
                                   files::DisplayDateTime(r->Modified, displayFormat, locale))));
}

void PlayerPanel::ShowPlayingTexts(const std::string& datecode, const std::string& timecode,
                                   const std::string& image, const std::string& audio,
                                   const std::string& dataRate) {
    const auto set = [](QLabel* l, const std::string& text) {
        if (!text.empty())
            l->setText(QString::fromStdString(text));
    };
    set(datecode_, datecode);
    set(timecode_, timecode);
    set(image_, image);
    set(audio1_, audio);
    set(audio2_, dataRate);
}

void PlayerPanel::BeginProgress() {
    playing_->hide();
    gauge_->setValue(0);
    gauge_->show();
}

void PlayerPanel::SetProgress(int percent) {
    gauge_->setValue(std::clamp(percent, 0, 100));
}

void PlayerPanel::EndProgress() {
    gauge_->hide();
    playing_->show();
}

bool PlayerPanel::ProgressShown() const {
    return !gauge_->isHidden();
}

int PlayerPanel::ProgressValue() const {
    return gauge_->value();
}

void PlayerPanel::SetVolumeNeedle(int value) {
    needle_->setValue(std::clamp(value, 0, 100));
}

void PlayerPanel::SetNeedleVisible(bool visible) {
    needle_->setVisible(visible);
}

bool PlayerPanel::NeedleVisible() const {
    return !needle_->isHidden();
}

void PlayerPanel::SetInlayPosition(int x, int y) {
    QSignalBlocker bx(inlayX_), by(inlayY_);
    inlayX_->setValue(x);
    inlayY_->setValue(kInlayScale - y);
}

void PlayerPanel::SetSlidersVisible(bool visible) {
    inlayX_->setVisible(visible);
    inlayY_->setVisible(visible);
}

bool PlayerPanel::SlidersVisible() const {
    return !inlayX_->isHidden();
}

int PlayerPanel::InlayX() const {
    return inlayX_->value();
}

int PlayerPanel::InlayY() const {
    return kInlayScale - inlayY_->value();
}

QString PlayerPanel::InfoText(Info which) const {
    switch (which) {
        case Info::Datecode:
            return datecode_->text();
        case Info::Timecode:
            return timecode_->text();
        case Info::Codec:
            return codec_->text();
        case Info::Image:
            return image_->text();
        case Info::Duration:
            return duration_->text();
        case Info::Framerate:
            return framerate_->text();
        case Info::Audio:
            return audio1_->text() + " " + audio2_->text();
        case Info::FullName:
            return shown_ ? QString::fromStdString(shown_->FullName).toLower() : QString();
    }
    return {};
}

void PlayerPanel::copy(Info which) {
    QApplication::clipboard()->setText(InfoText(which));
}

bool PlayerPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == name_ && event->type() == QEvent::MouseButtonRelease && shown_ &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit FileNameClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kelvor::ui
