// The conversion module's builders of the graphs that write a file, and of the content detection
// graph. Each reads like its description: the holders it attaches, the program's filters it adds,
// the joins in order, and the few points at which it fails.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPacks.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/FrameRate.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/LavfSource.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/RawDvSink.h"
#include "media/engine/RawDvSource.h"
#include "media/engine/Render.h"
#include "media/engine/Renderer.h"
#include "media/engine/VideoScaler.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/DeinterlaceFilter.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/filters/InlayFilter.h"
#include "media/filters/SampleTimeFilter.h"
#include "media/filters/WavWriterFilter.h"
#include "media/graphs/ConversionGraphs.h"

namespace kelvor::media {
namespace {

// Queues between the heavy picture stages, so decoding (with the picture filter), converting and
// encoding each run on a thread of their own.
constexpr int kPictureQueueDepth = 3;
// A picture this much wider than high is shown as 16:9.
constexpr double kWideAspect = 1.5;

FourCC majorOf(const OutputPin& pin) {
    if (pin.IsConnected())
        return pin.CurrentMediaType().majorType;
    MediaType mt;
    return pin.Filter().GetMediaType(pin, 0, mt) == Code::Ok ? mt.majorType : 0;
}

MediaType majorOnly(FourCC major) {
    MediaType mt;
    mt.majorType = major;
    return mt;
}

// Whether the first DV frame of the file is 16:9; false when it cannot be read. A file our
// demuxer does not open (DV in QuickTime or Matroska) is read through libavformat.
bool firstFrameWide(const std::string& video) {
    std::vector<std::uint8_t> frame;
    avi::AviDemuxer demuxer;
    if (demuxer.open(video)) {
        const int stream = demuxer.videoStream();
        if (stream < 0 || demuxer.chunkCount(static_cast<std::size_t>(stream)) == 0)
            return false;
        frame.resize(dv::kFrameSize625);
        const auto n = demuxer.readChunk(static_cast<std::size_t>(stream), 0, frame);
        if (!n)
            return false;
        frame.resize(*n);
    } else {
        frame = FirstDvFrame(video);
    }
    const auto sequences = dv::SequenceCountForSize(frame.size());
    bool wide = false;
    return sequences && dv::ReadWide({frame.data(), frame.size()}, *sequences, wide) && wide;
}

}  // namespace

// One build: a builder over the live graph and the steps every builder shares.
class ConversionGraphs::Build {
  public:
    explicit Build(ConversionGraphs& module) : m(module), b((module.MakeLive(), *module.fg_)) {
        m.buildError_.clear();
        m.progress_.ProgressSeeking = nullptr;
    }

    ConversionGraphs& m;
    GraphBuilder b;

    // A failure point with its own reason.
    bool failWith(std::string reason) {
        m.buildError_ = std::move(reason);
        return false;
    }
    // A failure whose reason the builder kept (an add or an open), else the fallback.
    bool fail(const std::string& fallback) { return m.buildFailed(b, fallback); }

    // The preparation of every graph that writes a file: the last build taken out, the video
    // given to the source, the file writer set to the output.
    bool prepare(const std::string& video, const std::string& output) {
        m.ResetGraph();
        if (!m.LoadSource(b, video))
            return fail(video + ": the file cannot be read");
        if (!m.Attach(b, m.destination))
            return fail("the file writer cannot be added");
        const Status hr = m.destination.As<FileWriterFilter>()->SetFileName(output);
        if (hr.failed())
            return failWith(output + ": cannot be written (" + CodeText(hr.code()) + ")");
        return true;
    }

    template <typename F>
    F* attach(FilterHolder& holder) {
        return m.Attach(b, holder) ? holder.As<F>() : nullptr;
    }
    bool addOwn(const FilterPtr& filter, const std::string& name) {
        return m.AddOwn(b, filter, name);
    }

