#include "media/filters/InlayFilter.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "core/scenes/DateSceneDetector.h"
#include "media/engine/DvCodec.h"
#include "media/engine/PictureConvert.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/DvSourceFrame.h"

namespace kelvor::media {
namespace {

constexpr int kMaxPosition = 1000;
// Points become pixels at the logical resolution of a standard screen.
constexpr int kDotsPerInch = 96;
constexpr int kPointsPerInch = 72;
// The pixel size at which a font's cell height is measured to size it by its cell.
constexpr int kProbePixelSize = 1000;
// What an empty date format argument becomes: a quoted blank, which renders as one blank.
constexpr std::string_view kBlankFormat = "\" \"";
constexpr std::string_view kFallbackFormat = "c";

// a * b / c rounded half away from zero, as the platform's font sizes were computed.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long q = (std::llabs(p) + c / 2) / c;
    return static_cast<int>(p < 0 ? -q : q);
}

QColor fromColorRef(std::uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace

// The font and the band of picture rows the lines are drawn into.
struct InlayFilter::Painter {
    QFont font;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    bool bottomUp = true;
    // Planar pictures (Y, U, V planes without padding) instead of BGR rows.
    std::optional<PlanarLayout> planar;
    QImage band;

    std::uint8_t* row(std::span<std::uint8_t> picture, int r) const {
        const int memoryRow = bottomUp ? height - 1 - r : r;
        return picture.data() + static_cast<std::size_t>(memoryRow) * stride;
    }
    // Chroma samples per row and the shifts from a pixel to its chroma sample.
    int chromaWidth() const { return *planar == PlanarLayout::Yuv411 ? width / 4 : width / 2; }
    int shiftX() const { return *planar == PlanarLayout::Yuv411 ? 2 : 1; }
    int shiftY() const { return *planar == PlanarLayout::Yuv411 ? 0 : 1; }
    std::size_t pictureBytes() const {
        const std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        return planar ? luma + 2 * static_cast<std::size_t>(chromaWidth()) *
                                   static_cast<std::size_t>(height >> shiftY())
                      : stride * static_cast<std::size_t>(height);
    }
    void planes(std::span<std::uint8_t> picture, std::uint8_t*& y, std::uint8_t*& u,
                std::uint8_t*& v) const {
        const std::size_t luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        y = picture.data();
        u = y + luma;
        v = u +
            static_cast<std::size_t>(chromaWidth()) * static_cast<std::size_t>(height >> shiftY());
    }
    void load(std::span<std::uint8_t> picture, int top, int rows) {
        if (band.width() != width || band.height() < rows)
            band = QImage(width, std::max(rows, band.height()), QImage::Format_RGB32);
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* s = row(picture, top + r);
            auto* d = reinterpret_cast<QRgb*>(band.scanLine(r));
            for (int x = 0; x < width; ++x, s += 3)
                d[x] = qRgb(s[2], s[1], s[0]);
        }
    }
    void store(std::span<std::uint8_t> picture, int top, int rows) const {
        for (int r = 0; r < rows; ++r) {
            std::uint8_t* d = row(picture, top + r);
            const auto* s = reinterpret_cast<const QRgb*>(band.constScanLine(r));
            for (int x = 0; x < width; ++x, d += 3) {
                d[0] = static_cast<std::uint8_t>(qBlue(s[x]));
                d[1] = static_cast<std::uint8_t>(qGreen(s[x]));
                d[2] = static_cast<std::uint8_t>(qRed(s[x]));
            }
        }
    }
    // Planar pictures: the lines are drawn once per text onto a transparent overlay of the band
    // (rows [top, top + rows), columns [left, right)) and laid on each picture, so a picture
    // costs a blend of the pixels under the lines and nothing else.
    struct Overlay {
        std::string line1, line2;
        int border = -1, px = 0, py = 0, alignment = 0;
        std::uint32_t colour = 0;
        int top = 0, left = 0;
        QImage image;                   // premultiplied ARGB
        std::vector<std::uint8_t> ink;  // per chroma block of the overlay: any pixel drawn
        bool Shows(const std::string& l1, const std::string& l2, int b, int x, int y, int a,
                   std::uint32_t c) const {
            return line1 == l1 && line2 == l2 && border == b && px == x && py == y &&
                   alignment == a && colour == c;
        }
    };
    Overlay overlay;

    void markInk() {
        const int sx = shiftX(), sy = shiftY();
        const int columns = overlay.image.width() >> sx, rows = overlay.image.height() >> sy;
        overlay.ink.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
        for (int r = 0; r < overlay.image.height(); ++r) {
            const auto* o = reinterpret_cast<const QRgb*>(overlay.image.constScanLine(r));
            for (int x = 0; x < (columns << sx); ++x)
                if (qAlpha(o[x]) != 0)
                    overlay.ink[static_cast<std::size_t>(r >> sy) * columns + (x >> sx)] = 1;
        }
    }
    // Every sample the overlay does not cover keeps its byte; a chroma sample changes with any
    // of the four pixels it covers, from the average of their blended colours.
    void lay(std::span<std::uint8_t> picture) const {
        std::uint8_t *y, *u, *v;
        planes(picture, y, u, v);
        const int cw = chromaWidth(), sx = shiftX(), sy = shiftY();
        const int blockRows = 1 << sy, blockColumns = 1 << sx;
        const int columns = overlay.image.width() >> sx, rows = overlay.image.height() >> sy;
        for (int br = 0; br < rows; ++br) {
            const int pictureRow = overlay.top + (br << sy);
            const std::size_t chromaRow = static_cast<std::size_t>(pictureRow >> sy) * cw;
            for (int bc = 0; bc < columns; ++bc) {
                if (!overlay.ink[static_cast<std::size_t>(br) * columns + bc])
                    continue;
                const std::size_t c =
                    chromaRow + static_cast<std::size_t>((overlay.left >> sx) + bc);
                int sumR = 0, sumG = 0, sumB = 0;
                for (int dy = 0; dy < blockRows; ++dy) {
                    const auto* o =
                        reinterpret_cast<const QRgb*>(overlay.image.constScanLine((br << sy) + dy));
                    std::uint8_t* yr = y + static_cast<std::size_t>(pictureRow + dy) * width;
                    for (int dx = 0; dx < blockColumns; ++dx) {
                        const int ox = (bc << sx) + dx, x = overlay.left + ox;
                        QRgb pixel = StudioYuvToRgb32(yr[x], u[c], v[c]);
                        const int alpha = qAlpha(o[ox]);
                        if (alpha != 0) {
                            const auto blend = [&](int under, int over) {
                                return over + (under * (255 - alpha) + 127) / 255;
                            };
                            pixel = qRgb(blend(qRed(pixel), qRed(o[ox])),
                                         blend(qGreen(pixel), qGreen(o[ox])),
                                         blend(qBlue(pixel), qBlue(o[ox])));
                            yr[x] = StudioLuma(qRed(pixel), qGreen(pixel), qBlue(pixel));
                        }
                        sumR += qRed(pixel);
                        sumG += qGreen(pixel);
                        sumB += qBlue(pixel);
                    }
                }
                StudioChroma4(sumR, sumG, sumB, u[c], v[c]);
            }
        }
    }
};

InlayFilter::InlayFilter(std::shared_ptr<DateDetectorFilter> detector, BorderSizeSource borderSize,
                         LocaleInfo locale)
    : TransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId)),
      detector_(std::move(detector)),
      borderSize_(std::move(borderSize)),
      locale_(std::move(locale)),
      painter_(std::make_unique<Painter>()) {}

