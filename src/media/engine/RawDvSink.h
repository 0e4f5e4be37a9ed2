// Writing raw DV files: the raw DV mux takes the frames of an "iavs" stream (or of a "vids" dvsd
// stream) and passes them on, unchanged, as the byte stream of a raw DV file, each frame stamped
// with its byte position (start time = bytes before it), for the file writer downstream, which
// puts them there. No header, no index: the file is the frames back to back, as dvgrab writes it.
// The file writer writes beside the target and moves the file into place at the end of the
// stream, so a failed run never leaves a half file in its place.
//
// Threads: connection on the driving thread; Transform on the streaming thread.
// Failure: an input that is not DV is refused (Code::False).
#pragma once

#include <cstdint>

#include "media/engine/TransformFilter.h"

namespace kelvor::media {

// The subtype of the byte stream of a raw DV file.
inline constexpr FourCC kRawDvStream = MakeFourCC("DIF ");

class RawDvMuxFilter : public TransformFilter {
  public:
    RawDvMuxFilter();

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status CheckTransform(const MediaType& mtIn, const MediaType& mtOut) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartStreaming() override;
    Status Transform(const MediaSample& in, MediaSample& out) override;

  private:
    std::uint64_t written_ = 0;  // bytes passed on in this run; streaming thread once it runs
};

}  // namespace kelvor::media