    // The splitter joined to the source; false when it cannot read the file.
    bool openSplitter(const std::string& video) { return m.OpenSplitter(b, video); }
    // The splitter with at least one stream (the "fewer than 2 pins" rule).
    bool openStreams(const std::string& video) {
        if (!openSplitter(video))
            return fail(video + ": not an AVI file that can be read");
        if (splitter().Outputs().empty())
            return failWith(video + ": the file holds no stream");
        return true;
    }
    SplitterBase& splitter() const { return *m.aviSplitter.As<SplitterBase>(); }
    // Whether the file is read as raw DV, and is then written back as raw DV.
    bool rawSource() const { return m.aviSplitter.As<RawDvSplitterFilter>() != nullptr; }
    // The frames of `from` through a raw DV mux into the file writer; false when they cannot.
    bool connectRawDvWriter(OutputPin* from) {
        auto raw = b.Add(std::make_shared<RawDvMuxFilter>(), "DV Raw Mux");
        return raw && connect(from, &raw->Input()) &&
               connect(&raw->Output(), &m.destination.As<FileWriterFilter>()->Input());
    }
    std::vector<OutputPin*> splitterOutputs() const {
        const auto* s = m.aviSplitter.As<SplitterBase>();
        return s ? s->Outputs() : std::vector<OutputPin*>{};
    }

    bool connect(OutputPin* out, InputPin* in, const MediaType* type = nullptr) {
        return out && in && b.Connect(*out, *in, type);
    }
    bool connectMajor(OutputPin* out, InputPin* in, FourCC major) {
        return out && in && b.ConnectMajor(*out, *in, major);
    }

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

    // A sound wrapper between the first free output of `from` it takes and a muxer input. True
    // when the wrapper took a stream (whether or not its output then joined the muxer).
    bool wrapSound(BaseFilter& from, AudioResamplerFilter& acm, InputPin* muxIn) {
        if (!muxIn || !b.ConnectFirstOutput(from, acm.Input()))
            return false;
        connect(&acm.Output(), muxIn);
        return true;
    }
};

bool ConversionGraphs::LoadSource(GraphBuilder& b, const std::string& video) {
    Detach(source);
    Detach(aviSplitter);
    auto src = std::make_shared<FileSourceFilter>();
    if (!b.Add(src, source.Name()))
        return false;
    source.filter_ = src;
    if (src->Load(video) != Code::Ok)
        return b.Fail(src->LoadError());
    return true;
}

bool ConversionGraphs::OpenSplitter(GraphBuilder& b, const std::string& video) {
    Detach(aviSplitter);
    auto* src = source.As<FileSourceFilter>();
    if (!src)
        return false;
    auto splitter = std::dynamic_pointer_cast<SplitterBase>(CreateAviSplitter(video));
    if (!b.Add(splitter, aviSplitter.Name()))
        return false;
    aviSplitter.filter_ = splitter;
    if (!b.Connect(src->Output(), splitter->Input())) {
        const std::string& why = splitter->OpenError();
        return b.Fail(why.empty() ? video + ": not an AVI file that can be read" : why);
    }
    return true;
}

bool ConversionGraphs::BuildStandardGraphType2(const std::string& video, const std::string& output,
                                               int standard) {
    Build build(*this);
    return reencode(build, video, output, true, false, standard != kStandardNtsc);
}

bool ConversionGraphs::BuildStandardGraphType1(const std::string& video, const std::string& output,
                                               int standard) {
    Build build(*this);
    return reencode(build, video, output, false, false, standard != kStandardNtsc);
}

bool ConversionGraphs::BuildInlayGraphType2(const std::string& video, const std::string& output,
                                            int standard) {
    Build build(*this);
    return reencode(build, video, output, true, true, standard == kStandardPal);
}

bool ConversionGraphs::BuildInlayGraphType1(const std::string& video, const std::string& output,
                                            int standard) {
    Build build(*this);
    return reencode(build, video, output, false, true, standard == kStandardPal);
}

bool ConversionGraphs::reencode(Build& build, const std::string& video, const std::string& output,
                                bool type2, bool inlay, bool pal) {
    if (!build.prepare(video, output))
        return false;
    auto* enc = build.attach<DvVideoEncoderFilter>(dvEncoder);
    if (!enc)
        return build.fail("the DV encoder cannot be added");
    enc->SetVideoFormat(pal ? DvVideoFormat::Pal : DvVideoFormat::Ntsc);
    // The encoder's own packs stand where the header filter does not restore them (across
    // standards), so they say what the source says.
    enc->SetWide(firstFrameWide(video));
    auto* dec = build.attach<DvVideoDecoderFilter>(dvDecoder);
    auto* mux = build.attach<DvMuxerFilter>(dvMuxer);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2);
    // Type 1: the DV splitter reads the source's interleaved stream. Type 2: a DV splitter takes
    // the muxer's frames apart again (the inlay uses the second one).
    auto* split = build.attach<DvSplitterFilter>(inlay && type2 ? dvSplitter2 : dvSplitter);
    auto* mux2 = build.attach<AviMuxFilter>(aviMux);
    const FilterPtr picture = inlay ? FilterPtr(inlay_) : FilterPtr(deinterlacer_);
    if (!dec || !mux || !wrap1 || !wrap2 || !split || !mux2 ||
        !build.addOwn(picture, inlay ? "dv_Superposer" : "dv_Deinter") ||
        !build.addOwn(dateDetector_, "dv_SceneDetect") || !build.addOwn(dvHeader_, "dv_DVHeader"))
        return build.fail("the conversion graph cannot be built");

