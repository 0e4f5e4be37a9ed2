#include "core/files/DatePattern.h"
#include "core/files/FormatTexts.h"
#include "core/scenes/DetectionSinks.h"
#include "core/scenes/ScnFile.h"

namespace kelvor::scenes {

bool IsSceneWithFrames(const FrameInfo& sceneStart, const FrameInfo& current) {
    return current.FrameNumber != 0 && current.FrameNumber > sceneStart.FrameNumber;
}

std::string SceneDatecodeText(const FrameInfo& sceneStart, const SinkSettings& settings) {
    if (!sceneStart.DateValid)
        return {};
    return FormatDateTime(settings.DisplayFormat, sceneStart.Date, settings.Export.Locale);
}

void AddDateScene(ScnWriter& scn, const FrameInfo& s, const FrameInfo& r,
                  const SinkSettings& settings) {
    if (!IsSceneWithFrames(s, r))
        return;
    const std::string caption =
        "Scene " + std::to_string(scn.ScenesWritten() + 1) + ": " + SceneDatecodeText(s, settings) +
        std::string(kCaptionSeparator) + "Duration = " +
        FormatShortFramePosition(r.FrameNumber - s.FrameNumber, settings.Export.FrameRate);
    scn.AddScene(caption, r.FrameNumber);
}

}  // namespace kelvor::scenes
