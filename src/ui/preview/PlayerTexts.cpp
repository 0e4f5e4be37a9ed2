#include "ui/preview/PlayerTexts.h"

#include "core/files/DisplayStyle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kelvor::ui {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr int kNameHeight = 13;
constexpr int kMinNameHeight = 11;  // 8 points at 96 dots per inch

}  // namespace

std::vector<std::string> MessageLines(int code, const files::FileRecord& r) {
    std::vector<std::string> lines = {"", "", "Video not available"};
    const std::string full = lower(r.FullName);
    const auto add = [&](std::initializer_list<std::string> more) {
        lines.insert(lines.end(), more);
    };
    switch (code) {
        case 1:
            add({"The file", "", full, "is not found"});
            break;
        case 2:
            if (r.Codec != "dvsd")
                add({"The file ", full,
                     "seems to have a non standard DV codec. To show the video, try to change "
                     "the codec \"" +
                         r.Codec + "\" to \"dvsd\""});
            else
                add({"The file ", full,
                     "seems not to be a correct dvsd DV file. It's impossible to play"});
            break;
        case 3:
            add({"The file", "", full, "has only Audio streams"});
            break;
        case 4:
            add({"The file ", "", lower(baseName(r.FullName.empty() ? r.Name : r.FullName)),
                 "seems not to be a correct AVI file"});
            break;
        case 5:
        case 6:
        case 7:
            add({" There is no directshow filter on your system that can decompress the", "",
                 "codec " + r.Codec});
            if (code == 5)
                add({"", "You may listen to Audio"});
            else if (code == 6)
                add({"", "Unknown Audio"});
            break;
        case 8:
            add({" Video temporarily interrupted", "to execute a command", "",
                 r.Name.empty() ? baseName(r.FullName) : r.Name});
            break;
        default:
            break;
    }
    return lines;
}

StatusTexts TickTexts(const scenes::FrameInfo* frame, const files::FileRecord& record,
                      const std::string& displayFormat, const LocaleInfo& locale) {
    StatusTexts t;
    if (!frame) {
        t.Datecode = t.Timecode = "-";
        return t;
    }
    const scenes::FrameInfo& f = *frame;
    if (record.DVType == 1) {
        if (f.Channels == 0) {
            t.Audio = "N/A";
        } else {
            t.Audio =
                std::to_string(f.SampleRate) + "Hz " + std::to_string(f.Quantization) + "bits";
            switch (f.Channels) {
                case 1:
                    t.Audio += " mono";
                    break;
                case 2:
                    t.Audio += " stereo";
                    break;
                case 3:
                    t.Audio += " 3 channels";
                    break;
                case 4:
                    t.Audio += " stereo(2x)";
                    break;
                default:
                    break;
            }
        }
        const std::int64_t rate = std::int64_t{f.SampleRate} * f.Channels * f.Quantization / 8;
        if (rate >= 8)
            t.DataRate = "PCM " + std::to_string(rate) + " bytes/s";
    }
    if (!record.AspectText.empty())
        t.Image = record.ImageText + (f.Widescreen == 1 ? " 16x9)" : " 4x3)");
    if (f.DateValid) {
        t.Datecode = files::DisplayDateTime(f.Date, displayFormat, locale);
        if (t.Datecode.empty())
            t.Datecode = "N/A";
    } else {
        t.Datecode = "N/A";
    }
    if (f.TimecodeValid) {
        const bool ntsc = f.Standard == dv::kStandardNtsc || (f.Standard == dv::kStandardUnknown &&
                                                              record.Standard == dv::kStandardNtsc);
        t.Timecode = files::TapeTimecodeText(f.Timecode, ntsc);
    } else {
        t.Timecode = "N/A";
    }
    return t;
}

int NameFontHeight(int textWidth, int bevelWidth) {
    const int room = bevelWidth - 10;
    if (textWidth <= room || textWidth <= 0)
        return kNameHeight;
    return std::max(room * kNameHeight / textWidth, kMinNameHeight);
}

std::int64_t NextSceneStart(const scenes::SceneList& scenes, std::int64_t frame,
                            std::int64_t frameCount) {
    for (const auto& s : scenes)
        if (s.Scene.StartFrame > frame)
            return s.Scene.StartFrame;
    return frameCount;
}

std::int64_t PreviousSceneStart(const scenes::SceneList& scenes, std::int64_t frame) {
    std::int64_t found = 0;
    for (const auto& s : scenes)
        if (s.Scene.StartFrame < frame)
            found = s.Scene.StartFrame;
    return found;
}

}  // namespace kelvor::ui
