#include "core/scenes/DateSceneDetector.h"

#include <algorithm>
#include <cstdio>

#include "core/files/DateTime.h"
#include "core/files/Rounding.h"

namespace kelvor::scenes {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// The trigger of "each scene" restarts the display when the date runs ahead by more than this.
constexpr std::int64_t kTriggerGapSeconds = 2;
// What an empty date format argument becomes: a quoted blank, which renders as one blank.
constexpr std::string_view kBlankFormat = "\" \"";
// An empty first format formats like the pattern "c".
constexpr std::string_view kFallbackFormat = "c";

// Dates hold whole seconds, so differences are compared in whole seconds: a float difference
// of exactly 5 seconds must not count as more than 5.
std::int64_t secondsBetween(double later, double earlier) {
    return RoundHalfEven((later - earlier) * static_cast<double>(kSecondsPerDay));
}

int dayOfMonth(double date) {
    const auto f = DecodeDateTime(date);
    return f ? f->Day : 0;
}

}  // namespace

bool RestartsDisplay(int trigger, double date, double lastDate) {
    const std::int64_t ahead = secondsBetween(date, lastDate);
    if (trigger == static_cast<int>(SubtitleTrigger::EachScene))
        return ahead > kTriggerGapSeconds || ahead < 0;
    if (trigger == static_cast<int>(SubtitleTrigger::EachDay))
        return dayOfMonth(date) != dayOfMonth(lastDate) || ahead > kSecondsPerDay ||
               ahead < -kSecondsPerDay;
    return false;
}

std::string TimecodeText(const dv::Timecode& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%.2d:%.2d:%.2d", t.Hours, t.Minutes, t.Seconds, t.Frames);
    return buf;
}

DateSceneDetector::DateSceneDetector(LocaleInfo locale) : locale_(std::move(locale)) {}

template <typename F, typename... Args>
void DateSceneDetector::callSink(const F& f, const Args&... args) {
    if (!f)
        return;
    // A sink's failure must not stop the stream; its reason is kept for the run's owner.
    try {
        f(args...);
    } catch (const std::exception& e) {
        if (sinkError_.empty())
            sinkError_ = e.what();
    } catch (...) {
        if (sinkError_.empty())
            sinkError_ = "a scene or subtitle writer failed";
    }
}

void DateSceneDetector::SetDisplayKind(int kind) {
    displayKind_ = kind;
}

void DateSceneDetector::SetDisplayFrames(int frames) {
    displayFrames_ = frames;
    countdown_ = frames - 1;
}

void DateSceneDetector::SetTrigger(int trigger) {
    trigger_ = trigger;
    countdown_ = displayFrames_ - 1;
}

void DateSceneDetector::SetAutoMode(bool on) {
    autoMode_ = on;
}

void DateSceneDetector::SetDateFormats(std::string_view first, std::string_view second) {
    firstFormat_ = first.empty() ? kBlankFormat : first;
    secondFormat_ = second.empty() ? kBlankFormat : second;
    dateLinesValid_ = false;
}

void DateSceneDetector::SetSubtitleSink(SubtitleHandler handler) {
    onSubtitle_ = std::move(handler);
}

void DateSceneDetector::SetTimeShift(double days) {
    timeShift_ = days;
    dateLinesValid_ = false;
}

void DateSceneDetector::SetLocale(LocaleInfo locale) {
    locale_ = std::move(locale);
    dateLinesValid_ = false;
}

void DateSceneDetector::StartStreaming() {
    if (autoMode_)
        countdown_ = displayFrames_ - 1;
    reported1_.clear();
    reported2_.clear();
    sinkError_.clear();
    dateLinesValid_ = false;
    sampleCounter_ = 0;
    readableFrames_ = 0;
    current_.FrameNumber = 0;
    headerBlocks_[0].SampleIndex = -1;
}

