// The content detector: an in-place filter on RGB24 pictures that changes nothing and reports a
// scene change where much more of the picture changed than in any of the three pictures before.
//
// Per picture it samples every 397th byte (at most 10000 of them) and counts those that differ
// by more than 16 from the same byte of the previous picture; a count above 0.3 of the samples
// and above twice each of the last three counts is a change, reported with the frame number the
// media stamper saw last (the low 32 bits of its media start). The previous picture's samples and
// the last three counts live as long as the filter, so a run starts from where the last one
// ended; a change reported for frame 0 is dropped by every sink. Stop ends the last scene at the
// stamper's latest frame, then reports the stream end.
//
// It also takes the DV frames themselves, which spares decoding them: each sample then takes the
// colour of the 8x8 block it falls in, from the block's DC term (see sampleDvFrame). A frame that
// is not a DV picture of the stream's standard counts as the last one that was, as the decoder
// shows it (black before any). The counts then differ a little from those of decoded pictures
// (a block's mean instead of one of its pixels), but a cut changes most blocks and a steady
// scene few, so the same thresholds give the same scene ends.
//
// Created once by its graph owner, which hands it the stamper of the same graph. Callbacks and
// the stamper are set while the graph is stopped. Transform and the callbacks it makes run on the
// streaming thread; Stop on the driving thread after streaming has ended. Callbacks must not
// throw: an exception is caught and dropped, so a sink's failure never stops the stream.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/dv/DvDcPicture.h"

#include "media/engine/TransformFilter.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

class SampleTimeFilter;

class ContentDetectorFilter : public InPlaceTransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"Quennel SceneContenuDetecter",
                                              "{0172F519-B1AC-4EDB-8BAA-98A8CBEA8270}"};
    static constexpr std::size_t kStride = 397;
    static constexpr std::size_t kMaxSamples = 10000;
    static constexpr int kChangeThreshold = 16;

    ContentDetectorFilter();

    std::function<void(std::int32_t frame)> OnSceneEnd;
    std::function<void()> OnStreamEnd;
    void SetSampleTimes(std::shared_ptr<SampleTimeFilter> stamper) {
        sampleTimes_ = std::move(stamper);
    }

    // Whether DV frames are taken as they are or must come decoded (the default); while stopped
    // and before the input connects.
    void SetTakesDvFrames(bool takes) { takesDvFrames_ = takes; }

    // The change counts of the last three pictures, the most recent first.
    std::array<std::int64_t, 3> History() const { return history_; }

    Status Stop() override;

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status Transform(MediaSample& sample) override;
    Status StartStreaming() override;

  private:
    std::int32_t stamperFrame() const;
    // The sampled bytes of a DV frame's DC picture into samples_; false when it is no picture.
    bool sampleDvFrame(std::span<const std::uint8_t> frame);
    void measure(std::span<const std::uint8_t> samples, std::size_t sampleCount);
    void reportSceneEnd(std::int32_t frame) const;

    std::shared_ptr<SampleTimeFilter> sampleTimes_;
    std::array<std::uint8_t, kMaxSamples> previous_{};
    std::array<std::int64_t, 3> history_{};
    bool takesDvFrames_ = false;
    // DV input, streaming thread: the stream's standard, the bytes sampled of the last picture
    // (black, zero, before any in a run), and where each sample of a picture of that height falls.
    bool dvInput_ = false;
    bool pal_ = true;
    dv::DcLayout lastLayout_ = dv::DcLayout::None;
    std::array<std::uint8_t, kMaxSamples> samples_{};
    std::size_t sampleCount_ = 0;
    std::size_t sampleBase_ = 0;  // the n of the threshold: whole strides in the picture
    struct SamplePlace {
        std::uint16_t Block;
        std::uint8_t Channel;  // 0 blue, 1 green, 2 red, as the bottom-up RGB24 bytes go
    };
    std::vector<SamplePlace> places_;
    std::unique_ptr<dv::DcPicture> picture_;
};

}  // namespace kelvor::media
