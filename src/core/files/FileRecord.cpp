#include "core/files/FileRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>

#include "core/avi/AviInfo.h"
#include "core/avi/AviLayout.h"
#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/avi/VideoProperties.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/files/FormatTexts.h"
#include "core/files/Rounding.h"

namespace kelvor::files {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex16(std::uint32_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016X", v);
    return buf;
}

// A struct timespec as a local date-time value with milliseconds; 0 when it cannot be converted.
double LocalTime(const struct timespec& ts) {
    const double unix =
        static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec / 1000000) / 1000.0;
    return UtcToLocal(DateTimeFromUnix(unix)).value_or(0.0);
}

}  // namespace

FileRecordName::FileRecordName(const std::string& fileName) {
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(fileName), ec);
    if (ec)
        full = fs::path(fileName);
    full = full.lexically_normal();
    Name = fs::path(fileName).filename().string();
    FullName = full.string();
    NameKey = Lower(Name + FullName);
}

FileRecordStat::FileRecordStat(const std::string& fileName) : FileRecordName(fileName) {
    struct stat st {};
    if (::stat(FullName.c_str(), &st) != 0)
        return;
    Exists = true;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    SizeHigh = static_cast<std::uint32_t>(size >> 32);
    SizeLow = static_cast<std::uint32_t>(size & 0xFFFFFFFFu);
    Attributes = st.st_mode;
    // Linux has no creation time in stat; the status change time stands in for it.
    Created = LocalTime(st.st_ctim);
    Modified = LocalTime(st.st_mtim);
    Accessed = LocalTime(st.st_atim);
    if (S_ISREG(st.st_mode))
        Container = ContainerOf(FullName);
    SizeKey = Hex16(SizeHigh) + Hex16(SizeLow) + Lower(FullName);
    DateKey = FormatDateTime("yyyymmddhhnnss", Modified) + Lower(FullName);
}

namespace {

// What the video stream's headers say of the display aspect, for frames that do not say it.
struct StreamAspect {
    std::optional<bool> DvInfoWide;
    std::optional<double> PropertiesAspect;
};

StreamAspect streamAspectOf(const avi::AviInfo& info) {
    StreamAspect a;
    const avi::AviStream* v = info.VideoStream();
    if (!v)
        return a;
    // An "iavs" format is the DVINFO itself; a DV "vids" format may carry one after its bitmap
    // header.
    const bool interleaved =
        avi::LoadU32LE(v->StreamHeader, avi::layout::kStrhType) == avi::fcc::kIavs;
    const std::size_t at = interleaved ? 0 : avi::BitmapInfoHeader::kSize;
    if (v->StreamFormat.size() >= at && v->StreamFormat.size() - at >= dv::DvInfo::kSize) {
        avi::ByteReader r(std::span<const std::uint8_t>(v->StreamFormat).subspan(at));
        if (const auto dvInfo = avi::ReadDvInfo(r))
            a.DvInfoWide = dv::WideOfDvInfo(*dvInfo);
    }
    if (const auto properties = avi::ReadVideoProperties(v->VideoPropertiesBytes))
        a.PropertiesAspect = avi::FrameAspect(*properties);
    return a;
}

// 16:9 for a ratio nearer to it than to 4:3.
bool isWideRatio(double ratio) {
    return ratio > (4.0 / 3.0 + 16.0 / 9.0) / 2;
}

}  // namespace