    if (!build.openStreams(video))
        return false;
    SplitterBase& splitter = build.splitter();
    InputPin& detectorIn = *dateDetector_->GetInputPin(0);
    if (type2) {
        if (!build.b.ConnectFirstOutput(splitter, detectorIn))
            return build.failWith(video + ": no stream carries DV frames");
    } else {
        if (!build.b.ConnectFirstOutput(splitter, split->Input()))
            return build.failWith(video + ": no interleaved DV stream");
        if (!build.b.ConnectFirstOutput(*split, detectorIn))
            return build.failWith(video + ": no stream carries DV frames");
    }
    // Frames repeated or left out for the target standard's rate, each keeping the facts of its
    // own source frame: left out before decoding (less work), repeated after encoding (the
    // encoder would give the same bytes again).
    const auto detected = detectorIn.CurrentMediaType().videoInfo();
    const bool sourcePal = !detected || std::abs(detected->bmiHeader.biHeight) != 480;
    std::shared_ptr<FrameRateFilter> rate;
    if (sourcePal != pal) {
        rate = build.b.Add(std::make_shared<FrameRateFilter>(), "Frame Rate Converter");
        if (!rate)
            return build.fail("the frame-rate converter cannot be added");
        rate->SetOutputRate(pal ? 25 : 30000, pal ? 1 : 1001);
    }
    const bool dropping = rate && pal;
    OutputPin* dv = dateDetector_->GetOutputPin(0);
    if (dropping && build.connect(dv, &rate->Input()))
        dv = &rate->Output();
    if (!build.connect(dv, &dec->Input()) && !type2)
        return build.failWith(video + ": the DV stream cannot be decoded");

    // Decoding, the picture filter, the conversion into the target frame and the encoding each
    // run on threads of their own: the picture filter on the decoder's thread would leave the
    // decoder's second lane idle while it works.
    build.connect(dec->GetOutputPin(0), picture->GetInputPin(0));
    dec->GetOutputPin(0)->SetQueued(true, kPictureQueueDepth);
    picture->GetOutputPin(0)->SetQueued(true, kPictureQueueDepth);
    // The picture into the target frame: a colour conversion within one standard; across
    // standards the picture fills the other frame as it filled its own (stretched).
    auto scaler = build.b.Add(std::make_shared<VideoScalerFilter>(), "Video Scaler");
    MediaType frame;
    if (!scaler ||
        static_cast<BaseFilter&>(*enc).GetMediaType(*enc->GetInputPin(0), 0, frame) != Code::Ok)
        return build.fail("the picture scaler cannot be added");
    const double aspect = enc->Wide() ? 16.0 / 9.0 : 4.0 / 3.0;
    scaler->SetTarget(frame, aspect);
    scaler->SetSourceAspect(aspect);
    // Across standards the blend into the other frame is the longest stage that runs on a single
    // thread, so it takes alternate frames on two.
    scaler->SetFrameThreads(true);
    build.connect(picture->GetOutputPin(0), &scaler->Input());
    scaler->Output().SetQueued(true, kPictureQueueDepth);
    build.connect(&scaler->Output(), enc->GetInputPin(0));
    enc->GetOutputPin(0)->SetQueued(true, kPictureQueueDepth);
    OutputPin* encoded = enc->GetOutputPin(0);
    if (rate && !dropping && build.connect(encoded, &rate->Input()))
        encoded = &rate->Output();
    build.connect(encoded, dvHeader_->GetInputPin(0));
    build.connect(dvHeader_->GetOutputPin(0), &mux->VideoInput());