InlayFilter::~InlayFilter() = default;

void InlayFilter::SetPosition(int x, int y, int alignment) {
    posX_ = std::clamp(x, 0, kMaxPosition);
    posY_ = std::clamp(y, 0, kMaxPosition);
    alignment_ = alignment;
}

void InlayFilter::SetDateFormats(std::string_view first, std::string_view second) {
    firstFormat_ = first.empty() ? kBlankFormat : first;
    secondFormat_ = second.empty() ? kBlankFormat : second;
    linesValid_ = false;
}

void InlayFilter::SetTrigger(int trigger) {
    trigger_ = trigger;
    countdown_ = displayFrames_ - 1;
}

void InlayFilter::SetDisplayFrames(int frames) {
    displayFrames_ = frames;
    countdown_ = frames - 1;
}

int InlayFilter::borderSize() const {
    return borderSize_ ? std::clamp(borderSize_(), 0, kMaxBorder) : 1;
}

Status InlayFilter::CheckInputType(const MediaType& mtIn) {
    const bool planar =
        planarInput_ && (mtIn.subtype == Subtype::I420 || mtIn.subtype == Subtype::Y41B);
    if (mtIn.majorType != MajorType::Video || (mtIn.subtype != Subtype::Rgb24 && !planar) ||
        mtIn.formatType != FormatType::VideoInfo)
        return Code::TypeNotAccepted;
    const auto v = mtIn.videoInfo();
    if (!v || v->bmiHeader.biWidth <= 0 || v->bmiHeader.biHeight == 0)
        return Code::TypeNotAccepted;
    // Planar pictures are drawn on whole chroma blocks.
    const int width = v->bmiHeader.biWidth, height = std::abs(v->bmiHeader.biHeight);
    if (planar && (mtIn.subtype == Subtype::Y41B ? width % 4 != 0 : width % 2 || height % 2))
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status InlayFilter::CheckTransform(const MediaType& mtIn, const MediaType& mtOut) {
    return mtIn.majorType == mtOut.majorType && mtIn.subtype == mtOut.subtype &&
                   mtIn.formatType == mtOut.formatType
               ? Code::Ok
               : Code::TypeNotAccepted;
}

Status InlayFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    mt = InputMediaType();
    // Planar pictures leave as they came.
    if (mt.subtype == Subtype::I420 || mt.subtype == Subtype::Y41B)
        return Code::Ok;
    mt.majorType = MajorType::Video;
    mt.subtype = Subtype::Rgb24;
    if (auto v = mt.videoInfo()) {
        const auto size = static_cast<std::uint32_t>(v->bmiHeader.biWidth) *
                          static_cast<std::uint32_t>(std::abs(v->bmiHeader.biHeight)) * 3;
        v->bmiHeader.biSizeImage = size;
        mt.format = Serialize(*v);
        mt.sampleSize = size;
    }
    return Code::Ok;
}

