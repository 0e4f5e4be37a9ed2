#include "media/engine/VideoScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "media/engine/PictureConvert.h"

namespace kelvor::media {
namespace {

std::optional<PictureShape> shapeOf(const MediaType& mt) {
    const auto v = mt.majorType == MajorType::Video ? mt.videoInfo() : std::nullopt;
    if (!v)
        return std::nullopt;
    const PictureShape shape{mt.subtype, v->bmiHeader.biWidth, v->bmiHeader.biHeight};
    if (PictureBytes(shape) == 0)
        return std::nullopt;
    return shape;
}

void fillBlack(const PictureShape& s, std::uint8_t* base) {
    const std::size_t bytes = PictureBytes(s);
    if (s.subtype == Subtype::Rgb24) {
        std::memset(base, 0, bytes);
        return;
    }
    const std::size_t luma = static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height);
    std::memset(base, 16, luma);
    std::memset(base + luma, 128, bytes - luma);
}

int roundTo(double v, int align) {
    return std::max(align, static_cast<int>(std::lround(v / align)) * align);
}

}  // namespace

Rect FitPicture(double sourceAspect, int width, int height, double targetAspect, int xAlign,
                int yAlign) {
    Rect r{0, 0, width, height};
    if (!(sourceAspect > 0) || !(targetAspect > 0) || width <= 0 || height <= 0)
        return r;
    if (sourceAspect > targetAspect) {
        const int h = std::min(height, roundTo(height * targetAspect / sourceAspect, yAlign));
        r.top = (height - h) / 2 / yAlign * yAlign;
        r.bottom = r.top + h;
    } else if (sourceAspect < targetAspect) {
        const int w = std::min(width, roundTo(width * sourceAspect / targetAspect, xAlign));
        r.left = (width - w) / 2 / xAlign * xAlign;
        r.right = r.left + w;
    }
    return r;
}

struct VideoScalerFilter::Impl {
    PictureShape in, out;
    Rect rect;
    std::vector<std::unique_ptr<PictureScaler>> scalers;  // one per lane
};

VideoScalerFilter::VideoScalerFilter()
    : PairedTransformFilter("Video Scaler", "{3D1B2C4E-7A9F-4E21-B6C8-5A0D9E3F7C21}") {
    // A player wants each picture as soon as it is scaled, not one frame later.
    SetFrameThreads(false);
}
VideoScalerFilter::~VideoScalerFilter() = default;

Status VideoScalerFilter::SetTarget(const MediaType& target, double targetAspect) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (!shapeOf(target) || !(targetAspect > 0))
        return Code::InvalidArgument;
    target_ = target;
    targetAspect_ = targetAspect;
    return Code::Ok;
}

Status VideoScalerFilter::CheckInputType(const MediaType& mt) {
    return shapeOf(mt) ? Code::Ok : Code::TypeNotAccepted;
}

Status VideoScalerFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0 || !shapeOf(target_))
        return Code::NoMoreItems;
    auto v = target_.videoInfo();
    const auto in = InputMediaType().videoInfo();
    if (in)
        v->AvgTimePerFrame = in->AvgTimePerFrame;
    mt = MakeVideoType(target_.subtype, *v);
    return Code::Ok;
}

Status VideoScalerFilter::CheckTransform(const MediaType&, const MediaType& out) {
    MediaType mine;
    if (GetMediaType(0, mine) != Code::Ok)
        return Code::TypeNotAccepted;
    return out.subtype == mine.subtype && out.format == mine.format ? Code::Ok
                                                                    : Code::TypeNotAccepted;
}

Status VideoScalerFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto shape = shapeOf(OutputMediaType());
    props.BufferCount = 3;
    props.BufferSize = shape ? static_cast<std::int32_t>(PictureBytes(*shape)) : 0;
    return Code::Ok;
}

Status VideoScalerFilter::StartLanes(int lanes) {
    if (!Input().IsConnected() || !Output().IsConnected())
        return Code::Ok;
    const auto in = shapeOf(InputMediaType());
    const auto out = shapeOf(OutputMediaType());
    if (!in || !out)
        return Code::Unexpected;
    s_ = std::make_unique<Impl>();
    s_->in = *in;
    s_->out = *out;
    const double source =
        sourceAspect_ > 0 ? sourceAspect_ : static_cast<double>(in->width) / in->height;
    const int xAlign = out->subtype == Subtype::Y41B ? 4 : out->subtype == Subtype::I420 ? 2 : 1;
    const int yAlign = out->subtype == Subtype::I420 ? 2 : 1;
    s_->rect = FitPicture(source, out->width, out->height, targetAspect_, xAlign, yAlign);
    for (int i = 0; i < lanes; ++i)
        s_->scalers.push_back(std::make_unique<PictureScaler>());
    return Code::Ok;
}

bool VideoScalerFilter::Work(int lane, const MediaSample& in, MediaSample& out) {
    if (static_cast<std::size_t>(in.GetActualDataLength()) < PictureBytes(s_->in))
        return false;
    const std::size_t bytes = PictureBytes(s_->out);
    out.Reserve(bytes);
    std::uint8_t* base = out.GetPointer();
    // Bars only where the picture leaves some: a picture that fills the frame overwrites it all.
    const Rect& r = s_->rect;
    if (r.left > 0 || r.top > 0 || r.right < s_->out.width || r.bottom < s_->out.height)
        fillBlack(s_->out, base);
    const auto w = static_cast<std::size_t>(s_->out.width);
    const auto h = static_cast<std::size_t>(s_->out.height);
    const bool is411 = s_->out.subtype == Subtype::Y41B;
    const std::size_t cw = is411 ? w / 4 : w / 2;
    const std::size_t ch = is411 ? h : h / 2;
    std::uint8_t* planes[3] = {base, base + w * h, base + w * h + cw * ch};
    const int strides[3] = {s_->out.width, static_cast<int>(cw), static_cast<int>(cw)};
    PictureScaler& scaler = *s_->scalers[static_cast<std::size_t>(lane)];
    if (!scaler.Scale(in.GetPointer(), s_->in, planes, strides, s_->out, s_->rect))
        return false;
    out.SetActualDataLength(static_cast<std::int32_t>(bytes));
    return true;
}

Status VideoScalerFilter::Finish(int, bool worked, MediaSample&) {
    return worked ? Code::Ok : Code::Fail;
}

void VideoScalerFilter::StopLanes() {
    s_.reset();
}

}  // namespace kelvor::media