    if (type2) {
        // The first sound through resampler1 into the muxer's first audio input, the next through
        // resampler2 into the second: a splitter output already joined refuses a second connection.
        build.wrapSound(splitter, *wrap1, mux->AudioInput(0));
        build.wrapSound(splitter, *wrap2, mux->FreeAudioInput());
        build.connect(&mux->Output(), &split->Input());
        // The DV splitter's k-th output into the AVI mux's k-th input: the video, then the sound,
        // one after the other on the thread that delivers the frame, since the mux never waits
        // for one while taking the other; a thread per output would only add wake-ups.
        split->SetSerialDelivery(true);
        int k = 0;
        for (OutputPin* out : split->OutputPins())
            build.connect(out, mux2->Input(k++));
    } else {
        // The sound passes from the DV splitter into the muxer unchanged.
        for (OutputPin* out : split->AudioOutputs())
            build.connect(out, mux->FreeAudioInput());
        build.connect(&mux->Output(), mux2->Input(0));
    }
    build.connect(&mux2->Output(), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildShiftTimeGraph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* mux = build.attach<AviMuxFilter>(aviMux);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2);
    if (!mux || !wrap1 || !wrap2 || !build.addOwn(dvHeader_, "dv_DVHeader"))
        return build.fail("the time-shift graph cannot be built");
    if (!build.openStreams(video))
        return false;
    SplitterBase& splitter = build.splitter();
    // The frames and the sound go straight into the AVI mux, which never waits for one while
    // taking the other (the splitter reads them in time order): one thread does it all.
    splitter.SetSerialDelivery(true);
    if (!build.b.ConnectFirstOutput(splitter, *dvHeader_->GetInputPin(0)))
        return build.failWith(video + ": no stream carries DV frames");
    if (build.rawSource()) {
        // Raw DV stays raw DV: the frames with their shifted packs, back to back.
        if (!build.connectRawDvWriter(dvHeader_->GetOutputPin(0)))
            return build.fail("the time-shift graph cannot be built");
        progress_.ProgressSeeking = &GraphSeeking();
        return true;
    }
    build.connect(dvHeader_->GetOutputPin(0), mux->Input(0));
    if (splitter.Outputs().size() > 1) {
        if (build.wrapSound(splitter, *wrap1, mux->Input(1)))
            build.wrapSound(splitter, *wrap2, mux->Input(2));
    }
    build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildFixType2Graph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    auto* mux = build.attach<AviMuxFilter>(aviMux);
    if (!split || !mux)
        return build.fail("the repair graph cannot be built");
    // A file the splitter cannot read leaves a graph with nothing to write; the repair counts no
    // streams.
    build.openSplitter(video);
    // Every stream goes straight into the AVI mux, so nothing gains from a thread per stream.
    if (auto* splitter = aviSplitter.As<SplitterBase>())
        splitter->SetSerialDelivery(true);
    split->SetSerialDelivery(true);
    const auto outputs = build.splitterOutputs();
    // Only the first two streams: the video and the first sound of a type 2 file.
    for (std::size_t i = 0; i < std::min<std::size_t>(outputs.size(), 2); ++i) {
        OutputPin* out = outputs[i];
        InputPin* in = mux->Input(static_cast<int>(i));
        if (build.connectMajor(out, in, MajorType::Video) ||
            build.connectMajor(out, in, MajorType::Audio))
            continue;
        if (!split->Input().IsConnected() &&
            build.connectMajor(out, &split->Input(), MajorType::Interleaved))
            build.connect(split->VideoOutput(), mux->Input(static_cast<int>(i)));
    }
    build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
    buildError_.clear();
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildToType1Graph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* mux = build.attach<DvMuxerFilter>(dvMuxer);
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    auto* mux2 = build.attach<AviMuxFilter>(aviMux);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2);
    if (!mux || !split || !mux2 || !wrap1 || !wrap2)
        return build.fail("the type 1 graph cannot be built");
    if (!build.openStreams(video))
        return false;
    SplitterBase& splitter = build.splitter();
    // The DV video into the muxer; an interleaved stream gives only its video, through a DV
    // splitter.
    for (OutputPin* out : splitter.Outputs()) {
        if (build.connect(out, &mux->VideoInput()))
            break;
        if (build.connect(out, &split->Input())) {
            build.connect(split->VideoOutput(), &mux->VideoInput());
            break;
        }
    }
    build.wrapSound(splitter, *wrap1, mux->FreeAudioInput());
    build.wrapSound(splitter, *wrap2, mux->FreeAudioInput());
    build.connect(&mux->Output(), mux2->Input(0));
    build.connect(&mux2->Output(), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildWrapType1Graph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* mux = build.attach<AviMuxFilter>(aviMux);
    if (!mux)
        return build.fail("the type 1 graph cannot be built");
    if (!build.openStreams(video))
        return false;
    // The frames go into the file as they are: not one DIF byte changes.
    if (!build.connect(build.splitterOutputs().front(), mux->Input(0)))
        return build.failWith(video + ": the first stream is not interleaved DV");
    build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildToType2Graph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    auto* mux = build.attach<AviMuxFilter>(aviMux);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2);
    if (!split || !mux || !wrap1 || !wrap2)
        return build.fail("the type 2 graph cannot be built");
    if (!build.openStreams(video))
        return false;
    OutputPin* first = build.splitterOutputs().front();
    MediaType firstType;
    first->Filter().GetMediaType(*first, 0, firstType);
    if (firstType.majorType == MajorType::Video && firstType.subtype == Subtype::Dvsd) {
        // DV of another container (QuickTime, Matroska) comes as DV video and its sound already:
        // the frames go into the AVI mux as they are, the first two sounds through the wrappers.
        if (!build.connect(first, mux->FreeInput()))
            return build.failWith(video + ": the DV video cannot be written");
        if (build.wrapSound(build.splitter(), *wrap1, mux->FreeInput()))
            build.wrapSound(build.splitter(), *wrap2, mux->FreeInput());
        build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
        progress_.ProgressSeeking = &AviMuxSeeking();
        return true;
    }
    // Only the first stream is read; one that is not interleaved DV would leave a graph that
    // writes nothing. The video and the sound of each frame go on into the AVI mux on the
    // reading thread, one after the other.
    split->SetSerialDelivery(true);
    build.splitter().SetSerialDelivery(true);
    if (!build.connect(first, &split->Input()))
        return build.failWith(video + ": the first stream is not interleaved DV");
    // The video cannot enter a sound wrapper and goes straight to the AVI mux; the first two
    // sound pairs pass through resampler1 and resampler2, further ones straight.
    AudioResamplerFilter* wrappers[] = {wrap1, wrap2};
    std::size_t k = 0;
    for (OutputPin* out : split->OutputPins()) {
        if (k < 2 && build.connect(out, &wrappers[k]->Input())) {
            build.connect(&wrappers[k]->Output(), mux->FreeInput());
            ++k;
            continue;
        }
        build.connect(out, mux->FreeInput());
    }
    build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildRecompressGraph(const std::string& video, const std::string& output,
                                            int standard, int dvAudioRate) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    auto* mux2 = build.attach<AviMuxFilter>(aviMux);
    auto* enc = build.attach<DvVideoEncoderFilter>(dvEncoder);
    auto* mux = build.attach<DvMuxerFilter>(dvMuxer);
    if (!split || !mux2 || !enc || !mux)
        return build.fail("the recompression graph cannot be built");
    enc->SetVideoFormat(standard == kStandardPal ? DvVideoFormat::Pal : DvVideoFormat::Ntsc);
    build.connect(&mux2->Output(), &destination.As<FileWriterFilter>()->Input());
    if (!build.openStreams(video))
        return false;
    SplitterBase& splitter = build.splitter();

    // The picture: decoded, brought to the DV frame rate and scaled into the DV frame with its
    // display aspect kept; the frame is 16:9 when the picture is 1.5 or wider.
    bool pictured = false;
    for (OutputPin* out : splitter.Outputs()) {
        MediaType mt;
        if (out->IsConnected() || splitter.GetMediaType(*out, 0, mt) != Code::Ok ||
            mt.majorType != MajorType::Video)
            continue;
        const auto v = mt.videoInfo();
        const int height = v ? std::abs(v->bmiHeader.biHeight) : 0;
        enc->SetWide(v && height > 0 &&
                     static_cast<double>(v->bmiHeader.biWidth) / height >= kWideAspect);
        if (Render(build.b, *out, *enc->GetInputPin(0))) {
            enc->GetOutputPin(0)->SetQueued(true, kPictureQueueDepth);
            pictured = build.connect(enc->GetOutputPin(0), &mux->VideoInput());
            break;
        }
    }
    if (!pictured)
        return build.failWith(video + ": no picture that can be decoded");

    // The sound: rendered to the muxer's first audio input, then resampler1 put in front of it; a
    // second sound through resampler2 into the next audio input. Both wrappers take their rate
    // before the muxer's output is joined, since the DV splitter after it makes its sound outputs
    // from the muxer's format as it is then.
    const int rate = DvAudioRateHz(dvAudioRate);
    const MediaType audio = majorOnly(MajorType::Audio);
    if (InputPin* first = mux->FreeAudioInput();
        first && RenderFirstOutput(build.b, splitter, *first, &audio)) {
        if (auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1))
            build.spliceBefore(*first, wrap1->Input(), wrap1->Output());
    }
    SetAudioRate(resampler1, rate);
    if (auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2)) {
        for (OutputPin* out : splitter.Outputs()) {
            InputPin* next = mux->FreeAudioInput();
            if (!next)
                break;
            if (!out->IsConnected() && majorOf(*out) == MajorType::Audio &&
                RenderThrough(build.b, *out, wrap2->Input(), wrap2->Output(), *next))
                break;
        }
    }
    SetAudioRate(resampler2, rate);
    build.connect(&mux->Output(), &split->Input());
    // Each frame and its sound go on into the AVI mux on the encoder's thread (see reencode).
    split->SetSerialDelivery(true);
    int k = 0;
    for (OutputPin* out : split->OutputPins())
        build.connect(out, mux2->Input(k++));
    progress_.ProgressSeeking = &AviMuxSeeking();
    return true;
}