Status InlayFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto* upstream = static_cast<const OutputPin*>(Input().ConnectedTo());
    const AllocatorProperties in = upstream ? upstream->Allocator() : AllocatorProperties{};
    props.BufferCount = std::max(in.BufferCount, 1);
    props.BufferSize = std::max(in.BufferSize, 1);
    return Code::Ok;
}

Status InlayFilter::StartStreaming() {
    const auto v = InputMediaType().videoInfo();
    const int width = v ? v->bmiHeader.biWidth : 0;
    const int height = v ? std::abs(v->bmiHeader.biHeight) : 0;
    const FourCC subtype = InputMediaType().subtype;
    const bool planar = subtype == Subtype::I420 || subtype == Subtype::Y41B;
    if (!startPictures(width, height, !planar && (!v || v->bmiHeader.biHeight > 0)))
        return Code::Fail;
    if (planar) {
        painter_->planar = subtype == Subtype::Y41B ? PlanarLayout::Yuv411 : PlanarLayout::Yuv420;
        painter_->stride = static_cast<std::size_t>(width);
    }
    sampleCounter_ = 0;
    if (autoMode_)
        countdown_ = displayFrames_ - 1;
    return Code::Ok;
}

Status InlayFilter::BeginPictures(int width, int height) {
    if (!startPictures(width, height, false))
        return Code::Fail;
    // One more than the display so that exactly displayFrames_ pictures show, whether or not the
    // first dated frame also restarts the display.
    countdown_ = displayFrames_ + 1;
    triggerLastDate_ = 0;
    return Code::Ok;
}

