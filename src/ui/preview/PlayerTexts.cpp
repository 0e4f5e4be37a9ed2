#include "ui/preview/PlayerTexts.h"

#include <QCoreApplication>

#include "core/files/DisplayStyle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kelvor::ui {
namespace {

// The messages in the interface's language.
struct PlayerMessages {
    Q_DECLARE_TR_FUNCTIONS(PlayerMessages)
};

std::string S(const QString& text) {
    return text.toStdString();
}

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
    std::vector<std::string> lines = {"", "", S(PlayerMessages::tr("Video not available"))};
    const std::string full = lower(r.FullName);
    const auto add = [&](std::initializer_list<std::string> more) {
        lines.insert(lines.end(), more);
    };
    switch (code) {
        case 1:
            add({S(PlayerMessages::tr("The file")), "", full,
                 S(PlayerMessages::tr("is not found"))});
            break;
        case 2:
            if (r.Codec != "dvsd")
                add({S(PlayerMessages::tr("The file ")), full,
                     S(PlayerMessages::tr(
                           "seems to have a non standard DV codec. To show the video, try to "
                           "change the codec \"%1\" to \"dvsd\"")
                           .arg(QString::fromStdString(r.Codec)))});
            else
                add({S(PlayerMessages::tr("The file ")), full,
                     S(PlayerMessages::tr(
                         "seems not to be a correct dvsd DV file. It's impossible to play"))});
            break;
        case 3:
            add({S(PlayerMessages::tr("The file")), "", full,
                 S(PlayerMessages::tr("has only Audio streams"))});
            break;
        case 4:
            add({S(PlayerMessages::tr("The file ")), "",
                 lower(baseName(r.FullName.empty() ? r.Name : r.FullName)),
                 S(PlayerMessages::tr("seems not to be a correct AVI file"))});
            break;
        case 5:
        case 6:
        case 7:
            add({S(PlayerMessages::tr(
                     " There is no directshow filter on your system that can decompress the")),
                 "", S(PlayerMessages::tr("codec %1").arg(QString::fromStdString(r.Codec)))});
            if (code == 5)
                add({"", S(PlayerMessages::tr("You may listen to Audio"))});
            else if (code == 6)
                add({"", S(PlayerMessages::tr("Unknown Audio"))});
            break;
        case 8:
            add({S(PlayerMessages::tr(" Video temporarily interrupted")),
                 S(PlayerMessages::tr("to execute a command")), "",
                 r.Name.empty() ? baseName(r.FullName) : r.Name});
            break;
        default:
            break;
    }
    return lines;
}

std::string SoundText(int sampleRate, int bits, int channels, bool dv12) {
    if (channels <= 0)
        return "N/A";
    if (dv12 && sampleRate == 32000 && bits == 16)
        bits = 12;
    // 44.1 kHz keeps its decimal; the DV rates are whole kilohertz.
    std::string rate = std::to_string(sampleRate / 1000);
    if (sampleRate % 1000 != 0)
        rate += "." + std::to_string(sampleRate % 1000 / 100);
    std::string text = rate + " kHz";
    if (bits > 0)
        text += " " + S(PlayerMessages::tr("%1-bit").arg(bits));
    switch (channels) {
        case 1:
            return text + " " + S(PlayerMessages::tr("mono"));
        case 2:
            return text + " " + S(PlayerMessages::tr("stereo"));
        case 4:
            return text + " " + S(PlayerMessages::tr("stereo (2x)"));
        default:
            return text + " " + S(PlayerMessages::tr("%1 channels").arg(channels));
    }
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
        t.Audio = SoundText(static_cast<int>(f.SampleRate), f.Quantization, f.Channels);
        const std::int64_t rate = std::int64_t{f.SampleRate} * f.Channels * f.Quantization / 8;
        if (rate >= 8)
            t.DataRate = "PCM " + std::to_string(rate) + " bytes/s";
    }
    // A frame without its aspect pack shows the file's aspect, as the picture is drawn.
    if (!record.AspectText.empty())
        t.Image = record.ImageText + (f.Widescreen == 1 ? std::string(" 16x9)")
                                      : f.AspectFound   ? std::string(" 4x3)")
                                                        : record.AspectText);
    if (f.DateValid) {
        t.Datecode = files::DisplayDateTime(f.Date, displayFormat, locale);
        if (t.Datecode.empty())
            t.Datecode = "N/A";
    } else {
        t.Datecode = "N/A";
    }
    if (f.TimecodeValid) {
        t.Timecode = files::TapeTimecodeText(f.Timecode, f.Timecode.DropFrame);
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