bool ConversionGraphs::BuildExtractAudioGraph(const std::string& video, const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* nullr = build.attach<NullRenderer>(nullRenderer);
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    auto* tee = build.attach<InfiniteTeeFilter>(infiniteTee);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    if (!nullr || !split || !tee || !wrap1 || !build.addOwn(wavWriter_, "dv_WaveDest"))
        return build.fail("the extraction graph cannot be built");
    if (!build.openSplitter(video))
        return build.fail(video + ": not an AVI file that can be read");
    // The pictures are only dropped and the sound only copied: no stage is worth a thread.
    build.splitter().SetSerialDelivery(true);
    split->SetSerialDelivery(true);

    // The first video and the first sound, looking inside an interleaved DV stream too.
    OutputPin* videoPin = nullptr;
    OutputPin* audioPin = nullptr;
    auto look = [&](OutputPin* out) {
        const FourCC major = majorOf(*out);
        if (major == MajorType::Video && !videoPin)
            videoPin = out;
        else if (major == MajorType::Audio && !audioPin)
            audioPin = out;
        return major;
    };
    for (OutputPin* out : build.splitterOutputs()) {
        if (look(out) == MajorType::Interleaved && !split->Input().IsConnected() &&
            build.connect(out, &split->Input())) {
            for (OutputPin* inner : split->OutputPins())
                look(inner);
        }
    }
    if (!audioPin)
        return build.failWith(video + ": the file has no sound");
    bool joined = false;
    InputPin* wave = wavWriter_->GetInputPin(0);
    if (videoPin) {
        build.connect(videoPin, &nullr->Input());
        // Sound that is not 16-bit PCM is decoded on its way into the wrapper.
        joined =
            Render(build.b, *audioPin, wrap1->Input()) && build.connect(&wrap1->Output(), wave);
    } else {
        joined = build.connect(audioPin, &tee->Input()) && build.connect(tee->Output(0), wave);
        build.connect(&tee->FreeOutput(), &nullr->Input());
    }
    if (!joined)
        return build.failWith(video + ": the sound cannot be read");
    build.connect(wavWriter_->GetOutputPin(0), &destination.As<FileWriterFilter>()->Input());
    progress_.ProgressSeeking = &GraphSeeking();
    return true;
}

