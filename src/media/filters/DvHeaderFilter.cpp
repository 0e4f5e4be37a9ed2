#include "media/filters/DvHeaderFilter.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/dv/DvPackBuilders.h"
#include "core/files/DateTime.h"
#include "media/filters/DateDetectorFilter.h"

namespace kelvor::media {
namespace {

// The years a date pack's two digits stand for when read back.
constexpr int kFirstPackYear = 1990;
constexpr int kLastPackYear = 2089;

}  // namespace

void RestoreHeaderBlocks(dv::MutableFrame frame, int sequenceCount, const DvSourceFrame& source) {
    const auto expected = static_cast<std::size_t>(sequenceCount) * dv::kDifSequenceSize;
    if ((sequenceCount != dv::kSequences525 && sequenceCount != dv::kSequences625) ||
        frame.size() != expected)
        return;
    if (source.Sequences == sequenceCount) {
        for (int s = 0; s < sequenceCount; ++s) {
            const auto& blocks = source.Blocks[static_cast<std::size_t>(s)].Bytes;
            std::copy(blocks.begin(), blocks.end(),
                      frame.begin() + static_cast<std::ptrdiff_t>(s) *
                                          static_cast<std::ptrdiff_t>(dv::kDifSequenceSize));
        }
        return;
    }
    // Across standards the frame keeps its own header block (its standard) and gets a fresh
    // subcode and VAUX in the layout of its standard: the source's timecode, date and aspect,
    // and the target's video source pack. The encoder's own packs would otherwise stand beside
    // ours in an order readers do not expect.
    dv::FramePacks packs;
    packs.Pal = sequenceCount == dv::kSequences625;
    packs.Wide = source.Info.Widescreen != 0;
    if (source.Info.TimecodeValid) {
        dv::Timecode tc = source.Info.Timecode;
        // Every PAL frame number exists in NTSC; an NTSC one is brought to PAL's 25 frames a
        // second, which keeps each value in range and in order.
        if (packs.Pal && source.Sequences == dv::kSequences525)
            tc.Frames = static_cast<std::uint8_t>(tc.Frames * 25 / 30);
        packs.Timecode = tc;
    }
    if (source.Info.DateValid)
        packs.Datecode = DateTimeToDatecode(source.Info.Date);
    dv::WriteFramePacks(frame, sequenceCount, packs);
}

DateShift ShiftDatecode(dv::MutableFrame frame, int sequenceCount, double shiftDays) {
    dv::Datecode datecode;
    // Only a datecode the frame really holds is shifted; damaged digits are left as they are.
    if (!dv::ReadValidDatecode(frame, sequenceCount, datecode))
        return DateShift::NoDate;
    const auto date = DatecodeToDateTime(datecode);
    if (!date)
        return DateShift::NoDate;
    const auto shifted = DateTimeToDatecode(*date + shiftDays);
    if (!shifted)
        return DateShift::NoDate;
    if (shifted->Year < kFirstPackYear || shifted->Year > kLastPackYear)
        return DateShift::OutOfRange;
    dv::WriteDatecode(frame, sequenceCount, *shifted);
    return DateShift::Shifted;
}

DvHeaderFilter::DvHeaderFilter(std::shared_ptr<DateDetectorFilter> detector)
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), true),
      detector_(std::move(detector)) {}

Status DvHeaderFilter::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType == MajorType::Interleaved)
        return Code::Ok;
    if (mtIn.majorType == MajorType::Video && mtIn.subtype == Subtype::Dvsd)
        return Code::Ok;
    return Code::TypeNotAccepted;
}

Status DvHeaderFilter::StartStreaming() {
    unshifted_ = 0;
    return Code::Ok;
}

Status DvHeaderFilter::Transform(MediaSample& sample) {
    const auto frame = sample.data();
    const auto sequences = dv::SequenceCountForSize(frame.size());
    if (!sequences)
        return Code::Ok;
    if (restore_) {
        auto source = DvSourceFrame::Of(sample);
        if (!source && detector_)
            source = detector_->LatestFrame();
        if (source)
            RestoreHeaderBlocks(frame, *sequences, *source);
    }
    if (timeShift_ != 0 && ShiftDatecode(frame, *sequences, timeShift_) == DateShift::OutOfRange)
        ++unshifted_;
    return Code::Ok;
}

}  // namespace kelvor::media
