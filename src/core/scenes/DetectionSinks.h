// The adapters between the scene detectors' callbacks and the scene writers: for each kind an
// open operation that creates the writer for one video, a callback that turns one detector
// report into one writer call, and a close operation that finishes the writer.
//
// One DetectionSinks object is owned by whoever runs detection graphs (the conversion module)
// and holds at most one writer of each kind; opening a kind replaces (and finishes) its
// previous writer. Open runs on the command's thread before the graph starts; the callbacks run
// on the streaming thread; close runs on the streaming or stopping thread when the detector
// stops. Nothing else may touch the object meanwhile. The sinks do not check their writers: a
// writer that could not create its file writes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/scenes/DateSceneDetector.h"
#include "core/scenes/ExportContext.h"
#include "core/scenes/FrameInfo.h"

namespace kelvor::scenes {

class ScnWriter;
class ScnTextWriter;
class DatedScnTextWriter;
class SrtWriter;
class SpreadsheetWriter;
class DatedSpreadsheetWriter;

struct SinkSettings {
    ExportContext Export;  // frame rate, locale, clock
    // The preference "Format pour Afficher Datecode": the datecode text of captions and lists.
    std::string DisplayFormat = "ddddd hh:nn:ss";
};

// The subtitle preferences, as the subtitle command hands them on.
struct SubtitleSettings {
    int DisplayKind = 0;        // "What Incrust": 0 datecode, 1 timecode
    bool AutoMode = true;       // "Auto Incrust"
    int Trigger = 1;            // "When Incrust": 0 at start, 1 each scene, 2 each day
    double DisplaySeconds = 5;  // "Durée Incrustation"
    std::string DateFormat1;    // "Format pour Incruster Datecode1"
    std::string DateFormat2 = "ddddd hh:nn:ss";  // "Format pour Incruster Datecode2"
    double TimeShift = 0;                        // "Décalage Horaire", in days
};

class DetectionSinks {
  public:
    explicit DetectionSinks(SinkSettings settings = {});
    ~DetectionSinks();  // finishes every open writer
    DetectionSinks(const DetectionSinks&) = delete;
    DetectionSinks& operator=(const DetectionSinks&) = delete;

    // Settings used by writers opened afterwards and by the callbacks.
    void SetSettings(SinkSettings settings) { settings_ = std::move(settings); }
    const SinkSettings& Settings() const { return settings_; }

    // Scn file by date; typeScn is the preference "type scn" (1 narrow, else wide).
    void OpenScnByDate(std::string_view videoPath, int typeScn);
    void ScnSceneEnd(const FrameInfo& sceneStart, const FrameInfo& current);
    bool CloseScn();

    // Extended text list by date.
    void OpenTextByDate(std::string_view videoPath);
    void TextSceneEnd(const FrameInfo& sceneStart, const FrameInfo& current);
    bool CloseTextByDate();

    // Extended spreadsheet by date.
    void OpenSpreadsheetByDate(std::string_view videoPath);
    void SpreadsheetSceneEnd(const FrameInfo& sceneStart, const FrameInfo& current);
    bool CloseSpreadsheetByDate();

    // Subtitle file.
    void OpenSubtitles(std::string_view videoPath);
    void SubtitleLine(const FrameInfo& current, const std::string& line1, const std::string& line2);
    bool CloseSubtitles();

    // Scn file of the content detector, fed with end frames: always the narrow variant, each
    // scene captioned as DefaultSceneCaption gives it. Closed by CloseScn.
    void OpenScnByContent(std::string_view videoPath);
    void ContentScnSceneEnd(std::int32_t endFrame);

    // Plain text list and plain spreadsheet of the content detector, fed with end frames.
    void OpenTextByContent(std::string_view videoPath);
    void ContentTextSceneEnd(std::int32_t endFrame);
    bool CloseTextByContent();
    void OpenSpreadsheetByContent(std::string_view videoPath);
    void ContentSpreadsheetSceneEnd(std::int32_t endFrame);
    bool CloseSpreadsheetByContent();

    // Each opens its sink for the video and points the detector's callbacks at it, with the
    // stream end closing it; the subtitle form also applies the subtitle settings.
    void ConnectScnByDate(DateSceneDetector& detector, std::string_view videoPath, int typeScn);
    void ConnectTextByDate(DateSceneDetector& detector, std::string_view videoPath);
    void ConnectSpreadsheetByDate(DateSceneDetector& detector, std::string_view videoPath);
    void ConnectSubtitles(DateSceneDetector& detector, std::string_view videoPath,
                          const SubtitleSettings& subtitles);

    // Drops every open writer's file unwritten, so the files of a run that failed keep what they
    // held before it.
    void DiscardAll();

    // Why the first writer that failed to close could not write its file; empty when none did.
    const std::string& Error() const { return error_; }

    // The open writers, or null.
    const ScnWriter* ScnSink() const { return scn_.get(); }
    const DatedScnTextWriter* TextWriter() const { return datedText_.get(); }
    const DatedSpreadsheetWriter* SpreadsheetSink() const { return datedSpreadsheet_.get(); }
    const SrtWriter* SubtitleWriter() const { return srt_.get(); }

  private:
    SinkSettings settings_;
    std::string error_;
    std::unique_ptr<ScnWriter> scn_;
    std::unique_ptr<DatedScnTextWriter> datedText_;
    std::unique_ptr<ScnTextWriter> text_;
    std::unique_ptr<SrtWriter> srt_;
    std::unique_ptr<DatedSpreadsheetWriter> datedSpreadsheet_;
    std::unique_ptr<SpreadsheetWriter> excel_;
};

// True when a scene end of the date detector describes a scene with frames in it. A scene end
// at frame 0, or the empty second report of a frame that ended a scene twice, gives none.
bool IsSceneWithFrames(const FrameInfo& sceneStart, const FrameInfo& current);

// The datecode text of a scene's first frame in the display format; empty without a datecode.
std::string SceneDatecodeText(const FrameInfo& sceneStart, const SinkSettings& settings);
// Appends the scene that ends at `current` to a scn file by date, captioned with its number, its
// first datecode and its duration; a scene without frames appends nothing. Kept apart from the
// sinks, so that a program writing only scn files links no spreadsheet library.
void AddDateScene(ScnWriter& scn, const FrameInfo& sceneStart, const FrameInfo& current,
                  const SinkSettings& settings);

}  // namespace kelvor::scenes
