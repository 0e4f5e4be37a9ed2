// The scene list of one video: ordered (caption, scene) entries, shared by the scene editor, the
// exports, the player's scene stepping and the cut-into-scenes command.
//
// Plain values: the list owns its scenes by holding them; copy or move it freely. Not
// synchronised: one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::scenes {

// A half-open frame range [StartFrame, EndFrame) counted from frame 0 of the video.
struct SceneRange {
    std::int32_t StartFrame = 0;
    std::int32_t EndFrame = 0;
    std::int32_t Length() const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(EndFrame) -
                                         static_cast<std::uint32_t>(StartFrame));
    }
    friend bool operator==(const SceneRange&, const SceneRange&) = default;
};

struct SceneEntry {
    std::string Caption;  // UTF-8, one line: line breaks are held as " | "
    SceneRange Scene;
    friend bool operator==(const SceneEntry&, const SceneEntry&) = default;
};

using SceneList = std::vector<SceneEntry>;

// The in-memory separator of caption lines.
inline constexpr std::string_view kCaptionSeparator = " | ";

// Every " | " becomes CR LF, as captions are stored in files.
std::string CaptionToLines(std::string_view caption);
// Every CR LF becomes " | ", as captions are held in memory.
std::string LinesToCaption(std::string_view lines);

// "Scene 3: [00.01.02.03] | Duration = 10.00" at the given frame rate.
std::string DefaultSceneCaption(int rank, const SceneRange& scene, double frameRate);

// The name with its extension (from the last dot after the last slash) replaced by ext, or ext
// appended when the name has none: "a/holiday.avi" with ".scn" gives "a/holiday.scn".
std::string ReplaceExtension(std::string_view name, std::string_view ext);

}  // namespace kelvor::scenes
