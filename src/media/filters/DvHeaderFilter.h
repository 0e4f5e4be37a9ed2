// The DV header filter: an in-place filter on re-encoded DV frames ("iavs" of any subtype, or
// "vids" with "dvsd") that puts the source frame's header, subcode and VAUX blocks back into each
// frame, so the datecode and timecode survive re-encoding, and shifts the recording date and time
// written in the frames (the correction of a wrong camera clock).
//
// Each frame takes the blocks of its own source frame, which the date detector attached to the
// sample upstream (DvSourceFrame); only a sample that carries none takes the detector's latest
// frame. Within one standard the whole 480 bytes of each DIF sequence are restored. Across
// standards (PAL into NTSC and back) the source's header byte and VAUX source pack would make
// every frame claim the other standard, so only its timecode, recording date and time and
// aspect go over: the frame's subcode and VAUX are written afresh in our pack builders' layout
// for the target standard (an NTSC timecode's frame number brought to PAL's 25 frames).
//
// The shift adds a date-time difference to the frame's recording date and time and writes the
// result into every date and time pack. A frame whose date cannot be read, or whose shifted year
// the packs' two digits cannot hold (before 1990 or after 2089), is left as it is; the second
// kind is counted (UnshiftedFrames) so the command can tell the user.
//
// Created once by its graph owner with the date detector (which may be null: nothing to restore
// from) and kept for the program's life. Settings are made while the graph is stopped and kept
// from one run to the next. Transform runs on the streaming thread and never fails a sample.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/dv/DvPacks.h"
#include "media/engine/TransformFilter.h"
#include "media/filters/DvSourceFrame.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

class DateDetectorFilter;

// Puts the source frame's blocks back into a whole frame of sequenceCount sequences (see above).
void RestoreHeaderBlocks(dv::MutableFrame frame, int sequenceCount, const DvSourceFrame& source);

enum class DateShift { Shifted, NoDate, OutOfRange };
// Adds shiftDays to the recording date and time of a whole frame; the frame changes only when
// the answer is Shifted.
DateShift ShiftDatecode(dv::MutableFrame frame, int sequenceCount, double shiftDays);

class DvHeaderFilter : public InPlaceTransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"Quennel cf_DVHeader",
                                              "{60FF9D56-EC15-4F17-A2AB-9DA99CD9D0DC}"};

    explicit DvHeaderFilter(std::shared_ptr<DateDetectorFilter> detector);

    void SetRestore(bool restore) { restore_ = restore; }  // default true
    bool Restore() const { return restore_; }
    void SetTimeShift(double days) { timeShift_ = days; }  // default 0
    double TimeShift() const { return timeShift_; }

    // Frames of the current or last run left unshifted because the shifted year does not fit.
    std::int64_t UnshiftedFrames() const { return unshifted_.load(); }

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status StartStreaming() override;
    Status Transform(MediaSample& sample) override;

  private:
    std::shared_ptr<DateDetectorFilter> detector_;
    bool restore_ = true;
    double timeShift_ = 0;
    std::atomic<std::int64_t> unshifted_{0};
};

}  // namespace kelvor::media
