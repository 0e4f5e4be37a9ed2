#include "media/filters/Tdv_DVheader.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/dv/DvPackBuilders.h"
#include "core/files/DateTime.h"
#include "media/filters/Tdv_sceneDetect.h"

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
    std::optional<dv::TTimecode> timecode;
    if (source.Info.TimecodeValid)
        timecode = source.Info.Timecode;
    std::optional<dv::TDatecode> datecode;
    if (source.Info.DateValid)
        datecode = DateTimeToDatecode(source.Info.Date);
    dv::WriteTimePacks(frame, sequenceCount, timecode, datecode);
}

DateShift ShiftDatecode(dv::MutableFrame frame, int sequenceCount, double shiftDays) {
    dv::TDatecode datecode;
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

Tdv_DVheader::Tdv_DVheader(std::shared_ptr<Tdv_sceneDetect> detector)
    : TBCTransInPlaceFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), true),
      detector_(std::move(detector)) {}

HRESULT Tdv_DVheader::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType == MEDIATYPE_Interleaved)
        return S_OK;
    if (mtIn.majorType == MEDIATYPE_Video && mtIn.subtype == MEDIASUBTYPE_dvsd)
        return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Tdv_DVheader::StartStreaming() {
    unshifted_ = 0;
    return S_OK;
}

HRESULT Tdv_DVheader::Transform(MediaSample& sample) {
    const auto frame = sample.data();
    const auto sequences = dv::SequenceCountForSize(frame.size());
    if (!sequences)
        return S_OK;
    if (restore_) {
        auto source = DvSourceFrame::Of(sample);
        if (!source && detector_)
            source = detector_->LatestFrame();
        if (source)
            RestoreHeaderBlocks(frame, *sequences, *source);
    }
    if (timeShift_ != 0 && ShiftDatecode(frame, *sequences, timeShift_) == DateShift::OutOfRange)
        ++unshifted_;
    return S_OK;
}

}  // namespace kelvor::media