void DateSceneDetector::ProcessSample(std::span<const std::uint8_t> sample) {
    // Every sample of a DV stream is one frame of its timeline, also a damaged one: a frame of
    // another size or without a DV header keeps its place, but says nothing and changes no
    // scene, so the frames around it are compared with each other.
    const auto sequences = dv::SequenceCountForSize(sample.size());
    int standard = 0;
    const bool readable = sequences && dv::ReadStandard(sample, standard);
    // Only what the frame's copies agree on and what forms real digits is taken: a damaged pack
    // is no datecode or timecode rather than an invented one.
    dv::FrameFacts facts;
    if (readable)
        dv::ReadFrameFacts(sample, *sequences, facts);
    const std::int64_t index = sampleCounter_;
    processFrame(readable, facts);
    if (sequences) {
        for (int s = 0; s < *sequences; ++s) {
            HeaderBlockSlot& slot = headerBlocks_[static_cast<std::size_t>(s)];
            const auto blocks = sample.subspan(static_cast<std::size_t>(s) * dv::kDifSequenceSize,
                                               kHeaderBlocksSize);
            std::copy(blocks.begin(), blocks.end(), slot.Bytes.begin());
            slot.SampleIndex = index;
        }
    }
}

void DateSceneDetector::ProcessFrameFacts(bool readable, const dv::FrameFacts& facts) {
    processFrame(readable, facts);
}

void DateSceneDetector::processFrame(bool readable, const dv::FrameFacts& facts) {
    previous_ = current_;
    {
        const std::lock_guard lock(snapshotMutex_);
        previousSnapshot_ = previous_;
    }
    if (readable) {
        decodeFrame(facts);
        updateSubtitle();
        if (sceneStart_.FormatValid && current_.FormatValid &&
            (current_.Widescreen != sceneStart_.Widescreen ||
             current_.Standard != sceneStart_.Standard ||
             current_.SampleRate != sceneStart_.SampleRate ||
             current_.Quantization != sceneStart_.Quantization)) {
            endScene();
            dateSeen_ = false;
        }
        applyDateRules();
        lastReadableDateValid_ = current_.DateValid;
        if (firstFrame_) {
            sceneStart_ = current_;
            firstFrame_ = false;
        }
        ++readableFrames_;
    } else {
        current_.DateValid = false;
        current_.TimecodeValid = false;
        current_.FormatValid = false;
        current_.AspectFound = false;
        current_.Date = 0;
        updateSubtitle();
    }
    last_ = current_;
    ++current_.FrameNumber;
    ++sampleCounter_;
}

FrameInfo DateSceneDetector::PreviousSnapshot() const {
    const std::lock_guard lock(snapshotMutex_);
    return previousSnapshot_;
}

void DateSceneDetector::decodeFrame(const dv::FrameFacts& facts) {
    // Fields whose pack is missing keep the previous frame's value; only these are reset.
    current_.DateValid = false;
    current_.TimecodeValid = false;
    current_.FormatValid = false;
    current_.AspectFound = false;
    current_.Date = 0;

    if (facts.HasDatecode) {
        if (const auto date = DatecodeToDateTime(facts.Datecode)) {
            current_.DateValid = true;
            current_.Date = *date;
        }
    }
    if (facts.HasTimecode) {
        current_.Timecode = facts.Timecode;
        current_.TimecodeValid = true;
    }
    if (facts.HasAudio) {
        current_.SampleRate = facts.Audio.SampleRate;
        current_.Quantization = facts.Audio.Quantization;
        current_.Channels = facts.Audio.Channels;
    }
    if (facts.HasControl) {
        current_.Widescreen = facts.Wide ? 1 : 0;
        current_.AspectFound = true;
    }
    if (facts.HasStandard)
        current_.Standard = static_cast<std::uint8_t>(facts.Standard);
    current_.FormatValid = facts.HasAudio && facts.HasControl;
}

std::string DateSceneDetector::formatDate(const std::string& pattern) const {
    return FormatDateTime(pattern.empty() ? kFallbackFormat : std::string_view(pattern),
                          current_.Date + timeShift_, locale_);
}

