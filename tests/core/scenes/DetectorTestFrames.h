// DV frames with chosen datecodes, timecodes and formats for the scene detector tests, and a
// recorder of the detector's reports.
#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/files/DateTime.h"
#include "core/scenes/DateSceneDetector.h"
#include "support/DvFrameBuilder.h"

namespace kelvor::scenes::test {

// 15 March 2004, 10:00:00.
inline const double kBaseDate = *EncodeDateTime({2004, 3, 15, 10, 0, 0, 0});

struct FrameSpec {
    std::optional<long long> Seconds;  // datecode as seconds after kBaseDate; none: no date packs
    bool Wide = false;
    bool Format = true;  // audio source and video control packs present
    int RateCode = 0;    // 0 = 48 kHz, 1 = 44.1 kHz, 2 = 32 kHz
    std::optional<dv::Timecode> Timecode;
    int Sequences = dv::kSequences625;

    FrameSpec& date(long long seconds) {
        Seconds = seconds;
        return *this;
    }
    FrameSpec& wide() {
        Wide = true;
        return *this;
    }
    FrameSpec& noFormat() {
        Format = false;
        return *this;
    }
    FrameSpec& rate(int code) {
        RateCode = code;
        return *this;
    }
    FrameSpec& timecode(dv::Timecode t) {
        Timecode = t;
        return *this;
    }
    FrameSpec& ntsc() {
        Sequences = dv::kSequences525;
        return *this;
    }
};

inline std::vector<std::uint8_t> makeFrame(const FrameSpec& f) {
    kelvor::test::DvFrameBuilder b(f.Sequences);
    using B = kelvor::test::DvFrameBuilder;
    if (f.Seconds) {
        const auto d = *DecodeDateTime(kBaseDate + static_cast<double>(*f.Seconds) * kOneSecond);
        b.pack(0, B::kVaux(3, 0), kelvor::test::datePack(d.Year % 100, d.Month, d.Day));
        b.pack(0, B::kVaux(3, 1), kelvor::test::timePack(d.Hour, d.Minute, d.Second));
    }
    if (f.Format) {
        b.pack(0, B::kVaux(3, 2), kelvor::test::videoControlPack(f.Wide));
        b.aaux(0, 0, kelvor::test::audioSourcePack(f.RateCode, 0));
    }
    if (f.Timecode) {
        const auto& t = *f.Timecode;
        b.pack(0, B::kSubcode(1, 0),
               kelvor::test::timecodePack(t.Hours, t.Minutes, t.Seconds, t.Frames));
    }
    return std::move(b.bytes());
}

// Frames [first, last] made by make(frame index).
template <typename Make>
void addFrames(std::vector<FrameSpec>& frames, int count, Make make) {
    const int first = static_cast<int>(frames.size());
    for (int i = first; i < first + count; ++i)
        frames.push_back(make(i));
}

struct Recorder {
    std::vector<std::pair<int, int>> sceneEnds;  // (scene-start frame, current frame)
    std::vector<std::tuple<int, std::string, std::string>> subtitles;
    int streamEnds = 0;

    void attach(DateSceneDetector& d, bool subtitlesToo = true) {
        d.OnSceneEnd = [this](const FrameInfo& s, const FrameInfo& r) {
            sceneEnds.emplace_back(s.FrameNumber, r.FrameNumber);
        };
        d.OnStreamEnd = [this] { ++streamEnds; };
        if (subtitlesToo)
            d.SetSubtitleSink(
                [this](const FrameInfo& r, const std::string& a, const std::string& b) {
                    subtitles.emplace_back(r.FrameNumber, a, b);
                });
    }
};

// Streams the frames through the detector; per-frame observation after each sample.
template <typename Observe>
void stream(DateSceneDetector& d, const std::vector<FrameSpec>& frames, Observe observe) {
    d.StartStreaming();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        d.ProcessSample(makeFrame(frames[i]));
        observe(static_cast<int>(i));
    }
}
inline void stream(DateSceneDetector& d, const std::vector<FrameSpec>& frames) {
    stream(d, frames, [](int) {});
}

}  // namespace kelvor::scenes::test
