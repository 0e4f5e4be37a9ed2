#include "media/graphs/ConversionGraphs.h"

#include <algorithm>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPacks.h"
#include "media/engine/FrameRate.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/LavfSource.h"
#include "media/engine/Render.h"
#include "media/engine/VideoScaler.h"

namespace kelvor::media {
namespace {

// Queues between the heavy picture stages, so decoding and encoding run on two threads.
constexpr int kPictureQueueDepth = 3;
// A picture this much wider than high is shown as 16:9.
constexpr double kWideAspect = 1.5;

// The names under which the holders' stages enter the graph.
constexpr const char* kSourceName = "File Source (Async.)";
constexpr const char* kWriterName = "File writer";
constexpr const char* kAviSplitterName = "AVI Splitter";
constexpr const char* kDvSplitterName = "DV Splitter";
constexpr const char* kDvSplitter2Name = "DV Splitter 2";
constexpr const char* kDvMuxerName = "DV Muxer";
constexpr const char* kAviMuxName = "AVI Mux";
constexpr const char* kAcm1Name = "ACM Wrapper";
constexpr const char* kAcm2Name = "ACM Wrapper 2";
constexpr const char* kDecoderName = "DV Video Decoder";
constexpr const char* kEncoderName = "DV Video Encoder";
constexpr const char* kNullName = "Null Renderer";
constexpr const char* kTeeName = "Infinite Pin Tee Filter";

MediaType majorOnly(FourCC major) {
    MediaType mt;
    mt.majorType = major;
    return mt;
}

FourCC majorOf(const OutputPin& pin) {
    MediaType mt;
    if (pin.IsConnected())
        return pin.CurrentMediaType().majorType;
    return pin.Filter().GetMediaType(pin, 0, mt) == S_OK ? mt.majorType : 0;
}

// Takes a stage out of the graph and lets its holder go.
template <typename F>
void detach(Graph& graph, std::shared_ptr<F>& holder) {
    if (holder && holder->GetGraph() == &graph)
        graph.RemoveFilter(*holder);
    holder.reset();
}

void remove(Graph& graph, BaseFilter* filter) {
    if (filter && filter->GetGraph() == &graph)
        graph.RemoveFilter(*filter);
}

Graph& liveGraph(ConversionContext& context) {
    MakeLive(context);
    return *context.graph;
}

// One build: the context, a builder over its graph and the helpers every builder shares.
class Build {
  public:
    explicit Build(ConversionContext& c) : ctx(c), b(liveGraph(c)) {
        ctx.Error.clear();
        ctx.Progress = ProgressSource::None;
    }

    ConversionContext& ctx;
    GraphBuilder b;
    ConversionHolders& h() { return ctx.Holders; }
    ConversionFilters& f() { return ctx.Filters; }

    bool fail(std::string reason) {
        ctx.Error = std::move(reason);
        return false;
    }

    // Creates a holder's stage and adds it to the graph under its name.
    template <typename F>
    std::shared_ptr<F> attach(std::shared_ptr<F>& holder, const char* name) {
        detach(*ctx.graph, holder);
        holder = b.Add(std::make_shared<F>(), name);
        return holder;
    }
    // Adds one of the program's filters; it may still be in this graph from an earlier build.
    template <typename F>
    bool addOwn(const std::shared_ptr<F>& filter, const char* name) {
        if (!filter)
            return false;
        if (filter->GetGraph() == ctx.graph.get())
            ctx.graph->RemoveFilter(*filter);
        return b.Add(filter, name) != nullptr;
    }

    // Preparation steps: the video given to the source, the last build taken out, the file
    // writer set to the output. False (with the reason) when the video cannot be loaded.
    bool prepare(const std::string& video, const std::string& output) {
        if (!h().source || h().source->GetGraph() != ctx.graph.get()) {
            h().source.reset();
            h().source = b.Add(std::make_shared<FileSourceFilter>(), kSourceName);
        }
        if (!h().source)
            return fail(b.Error());
        if (h().source->Load(video) != S_OK)
            return fail(h().source->LoadError());
        ResetGraph(ctx);
        if (!output.empty()) {
            if (!attach(h().destination, kWriterName))
                return fail(b.Error());
            const HRESULT hr = h().destination->SetFileName(output);
            if (Failed(hr))
                return fail(output + ": cannot be written (" + ResultText(hr) + ")");
        }
        return true;
    }