void DateSceneDetector::updateSubtitle() {
    if (autoMode_) {
        if (countdown_ > 0)
            --countdown_;
        if (current_.DateValid && RestartsDisplay(trigger_, current_.Date, triggerLastDate_))
            countdown_ = displayFrames_;
        triggerLastDate_ = current_.Date;
    }
    if (!autoMode_ || countdown_ > 0) {
        line1_.clear();
        line2_.clear();
        if (displayKind_ == static_cast<int>(SubtitleKind::Datecode)) {
            if (current_.DateValid) {
                if (!dateLinesValid_ || current_.Date != dateLinesFor_) {
                    dateLine1_ = formatDate(firstFormat_);
                    dateLine2_ = formatDate(secondFormat_);
                    dateLinesFor_ = current_.Date;
                    dateLinesValid_ = true;
                }
                line1_ = dateLine1_;
                line2_ = dateLine2_;
            }
        } else if (current_.TimecodeValid) {
            line2_ = TimecodeText(current_.Timecode);
        }
        if (onSubtitle_ && (line1_ != reported1_ || line2_ != reported2_)) {
            reported1_ = line1_;
            reported2_ = line2_;
            callSink(onSubtitle_, current_, line1_, line2_);
        }
    } else {
        line1_.clear();
        line2_.clear();
        if (onSubtitle_ && (!reported1_.empty() || !reported2_.empty())) {
            reported1_.clear();
            reported2_.clear();
            callSink(onSubtitle_, current_, reported1_, reported2_);
        }
    }
}

void DateSceneDetector::endScene() {
    callSink(OnSceneEnd, sceneStart_, current_);
    sceneStart_ = current_;
}

void DateSceneDetector::applyDateRules() {
    const bool now = current_.DateValid;
    const bool before = lastReadableDateValid_;
    if (!now && before && current_.FrameNumber > 0) {
        endScene();
    } else if (!before && now) {
        const std::int64_t gap = static_cast<std::int64_t>(current_.FrameNumber) -
                                 static_cast<std::int64_t>(sceneStart_.FrameNumber);
        // A scene that starts where the datecode comes back starts afresh, like one started by
        // a change of format: its first jump is measured from this date only.
        if (gap > kFrameGap || gap < -kFrameGap) {
            endScene();
            dateSeen_ = false;
        }
        ruleLastDate_ = current_.Date;
    } else if (before && now) {
        const std::int64_t jump = secondsBetween(current_.Date, ruleLastDate_);
        if (dateSeen_ && (jump > dateGapSeconds_ || jump < -dateGapSeconds_))
            endScene();
        ruleLastDate_ = current_.Date;
        dateSeen_ = true;
    }
}

void DateSceneDetector::FinishStream() {
    callSink(OnSceneEnd, sceneStart_, current_);
    if (onSubtitle_ && (!reported1_.empty() || !reported2_.empty())) {
        reported1_.clear();
        reported2_.clear();
        callSink(onSubtitle_, current_, reported1_, reported2_);
    }
    // A copy, since the handler may well clear the detector's callbacks.
    const StreamEndHandler streamEnd = OnStreamEnd;
    callSink(streamEnd);
}

void DateSceneDetector::resetSubtitleSettings() {
    displayKind_ = static_cast<int>(SubtitleKind::Datecode);
    trigger_ = static_cast<int>(SubtitleTrigger::EachScene);
    autoMode_ = true;
    firstFormat_.clear();
    secondFormat_ = kDefaultSecondFormat;
    dateLinesValid_ = false;
    displayFrames_ = kDefaultDisplayFrames;
    countdown_ = 0;
    onSubtitle_ = nullptr;
}

void DateSceneDetector::ResetAfterStop() {
    sceneStart_ = FrameInfo{};
    firstFrame_ = true;
    current_.FrameNumber = 0;
    ruleLastDate_ = 0;
    dateGapSeconds_ = 5;
    dateSeen_ = false;
    resetSubtitleSettings();
}

void DateSceneDetector::Stop() {
    FinishStream();
    ResetAfterStop();
}

}  // namespace kelvor::scenes
