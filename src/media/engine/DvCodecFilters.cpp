// The DV video decoder and encoder filters, apart from the other DV filters because only they
// need the codec library: a program that splits DV frames without decoding them never loads it.
#include <algorithm>
#include <cstring>

#include "core/dv/DvPacks.h"
#include "media/engine/DvCodec.h"
#include "media/engine/DvFilters.h"

namespace kelvor::media {
namespace {

StreamTime frameTime(bool pal) {
    return pal ? 400000 : 333667;
}

bool isDvsdVideo(const MediaType& mt) {
    return mt.majorType == MajorType::Video && mt.subtype == Subtype::Dvsd;
}

}  // namespace

// ---- DV video decoder ----

DvVideoDecoderFilter::DvVideoDecoderFilter()
    : PairedTransformFilter("DV Video Decoder", "{B1B77C00-C3E4-11CF-AF79-00AA00B67A42}") {}
DvVideoDecoderFilter::~DvVideoDecoderFilter() = default;

Status DvVideoDecoderFilter::SetResolution(int resolution) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (resolution != DvResolution::Full && resolution != DvResolution::Half)
        return Code::InvalidArgument;
    half_ = resolution == DvResolution::Half;
    return Code::Ok;
}

bool DvVideoDecoderFilter::pal() const {
    const auto v = InputMediaType().videoInfo();
    return !v || v->bmiHeader.biHeight != 480;
}

Status DvVideoDecoderFilter::CheckInputType(const MediaType& mt) {
    return isDvsdVideo(mt) ? Code::Ok : Code::TypeNotAccepted;
}

// Like the platform's decoder, the codec's own planar layout comes first and RGB24 second, so
// a DV encoder right after it takes the pictures without a colour conversion while the
// program's RGB24 filters still get RGB24.
Status DvVideoDecoderFilter::GetMediaType(int position, MediaType& mt) {
    if (position < 0 || position > 1)
        return Code::NoMoreItems;
    const auto in = InputMediaType().videoInfo();
    const StreamTime avg = in && in->AvgTimePerFrame > 0 ? in->AvgTimePerFrame : frameTime(pal());
    const int w = half_ ? 360 : 720;
    const int h = (pal() ? 576 : 480) / (half_ ? 2 : 1);
    if (position == 0) {
        const FourCC sub = pal() ? Subtype::I420 : Subtype::Y41B;
        mt = MakeVideoType(sub, MakePlanarInfo(sub, w, h, avg));
    } else {
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(w, h, avg));
    }
    return Code::Ok;
}

Status DvVideoDecoderFilter::CheckTransform(const MediaType& in, const MediaType& out) {
    if (!isDvsdVideo(in))
        return Code::TypeNotAccepted;
    for (int i = 0; i < 2; ++i) {
        MediaType mine;
        GetMediaType(i, mine);
        if (out.majorType == mine.majorType && out.subtype == mine.subtype &&
            out.format == mine.format)
            return Code::Ok;
    }
    return Code::TypeNotAccepted;
}

Status DvVideoDecoderFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto v = OutputMediaType().videoInfo();
    props.BufferCount = 3;
    props.BufferSize = v ? static_cast<std::int32_t>(v->bmiHeader.biSizeImage) : 720 * 576 * 3;
    return Code::Ok;
}

bool DvVideoDecoderFilter::planar() const {
    return OutputMediaType().subtype != Subtype::Rgb24;
}

Status DvVideoDecoderFilter::StartLanes(int lanes) {
    // Two lanes use both cores better than the codec's slices, whose threads wait on each other
    // within every frame.
    for (int i = 0; i < lanes; ++i) {
        auto d = std::make_unique<DvVideoDecoder>();
        if (!d->open(half_, lanes == 1 ? 2 : 1)) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the DV decoder cannot start: " + d->errorText()));
            return Code::Fail;
        }
        decoders_.push_back(std::move(d));
    }
    const auto v = OutputMediaType().videoInfo();
    pictureSize_ = v ? v->bmiHeader.biSizeImage : 0;
    last_ = std::make_unique<DvPicture>();
    return Code::Ok;
}

void DvVideoDecoderFilter::StopLanes() {
    decoders_.clear();
    last_.reset();
}

bool DvVideoDecoderFilter::Work(int lane, const MediaSample& in, MediaSample& out) {
    DvVideoDecoder& d = *decoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = pictureSize_;
    out.Reserve(size);
    int w = 0, h = 0;
    const bool decoded = planar() ? d.decodePlanar(in.data(), {out.GetPointer(), size}, w, h)
                                  : d.decode(in.data(), {out.GetPointer(), size}, w, h);
    const std::size_t expected =
        planar() ? PlanarSize(w, h) : Rgb24Stride(w) * static_cast<std::size_t>(h);
    return decoded && expected == size;
}

