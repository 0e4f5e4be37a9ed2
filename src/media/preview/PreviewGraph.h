// The preview module: the graph that plays the selected file in the player frame. DV files are
// built by hand so that the date detector sees every DV frame and the inlay filter can write
// the datecode over the picture:
//   source -> aviSplitter -> [dvSplitter ->] vScenedetect -> Dvdecoder (full or half size)
//          -> superposer -> color -> video renderer, and the sound to the sound renderer;
// other AVI files go through the engine's decoders to the same two renderers. The renderers
// present at their stream times by the preview's clock (the sound heard when a sound output
// plays, else a silent clock), and the graph is left paused on its first frame.
//
// Threads: every call from one driving thread (the window's); the graph streams on its own
// threads. The detector, the inlay filter and the two renderers are made once and kept for every
// file. Nothing throws; a failed build says how far it went (Phase).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/files/FileRecord.h"
#include "core/settings/Preferences.h"
#include "media/engine/Graph.h"
#include "media/preview/PreviewSinks.h"

namespace kelvor::media {

class DateDetectorFilter;
class InlayFilter;
class DvSplitterFilter;
class DvVideoDecoderFilter;

class PreviewGraph {
  public:
    // Build phases: how far a build went when it failed.
    static constexpr int kPhaseLoading = 1;
    static constexpr int kPhaseSplitter = 4;
    static constexpr int kPhaseDecoder = 2;
    static constexpr int kPhaseNoFile = 8;

    // prefs is read at every build and kept by the caller for the module's life.
    explicit PreviewGraph(const settings::Preferences& prefs);
    ~PreviewGraph();
    PreviewGraph(const PreviewGraph&) = delete;
    PreviewGraph& operator=(const PreviewGraph&) = delete;

    // Builds the graph for the file and leaves it paused on its first frame. On failure Phase()
    // says which message the player shows; MessageCode() is then the same code.
    bool OpenPreview(const files::FileRecord& record);
    // The locale of the datecode drawn on the pictures; it takes effect when the inlay is next
    // configured while stopped (the next file opened). Driving thread.
    void SetLocale(LocaleInfo locale) { locale_ = std::move(locale); }
    // The message the player shows instead of the video after the last OpenPreview: 0 for none
    // (video), 3 or 5 (sound only, with the playback controls), 4, 6, 7 (nothing playable), or
    // the failed phase (1, 2, 4, 8).
    int MessageCode() const { return message_; }
    int Phase() const { return phase_; }
    bool VideoConnected() const { return video_; }
    bool AudioConnected() const { return audio_; }
    bool Active() const { return active_; }
    bool Released() const { return released_; }

    // Relative moves in the current time format (frames, or 100 ns units without video),
    // clamped to 0 .. duration; SeekTime moves in media time and goes back to frames when the
    // file has a picture.
    void SeekFrames(std::int64_t n);
    void SeekTime(std::int64_t t);
    void SeekTo(std::int64_t position);
    std::int64_t Position() const;
    std::int64_t Duration() const;
    TimeFormat GetTimeFormat() const { return graph_.GetTimeFormat(); }
    void SetTimeFormat(TimeFormat f);
    // The trackbar's value (0 .. maximum) for the current position.
    int TrackbarValue(int maximum) const;

    void Run();
    void PausePreview();
    void Stop();
    bool Running() const;
    bool Paused() const;
    // The inlay switched on or off from the preferences; when not playing, the shown frame is
    // drawn again (stopped, then paused at the same place).
    void SetInlay(bool on);

    // Gives the file free for a command (message 8 meanwhile) and takes it back.
    void ReleasePreview();
    void ResumePreview();
    // Stops and empties the graph; the module shows nothing.
    void Clear();

    // 0..10000, linear.
    void SetVolume(int volume);
    // The inlay from the preferences at the current frame rate, enabled as "on" says.
    void ConfigureInlay(bool on);

    DateDetectorFilter& Detector() const { return *detector_; }
    InlayFilter& Inlay() const { return *inlay_; }
    PreviewVideoRenderer& VideoRenderer() const { return *videoRenderer_; }
    PreviewAudioRenderer& AudioRenderer() const { return *audioRenderer_; }
    PreviewClock& Clock() const { return *clock_; }
    Graph& GetGraph() { return graph_; }
    // True when the DV splitter took the AVI splitter's stream (type 1) in the last build.
    bool ThroughDvSplitter() const { return throughDvSplitter_; }
    // True while the date detector is in a graph that streams.
    bool DetectorStreaming() const;

  private:
    void reset();
    bool buildDv(const std::string& path);
    bool buildOther(const std::string& path);
    bool addSourceAndSplitter(const std::string& path, bool dv);
    void afterBuild(const files::FileRecord& record);
    // Positions the graph at `at` (in the current format, within 0 .. duration).
    void seekGraph(std::int64_t at);

    const settings::Preferences& prefs_;
    LocaleInfo locale_ = EnglishLocale();
    Graph graph_;
    std::shared_ptr<DateDetectorFilter> detector_;
    std::shared_ptr<InlayFilter> inlay_;
    std::shared_ptr<PreviewClock> clock_;
    std::shared_ptr<PreviewVideoRenderer> videoRenderer_;
    std::shared_ptr<PreviewAudioRenderer> audioRenderer_;
    std::shared_ptr<class FileSourceFilter> source_;
    std::shared_ptr<class SplitterBase> splitter_;
    std::shared_ptr<DvSplitterFilter> dvSplitter_;
    bool video_ = false;
    bool audio_ = false;
    bool active_ = false;
    bool released_ = false;
    bool throughDvSplitter_ = false;
    bool hasPicture_ = false;
    bool atEnd_ = false;  // the position is the end, the graph shows the last frame
    int phase_ = kPhaseNoFile;
    int message_ = kPhaseNoFile;
    double fps_ = 0;
    std::optional<files::FileRecord> record_;  // the file previewed, for resuming
    std::atomic<int> borderSize_{1};
};

}  // namespace kelvor::media
