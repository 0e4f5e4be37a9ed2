// The MP4 export of a DV source: H.264 pictures deinterlaced to progressive, AAC sound, a
// timed-text track of the running recording date, the recording date in the forms photo
// libraries read, and one file per scene or one file with a chapter per scene.
//
// The source is read and decoded once for all of its scenes: the frames of a scene go to its own
// output, and consecutive scenes of one picture format share one H.264 encoder, each scene
// starting at a key frame; an output is finished once its last packet is out of the encoder.
// Every output is written beside its target under a temporary name and moved into place once
// complete; a failure or a stop removes the temporary files of the outputs not finished yet, and
// the outputs already finished, or whose pictures were all in, stay.
//
// Threads: one Mp4Exporter runs one export at a time, driven from the caller's thread. Inside the
// call a thread of its own reads and decodes the source ahead of the deinterlacer and encoder,
// each output's sound is encoded on a thread of the output's own, a finished output's trailer is
// written on another while the next scene is encoded, and the encoder runs its own threads; all
// of them have ended when Run returns. The progress callback is called on the caller's thread
// after every frame and stops the export by returning false.
// Failures are values: Run returns false and Error() says why.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/files/DatePattern.h"

namespace kelvor::media {

class InlayFilter;

// One output (per-scene mode) or one chapter (whole mode).
struct Mp4Scene {
    std::int64_t FirstFrame = 0;  // source frame index, from 0
    std::int64_t LastFrame = 0;   // inclusive
    std::string Caption;          // the title (per scene) or the chapter's name
    std::string Output;           // the file of the scene in per-scene mode
    // The recording date of the first frame as a local civil date-time value (days since
    // 1899-12-30); 0 when the scene has none.
    double Recorded = 0;
};

struct Mp4Settings {
    // x264's constant rate factor: 20 keeps DV's noise and detail without the size of lower
    // values (18 is near transparent for DV, 23 is x264's own default and visibly softer).
    int Crf = 20;
    std::string Preset = "medium";
    // One picture per field (50 or 59.94 a second) instead of one per frame.
    bool DoubleRate = false;
    // IANA time zone of the recording ("Europe/Paris"); empty for the system's.
    std::string TimeZone;
    LocaleInfo Locale = EnglishLocale();
    // The recording date burnt into the first InlaySeconds of each scene's pictures (0: none),
    // drawn by an inlay filter that ConfigureInlay sets up (font, place, date formats) before its
    // display length and timed mode are set here; drawing needs a QGuiApplication.
    double InlaySeconds = 0;
    std::function<void(InlayFilter&)> ConfigureInlay;
    int InlayBorder = 1;  // the border of the letters in pixels, 0 to 4
};

struct Mp4Job {
    std::string Source;
    std::vector<Mp4Scene> Scenes;  // in frame order, not overlapping
    // One file (WholeOutput) holding every scene, each a chapter; else one file per scene.
    bool Whole = false;
    std::string WholeOutput;
    std::string WholeCaption;
};

// The UTC time and the local time with its offset of a local recording date in a zone.
struct RecordingTime {
    bool Valid = false;
    std::int64_t UnixSeconds = 0;  // UTC
    std::string Utc;               // "2004-07-14T10:22:33.000000Z"
    std::string Local;             // "2004-07-14T12:22:33+0200"
};
// An unknown zone id or a date that is not valid gives Valid false.
RecordingTime RecordingTimeIn(double localValue, const std::string& timeZone);
// True when the id names a time zone this system knows.
bool KnownTimeZone(const std::string& timeZone);

class Mp4Exporter {
  public:
    // Frames done of the total; false stops the export.
    using Progress = std::function<bool(std::int64_t done, std::int64_t total)>;

    bool Run(const Mp4Job& job, const Mp4Settings& settings, const Progress& progress = {});
    const std::string& Error() const { return error_; }
    // The outputs moved into place by the last run.
    const std::vector<std::string>& Written() const { return written_; }

  private:
    std::string error_;
    std::vector<std::string> written_;
};

}  // namespace kelvor::media
