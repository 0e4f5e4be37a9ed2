// The per-picture work of the program's own filters on full PAL pictures (720 x 576): the
// deinterlacer, the inlay (border 1 and 4) and the content detector. They run beside the DV
// decoder on every frame of a conversion, so the peer is decoding the same DV frame to RGB24 on
// one thread. Times are the processor time of the timing thread.
#include <time.h>
#include <QGuiApplication>
#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"
#include "media/engine/DvCodec.h"
#include "media/engine/Graph.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/DeinterlaceFilter.h"
#include "media/filters/InlayFilter.h"

namespace {

using namespace kelvor;
using namespace kelvor::media;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 720;
constexpr int kHeight = 576;

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Processor time of this thread, so that other work on a busy machine does not count.
template <typename F>
double secondsPerCall(F&& f, int calls) {
    f();  // warm caches and glyph caches
    const double t0 = threadSeconds();
    for (int i = 0; i < calls; ++i)
        f();
    return (threadSeconds() - t0) / calls;
}

// Hands out the picture of one connected RGB24 input, so the filters' streaming calls can be
// timed without a graph's threads around them.
class PictureSource : public BaseFilter {
  public:
    PictureSource() : BaseFilter("picture", ""), out_(&AddOutputPin("Out")) {}
    Status GetMediaType(const Pin&, int position, MediaType& mt) override {
        if (position != 0)
            return Code::NoMoreItems;
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(kWidth, kHeight, 400000));
        return Code::Ok;
    }
    OutputPin& Output() { return *out_; }

  private:
    OutputPin* out_;
};

struct TimedInlay : InlayFilter {
    using InlayFilter::InlayFilter;
    using InlayFilter::StartStreaming;
    using InlayFilter::Transform;
};

struct TimedContent : ContentDetectorFilter {
    using ContentDetectorFilter::Transform;
};

void report(const char* name, double ours, double peer, const char* what) {
    std::printf(
        "BENCH %s ours=%.9f peer=%.9f speedup=%.2f (peer: DV decoding of the same frame, one "
        "thread)\n",
        name, ours, peer, peer / ours);
    std::printf("  %s: %.3f ms per 720x576 picture\n", what, ours * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const char* dataDir = std::getenv("KELVOR_BENCH_DATA");
    const std::string seed = std::string(dataDir ? dataDir : "/tmp") + "/filters_seed.dv";
    std::string error;
    if (!fixtures::WriteDvFile(seed, "type=raw frames=2 picture=moving date=2024-05-06T07:08:09",
                               error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", seed.c_str(), error.c_str());
        return 1;
    }
    std::ifstream in(seed, std::ios::binary);
    const std::vector<std::uint8_t> raw{std::istreambuf_iterator<char>(in), {}};
    const std::vector<std::uint8_t> frame(raw.begin(), raw.begin() + dv::kFrameSize625);

    DvVideoDecoder decoder;
    std::vector<std::uint8_t> picture(Rgb24Stride(kWidth) * kHeight);
    int w = 0, h = 0;
    if (!decoder.open(false, 1) || !decoder.decode(frame, picture, w, h)) {
        std::fprintf(stderr, "cannot decode the seed frame\n");
        return 1;
    }
    const double decode = secondsPerCall([&] { decoder.decode(frame, picture, w, h); }, 200);

    std::vector<std::uint8_t> work(picture.size());
    const Rgb24Layout layout{kWidth, kHeight, Rgb24Stride(kWidth), true};
    const double deinter = secondsPerCall([&] { DeinterlaceRgb24(picture, work, layout); }, 500);
    report("deinter", deinter, decode, "deinterlace");
    // The worst case: rows alternately black and white, every pixel of every odd row combed.
    std::vector<std::uint8_t> combed(picture.size());
    for (int y = 0; y < kHeight; ++y)
        std::fill_n(combed.begin() + static_cast<std::ptrdiff_t>(y * layout.Stride), layout.Stride,
                    y % 2 ? 255 : 0);
    const double worst = secondsPerCall([&] { DeinterlaceRgb24(combed, work, layout); }, 500);
    report("deinter_combed", worst, decode, "deinterlace, every odd row combed");

    // The inlay takes its date from a detector that has seen the frame.
    auto detector = std::make_shared<DateDetectorFilter>();
    detector->Detector().ProcessSample(frame);
    int border = 1;
    auto inlay = std::make_shared<TimedInlay>(detector, [&] { return border; });
    inlay->SetAutoMode(false);
    Graph graph;
    auto source = std::make_shared<PictureSource>();
    graph.AddFilter(source, "source");
    graph.AddFilter(inlay, "inlay");
    if (graph.ConnectDirect(source->Output(), inlay->Input()) != Code::Ok ||
        inlay->StartStreaming() != Code::Ok) {
        std::fprintf(stderr, "cannot start the inlay\n");
        return 1;
    }
    MediaSample inSample(picture.size()), outSample(picture.size());
    inSample.assign(picture);
    auto facts = std::make_shared<DvSourceFrame>();
    facts->Info = detector->Detector().Last();
    inSample.SetAttachment(facts);
    const double inlay1 = secondsPerCall([&] { inlay->Transform(inSample, outSample); }, 500);
    border = 4;
    const double inlay4 = secondsPerCall([&] { inlay->Transform(inSample, outSample); }, 200);
    report("inlay", inlay1, decode, "inlay, border 1");
    report("inlay_border4", inlay4, decode, "inlay, border 4");

    TimedContent content;
    MediaSample a(picture.size());
    a.assign(picture);
    const double contentTime = secondsPerCall([&] { content.Transform(a); }, 20000);
    report("content", contentTime, decode, "content detector");
    return 0;
}