    // The AVI splitter for the video, joined to the source. False when it cannot read the
    // file (the reason is kept for a builder that fails on it).
    bool openSplitter(const std::string& video) {
        detach(*ctx.graph, h().avisplitter);
        h().avisplitter = b.Add(std::dynamic_pointer_cast<SplitterBase>(CreateAviSplitter(video)),
                                kAviSplitterName);
        if (!h().avisplitter)
            return fail(b.Error());
        if (!b.Connect(h().source->Output(), h().avisplitter->Input())) {
            const std::string& why = h().avisplitter->OpenError();
            return fail(why.empty() ? video + ": not an AVI file that can be read" : why);
        }
        return true;
    }
    // The splitter with at least one stream (the "fewer than 2 pins" rule).
    bool openStreams(const std::string& video) {
        if (!openSplitter(video))
            return false;
        if (h().avisplitter->Outputs().empty())
            return fail(video + ": the file holds no stream");
        return true;
    }
    std::vector<OutputPin*> splitterOutputs() const {
        return ctx.Holders.avisplitter ? ctx.Holders.avisplitter->Outputs()
                                       : std::vector<OutputPin*>{};
    }

    bool connect(OutputPin* out, InputPin* in) { return out && in && b.Connect(*out, *in); }

    // Puts a stage in front of a connected input: what fed the input now feeds the stage, in the
    // same type, and the stage feeds the input.
    bool spliceBefore(InputPin& target, InputPin& viaIn, OutputPin& viaOut) {
        auto* last = static_cast<OutputPin*>(target.ConnectedTo());
        if (!last)
            return false;
        const MediaType type = target.CurrentMediaType();
        b.Disconnect(target);
        return b.Connect(*last, viaIn, &type) && b.Connect(viaOut, target);
    }