FileRecordMedia::FileRecordMedia(const std::string& fileName, MediaProbe& probe,
                                 const RecordSettings& settings)
    : FileRecordStat(fileName) {
    // Step 3: start values and companions.
    DatecodeText = "-";
    TimecodeText = "-";
    DatecodeKey = kKeyNotDv;
    Standard = 0;
    {
        std::error_code ec;
        fs::path p(FullName);
        HasScn = fs::exists(fs::path(p).replace_extension(".scn"), ec);
        HasSrt = fs::exists(fs::path(p).replace_extension(".srt"), ec);
    }

    // Step 4: header facts from our own reader.
    std::string streamCodec;  // the video stream header's codec code, empty when not located
    bool readable = false;
    StreamAspect streamAspect;
    // Only regular files are opened: opening a FIFO or a device named like a video would block
    // or read without end.
    const bool regular = Exists && S_ISREG(Attributes);
    if (!Exists)
        ReadError = "the file is not found";
    else if (!regular)
        ReadError = "not a regular file";
    try {
        if (!regular)
            throw std::runtime_error(ReadError);
        avi::AviInfo param(FullName);
        if (param.Valid) {
            readable = true;
            Codec = param.VideoCodec();
            if (param.VideoStream())
                streamCodec = Codec;
            streamAspect = streamAspectOf(param);
        }
    } catch (const std::exception& e) {
        readable = false;
        ReadError = e.what();
    }
    if (!readable) {
        TimecodeText.clear();
        DatecodeText.clear();
        DatecodeKey = kKeyUnreadable;
        Codec.clear();
    }

    // Step 5: probe; a failing probe gets a second chance with the standard DV code, in memory
    // only, when a video stream header exists and holds another code.
    bool ok = regular && probe.ProbeFile(FullName, false);
    if (regular && !ok && !streamCodec.empty() && streamCodec != "dvsd")
        ok = probe.ProbeFile(FullName, true);
    if (!ok && streamCodec != "dvsd") {
        TimecodeText.clear();
        DatecodeText.clear();
        DatecodeKey = kKeyUnreadable;
    }
    const ProbeResult none;
    const ProbeResult& r = regular ? probe.Result() : none;
    if (ReadError.empty() && !ok)
        ReadError = r.Error;

    // Step 6: video.
    std::int64_t frameDuration = 0;
    bool height60 = false;
    if (r.VideoFound) {
        const ProbeVideoFormat& v = r.VideoFormat;
        const std::string code = avi::FourccToText(v.bmiHeader.biCompression);
        if (std::all_of(code.begin(), code.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x20; }))
            Codec = code;
        AspectText.clear();
        Width = v.bmiHeader.biWidth;
        Height = v.bmiHeader.biHeight;
        ImageText = std::to_string(Width) + " x " + std::to_string(Height);
        height60 = Height != 0 && Height % 60 == 0;
        frameDuration = v.AvgTimePerFrame;
        VideoBitRate = v.dwBitRate;
        // A zero frame duration leaves the rate, count and duration texts at their zero values.
        if (frameDuration > 0) {
            Fps = static_cast<double>(RoundHalfEven(1e9 / static_cast<double>(frameDuration))) /
                  100.0;
            FrameCount = static_cast<std::int32_t>(RoundHalfEven(
                static_cast<double>(r.VideoDuration) / static_cast<double>(frameDuration)));
            DurationText = FormatDuration(r.VideoDuration, frameDuration);
        }
    } else {
        Codec.clear();
        ImageText = "N/A";
        Fps = 0;
    }

    // Step 7: audio.
    if (r.AudioFound) {
        const avi::WaveFormatEx& a = r.AudioFormat;
        const std::uint16_t channels = a.nChannels;
        SampleRate = a.nSamplesPerSec;
        SampleBits = a.wBitsPerSample;
        Channels = channels;
        AudioText = std::to_string(SampleRate) + "Hz ";
        if (SampleBits > 0)
            AudioText += std::to_string(SampleBits) + " bits ";
        if (channels == 0)
            ChannelsText = "no channel";
        else if (channels == 1)
            ChannelsText = " mono";
        else if (channels == 2)
            ChannelsText = " stereo";
        else
            ChannelsText = " stereo (" + std::to_string(channels) + ")";
        AudioText += ChannelsText;
        AudioFormatText =
            WaveFormatName(a.wFormatTag) + " " + std::to_string(a.nAvgBytesPerSec) + " bytes/s";
        if (Fps != 0)
            AudioDurationText = FormatDuration(r.AudioDuration, RoundHalfEven(1e7 / Fps));
        else
            AudioDurationText = FormatDurationMs(r.AudioDuration);
    } else {
        AudioText = "N/A";
        Channels = 0;
        AudioFormatText.clear();
        AudioDurationText.clear();
    }

    // Step 8.
    if (AudioText == "N/A" && ImageText == "N/A")
        DatecodeKey = kKeyUnreadable;

    // Step 9: DV.
    IsDV = r.PassedDetector;
    if (IsDV) {
        if (r.InterleavedFound) {
            DVType = r.StreamCount < 2 ? 1 : 2;
            IavsType2 = DVType == 2;
            DVVAuxSource = r.DVInfo.dwDVVAuxSrc;
            if (!dv::Is625Lines(DVVAuxSource)) {
                ImageText += " (NTSC";
                Standard = 2;
                Fps = 30000.0 / 1001.0;
            } else {
                ImageText += " (Pal";
                Standard = 1;
                Fps = 25;
            }
        } else {
            DVType = 2;
            if (height60) {
                ImageText += " (NTSC";
                Standard = 2;
            } else {
                ImageText += " (Pal";
                Standard = 1;
            }
        }
        // A frame without the source-control pack (some camcorders, converted files, a damaged
        // first frame) leaves the aspect to what the stream's headers say.
        if (r.ProbeAspectFound) {
            Wide = r.ProbeWide;
            AspectFrom = AspectSource::Frame;
        } else if (streamAspect.DvInfoWide) {
            Wide = *streamAspect.DvInfoWide;
            AspectFrom = AspectSource::DvInfo;
        } else if (streamAspect.PropertiesAspect) {
            Wide = isWideRatio(*streamAspect.PropertiesAspect);
            AspectFrom = AspectSource::VideoProperties;
        } else if (r.ContainerAspect > 0) {
            Wide = isWideRatio(r.ContainerAspect);
            AspectFrom = AspectSource::Container;
        } else {
            Wide = false;
            AspectFrom = AspectSource::Default;
        }
        AspectText = Wide ? " 16x9)" : " 4x3)";
        Height = Wide ? Width * 9 / 16 : Width * 3 / 4;
        if (r.DatecodeValid) {
            Datecode = r.ProbeDatecode;
            DatecodeText =
                FormatDateTime(settings.DisplayDatecodeFormat, Datecode, settings.Locale);
            DatecodeValid = !DatecodeText.empty();
            if (DatecodeText.empty())
                DatecodeText = "N/A";
        } else {
            DatecodeText = "N/A";
        }
        if (SampleRate == 32000 && SampleBits == 16)
            AudioText = "32000Hz 12(16) bits " + ChannelsText;
        if (r.TimecodeValid) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.2d.%.2d.%.2d.%.2d", r.ProbeTimecode.Hours,
                          r.ProbeTimecode.Minutes, r.ProbeTimecode.Seconds, r.ProbeTimecode.Frames);
            TimecodeText = buf;
            Timecode = r.ProbeTimecode;
            TimecodeValid = true;
        } else {
            TimecodeText = "N/A";
        }
        DatecodeKey = r.DatecodeValid ? FormatDateTime("yyyymmddhhnnss", Datecode) : "N/A";
    }

    // Step 10.
    DatecodeSortKey = DatecodeKey + Lower(Name + FullName);
}

}  // namespace kelvor::files
