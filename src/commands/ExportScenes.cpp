#include "commands/ExportScenes.h"

#include <algorithm>
#include <mutex>
#include <string_view>

#include "commands/FileRename.h"
#include "core/files/FormatTexts.h"
#include "core/scenes/DetectionSinks.h"
#include "core/scenes/ScnFile.h"
#include "media/engine/Graph.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/graphs/ConversionGraphs.h"

namespace kelvor::commands {
namespace {

// The characters a file name cannot hold on the systems the videos travel to (as the renames).
constexpr std::string_view kForbidden = "<>:\"/\\|";
constexpr int kWaitSliceMs = 250;
// Every second of the date appears in this pattern, so the detector reports each change of date.
constexpr std::string_view kStepPattern = "yyyymmddhhnnss";

// What the detector's callbacks collect on the streaming thread.
struct Collected {
    std::mutex mutex;  // guards everything below
    std::vector<DatecodeStep> steps{{0, false, 0}};
    std::vector<ExportScene> byDate;
    bool timecodeSeen = false;
    bool timecodeValid = false;
    dv::Timecode timecode{};
    std::int64_t frames = 0;
};

void AddStep(std::vector<DatecodeStep>& steps, const DatecodeStep& step) {
    if (!steps.empty() && steps.back().Frame == step.Frame)
        steps.pop_back();
    if (!steps.empty() && steps.back().DateValid == step.DateValid &&
        steps.back().Date == step.Date)
        return;
    steps.push_back(step);
}

}  // namespace

std::optional<double> DatecodeAt(const std::vector<DatecodeStep>& steps, std::int32_t frame) {
    const auto after =
        std::upper_bound(steps.begin(), steps.end(), frame,
                         [](std::int32_t f, const DatecodeStep& s) { return f < s.Frame; });
    if (after == steps.begin())
        return std::nullopt;
    const DatecodeStep& s = *(after - 1);
    return s.DateValid ? std::optional<double>(s.Date) : std::nullopt;
}

std::optional<DatecodeStep> FirstDatecodeIn(const std::vector<DatecodeStep>& steps,
                                            std::int32_t first, std::int32_t last) {
    if (const auto d = DatecodeAt(steps, first))
        return DatecodeStep{first, true, *d};
    for (const DatecodeStep& s : steps)
        if (s.Frame > first && s.Frame <= last && s.DateValid)
            return s;
    return std::nullopt;
}

std::vector<ExportScene> FitScenes(const std::vector<ScnScene>& scenes, std::int64_t frameCount,
                                   const std::vector<DatecodeStep>& datecodes) {
    std::vector<ExportScene> out;
    for (const ScnScene& s : scenes) {
        const std::int64_t first = std::max<std::int64_t>(s.StartFrame, 0);
        const std::int64_t end = std::min<std::int64_t>(s.EndFrame, frameCount);
        if (end <= first)
            continue;
        ExportScene e;
        e.FirstFrame = static_cast<std::int32_t>(first);
        e.LastFrame = static_cast<std::int32_t>(end - 1);
        e.Caption = s.Caption;
        if (const auto d = FirstDatecodeIn(datecodes, e.FirstFrame, e.LastFrame)) {
            e.DateValid = true;
            e.StartDate = d->Date;
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool ReadExportScenes(media::ConversionGraphs& graphs, const std::string& path,
                      const std::string& scnPath, const ExportSceneSettings& settings,
                      ExportSceneSource& out, const std::function<bool()>& keepGoing) {
    out = ExportSceneSource{};
    scenes::SceneList scn;
    const bool haveScn = !scnPath.empty() && PathTaken(scnPath) &&
                         scenes::ReadScnFile(scnPath, scn, settings.FrameRate) && !scn.empty();

    if (!graphs.BuildDateScenesGraph(path)) {
        out.Error = graphs.BuildError();
        return false;
    }
    Collected c;
    scenes::DateSceneDetector& d = graphs.DateDetector().Detector();
    d.SetLocale(settings.Locale);
    d.SetAutoMode(false);
    d.SetDisplayKind(static_cast<int>(scenes::SubtitleKind::Datecode));
    d.SetDateFormats(kStepPattern, kStepPattern);
    d.SetSubtitleSink([&c](const scenes::FrameInfo& f, const std::string&, const std::string&) {
        const std::lock_guard lock(c.mutex);
        AddStep(c.steps, {f.FrameNumber, f.DateValid, f.DateValid ? f.Date : 0});
    });
    d.OnSceneEnd = [&c, &settings](const scenes::FrameInfo& s, const scenes::FrameInfo& r) {
        if (!scenes::IsSceneWithFrames(s, r))
            return;
        const std::lock_guard lock(c.mutex);
        if (!c.timecodeSeen) {
            c.timecodeSeen = true;
            c.timecodeValid = s.TimecodeValid;
            c.timecode = s.Timecode;
        }
        ExportScene e;
        e.FirstFrame = s.FrameNumber;
        e.LastFrame = r.FrameNumber - 1;
        e.DateValid = s.DateValid;
        e.StartDate = s.DateValid ? s.Date : 0;
        // The caption the scn by date would hold.
        e.Caption = "Scene " + std::to_string(c.byDate.size() + 1) + ": " +
                    (s.DateValid ? FormatDateTime(settings.DisplayFormat, s.Date, settings.Locale)
                                 : std::string()) +
                    std::string(scenes::kCaptionSeparator) + "Duration = " +
                    FormatShortFramePosition(r.FrameNumber - s.FrameNumber, settings.FrameRate);
        c.byDate.push_back(std::move(e));
    };
    d.OnStreamEnd = [&c, &d] {
        const std::lock_guard lock(c.mutex);
        c.frames = d.SampleCount();
    };
    graphs.RemoveReferenceClock();
    bool ran = !graphs.Run().failed();
    if (ran) {
        int code = 0;
        media::Status hr = media::Code::Ok;
        const auto stopped = [&keepGoing] { return keepGoing && !keepGoing(); };
        while (!graphs.fg()->WaitForCompletion(kWaitSliceMs, code, hr) && !stopped()) {
        }
        // An abort may also end the wait early: what was read so far is no scene list.
        if (stopped()) {
            graphs.Stop();
            d.OnSceneEnd = nullptr;
            d.OnStreamEnd = nullptr;
            out.Error = "stopped";
            return false;
        }
        ran = !hr.failed();
    }
    graphs.Stop();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    const std::string failure = graphs.RunFailure();
    if (!ran || !failure.empty()) {
        out.Error = failure.empty() ? "the file cannot be read" : failure;
        return false;
    }

    const std::lock_guard lock(c.mutex);
    out.FrameCount = c.frames;
    if (out.FrameCount <= 0) {
        out.Error = "the file has no DV frame";
        return false;
    }
    out.Datecodes = std::move(c.steps);
    while (out.Datecodes.size() > 1 && out.Datecodes.back().Frame >= out.FrameCount)
        out.Datecodes.pop_back();
    out.TimecodeValid = c.timecodeValid;
    out.FirstTimecode = c.timecode;
    if (haveScn) {
        std::vector<ScnScene> fromScn;
        for (const scenes::SceneEntry& e : scn)
            fromScn.push_back({e.Caption, e.Scene.StartFrame, e.Scene.EndFrame});
        out.Scenes = FitScenes(fromScn, out.FrameCount, out.Datecodes);
        out.FromScn = !out.Scenes.empty();
    }
    if (!out.FromScn) {
        out.Scenes = std::move(c.byDate);
        // A scene that begins on frames without a date (damage) is dated by its first dated
        // frame; its caption stays the one the scn by date holds.
        for (ExportScene& e : out.Scenes)
            if (!e.DateValid)
                if (const auto d = FirstDatecodeIn(out.Datecodes, e.FirstFrame, e.LastFrame)) {
                    e.DateValid = true;
                    e.StartDate = d->Date;
                }
    }
    if (out.Scenes.empty())
        out.Scenes.push_back({0, static_cast<std::int32_t>(out.FrameCount - 1), false, 0, {}});
    return true;
}

std::string ExportBaseName(const ExportScene& scene, const std::string& pattern, double timeShift,
                           const LocaleInfo& locale, const std::string& fallback) {
    std::string text =
        scene.DateValid ? FormatDateTime(pattern, scene.StartDate + timeShift, locale) : fallback;
    if (text.empty())
        text = fallback;
    for (char& ch : text)
        if (kForbidden.find(ch) != std::string_view::npos)
            ch = '.';
    return text;
}

std::string FreeExportPath(const std::string& folder, const std::string& base,
                           const std::string& extension, std::set<std::string>& taken) {
    const std::string candidate =
        folder +
        FirstFreeBase(base,
                      [&](const std::string& b) {
                          const std::string path = folder + b + extension;
                          return PathTaken(path) || taken.count(path) != 0;
                      }) +
        extension;
    taken.insert(candidate);
    return candidate;
}

}  // namespace kelvor::commands