    // The sound wrapper between a splitter output it takes (the first free one in order) and a
    // muxer input. True when the whole branch is joined.
    bool wrapSound(BaseFilter& from, AudioResamplerFilter& acm, InputPin* muxIn) {
        return muxIn && b.ConnectFirstOutput(from, acm.Input()) && connect(&acm.Output(), muxIn);
    }
};

bool dvWide(std::span<const std::uint8_t> frame) {
    const auto sequences = dv::SequenceCountForSize(frame.size());
    bool wide = false;
    return sequences && dv::ReadWide(frame, *sequences, wide) && wide;
}

// Whether the first DV frame of the file is 16:9; false when it cannot be read.
bool firstFrameWide(const std::string& video) {
    avi::AviDemuxer demuxer;
    if (!demuxer.open(video))
        return false;
    const int stream = demuxer.videoStream();
    if (stream < 0 || demuxer.chunkCount(static_cast<std::size_t>(stream)) == 0)
        return false;
    std::vector<std::uint8_t> frame(dv::kFrameSize625);
    const auto n = demuxer.readChunk(static_cast<std::size_t>(stream), 0, frame);
    return n && dvWide({frame.data(), *n});
}

// The standard conversions and the inlay, type 2 and type 1. `picture` is the filter between
// the decoder and the encoder (the deinterlace or the inlay filter); `muxerSplitter` the DV
// splitter after the muxer (type 2 only).
struct ReencodeSpec {
    bool type2 = true;
    bool inlay = false;
    bool pal = true;
};

bool reencode(ConversionContext& context, const std::string& video, const std::string& output,
              const ReencodeSpec& spec) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto& f = build.f();
    auto enc = build.attach(h.DVenc, kEncoderName);
    if (!enc)
        return build.fail(build.b.Error());
    enc->put_VideoFormat(spec.pal ? DVENCODERVIDEOFORMAT_PAL : DVENCODERVIDEOFORMAT_NTSC);
    // Within one standard the DV header filter puts the source's aspect back into every frame;
    // across standards the encoder's own packs stand, so they say what the source says.
    const bool wide = firstFrameWide(video);
    enc->SetWide(wide);
    auto dec = build.attach(h.DVdecoder, kDecoderName);
    auto mux = build.attach(h.dvmuxer, kDvMuxerName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    auto acm2 = build.attach(h.acm2, kAcm2Name);
    // Type 1: the DV splitter reads the source's interleaved stream. Type 2: a DV splitter takes
    // the muxer's frames apart again (the inlay uses the second one).
    auto split = spec.inlay && spec.type2 ? build.attach(h.dvsplitter2, kDvSplitter2Name)
                                          : build.attach(h.dvsplitter, kDvSplitterName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    BaseFilter* picture = spec.inlay ? static_cast<BaseFilter*>(f.Superposer.get())
                                     : static_cast<BaseFilter*>(f.Deinter.get());
    const bool own = spec.inlay ? build.addOwn(f.Superposer, "dv_Superposer")
                                : build.addOwn(f.Deinter, "dv_Deinter");
    if (!dec || !mux || !acm1 || !acm2 || !split || !avimux || !own ||
        !build.addOwn(f.SceneDetect, "dv_SceneDetect") || !build.addOwn(f.DvHeader, "dv_DVHeader"))
        return build.fail(build.b.Error());

    if (!build.openStreams(video))
        return false;
    auto& splitter = *h.avisplitter;
    InputPin& detectorIn = f.SceneDetect->Input();
    if (spec.type2) {
        if (!build.b.ConnectFirstOutput(splitter, detectorIn))
            return build.fail(video + ": no DV stream");
    } else {
        if (!build.b.ConnectFirstOutput(splitter, split->Input()))
            return build.fail(video + ": no interleaved DV stream");
        if (!build.b.ConnectFirstOutput(*split, detectorIn))
            return build.fail(video + ": no DV stream");
    }
    // Frames repeated or left out for the target standard's rate, each keeping the facts of its
    // own source frame: left out before decoding (less work), repeated after encoding (the same
    // bytes the encoder would give again).
    const bool sourcePal = detectorIn.CurrentMediaType().majorType != MEDIATYPE_Video ||
                           !detectorIn.CurrentMediaType().videoInfo() ||
                           detectorIn.CurrentMediaType().videoInfo()->bmiHeader.biHeight != 480;
    std::shared_ptr<FrameRateFilter> rate;
    if (sourcePal != spec.pal) {
        rate = build.b.Add(std::make_shared<FrameRateFilter>(), "Frame Rate Converter");
        if (!rate)
            return build.fail(build.b.Error());
        rate->SetOutputRate(spec.pal ? 25 : 30000, spec.pal ? 1 : 1001);
    }
    const bool dropping = rate && spec.pal;
    OutputPin* dv = &f.SceneDetect->Output();
    if (dropping && build.connect(dv, &rate->Input()))
        dv = &rate->Output();
    if (!build.connect(dv, &dec->Input()) && !spec.type2)
        return build.fail(video + ": the DV stream cannot be decoded");

    // Decoding, the picture filter with the colour conversion, and encoding each run on a thread
    // of their own.
    dec->Output().SetQueued(true, kPictureQueueDepth);
    build.connect(&dec->Output(), picture->GetInputPin(0));
    auto scaler = build.b.Add(std::make_shared<VideoScalerFilter>(), "Video Scaler");
    MediaType frame;
    if (!scaler || static_cast<BaseFilter&>(*enc).GetMediaType(enc->Input(), 0, frame) != S_OK)
        return build.fail(build.b.Error());
    // A DV picture fills the other standard's frame as it filled its own: stretched.
    const double aspect = wide ? 16.0 / 9.0 : 4.0 / 3.0;
    scaler->SetTarget(frame, aspect);
    scaler->SetSourceAspect(aspect);
    build.connect(picture->GetOutputPin(0), &scaler->Input());
    scaler->Output().SetQueued(true, kPictureQueueDepth);
    build.connect(&scaler->Output(), &enc->Input());
    enc->Output().SetQueued(true, kPictureQueueDepth);
    OutputPin* encoded = &enc->Output();
    if (rate && !dropping && build.connect(encoded, &rate->Input()))
        encoded = &rate->Output();
    build.connect(encoded, &f.DvHeader->Input());
    build.connect(&f.DvHeader->Output(), &mux->VideoInput());

    if (spec.type2) {
        // The first sound through acm1 into the muxer's first audio input, the next through acm2
        // into the second: a splitter output already joined refuses a second connection.
        build.wrapSound(splitter, *acm1, mux->AudioInput(0));
        build.wrapSound(splitter, *acm2, mux->AudioInput(1));
        build.connect(&mux->Output(), &split->Input());
        if (spec.inlay) {
            int k = 0;
            for (OutputPin* out : split->OutputPins())
                build.connect(out, avimux->Input(k++));
        } else {
            for (OutputPin* out : split->OutputPins())
                build.connect(out, avimux->FreeInput());
        }
    } else {
        // The sound passes from the DV splitter into the muxer unchanged.
        for (OutputPin* out : split->AudioOutputs())
            build.connect(out, mux->FreeAudioInput());
        build.connect(&mux->Output(), avimux->Input(0));
    }
    build.connect(&avimux->Output(), &h.destination->Input());
    context.Progress = ProgressSource::AviMux;
    return true;
}

}  // namespace

ConversionFilters ConversionFilters::Create(Tdv_Superposer::BorderSizeSource borderSize,
                                            LocaleInfo locale) {
    ConversionFilters f;
    f.SceneDetect = std::make_shared<Tdv_sceneDetect>();
    f.Superposer = std::make_shared<Tdv_Superposer>(f.SceneDetect, std::move(borderSize), locale);
    f.DvHeader = std::make_shared<Tdv_DVheader>(f.SceneDetect);
    f.Deinter = std::make_shared<Tdv_deinter>();
    f.WaveDest = std::make_shared<Tdv_WaveDest>();
    f.Contenu = std::make_shared<TSceneDetectContenu>();
    f.Stamper = std::make_shared<Tdv_MediaStamper>();
    return f;
}

void MakeLive(ConversionContext& context) {
    if (!context.graph)
        context.graph = std::make_unique<Graph>();
}

void ResetGraph(ConversionContext& context) {
    if (context.Filters.SceneDetect) {
        context.Filters.SceneDetect->Detector().OnSceneEnd = nullptr;
        context.Filters.SceneDetect->Detector().OnStreamEnd = nullptr;
    }
    ConversionHolders& h = context.Holders;
    if (!context.graph) {
        // Released: the stages went with the graph.
        h = ConversionHolders{};
        return;
    }
    Graph& g = *context.graph;
    g.Stop();
    detach(g, h.dvsplitter);
    detach(g, h.dvsplitter2);
    detach(g, h.avisplitter);
    detach(g, h.dvmuxer);
    detach(g, h.avimux);
    detach(g, h.acm1);
    detach(g, h.acm2);
    detach(g, h.DVdecoder);
    detach(g, h.DVenc);
    const ConversionFilters& f = context.Filters;
    remove(g, f.Deinter.get());
    remove(g, f.Superposer.get());
    remove(g, f.DvHeader.get());
    remove(g, f.SceneDetect.get());
    remove(g, f.WaveDest.get());
    detach(g, h.infinite);
    detach(g, h.nullrender);
    detach(g, h.destination);
    // What a rendering or a build inserted beside the holders (decoders, converters, the frame
    // rate converter) would otherwise start with every later run.
    for (BaseFilter* filter : g.Filters()) {
        if (filter == h.source.get() || filter == f.Contenu.get() || filter == f.Stamper.get())
            continue;
        g.RemoveFilter(*filter);
    }
}

int FrequenceDvRate(int frequenceDv) {
    switch (frequenceDv) {
        case 0: return 32000;
        case 1: return 44100;
        case 2: return 48000;
        default: return 0;
    }
}

bool SetAudioRate(ConversionContext& context, AudioWrapper wrapper, int rate) {
    auto& acm = wrapper == AudioWrapper::Acm1 ? context.Holders.acm1 : context.Holders.acm2;
    if (!acm || !context.graph || acm->GetGraph() != context.graph.get())
        return false;
    Graph& g = *context.graph;
    if (!acm->Input().IsConnected() ||
        acm->Input().CurrentMediaType().formatType != FormatType::WaveFormatEx) {
        acm->SetOutputRate(rate);
        return true;
    }
    const int before = acm->OutputRate();
    Pin* peer = acm->Output().ConnectedTo();
    if (peer)
        g.Disconnect(acm->Output());
    if (Failed(acm->SetOutputRate(rate)))
        acm->SetOutputRate(before);
    if (peer && g.ConnectDirect(acm->Output(), *peer) != S_OK) {
        // The stage after the wrapper refuses that rate: the connection keeps the old one.
        acm->SetOutputRate(before);
        g.ConnectDirect(acm->Output(), *peer);
    }
    return true;
}

bool BuildStandardGraphType2(ConversionContext& context, const std::string& video,
                             const std::string& output, int standard) {
    return reencode(context, video, output, {true, false, standard != kStandardNtsc});
}

bool BuildStandardGraphType1(ConversionContext& context, const std::string& video,
                             const std::string& output, int standard) {
    return reencode(context, video, output, {false, false, standard != kStandardNtsc});
}

bool BuildIncrusterGraphType2(ConversionContext& context, const std::string& video,
                              const std::string& output, int standard) {
    return reencode(context, video, output, {true, true, standard == kStandardPal});
}

bool BuildIncrusterGraphType1(ConversionContext& context, const std::string& video,
                              const std::string& output, int standard) {
    return reencode(context, video, output, {false, true, standard == kStandardPal});
}

bool BuildDecalerHoraireGraph(ConversionContext& context, const std::string& video,
                              const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto avimux = build.attach(h.avimux, kAviMuxName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    auto acm2 = build.attach(h.acm2, kAcm2Name);
    auto& header = build.f().DvHeader;
    if (!avimux || !acm1 || !acm2 || !build.addOwn(header, "dv_DVHeader"))
        return build.fail(build.b.Error());
    if (!build.openStreams(video))
        return false;
    auto& splitter = *h.avisplitter;
    if (!build.b.ConnectFirstOutput(splitter, header->Input()))
        return build.fail(video + ": no DV stream");
    build.connect(&header->Output(), avimux->Input(0));
    if (splitter.Outputs().size() > 1) {
        build.wrapSound(splitter, *acm1, avimux->Input(1));
        build.wrapSound(splitter, *acm2, avimux->Input(2));
    }
    build.connect(&avimux->Output(), &h.destination->Input());
    context.Progress = ProgressSource::AviMux;
    return true;
}

bool BuildCorrigerType2Graph(ConversionContext& context, const std::string& video,
                             const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    if (!dvsplit || !avimux)
        return build.fail(build.b.Error());
    // A file the splitter cannot read leaves a graph with nothing to write.
    build.openSplitter(video);
    context.Error.clear();
    const auto outputs = build.splitterOutputs();
    // Only the first two streams: the video and the first sound of a type 2 file.
    for (std::size_t i = 0; i < std::min<std::size_t>(outputs.size(), 2); ++i) {
        OutputPin& out = *outputs[i];
        InputPin* in = avimux->Input(static_cast<int>(i));
        if (!in)
            continue;
        if (build.b.ConnectMajor(out, *in, MEDIATYPE_Video) ||
            build.b.ConnectMajor(out, *in, MEDIATYPE_Audio))
            continue;
        if (build.b.ConnectMajor(out, dvsplit->Input(), MEDIATYPE_Interleaved))
            build.connect(dvsplit->VideoOutput(), in);
    }
    build.connect(&avimux->Output(), &h.destination->Input());
    context.Progress = ProgressSource::AviMux;
    return true;
}

bool BuildDVtype1Graph(ConversionContext& context, const std::string& video,
                       const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto mux = build.attach(h.dvmuxer, kDvMuxerName);
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    auto acm2 = build.attach(h.acm2, kAcm2Name);
    if (!mux || !dvsplit || !avimux || !acm1 || !acm2)
        return build.fail(build.b.Error());
    if (!build.openStreams(video))
        return false;
    auto& splitter = *h.avisplitter;
    // The DV video into the muxer; an interleaved stream gives only its video through a splitter.
    for (OutputPin* out : splitter.Outputs()) {
        if (build.connect(out, &mux->VideoInput()))
            break;
        if (build.connect(out, &dvsplit->Input())) {
            build.connect(dvsplit->VideoOutput(), &mux->VideoInput());
            break;
        }
    }
    build.wrapSound(splitter, *acm1, mux->FreeAudioInput());
    build.wrapSound(splitter, *acm2, mux->FreeAudioInput());
    build.connect(&mux->Output(), avimux->Input(0));
    build.connect(&avimux->Output(), &h.destination->Input());
    context.Progress = ProgressSource::AviMux;
    return true;
}

bool BuildDVType2Graph(ConversionContext& context, const std::string& video,
                       const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    auto acm2 = build.attach(h.acm2, kAcm2Name);
    if (!dvsplit || !avimux || !acm1 || !acm2)
        return build.fail(build.b.Error());
    if (!build.openStreams(video))
        return false;
    // Only the first stream is read; one that is not interleaved DV would leave a graph that
    // writes nothing.
    if (!build.connect(h.avisplitter->Outputs().front(), &dvsplit->Input()))
        return build.fail(video + ": the first stream is not interleaved DV");
    // The video cannot enter a sound wrapper and goes straight to the AVI mux; the first two
    // sound pairs pass through acm1 and acm2, further ones straight.
    AudioResamplerFilter* wrappers[] = {acm1.get(), acm2.get()};
    std::size_t k = 0;
    for (OutputPin* out : dvsplit->OutputPins()) {
        if (k < 2 && build.connect(out, &wrappers[k]->Input())) {
            build.connect(&wrappers[k]->Output(), avimux->FreeInput());
            ++k;
            continue;
        }
        build.connect(out, avimux->FreeInput());
    }
    build.connect(&avimux->Output(), &h.destination->Input());
    context.Progress = ProgressSource::AviMux;
    return true;
}

bool BuildConvertirDVGraph(ConversionContext& context, const std::string& video,
                           const std::string& output, int standard, int frequenceDv) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    auto enc = build.attach(h.DVenc, kEncoderName);
    auto mux = build.attach(h.dvmuxer, kDvMuxerName);
    if (!dvsplit || !avimux || !enc || !mux)
        return build.fail(build.b.Error());
    enc->put_VideoFormat(standard == kStandardPal ? DVENCODERVIDEOFORMAT_PAL
                                                  : DVENCODERVIDEOFORMAT_NTSC);
    build.connect(&avimux->Output(), &h.destination->Input());
    if (!build.openStreams(video))
        return false;
    auto& splitter = *h.avisplitter;

    // The picture: decoded, brought to the DV frame rate and scaled into the DV frame with its
    // display aspect kept; the frame is 16:9 when the picture is 1.5 or wider.
    bool pictured = false;
    for (OutputPin* out : splitter.Outputs()) {
        MediaType mt;
        if (out->IsConnected() || splitter.GetMediaType(*out, 0, mt) != S_OK ||
            mt.majorType != MEDIATYPE_Video)
            continue;
        const auto v = mt.videoInfo();
        const int height = v ? std::abs(v->bmiHeader.biHeight) : 0;
        enc->SetWide(v && height > 0 &&
                     static_cast<double>(v->bmiHeader.biWidth) / height >= kWideAspect);
        if (Render(build.b, *out, enc->Input())) {
            enc->Output().SetQueued(true, kPictureQueueDepth);
            pictured = build.connect(&enc->Output(), &mux->VideoInput());
            break;
        }
    }
    if (!pictured)
        return build.fail(video + ": no picture that can be decoded");

    // The sound: rendered to the muxer's first audio input, then acm1 put in front of it.
    const MediaType audio = majorOnly(MEDIATYPE_Audio);
    if (InputPin* first = mux->FreeAudioInput();
        first && RenderFirstOutput(build.b, splitter, *first, &audio)) {
        if (auto acm1 = build.attach(h.acm1, kAcm1Name))
            build.spliceBefore(*first, acm1->Input(), acm1->Output());
    }
    build.connect(&mux->Output(), &dvsplit->Input());
    int k = 0;
    for (OutputPin* out : dvsplit->OutputPins())
        build.connect(out, avimux->Input(k++));
    context.Progress = ProgressSource::AviMux;

    const int rate = FrequenceDvRate(frequenceDv);
    SetAudioRate(context, AudioWrapper::Acm1, rate);
    // A second sound through acm2 into the next audio input (DV holds two pairs only at 32 kHz).
    if (auto acm2 = build.attach(h.acm2, kAcm2Name)) {
        for (OutputPin* out : splitter.Outputs()) {
            InputPin* next = mux->FreeAudioInput();
            if (!next)
                break;
            if (!out->IsConnected() && majorOf(*out) == MEDIATYPE_Audio &&
                RenderThrough(build.b, *out, acm2->Input(), acm2->Output(), *next))
                break;
        }
    }
    SetAudioRate(context, AudioWrapper::Acm2, rate);
    return true;
}

bool BuildExtraireAudioGraph(ConversionContext& context, const std::string& video,
                             const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto& wave = build.f().WaveDest;
    auto nullr = build.attach(h.nullrender, kNullName);
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    auto tee = build.attach(h.infinite, kTeeName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    if (!nullr || !dvsplit || !tee || !acm1 || !build.addOwn(wave, "dv_WaveDest"))
        return build.fail(build.b.Error());
    build.openSplitter(video);
    context.Error.clear();

    // The first video and the first sound, looking inside an interleaved DV stream too.
    OutputPin* videoPin = nullptr;
    OutputPin* audioPin = nullptr;
    auto look = [&](OutputPin* out) {
        const FourCC major = majorOf(*out);
        if (major == MEDIATYPE_Video && !videoPin)
            videoPin = out;
        else if (major == MEDIATYPE_Audio && !audioPin)
            audioPin = out;
        return major;
    };
    for (OutputPin* out : build.splitterOutputs()) {
        if (look(out) == MEDIATYPE_Interleaved && !dvsplit->Input().IsConnected() &&
            build.connect(out, &dvsplit->Input())) {
            for (OutputPin* inner : dvsplit->OutputPins())
                look(inner);
        }
    }
    if (!audioPin)
        return build.fail(video + ": the file has no sound");
    bool joined = false;
    if (videoPin) {
        build.connect(videoPin, &nullr->Input());
        // Sound that is not 16-bit PCM is decoded on its way into the wrapper.
        joined = Render(build.b, *audioPin, acm1->Input()) &&
                 build.connect(&acm1->Output(), &wave->Input());
    } else {
        joined = build.connect(audioPin, &tee->Input()) &&
                 build.connect(tee->Output(0), &wave->Input());
        build.connect(&tee->FreeOutput(), &nullr->Input());
    }
    if (!joined)
        return build.fail(video + ": the sound cannot be read");
    build.connect(&wave->Output(), &h.destination->Input());
    context.Progress = ProgressSource::Graph;
    return true;
}

bool BuildCutSceneGraphType2(ConversionContext& context, const std::string& video,
                             const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto tee = build.attach(h.infinite, kTeeName);
    auto nullr = build.attach(h.nullrender, kNullName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    auto acm1 = build.attach(h.acm1, kAcm1Name);
    auto acm2 = build.attach(h.acm2, kAcm2Name);
    auto mux = build.attach(h.dvmuxer, kDvMuxerName);
    auto dvsplit = build.attach(h.dvsplitter, kDvSplitterName);
    if (!tee || !nullr || !avimux || !acm1 || !acm2 || !mux || !dvsplit)
        return build.fail(build.b.Error());
    if (!build.openStreams(video))
        return false;
    const auto outputs = h.avisplitter->Outputs();
    // Each stream into the muxer's free input: the video input first, then the audio inputs.
    for (OutputPin* out : outputs) {
        InputPin* in = mux->VideoInput().IsConnected() ? mux->FreeAudioInput() : &mux->VideoInput();
        build.connect(out, in);
    }
    build.connect(&mux->Output(), &dvsplit->Input());
    for (OutputPin* out : dvsplit->OutputPins())
        build.connect(out, avimux->FreeInput());
    build.connect(&avimux->Output(), &h.destination->Input());
    if (outputs.size() > 1) {
        // The sound streams go through the wrappers on their way into the muxer.
        AudioResamplerFilter* wrappers[] = {acm1.get(), acm2.get()};
        std::size_t k = 0;
        for (OutputPin* out : outputs) {
            if (!out->IsConnected() || out->CurrentMediaType().majorType != MEDIATYPE_Audio)
                continue;
            auto* in = static_cast<InputPin*>(out->ConnectedTo());
            build.b.Disconnect(*out);
            if (k < 2 && build.connect(out, &wrappers[k]->Input()) &&
                build.connect(&wrappers[k]->Output(), in)) {
                ++k;
                continue;
            }
            build.connect(out, in);
        }
        // The second stream through the tee, whose other output feeds the null renderer. A file
        // whose only stream is video has no second stream: the tee would take the splitter's
        // input pin, so that file is cut without it.
        OutputPin* second = outputs[1];
        if (Pin* peer = second->ConnectedTo()) {
            auto* in = static_cast<InputPin*>(peer);
            build.b.Disconnect(*second);
            build.connect(second, &tee->Input());
            build.connect(tee->Output(0), in);
            build.connect(&tee->FreeOutput(), &nullr->Input());
        }
    }
    return true;
}

bool BuildCutSceneGraphType1(ConversionContext& context, const std::string& video,
                             const std::string& output) {
    Build build(context);
    if (!build.prepare(video, output))
        return false;
    auto& h = build.h();
    auto tee = build.attach(h.infinite, kTeeName);
    auto nullr = build.attach(h.nullrender, kNullName);
    auto avimux = build.attach(h.avimux, kAviMuxName);
    if (!tee || !nullr || !avimux)
        return build.fail(build.b.Error());
    build.openSplitter(video);
    context.Error.clear();
    // Only the file's first stream, unchanged: a DV type 1 file's interleaved stream.
    const auto outputs = build.splitterOutputs();
    if (!outputs.empty() && build.connect(outputs.front(), &tee->Input())) {
        build.connect(tee->Output(0), avimux->Input(0));
        build.connect(&tee->FreeOutput(), &nullr->Input());
    }
    build.connect(&avimux->Output(), &h.destination->Input());
    return true;
}

bool BuildSceneContenuGraph(ConversionContext& context, const std::string& video) {
    Build build(context);
    if (!build.prepare(video, {}))
        return false;
    auto& h = build.h();
    auto& f = build.f();
    if (!f.Contenu->GetGraph() && !build.b.Add(f.Contenu, "scenedetectContenu"))
        return build.fail(build.b.Error());
    if (!f.Stamper->GetGraph() && !build.b.Add(f.Stamper, "MediaStamper"))
        return build.fail(build.b.Error());
    f.Contenu->SetMediaStamper(f.Stamper);
    auto nullr = build.attach(h.nullrender, kNullName);
    if (!nullr)
        return build.fail(build.b.Error());
    // Leftovers of an earlier content graph in this one.
    for (Pin* p : {static_cast<Pin*>(&f.Contenu->Input()), static_cast<Pin*>(&f.Contenu->Output()),
                   static_cast<Pin*>(&f.Stamper->Input()), static_cast<Pin*>(&f.Stamper->Output())})
        build.b.Disconnect(*p);
    if (!build.openSplitter(video))
        return false;
    // The platform brings the first stream it can to the detector, with the decoder and the
    // converters its input needs; the stamper then goes right in front of the detector.
    if (!RenderFirstOutput(build.b, *h.avisplitter, f.Contenu->Input()))
        return build.fail(video + ": no picture the content detector can read");
    build.spliceBefore(f.Contenu->Input(), f.Stamper->Input(), f.Stamper->Output());
    build.connect(&f.Contenu->Output(), &nullr->Input());
    context.Progress = ProgressSource::Graph;
    return true;
}

bool PositionCut(ConversionContext& context, REFERENCE_TIME start, REFERENCE_TIME stop) {
    if (!context.graph)
        return false;
    context.graph->SetTimeFormat(TimeFormat::MediaTime);
    if (Failed(context.graph->SetPositions(start, stop)))
        return false;
    context.Progress = ProgressSource::AviMux;
    return true;
}

bool ReadProgress(const ConversionContext& context, std::int64_t& position,
                  std::int64_t& duration) {
    if (!context.graph || context.Progress == ProgressSource::None)
        return false;
    Graph& g = *context.graph;
    const TimeFormat was = g.GetTimeFormat();
    g.SetTimeFormat(TimeFormat::MediaTime);
    std::int64_t start = 0, stop = 0;
    const bool ok = Succeeded(g.GetPositions(start, stop));
    duration = stop - start;
    if (context.Progress == ProgressSource::AviMux && context.Holders.avimux)
        position = std::max<std::int64_t>(context.Holders.avimux->CurrentPosition(), start);
    else
        g.GetCurrentPosition(position);
    g.SetTimeFormat(was);
    return ok;
}

}  // namespace kelvor::media