bool InlayFilter::startPictures(int width, int height, bool bottomUp) {
    if (!QGuiApplication::instance())
        return false;
    line1_.clear();
    line2_.clear();
    linesValid_ = false;

    Painter& p = *painter_;
    p.width = width;
    p.height = height;
    p.stride = Rgb24Stride(p.width);
    p.bottomUp = bottomUp;
    p.planar.reset();
    p.overlay = Painter::Overlay{};

    // The platform font's height convention: negative, the character height; positive, the cell.
    const int size = (standardSize_ ? kStandardPoints : fontSize_) * p.width / kReferenceWidth;
    const int fontHeight = -mulDiv(size, kDotsPerInch, kPointsPerInch);
    fontHeight_ = std::abs(fontHeight);
    QFont font(QString::fromStdString(fontName_));
    font.setBold(bold_);
    font.setItalic(italic_);
    font.setUnderline(underline_);
    font.setStrikeOut(strikeOut_);
    int pixelSize = fontHeight_;
    if (fontHeight > 0) {
        font.setPixelSize(kProbePixelSize);
        const QFontMetricsF probe(font);
        const double cell = probe.ascent() + probe.descent();
        if (cell > 0)
            pixelSize = static_cast<int>(std::lround(fontHeight * kProbePixelSize / cell));
    }
    font.setPixelSize(std::max(pixelSize, 1));
    if (displayAspect_ > 0 && p.width > 0 && p.height > 0) {
        const int stretch =
            static_cast<int>(std::lround(100.0 * p.width / (p.height * displayAspect_)));
        if (stretch != 100)
            font.setStretch(std::clamp(stretch, 1, 4000));
    }
    p.font = font;
    return true;
}

scenes::FrameInfo InlayFilter::frameRecord(const MediaSample& in) const {
    auto facts = DvSourceFrame::Of(in);
    if (!facts)
        facts = detector_->LatestFrame();
    return facts ? facts->Info : scenes::FrameInfo{};
}

bool InlayFilter::updateCountdown(const scenes::FrameInfo& record) {
    if (!autoMode_)
        return true;
    if (countdown_ > 0)
        --countdown_;
    if (record.DateValid && scenes::RestartsDisplay(trigger_, record.Date, triggerLastDate_))
        countdown_ = displayFrames_;
    triggerLastDate_ = record.Date;
    return countdown_ > 0;
}

void InlayFilter::formLines(const scenes::FrameInfo& record) {
    if (displayKind_ != static_cast<int>(scenes::SubtitleKind::Datecode)) {
        linesValid_ = false;
        line1_.clear();
        line2_ = record.TimecodeValid ? scenes::TimecodeText(record.Timecode) : std::string();
        return;
    }
    if (!record.DateValid) {
        linesValid_ = false;
        line1_.clear();
        line2_.clear();
        return;
    }
    // The date changes once a second, the pictures 25 or 30 times: format on a change only.
    const double value = record.Date + timeShift_;
    if (linesValid_ && value == linesFor_)
        return;
    auto format = [&](const std::string& pattern) {
        return FormatDateTime(pattern.empty() ? kFallbackFormat : std::string_view(pattern), value,
                              locale_);
    };
    line1_ = format(firstFormat_);
    line2_ = format(secondFormat_);
    linesFor_ = value;
    linesValid_ = true;
}

Status InlayFilter::Transform(const MediaSample& in, MediaSample& out) {
    std::int64_t mediaStart = 0, mediaStop = 0;
    if (in.GetMediaTime(mediaStart, mediaStop).failed())
        out.SetMediaTime(sampleCounter_, std::int64_t{sampleCounter_} + 1);
    ++sampleCounter_;
    out.assign(in.data());
    if (!enabled_ || !detector_)
        return Code::Ok;
    if (!Advance(frameRecord(in)))
        return Code::Ok;
    return Draw(out.data());
}

bool InlayFilter::Advance(const scenes::FrameInfo& record) {
    if (!updateCountdown(record))
        return false;
    formLines(record);
    return !line1_.empty() || !line2_.empty();
}

