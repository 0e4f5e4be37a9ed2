// One sample travelling from filter to filter: a buffer with its used length, its times and
// flags. A sample is owned through SamplePtr by whoever holds it; the stage that receives it may
// keep it (a renderer holding its paused frame) or pass it on. A sample is used by one thread at
// a time: the streaming thread that delivers it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "media/engine/MediaType.h"
#include "media/engine/Status.h"

namespace kelvor::media {

// Facts about a sample that travel with it, and with every sample a stage makes from it through
// CopyPropertiesFrom: the DV header blocks of the source frame go with its picture through the
// decoder, the picture filters and the encoder. Immutable once attached, so the stages of several
// threads may hold the same attachment.
class SampleAttachment {
  public:
    virtual ~SampleAttachment() = default;
};
using AttachmentPtr = std::shared_ptr<const SampleAttachment>;

class MediaSample {
  public:
    explicit MediaSample(std::size_t capacity = 0) : buffer_(capacity) {}

    // The whole buffer; ActualDataLength bytes of it are valid.
    std::uint8_t* GetPointer() { return buffer_.data(); }
    const std::uint8_t* GetPointer() const { return buffer_.data(); }
    std::size_t GetSize() const { return buffer_.size(); }
    // Grows the buffer (contents kept) when a stage needs more room than it was given.
    void Reserve(std::size_t capacity) {
        if (capacity > buffer_.size())
            buffer_.resize(capacity);
    }

    std::int32_t GetActualDataLength() const { return static_cast<std::int32_t>(actual_); }
    // Code::BufferOverflow when the length is negative or larger than the buffer.
    Status SetActualDataLength(std::int32_t length) {
        if (length < 0 || static_cast<std::size_t>(length) > buffer_.size())
            return Code::BufferOverflow;
        actual_ = static_cast<std::size_t>(length);
        return Code::Ok;
    }
    std::span<std::uint8_t> data() { return {buffer_.data(), actual_}; }
    std::span<const std::uint8_t> data() const { return {buffer_.data(), actual_}; }
    // Copies bytes in and sets the actual length to their count.
    void assign(std::span<const std::uint8_t> bytes) {
        Reserve(bytes.size());
        std::copy(bytes.begin(), bytes.end(), buffer_.begin());
        actual_ = bytes.size();
    }

    // Stream times in 100 ns units: Code::Ok with both times, Code::Fail when no time was set.
    Status GetTime(StreamTime& start, StreamTime& stop) const {
        if (!hasTime_)
            return Code::Fail;
        start = start_;
        stop = stop_;
        return Code::Ok;
    }
    void SetTime(StreamTime start, StreamTime stop) {
        start_ = start;
        stop_ = stop;
        hasTime_ = true;
    }
    void ClearTime() { hasTime_ = false; }
    // Media times: for video the frame numbers, for audio the sample numbers.
    Status GetMediaTime(std::int64_t& start, std::int64_t& stop) const {
        if (!hasMediaTime_)
            return Code::Fail;
        start = mediaStart_;
        stop = mediaStop_;
        return Code::Ok;
    }
    void SetMediaTime(std::int64_t start, std::int64_t stop) {
        mediaStart_ = start;
        mediaStop_ = stop;
        hasMediaTime_ = true;
    }

    bool IsSyncPoint() const { return sync_; }
    void SetSyncPoint(bool v) { sync_ = v; }
    bool IsPreroll() const { return preroll_; }
    void SetPreroll(bool v) { preroll_ = v; }
    bool IsDiscontinuity() const { return discontinuity_; }
    void SetDiscontinuity(bool v) { discontinuity_ = v; }

    // A media type attached when the type changes from this sample on; usually none.
    const std::optional<MediaType>& GetMediaType() const { return mediaType_; }
    void SetMediaType(std::optional<MediaType> mt) { mediaType_ = std::move(mt); }

    // The attachment, or nullptr. Set, like the data, only by a stage that may change the sample
    // in place.
    const AttachmentPtr& GetAttachment() const { return attachment_; }
    void SetAttachment(AttachmentPtr a) { attachment_ = std::move(a); }

    // Copies times, media times, flags and the attachment (not the data) from another sample.
    void CopyPropertiesFrom(const MediaSample& o) {
        start_ = o.start_;
        stop_ = o.stop_;
        hasTime_ = o.hasTime_;
        mediaStart_ = o.mediaStart_;
        mediaStop_ = o.mediaStop_;
        hasMediaTime_ = o.hasMediaTime_;
        sync_ = o.sync_;
        preroll_ = o.preroll_;
        discontinuity_ = o.discontinuity_;
        mediaType_ = o.mediaType_;
        attachment_ = o.attachment_;
    }

  private:
    std::vector<std::uint8_t> buffer_;
    std::size_t actual_ = 0;
    StreamTime start_ = 0, stop_ = 0;
    bool hasTime_ = false;
    std::int64_t mediaStart_ = 0, mediaStop_ = 0;
    bool hasMediaTime_ = false;
    bool sync_ = true;
    bool preroll_ = false;
    bool discontinuity_ = false;
    std::optional<MediaType> mediaType_;
    AttachmentPtr attachment_;
};

using SamplePtr = std::shared_ptr<MediaSample>;

inline SamplePtr NewSample(std::size_t capacity) {
    return std::make_shared<MediaSample>(capacity);
}

}  // namespace kelvor::media
