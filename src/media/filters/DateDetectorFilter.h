// The date scene detector as an in-place filter on a DV stream ("iavs" of any subtype, or
// "vids" with "dvsd"), every sample one whole DV frame. It passes every sample on unchanged;
// all the per-frame work is scenes::DateSceneDetector's, which its owner reaches through
// Detector() to set callbacks and subtitle settings while the graph is stopped.
//
// Every DV frame leaves with its facts attached (DvSourceFrame: its record and header blocks),
// so the filters further down take the facts of their own frame, however many frames the queues
// between them hold.
//
// One instance per graph owner, kept for the program's life and reused for every graph it
// builds. Transform runs on the streaming thread; Stop on the driving thread once streaming has
// ended (the graph guarantees it): it ends the last scene, closes the subtitle, reports the
// stream end, stops as the base filter does and resets the detector for the next run.
// LatestFrame may be called from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "core/scenes/DateSceneDetector.h"
#include "media/engine/TransformFilter.h"
#include "media/filters/DvSourceFrame.h"

namespace kelvor::media {

class DateDetectorFilter : public InPlaceTransformFilter {
  public:
    DateDetectorFilter();

    scenes::DateSceneDetector& Detector() { return detector_; }
    const scenes::DateSceneDetector& Detector() const { return detector_; }

    // The facts of the last DV frame processed in this run, for a filter whose sample carries
    // none; null before the first.
    std::shared_ptr<const DvSourceFrame> LatestFrame() const;

    Status Stop() override;

    // Damaged frames at the start of a stream, up to this many, are analysed but not passed on,
    // so a graph paused on its first frame pauses on the first readable one (the list probe).
    // 0 (the default) passes every frame. While stopped.
    void SetHoldBackLeadingDamaged(int frames) { holdBack_ = frames; }

    // Whether each frame's facts ride on its sample and stay readable through LatestFrame (the
    // default): a graph with no filter after the detector that reads them (scene detection)
    // turns it off and saves a copy of the frame's header blocks per frame. While stopped.
    void SetCarryFrames(bool carry) { carryFrames_.store(carry, std::memory_order_relaxed); }

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status StartStreaming() override;
    Status Transform(MediaSample& sample) override;

  private:
    scenes::DateSceneDetector detector_;
    mutable std::mutex latestMutex_;  // guards latest_
    std::shared_ptr<const DvSourceFrame> latest_;
    std::atomic<bool> carryFrames_{true};
    int holdBack_ = 0;
};

}  // namespace kelvor::media
