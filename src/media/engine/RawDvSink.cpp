#include "media/engine/RawDvSink.h"

#include <algorithm>

#include "core/dv/DvPacks.h"

namespace kelvor::media {

RawDvMuxFilter::RawDvMuxFilter()
    : TransformFilter("DV Raw Mux", "{3B1F5C62-2E0D-4D7A-A1A4-6C0B9E4F7D15}") {}

Status RawDvMuxFilter::CheckInputType(const MediaType& mtIn) {
    const bool dv = mtIn.majorType == MajorType::Interleaved ||
                    (mtIn.majorType == MajorType::Video && mtIn.subtype == Subtype::Dvsd);
    return dv ? Code::Ok : Code::False;
}

Status RawDvMuxFilter::CheckTransform(const MediaType&, const MediaType& mtOut) {
    return mtOut.majorType == MajorType::Stream && mtOut.subtype == kRawDvStream ? Code::Ok
                                                                                 : Code::False;
}

Status RawDvMuxFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    mt = MakeStreamType(kRawDvStream);
    return Code::Ok;
}

Status RawDvMuxFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto* upstream = static_cast<const OutputPin*>(Input().ConnectedTo());
    props.BufferCount = 2;
    props.BufferSize = std::max(upstream ? upstream->Allocator().BufferSize : 0,
                                static_cast<std::int32_t>(dv::kFrameSize625));
    return Code::Ok;
}

Status RawDvMuxFilter::StartStreaming() {
    written_ = 0;
    return Code::Ok;
}

Status RawDvMuxFilter::Transform(const MediaSample& in, MediaSample& out) {
    const auto bytes = in.data();
    out.assign(bytes);
    out.SetTime(static_cast<StreamTime>(written_),
                static_cast<StreamTime>(written_ + bytes.size()));
    out.SetMediaTime(static_cast<std::int64_t>(written_),
                     static_cast<std::int64_t>(written_ + bytes.size()));
    written_ += bytes.size();
    return Code::Ok;
}

}  // namespace kelvor::media