bool ConversionGraphs::BuildCutSceneGraphType2(const std::string& video,
                                               const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* tee = build.attach<InfiniteTeeFilter>(infiniteTee);
    auto* nullr = build.attach<NullRenderer>(nullRenderer);
    auto* mux2 = build.attach<AviMuxFilter>(aviMux);
    auto* wrap1 = build.attach<AudioResamplerFilter>(resampler1);
    auto* wrap2 = build.attach<AudioResamplerFilter>(resampler2);
    auto* mux = build.attach<DvMuxerFilter>(dvMuxer);
    auto* split = build.attach<DvSplitterFilter>(dvSplitter);
    if (!tee || !nullr || !mux2 || !wrap1 || !wrap2 || !mux || !split)
        return build.fail("the cut graph cannot be built");
    if (!build.openStreams(video))
        return false;
    const auto outputs = build.splitterOutputs();
    // Each stream into the muxer's free input: the video input first, then the audio inputs.
    for (OutputPin* out : outputs) {
        InputPin* in = mux->VideoInput().IsConnected() ? mux->FreeAudioInput() : &mux->VideoInput();
        build.connect(out, in);
    }
    build.connect(&mux->Output(), &split->Input());
    // The muxed frames part again for the AVI mux alone, on the muxer's thread.
    split->SetSerialDelivery(true);
    for (OutputPin* out : split->OutputPins())
        build.connect(out, mux2->FreeInput());
    build.connect(&mux2->Output(), &destination.As<FileWriterFilter>()->Input());
    if (outputs.size() > 1) {
        // The sound streams go through the wrappers on their way into the muxer.
        AudioResamplerFilter* wrappers[] = {wrap1, wrap2};
        std::size_t k = 0;
        for (OutputPin* out : outputs) {
            if (!out->IsConnected() || out->CurrentMediaType().majorType != MajorType::Audio)
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
        // The second stream through the tee, whose other output feeds the null renderer (so the
        // graph's position follows the cut). A file whose only stream is video has no second
        // stream: the tee would take the splitter's input, so that file is cut without it.
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

bool ConversionGraphs::BuildCutSceneGraphType1(const std::string& video,
                                               const std::string& output) {
    Build build(*this);
    if (!build.prepare(video, output))
        return false;
    auto* tee = build.attach<InfiniteTeeFilter>(infiniteTee);
    auto* nullr = build.attach<NullRenderer>(nullRenderer);
    auto* mux = build.attach<AviMuxFilter>(aviMux);
    if (!tee || !nullr || !mux)
        return build.fail("the cut graph cannot be built");
    build.openSplitter(video);
    // Only the file's first stream, unchanged: a DV type 1 file's interleaved stream; a raw DV
    // file's frames go back into a raw DV file.
    const auto outputs = build.splitterOutputs();
    if (!outputs.empty() && build.connect(outputs.front(), &tee->Input())) {
        if (build.rawSource())
            build.connectRawDvWriter(tee->Output(0));
        else
            build.connect(tee->Output(0), mux->Input(0));
        build.connect(&tee->FreeOutput(), &nullr->Input());
    }
    if (!build.rawSource())
        build.connect(&mux->Output(), &destination.As<FileWriterFilter>()->Input());
    buildError_.clear();
    return true;
}

bool ConversionGraphs::BuildContentScenesGraph(const std::string& video) {
    Build build(*this);
    ResetGraph();
    if (!build.m.LoadSource(build.b, video))
        return build.fail(video + ": the file cannot be read");
    // The detector and the stamper stay in the graph from one content build to the next; a
    // graph made live since has neither.
    if (contentDetector_->GetGraph() != fg_.get() &&
        !build.addOwn(contentDetector_, "scenedetectContenu"))
        return build.fail("the content detector cannot be added");
    if (sampleTimes_->GetGraph() != fg_.get() && !build.addOwn(sampleTimes_, "MediaStamper"))
        return build.fail("the media stamper cannot be added");
    contentDetector_->SetSampleTimes(sampleTimes_);
    for (BaseFilter* f : {static_cast<BaseFilter*>(contentDetector_.get()),
                          static_cast<BaseFilter*>(sampleTimes_.get())})
        for (int i = 0; i < f->PinCount(); ++i)
            build.b.Disconnect(*f->GetPin(i));
    auto* nullr = build.attach<NullRenderer>(nullRenderer);
    if (!nullr)
        return build.fail("the null renderer cannot be added");
    if (!build.openSplitter(video))
        return build.fail(video + ": not an AVI file that can be read");
    // The platform brings the first stream it can to the detector, with the decoder and the
    // converters its input needs; the stamper then goes right in front of the detector.
    InputPin& detectorIn = *contentDetector_->GetInputPin(0);
    if (!RenderFirstOutput(build.b, build.splitter(), detectorIn))
        return build.failWith(video + ": no picture the content detector can read");
    build.spliceBefore(detectorIn, *sampleTimes_->GetInputPin(0), *sampleTimes_->GetOutputPin(0));
    build.connect(contentDetector_->GetOutputPin(0), &nullr->Input());
    progress_.ProgressSeeking = &GraphSeeking();
    return true;
}

}  // namespace kelvor::media
