// kelvor-cli probe: opens each file in a media graph, lets the first frame of every stream flow
// to a null renderer and prints the streams' formats, durations and, for DV, the first frame's
// datecode, timecode and aspect.
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/Names.h"
#include "cli/VerbArgs.h"
#include "core/dv/DvPacks.h"
#include "core/files/DateTime.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/Renderer.h"

namespace kelvor::cli {
namespace {

using namespace kelvor::media;

struct FirstFrame {
    std::mutex m;
    std::vector<std::uint8_t> bytes;  // guarded by m
};

void printDuration(StreamTime t) {
    const std::int64_t ms = t / 10000;
    std::printf("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
}

void printType(const MediaType& mt, StreamTime duration) {
    if (auto v = mt.videoInfo()) {
        std::printf("  video: %s %dx%d", FourCCText(mt.subtype).c_str(), v->bmiHeader.biWidth,
                    v->bmiHeader.biHeight);
        if (v->AvgTimePerFrame > 0)
            std::printf(", %.3f frames/s", 1e7 / static_cast<double>(v->AvgTimePerFrame));
    } else if (auto w = mt.waveFormat()) {
        std::printf("  audio: format %u, %u channels, %u Hz, %u bits", w->wFormatTag, w->nChannels,
                    w->nSamplesPerSec, w->wBitsPerSample);
    } else if (mt.majorType == MajorType::Interleaved) {
        std::printf("  interleaved DV (%s)", FourCCText(mt.subtype).c_str());
    } else {
        std::printf("  stream %s", FourCCText(mt.majorType).c_str());
    }
    std::printf(", duration ");
    printDuration(duration);
    std::printf("\n");
}

// Pauses the graph on its first frame and stops it again.
void pauseOnce(Graph& g) {
    g.Pause();
    FilterState st;
    g.GetState(1000, st);
    g.Stop();
}

bool probe(const std::string& path) {
    Graph g;
    GraphBuilder b(g);
    const auto opened = OpenAviFile(b, path);
    auto dvSplitter = b.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
    auto renderer = b.Add(std::make_shared<NullRenderer>(), "Null Renderer");
    if (!opened || !dvSplitter || !renderer) {
        std::fprintf(stderr, "kelvor-cli probe: %s\n",
                     ShownText(b.Error()).c_str());  // names the file
        return false;
    }
    std::printf("%s\n", ShownName(path).c_str());
    std::printf("  streams: %d\n", opened->splitter->StreamCount());
    auto first = std::make_shared<FirstFrame>();
    bool dvSeen = false;
    for (OutputPin* p : opened->splitter->Outputs()) {
        if (!b.Connect(*p, renderer->Input()))
            continue;
        MediaType mt;
        p->ConnectionMediaType(mt);
        const bool isDv = mt.majorType == MajorType::Interleaved ||
                          (mt.majorType == MajorType::Video && mt.subtype == Subtype::Dvsd);
        if (isDv && !dvSeen) {
            renderer->SetSampleCallback([first](const MediaSample& s) {
                std::lock_guard lock(first->m);
                if (first->bytes.empty())
                    first->bytes.assign(s.data().begin(), s.data().end());
            });
        }
        pauseOnce(g);
        renderer->SetSampleCallback({});
        std::int64_t duration = 0;
        g.GetDuration(duration);
        printType(mt, duration);
        b.Disconnect(*p);
        if (mt.majorType == MajorType::Interleaved && b.Connect(*p, dvSplitter->Input())) {
            for (OutputPin* out : dvSplitter->OutputPins()) {
                if (!b.Connect(*out, renderer->Input()))
                    continue;
                pauseOnce(g);
                MediaType inner;
                out->ConnectionMediaType(inner);
                std::printf("  from the DV stream:");  // printType indents its line
                printType(inner, duration);
                b.Disconnect(*out);
            }
            b.Disconnect(*p);
        }
        dvSeen = dvSeen || isDv;
    }
    std::lock_guard lock(first->m);
    if (!first->bytes.empty()) {
        // What the file list would show: the packs the frame's copies agree on, real digits only.
        dv::FrameFacts facts;
        if (const auto seq = dv::SequenceCountForSize(first->bytes.size()))
            dv::ReadFrameFacts(first->bytes, *seq, facts);
        const dv::Datecode& d = facts.Datecode;
        std::printf("  first DV frame: datecode ");
        if (facts.HasDatecode && DatecodeToDateTime(d))
            std::printf("%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute,
                        d.Second);
        else
            std::printf("none");
        const dv::Timecode& tc = facts.Timecode;
        if (facts.HasTimecode)
            std::printf(", timecode %02d:%02d:%02d:%02d", tc.Hours, tc.Minutes, tc.Seconds,
                        tc.Frames);
        if (facts.HasControl)
            std::printf(", %s", facts.Wide ? "16:9" : "4:3");
        std::printf("\n");
    }
    return true;
}

}  // namespace

int runProbe(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {});
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("probe", a.Error, "probe FILE...");
    int status = 0;
    for (const std::string& f : a.Files)
        if (!probe(f))
            status = 1;
    return status;
}

}  // namespace kelvor::cli
