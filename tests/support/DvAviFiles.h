// DV material for the AVI tests: distinct synthetic frames, real camcorder frames, raw DV made by
// ffmpeg, and the files of our writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/avi/AviWriter.h"
#include "support/AviBuilder.h"
#include "support/DvFrameBuilder.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::test {

// Frame i of a synthetic DV stream: a PAL or NTSC frame whose DIF data carry the frame number,
// so a frame read back can be told from its neighbours.
inline Bytes SyntheticFrame(int i, bool pal = true) {
    DvFrameBuilder b(pal ? dv::kSequences625 : dv::kSequences525);
    auto& bytes = b.bytes();
    for (std::size_t off = 1000; off + 8 < bytes.size(); off += 997) {
        bytes[off] = static_cast<std::uint8_t>(i);
        bytes[off + 1] = static_cast<std::uint8_t>(i >> 8);
    }
    return bytes;
}

// PCM for one frame of audio stream s: 1920 (PAL) or 1602 (NTSC) stereo 16-bit samples.
inline Bytes SyntheticPcm(int frame, int stream, bool pal = true) {
    Bytes b(static_cast<std::size_t>(pal ? 1920 : 1602) * 4);
    for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = static_cast<std::uint8_t>(frame * 7 + stream * 13 + k);
    return b;
}

// The frames of a raw DV file.
inline std::vector<Bytes> SplitFrames(const Bytes& raw) {
    std::vector<Bytes> frames;
    if (raw.size() < 4)
        return frames;
    const std::size_t size = (raw[3] & 0x80) ? dv::kFrameSize625 : dv::kFrameSize525;
    for (std::size_t off = 0; off + size <= raw.size(); off += size)
        frames.emplace_back(raw.begin() + static_cast<std::ptrdiff_t>(off),
                            raw.begin() + static_cast<std::ptrdiff_t>(off + size));
    return frames;
}

inline std::vector<Bytes> RealNtscFrames() {
    return SplitFrames(ReadBytes(std::string(KELVOR_TESTDATA_DIR) + "/dv-real/sony_5frames.dv"));
}

// Raw DV made by ffmpeg's encoder (test picture and a tone); none without ffmpeg.
inline std::optional<std::string> MakeRawDv(const TempDir& dir, bool pal, int frames) {
    if (!ToolAvailable("ffmpeg"))
        return std::nullopt;
    const std::string name = pal ? "raw-pal.dv" : "raw-ntsc.dv";
    const std::string size = pal ? "720x576" : "720x480";
    const std::string rate = pal ? "25" : "30000/1001";
    const auto r = RunTool({"ffmpeg",   "-v",
                            "error",    "-y",
                            "-f",       "lavfi",
                            "-i",       "testsrc=size=" + size + ":rate=" + rate,
                            "-f",       "lavfi",
                            "-i",       "sine=r=48000",
                            "-t",       std::to_string(frames * (pal ? 0.04 : 1001.0 / 30000)),
                            "-c:v",     "dvvideo",
                            "-pix_fmt", pal ? "yuv420p" : "yuv411p",
                            "-c:a",     "pcm_s16le",
                            "-ac",      "2",
                            "-f",       "dv",
                            name},
                           dir.path());
    if (r.exitCode != 0)
        return std::nullopt;
    return dir.file(name);
}

// Writes frames (and, for type 2, one PCM chunk per frame per audio stream) with our writer.
inline bool WriteDvAvi(const std::string& path, const std::vector<Bytes>& frames, avi::DvType type,
                       bool pal, int audioStreams = 1,
                       std::uint64_t riffLimit = avi::kDefaultRiffLimit) {
    avi::AviWriterConfig c;
    c.Type = type;
    c.System = pal ? avi::TvSystem::Pal : avi::TvSystem::Ntsc;
    if (type == avi::DvType::Type2)
        for (int s = 0; s < audioStreams; ++s)
            c.Audio.push_back(avi::WaveFormat{});
    c.RiffLimit = riffLimit;
    if (!frames.empty())
        c.DvInfoBytes = avi::DvInfoFromFrame(frames[0]);
    avi::AviWriter w;
    if (!w.open(path, c))
        return false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (!w.writeVideoFrame(frames[i]))
            return false;
        if (type == avi::DvType::Type2)
            for (int s = 0; s < audioStreams; ++s)
                if (!w.writeAudio(SyntheticPcm(static_cast<int>(i), s, pal),
                                  static_cast<std::size_t>(s)))
                    return false;
    }
    return w.close();
}

}  // namespace kelvor::test
