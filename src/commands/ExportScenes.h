// The scenes of one video as the exports cut and mark it: the file's scn scenes when it has an
// scn file, else its scenes by date; each scene with its frames, the datecode of its first
// dated frame and its caption, and the running datecode of the whole file. Also the names of
// the exported files, from a scene's first datecode through the date-time pattern language.
//
// ReadExportScenes streams the file once through the date detector of the conversion graphs it
// is given, on the caller's thread, which must be the graphs' driving thread (a command's
// execution or the CLI); the detector's callbacks fill the result on the streaming thread and
// the caller reads it only once the graph has stopped. The other functions are pure or only
// look at the file system. Failure: false with the reason in Error, nothing thrown.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"

namespace kelvor::media {
class ConversionGraphs;
}

namespace kelvor::commands {

struct ExportScene {
    std::int32_t FirstFrame = 0;
    std::int32_t LastFrame = 0;  // inclusive
    bool DateValid = false;
    double StartDate = 0;  // datecode of the scene's first dated frame; 0 when it has none
    std::string Caption;   // UTF-8, lines joined by " | "
    std::int32_t FrameCount() const { return LastFrame - FirstFrame + 1; }
};

// From Frame on (until the next step) the frames carry Date, or no valid date.
struct DatecodeStep {
    std::int32_t Frame = 0;
    bool DateValid = false;
    double Date = 0;
};

struct ExportSceneSource {
    std::vector<ExportScene> Scenes;
    std::vector<DatecodeStep> Datecodes;  // in frame order, the first at frame 0
    std::int64_t FrameCount = 0;          // every frame of the stream, damaged ones too
    bool FromScn = false;
    bool TimecodeValid = false;
    dv::Timecode FirstTimecode{};  // of the first readable frame
    std::string Error;
};

struct ExportSceneSettings {
    double FrameRate = 25;
    LocaleInfo Locale = EnglishLocale();
    // The preference "Format pour Afficher Datecode": the datecode text of captions by date.
    std::string DisplayFormat = "ddddd hh:nn:ss";
};

// The scenes of the video at path (UTF-8): from scnPath when it is not empty and reads, else by
// date. A file whose stream gives no frame fails.
// keepGoing, when given, is asked a few times a second; false stops the pass, which then fails
// with "stopped".
bool ReadExportScenes(media::ConversionGraphs& graphs, const std::string& path,
                      const std::string& scnPath, const ExportSceneSettings& settings,
                      ExportSceneSource& out, const std::function<bool()>& keepGoing = {});

// The scenes given by scene end frames (as the scn holds them) fitted to a stream of frameCount
// frames, with their start dates from the running datecode: empty and out-of-stream scenes are
// left out, the last one is cut at the stream's end.
struct ScnScene {
    std::string Caption;
    std::int32_t StartFrame = 0;
    std::int32_t EndFrame = 0;  // exclusive
};
std::vector<ExportScene> FitScenes(const std::vector<ScnScene>& scenes, std::int64_t frameCount,
                                   const std::vector<DatecodeStep>& datecodes);

// The datecode of a frame, or none.
std::optional<double> DatecodeAt(const std::vector<DatecodeStep>& steps, std::int32_t frame);
// The first dated frame at or after first and up to last, with its date.
std::optional<DatecodeStep> FirstDatecodeIn(const std::vector<DatecodeStep>& steps,
                                            std::int32_t first, std::int32_t last);

// The name (without folder and extension) of a scene's export: its start date (plus timeShift,
// in days) through pattern, with the characters a file name cannot hold made '.'; fallback when
// the scene has no date.
std::string ExportBaseName(const ExportScene& scene, const std::string& pattern, double timeShift,
                           const LocaleInfo& locale, const std::string& fallback);

// folder + base + extension, or with "(1)", "(2)"... after base when that path exists or is in
// taken, as the renames do; the path given is added to taken. folder ends in '/' or is empty.
std::string FreeExportPath(const std::string& folder, const std::string& base,
                           const std::string& extension, std::set<std::string>& taken);

}  // namespace kelvor::commands
