// Scene detection by date on a stream of DV frames, and the subtitle lines of each frame.
//
// Every sample of the stream is one frame. For every readable DV frame (120000 or 144000 bytes
// with a DV header) the detector decodes the frame's packs into
// a FrameInfo, ends a scene where the datecode jumps by more than 5 seconds, disappears,
// reappears after more than 12 frames, or where the recording format changes, produces the two
// subtitle lines of the frame (datecode or timecode) with an optional timed display window, and
// keeps a copy of the frame's header blocks. It reports through the callbacks below.
//
// The media filter that wraps it calls StartStreaming, ProcessSample for every sample, then Stop
// (or FinishStream, the base filter's stop, then ResetAfterStop). Threads: ProcessSample and the
// callbacks it makes run on the streaming thread; setters and callbacks are changed only while
// no stream runs. Current, Previous, Last, SceneStart and HeaderBlocks belong to the streaming
// thread while a stream runs; another thread (the player's timer) reads PreviousSnapshot, which
// is consistent. A callback that throws does not stop the stream: the
// exception is caught and its text kept in SinkError().
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"
#include "core/scenes/FrameInfo.h"

namespace kelvor::scenes {

// The filter's identity.
inline constexpr std::string_view kDateSceneDetectorName = "Quennel dv_sceneDetect";
inline constexpr std::string_view kDateSceneDetectorClassId =
    "{E87CC8D6-571D-4927-AC63-AEE089DF6B39}";

// Bytes kept of each DIF sequence: the header block, two subcode blocks and three VAUX blocks.
inline constexpr std::size_t kHeaderBlocksSize = 6 * 80;

struct HeaderBlockSlot {
    std::array<std::uint8_t, kHeaderBlocksSize> Bytes{};
    std::int64_t SampleIndex = 0;  // index of the sample the bytes came from
};

enum class SubtitleKind : int { Datecode = 0, Timecode = 1 };
enum class SubtitleTrigger : int { AtStart = 0, EachScene = 1, EachDay = 2 };

// Whether a frame's valid date restarts the timed display of the lines, given the trigger and
// the date the trigger saw last: each scene, on a jump of more than 2 seconds or a step back;
// each day, on another day of the month or more than a day apart. Shared with the inlay filter,
// which counts the display the same way.
bool RestartsDisplay(int trigger, double date, double lastDate);

class DateSceneDetector {
  public:
    using SceneEndHandler =
        std::function<void(const FrameInfo& sceneStart, const FrameInfo& current)>;
    using SubtitleHandler = std::function<void(const FrameInfo& current, const std::string& line1,
                                               const std::string& line2)>;
    using StreamEndHandler = std::function<void()>;

    static constexpr int kDefaultDisplayFrames = 125;
    static constexpr std::string_view kDefaultSecondFormat = "ddddd hh:nn:ss";

    explicit DateSceneDetector(LocaleInfo locale = EnglishLocale());

    // Set by the commands before a run; the detector never clears them itself.
    SceneEndHandler OnSceneEnd;
    StreamEndHandler OnStreamEnd;

    // Subtitle settings; Stop returns them to their defaults.
    void SetDisplayKind(int kind);      // 0 datecode, 1 timecode
    void SetDisplayFrames(int frames);  // also sets the countdown to frames - 1
    void SetTrigger(int trigger);       // 0, 1 or 2; countdown to display length - 1
    void SetAutoMode(bool on);
    void SetDateFormats(std::string_view first, std::string_view second);  // empty -> `" "`
    void SetSubtitleSink(SubtitleHandler handler);
    void SetTimeShift(double days);
    // The locale of the date lines (the user's; tests use English). While no stream runs.
    void SetLocale(LocaleInfo locale);