Status InlayFilter::Draw(std::span<std::uint8_t> picture) {
    if (line1_.empty() && line2_.empty())
        return Code::Ok;
    Painter& p = *painter_;
    if (p.width <= 0 || p.height <= 0 || picture.size() < p.pictureBytes())
        return Code::Fail;
    const int alignment = alignment_;
    if (alignment < 0 || alignment > 2)
        return Code::Ok;
    const int border = borderSize();
    const int h = fontHeight_;
    const int px = p.width * posX_ / kMaxPosition;
    const int py = p.height * posY_ / kMaxPosition;
    // On planar pictures the lines of the picture before are laid again as they were drawn.
    if (p.planar && p.overlay.Shows(line1_, line2_, border, px, py, alignment, textColor_)) {
        p.lay(picture);
        return Code::Ok;
    }
    const QFontMetrics metrics(p.font);

    struct Line {
        int number;
        QString text;
        int x;
        int top;
        int width;
    };
    Line lines[2];
    int count = 0;
    for (int n = 1; n <= 2; ++n) {
        const std::string& text = n == 1 ? line1_ : line2_;
        if (text.empty())
            continue;
        Line& l = lines[count++];
        l.number = n;
        l.text = QString::fromStdString(text);
        const int width = metrics.horizontalAdvance(l.text);
        l.width = width;
        l.x = alignment == 0 ? px : alignment == 1 ? px - width / 2 : px - width;
        l.top = n == 1 ? py - 2 * h : py - h;
    }
    const QColor textColour = fromColorRef(textColor_);
    const auto paint = [&](QPainter& painter) {
        painter.setFont(p.font);
        const QColor borderColour(Qt::black);
        for (int i = 0; i < count; ++i) {
            const Line& l = lines[i];
            const int baseline = l.top + metrics.ascent();
            if (border > 0) {
                painter.setPen(borderColour);
                for (int dy = -border; dy <= border; ++dy)
                    for (int dx = -border; dx <= border; ++dx) {
                        painter.drawText(l.x + dx, baseline + dy, l.text);
                        if (drawTrace_)
                            drawTrace_({l.number, dx, dy, true, l.text.toStdString()});
                    }
            }
            painter.setPen(textColour);
            painter.drawText(l.x, baseline, l.text);
            if (drawTrace_)
                drawTrace_({l.number, 0, 0, false, l.text.toStdString()});
        }
    };
    // Only the rows the text can reach are copied out, drawn on and copied back: a line's
    // glyphs stay within a cell height of its box, the border within B pixels of the glyphs.
    const int reach = metrics.height() + border;
    int first = std::max(0, lines[0].top - reach);
    int last = std::min(p.height, lines[count - 1].top + h + metrics.height() + reach);
    if (!p.planar) {
        if (first >= last)
            return Code::Ok;
        p.load(picture, first, last - first);
        {
            QPainter painter(&p.band);
            if (!painter.isActive())
                return Code::Fail;
            painter.translate(0, -first);
            paint(painter);
        }
        p.store(picture, first, last - first);
        return Code::Ok;
    }

    // 4:2:0 chroma rows cover two picture rows: the band takes whole pairs. Sideways the same
    // reach past the pen's advance holds overhanging glyphs, in whole chroma blocks.
    if (*p.planar == PlanarLayout::Yuv420) {
        first &= ~1;
        last = std::min(p.height, (last + 1) & ~1);
    }
    int left = p.width, right = 0;
    for (int i = 0; i < count; ++i) {
        left = std::min(left, lines[i].x - reach);
        right = std::max(right, lines[i].x + lines[i].width + reach);
    }
    left = std::max(0, left) & ~3;
    right = std::min(p.width, (right + 3) & ~3);
    Painter::Overlay& o = p.overlay;
    o = Painter::Overlay{line1_,     line2_, border, px, py, alignment,
                         textColor_, first,  left,   {}, {}};
    if (first < last && left < right) {
        o.image = QImage(right - left, last - first, QImage::Format_ARGB32_Premultiplied);
        o.image.fill(Qt::transparent);
        QPainter painter(&o.image);
        if (!painter.isActive()) {
            o = Painter::Overlay{};
            return Code::Fail;
        }
        painter.translate(-left, -first);
        paint(painter);
    }
    p.markInk();
    p.lay(picture);
    return Code::Ok;
}

}  // namespace kelvor::media
