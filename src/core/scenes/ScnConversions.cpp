#include "core/scenes/ScnConversions.h"

#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/scenes/TextWriters.h"

namespace kelvor::scenes {
namespace {

bool exportScenes(PlainSceneWriter& writer, const SceneList& scenes) {
    for (const SceneEntry& e : scenes)
        writer.AddPlainScene(e.Caption, e.Scene.EndFrame);
    return writer.Finish();
}

}  // namespace

bool ScnToText(const std::string& scnName, const ExportContext& context) {
    SceneList scenes;
    if (!ReadScnFile(scnName, scenes, context.FrameRate))
        return false;
    ScnTextWriter writer(scnName, context);
    return exportScenes(writer, scenes);
}

bool ScnToSpreadsheet(const std::string& scnName, const std::string& spreadsheetName,
                      const ExportContext& context) {
    SceneList scenes;
    if (!ReadScnFile(scnName, scenes, context.FrameRate))
        return false;
    SpreadsheetWriter writer(spreadsheetName, context);
    return exportScenes(writer, scenes);
}

}  // namespace kelvor::scenes