    void StartStreaming();
    // One sample of the stream; only whole DV frames are decoded, every sample counts.
    void ProcessSample(std::span<const std::uint8_t> sample);
    // One frame whose facts the caller read itself (dv::ReadSampledFrameFacts), as ProcessSample
    // takes the frame: `readable` is ProcessSample's test (a DV frame size and a DV header).
    // HeaderBlocks keeps the slots it had, since no frame bytes come with the facts.
    void ProcessFrameFacts(bool readable, const dv::FrameFacts& facts);
    // Ends the last scene, clears a shown subtitle and reports the stream end.
    void FinishStream();
    // Returns scene state and subtitle settings to their defaults, ready for the next run.
    void ResetAfterStop();
    // FinishStream then ResetAfterStop, for callers without a base filter to stop in between.
    void Stop();

    const FrameInfo& Current() const { return current_; }
    const FrameInfo& Previous() const { return previous_; }
    const FrameInfo& Last() const { return last_; }
    const FrameInfo& SceneStart() const { return sceneStart_; }
    // The previous record, safe to read from any thread at any time.
    FrameInfo PreviousSnapshot() const;
    // Slots 0 to 9 (525/60) or 0 to 11 (625/50) of the last frame processed.
    const std::array<HeaderBlockSlot, dv::kSequences625>& HeaderBlocks() const {
        return headerBlocks_;
    }
    std::int64_t SampleCount() const { return sampleCounter_; }
    // Frames of this stream with a readable DV header (the others are damaged).
    std::int64_t ReadableFrameCount() const { return readableFrames_; }
    // The first exception a callback threw since the stream started; empty when none did.
    // Streaming thread while a stream runs; any thread after it stopped.
    const std::string& SinkError() const { return sinkError_; }

    // Subtitle state, for tests and the player.
    int Countdown() const { return countdown_; }
    const std::string& Line1() const { return line1_; }
    const std::string& Line2() const { return line2_; }

  private:
    void processFrame(bool readable, const dv::FrameFacts& facts);
    void decodeFrame(const dv::FrameFacts& facts);
    void updateSubtitle();
    void endScene();
    void applyDateRules();
    void reportSubtitle(const std::string& line1, const std::string& line2);
    std::string formatDate(const std::string& pattern) const;
    void resetSubtitleSettings();
    template <typename F, typename... Args>
    void callSink(const F& f, const Args&... args);

    LocaleInfo locale_;

    mutable std::mutex snapshotMutex_;  // guards previousSnapshot_
    FrameInfo previousSnapshot_;

    FrameInfo current_;
    FrameInfo previous_;
    FrameInfo sceneStart_;
    FrameInfo last_;
    std::array<HeaderBlockSlot, dv::kSequences625> headerBlocks_{};
    std::int64_t sampleCounter_ = 0;
    std::int64_t readableFrames_ = 0;
    // The datecode validity of the last readable frame: damaged frames between two readable ones
    // neither end nor start a scene.
    bool lastReadableDateValid_ = false;
    bool firstFrame_ = true;

    // Scene rules, in whole seconds since dates are whole seconds.
    std::int64_t dateGapSeconds_ = 5;
    static constexpr std::int32_t kFrameGap = 12;
    double ruleLastDate_ = 0;
    bool dateSeen_ = false;

    // Subtitle lines.
    int displayKind_ = 0;
    bool autoMode_ = true;
    int trigger_ = 1;
    int displayFrames_ = kDefaultDisplayFrames;
    int countdown_ = 0;
    std::string firstFormat_;
    std::string secondFormat_{kDefaultSecondFormat};
    double timeShift_ = 0;
    double triggerLastDate_ = 0;
    std::string line1_;
    std::string line2_;
    std::string reported1_;
    std::string reported2_;
    // The date lines of the last date formatted: the date changes once a second, the frames 25
    // or 30 times, so formatting only on a change keeps the detector near read speed.
    double dateLinesFor_ = 0;
    bool dateLinesValid_ = false;
    std::string dateLine1_;
    std::string dateLine2_;
    SubtitleHandler onSubtitle_;
    std::string sinkError_;
};

}  // namespace kelvor::scenes
