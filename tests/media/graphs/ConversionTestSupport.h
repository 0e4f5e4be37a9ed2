// What the conversion graph tests share: running a built graph to its end, reading the DV frames
// and the sound of an output back (our demuxer, and ffmpeg/ffprobe/mediainfo as independent
// readers), and comparing DV frames byte for byte except the parts a graph may rewrite.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"
#include "media/engine/Graph.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/graphs/ConversionGraphs.h"
#include "support/AviBuilder.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::test {

inline std::string MakeDvFile(const TempDir& dir, const std::string& name,
                              const std::string& description) {
    const std::string path = (dir / name).string();
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
    return path;
}

// Runs the graph the module built, unpaced, to its end; the failure, empty when it completed.
inline std::string RunToEnd(media::ConversionGraphs& graphs,
                            std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    graphs.RemoveReferenceClock();
    if (graphs.Run().failed()) {
        const std::string why = graphs.RunFailure();
        graphs.Stop();
        return why.empty() ? "the graph did not start" : why;
    }
    int code = 0;
    media::Status hr = media::Code::Ok;
    const bool done = graphs.fg()->WaitForCompletion(static_cast<int>(limit.count()), code, hr);
    graphs.Stop();
    if (!done)
        return "the graph did not complete";
    return graphs.RunFailure();
}

// The chunks of one stream of an AVI file, in order.
inline std::vector<Bytes> StreamChunks(const std::string& path, std::size_t stream) {
    std::vector<Bytes> out;
    avi::AviDemuxer d;
    if (!d.open(path) || stream >= d.streams().size())
        return out;
    const std::uint64_t n = d.chunkCount(stream);
    for (std::uint64_t i = 0; i < n; ++i) {
        Bytes b(1 << 20);
        const auto got = d.readChunk(stream, i, b);
        if (!got)
            break;
        b.resize(*got);
        out.push_back(std::move(b));
    }
    return out;
}

inline std::vector<Bytes> DvFrames(const std::string& path) {
    avi::AviDemuxer d;
    if (!d.open(path) || d.videoStream() < 0)
        return {};
    return StreamChunks(path, static_cast<std::size_t>(d.videoStream()));
}

inline std::vector<std::uint32_t> StreamTypes(const std::string& path) {
    std::vector<std::uint32_t> out;
    avi::AviDemuxer d;
    if (d.open(path))
        for (const auto& s : d.streams())
            out.push_back(s.Type);
    return out;
}

inline Bytes Concat(const std::vector<Bytes>& chunks) {
    Bytes out;
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

inline int Sequences(const Bytes& frame) {
    return frame.size() == dv::kFrameSize625 ? dv::kSequences625 : dv::kSequences525;
}

// Where two frames differ outside their audio blocks (and, with skipDatePacks, outside the
// recording date and time packs the first frame holds); an empty answer means equal.
inline std::string FrameDifference(const Bytes& a, const Bytes& b, bool skipDatePacks = false) {
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    std::vector<bool> skip(a.size(), false);
    const int sequences = Sequences(a);
    for (int s = 0; s < sequences; ++s) {
        for (int j = 0; j < dv::kAudioBlocksPerSequence; ++j) {
            const std::size_t off = dv::AudioBlockOffset(s, j);
            for (std::size_t k = 0; k < dv::kDifBlockSize && off + k < skip.size(); ++k)
                skip[off + k] = true;
        }
        if (skipDatePacks)
            for (int p = 0; p < dv::kSearchPositionsPerSequence; ++p) {
                const std::size_t off = dv::SearchPositionOffset(s, p);
                if (off + 5 <= a.size() && (a[off] == 0x62 || a[off] == 0x63))
                    for (std::size_t k = 0; k < 5; ++k)
                        skip[off + k] = true;
            }
    }
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!skip[i] && a[i] != b[i])
            return "byte " + std::to_string(i) + " (sequence " + std::to_string(i / 12000) +
                   ", block " + std::to_string(i % 12000 / 80) + ")";
    return {};
}

// Where two frames differ in their header, subcode and VAUX blocks (the first six blocks of each
// DIF sequence); empty when they are equal.
inline std::string HeaderBlocksDifference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    const int sequences = Sequences(a);
    for (int s = 0; s < sequences; ++s)
        for (std::size_t i = 0; i < 6 * dv::kDifBlockSize; ++i) {
            const std::size_t at = static_cast<std::size_t>(s) * 12000 + i;
            if (a[at] != b[at])
                return "byte " + std::to_string(at) + " (sequence " + std::to_string(s) +
                       ", block " + std::to_string(i / dv::kDifBlockSize) + ")";
        }
    return {};
}

// The sound ffmpeg decodes from a file's first (or given) audio stream, as 16-bit PCM; none
// without ffmpeg or when it fails.
inline std::optional<Bytes> FfmpegPcm(const TempDir& dir, const std::string& path,
                                      int audioStream = 0) {
    if (!ToolAvailable("ffmpeg"))
        return std::nullopt;
    const std::string out = (dir / ("pcm-" + std::to_string(std::hash<std::string>{}(path)) + "-" +
                                    std::to_string(audioStream) + ".raw"))
                                .string();
    const auto r =
        RunTool({"ffmpeg", "-v", "error", "-y", "-i", path, "-map",
                 "0:a:" + std::to_string(audioStream), "-f", "s16le", "-c:a", "pcm_s16le", out},
                dir.path());
    if (r.exitCode != 0)
        return std::nullopt;
    return ReadBytes(out);
}

// ffprobe's value of one field of a stream ("v:0", "a:1"), or empty.
inline std::string Probe(const TempDir& dir, const std::string& path, const std::string& stream,
                         const std::string& field) {
    const auto r = RunTool(
        {"ffprobe", "-v", "error", "-select_streams", stream, "-count_frames", "-show_entries",
         "stream=" + field, "-of", "default=noprint_wrappers=1:nokey=1", path},
        dir.path());
    std::string v = r.out;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
        v.pop_back();
    return v;
}

// Whether ffmpeg decodes the whole file without a complaint.
inline std::string FfmpegErrors(const TempDir& dir, const std::string& path) {
    const auto r =
        RunTool({"ffmpeg", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"}, dir.path());
    return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
}

// mediainfo's value of a General or Video field ("General;%Recorded_Date%").
inline std::string MediaInfo(const TempDir& dir, const std::string& path,
                             const std::string& inform) {
    const auto r = RunTool({"mediainfo", "--Inform=" + inform, path}, dir.path());
    std::string v = r.out;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
        v.pop_back();
    return v;
}

}  // namespace kelvor::test