Status DvVideoDecoderFilter::Finish(int lane, bool decoded, MediaSample& out) {
    // The last picture is held by reference to the codec's buffers rather than copied.
    DvVideoDecoder& d = *decoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = pictureSize_;
    int w = 0, h = 0;
    if (decoded)
        d.keepPicture(*last_);
    else if (!d.convert(*last_, planar(), {out.GetPointer(), size}, w, h))
        std::memset(out.GetPointer(), 0, size);
    out.SetActualDataLength(static_cast<std::int32_t>(size));
    out.SetSyncPoint(true);
    return Code::Ok;
}

// ---- DV video encoder ----

DvVideoEncoderFilter::DvVideoEncoderFilter()
    : PairedTransformFilter("DV Video Encoder", "{C82CC1C0-8BEB-4D3D-9D9E-2E5A6D0E6A14}") {}
DvVideoEncoderFilter::~DvVideoEncoderFilter() = default;

Status DvVideoEncoderFilter::SetVideoFormat(int format) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (format != DvVideoFormat::Pal && format != DvVideoFormat::Ntsc)
        return Code::InvalidArgument;
    pal_ = format == DvVideoFormat::Pal;
    return Code::Ok;
}

Status DvVideoEncoderFilter::CheckInputType(const MediaType& mt) {
    if (mt.majorType != MajorType::Video)
        return Code::TypeNotAccepted;
    const auto v = mt.videoInfo();
    if (mt.subtype == (pal_ ? Subtype::I420 : Subtype::Y41B))
        return v && v->bmiHeader.biWidth == 720 && v->bmiHeader.biHeight == (pal_ ? 576 : 480)
                   ? Code::Ok
                   : Code::TypeNotAccepted;
    if (mt.subtype != Subtype::Rgb24)
        return Code::TypeNotAccepted;
    if (!v || v->bmiHeader.biBitCount != 24 || v->bmiHeader.biWidth <= 0 ||
        v->bmiHeader.biHeight <= 0 || v->bmiHeader.biWidth > 8192 || v->bmiHeader.biHeight > 8192)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status DvVideoEncoderFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    mt = MakeVideoType(Subtype::Dvsd, MakeDvsdInfo(pal_));
    return Code::Ok;
}

Status DvVideoEncoderFilter::GetInputMediaType(int position, MediaType& mt) {
    const int height = pal_ ? 576 : 480;
    if (position == 0) {
        const FourCC sub = pal_ ? Subtype::I420 : Subtype::Y41B;
        mt = MakeVideoType(sub, MakePlanarInfo(sub, 720, height, frameTime(pal_)));
        return Code::Ok;
    }
    if (position == 1) {
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(720, height, frameTime(pal_)));
        return Code::Ok;
    }
    return Code::NoMoreItems;
}

Status DvVideoEncoderFilter::CheckTransform(const MediaType&, const MediaType& out) {
    return isDvsdVideo(out) ? Code::Ok : Code::TypeNotAccepted;
}

Status DvVideoEncoderFilter::DecideBufferSize(AllocatorProperties& props) {
    props.BufferCount = 4;
    props.BufferSize = static_cast<std::int32_t>(pal_ ? dv::kFrameSize625 : dv::kFrameSize525);
    return Code::Ok;
}

Status DvVideoEncoderFilter::StartLanes(int lanes) {
    for (int i = 0; i < lanes; ++i) {
        auto e = std::make_unique<DvVideoEncoder>();
        if (!e->open(pal_, wide_, lanes == 1 ? 2 : 1)) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the DV encoder cannot start: " + e->errorText()));
            return Code::Fail;
        }
        encoders_.push_back(std::move(e));
    }
    return Code::Ok;
}

void DvVideoEncoderFilter::StopLanes() {
    encoders_.clear();
}

bool DvVideoEncoderFilter::Work(int lane, const MediaSample& in, MediaSample& out) {
    const auto v = InputMediaType().videoInfo();
    if (!v)
        return false;
    DvVideoEncoder& e = *encoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = e.frameSize();
    out.Reserve(size);
    return InputMediaType().subtype == Subtype::Rgb24
               ? e.encode(in.data(), v->bmiHeader.biWidth, v->bmiHeader.biHeight,
                          {out.GetPointer(), size})
               : e.encodePlanar(in.data(), {out.GetPointer(), size});
}

Status DvVideoEncoderFilter::Finish(int lane, bool encoded, MediaSample& out) {
    DvVideoEncoder& e = *encoders_[static_cast<std::size_t>(lane)];
    if (!encoded) {
        NotifyEvent(EventCode::ErrorAbort,
                    Status(Code::Fail, "the DV encoder failed: " + e.errorText()));
        return Code::Fail;
    }
    out.SetActualDataLength(static_cast<std::int32_t>(e.frameSize()));
    out.SetSyncPoint(true);
    return Code::Ok;
}

}  // namespace kelvor::media
