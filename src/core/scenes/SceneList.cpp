#include "core/scenes/SceneList.h"

#include "core/files/FormatTexts.h"

namespace kelvor::scenes {
namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace

std::string CaptionToLines(std::string_view caption) {
    return replaceAll(caption, kCaptionSeparator, "\r\n");
}

std::string LinesToCaption(std::string_view lines) {
    return replaceAll(lines, "\r\n", kCaptionSeparator);
}

std::string DefaultSceneCaption(int rank, const SceneRange& scene, double frameRate) {
    return "Scene " + std::to_string(rank) + ": [" +
           FormatFramePosition(scene.StartFrame, frameRate) + "]" + std::string(kCaptionSeparator) +
           "Duration = " + FormatShortFramePosition(scene.Length(), frameRate);
}

std::string ReplaceExtension(std::string_view name, std::string_view ext) {
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool hasExtension =
        dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    std::string out(hasExtension ? name.substr(0, dot) : name);
    out.append(ext);
    return out;
}

}  // namespace kelvor::scenes
