#include "media/engine/Render.h"

#include <cmath>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "media/engine/AudioDecoder.h"
#include "media/engine/DvFilters.h"
#include "media/engine/FrameRate.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/VideoDecoder.h"
#include "media/engine/VideoScaler.h"

namespace kelvor::media {
namespace {

constexpr int kMaxProposals = 16;
constexpr int kDecoderQueueDepth = 3;
// Frame durations closer than this (a fraction) are the same rate.
constexpr double kRateTolerance = 0.001;

std::vector<MediaType> proposals(const OutputPin& out) {
    std::vector<MediaType> types;
    for (int i = 0; i < kMaxProposals; ++i) {
        MediaType mt;
        if (out.Filter().GetMediaType(out, i, mt) != Code::Ok)
            break;
        types.push_back(std::move(mt));
    }
    return types;
}

bool isRawPicture(const MediaType& mt) {
    return mt.majorType == MajorType::Video &&
           (mt.subtype == Subtype::Rgb24 || mt.subtype == Subtype::I420 ||
            mt.subtype == Subtype::Y41B);
}

StreamTime frameTimeOf(const MediaType& mt) {
    const auto v = mt.videoInfo();
    return v ? v->AvgTimePerFrame : 0;
}

bool sameRate(StreamTime a, StreamTime b) {
    if (a <= 0 || b <= 0)
        return true;  // a rate that is not known is taken as it comes
    return std::abs(static_cast<double>(a - b)) <= kRateTolerance * static_cast<double>(b);
}

// Same subtype and picture size (video), or the same sound format (audio).
bool sameShape(const MediaType& a, const MediaType& b) {
    if (a.majorType != b.majorType || a.subtype != b.subtype)
        return false;
    if (a.majorType == MajorType::Audio)
        return a.waveFormat() == b.waveFormat();
    const auto va = a.videoInfo(), vb = b.videoInfo();
    return va && vb && va->bmiHeader.biWidth == vb->bmiHeader.biWidth &&
           va->bmiHeader.biHeight == vb->bmiHeader.biHeight;
}

bool matches(const MediaType& mt, const MediaType& preferred) {
    return sameShape(mt, preferred) &&
           (mt.majorType != MajorType::Video || sameRate(frameTimeOf(mt), frameTimeOf(preferred)));
}

// Frames per second of a frame duration, exact for the two DV rates.
void rateOf(StreamTime frameTime, std::int64_t& num, std::int64_t& den) {
    if (frameTime == 333667 || frameTime == 333666) {
        num = 30000;
        den = 1001;
    } else {
        const std::int64_t g = std::gcd(static_cast<std::int64_t>(kUnitsPerSecond), frameTime);
        num = kUnitsPerSecond / g;
        den = frameTime / g;
    }
}

// One rendering: the stages it added, removed again unless it succeeds.
class Session {
  public:
    explicit Session(GraphBuilder& b) : b_(b) {}
    ~Session() {
        if (done_)
            return;
        for (auto it = added_.rbegin(); it != added_.rend(); ++it)
            b_.graph().RemoveFilter(**it);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    template <typename F>
    std::shared_ptr<F> add(std::shared_ptr<F> f, const std::string& name) {
        std::string unique = name;
        for (int k = 2; b_.graph().FindFilterByName(unique) && k < 1000; ++k)
            unique = name + " " + std::to_string(k);
        if (b_.graph().AddFilter(f, unique).failed())
            return nullptr;
        added_.push_back(f.get());
        return f;
    }
    bool connect(OutputPin& out, InputPin& in, const MediaType* mt = nullptr) {
        return b_.graph().ConnectDirect(out, in, mt) == Code::Ok;
    }
    bool succeed() {
        done_ = true;
        return true;
    }
    GraphBuilder& builder() { return b_; }

  private:
    GraphBuilder& b_;
    std::vector<BaseFilter*> added_;
    bool done_ = false;
};

// Joins out to the target in the type that fits the target's best preferred type (any type the
// target takes when it prefers none), out's order deciding between equals.
bool connectFitting(Session& s, OutputPin& out, InputPin& to,
                    const std::vector<MediaType>& preferred) {
    const auto offered = proposals(out);
    auto tryFits = [&](const MediaType* p) {
        for (const MediaType& mt : offered)
            if ((!p || matches(mt, *p)) && to.Filter().CheckMediaType(to, mt) == Code::Ok &&
                s.connect(out, to, &mt))
                return true;
        return false;
    };
    if (preferred.empty())
        return tryFits(nullptr);
    for (const MediaType& p : preferred)
        if (tryFits(&p))
            return true;
    return false;
}

// The first type out proposes that the stage's input takes, joined.
bool connectAny(Session& s, OutputPin& out, InputPin& in) {
    return s.connect(out, in);
}

// A stage on the way to a target of this subtype takes the picture in it when out offers it (no
// colour conversion on the way), else in the first type it takes.
bool connectKeeping(Session& s, OutputPin& out, InputPin& in, FourCC subtype) {
    for (const MediaType& mt : proposals(out))
        if (mt.subtype == subtype && in.Filter().CheckMediaType(in, mt) == Code::Ok &&
            s.connect(out, in, &mt))
            return true;
    return connectAny(s, out, in);
}

double targetAspect(const InputPin& to, const MediaType& target) {
    if (const auto* enc = dynamic_cast<const DvVideoEncoderFilter*>(&to.Filter()))
        return enc->Wide() ? 16.0 / 9.0 : 4.0 / 3.0;
    const auto v = target.videoInfo();
    return v && v->bmiHeader.biHeight > 0
               ? static_cast<double>(v->bmiHeader.biWidth) / v->bmiHeader.biHeight
               : 4.0 / 3.0;
}

bool renderPicture(Session& s, OutputPin& from, InputPin& to, const MediaType& type) {
    const std::vector<MediaType> preferred = PreferredTypes(to);
    OutputPin* cur = &from;
    if (type.subtype == Subtype::Dvsd) {
        auto dec = s.add(std::make_shared<DvVideoDecoderFilter>(), "DV Video Decoder");
        if (!dec || !connectAny(s, *cur, dec->Input()))
            return false;
        dec->Output().SetQueued(true, kDecoderQueueDepth);
        cur = &dec->Output();
    } else if (!isRawPicture(type)) {
        auto dec = s.add(std::make_shared<VideoDecoderFilter>(), "AVI Decompressor");
        if (!dec || !connectAny(s, *cur, dec->Input()))
            return false;
        dec->Output().SetQueued(true, kDecoderQueueDepth);
        cur = &dec->Output();
    }
    if (connectFitting(s, *cur, to, preferred))
        return true;
    if (preferred.empty()) {
        auto conv = s.add(std::make_shared<ColourConverterFilter>(), "Color Space Converter");
        return conv && connectAny(s, *cur, conv->Input()) &&
               connectFitting(s, conv->Output(), to, preferred);
    }
    const MediaType* target = nullptr;
    for (const MediaType& p : preferred)
        if (!target && to.Filter().CheckMediaType(to, p) == Code::Ok)
            target = &p;
    if (!target)
        return false;
    const auto current = proposals(*cur);
    if (current.empty())
        return false;
    const StreamTime have = frameTimeOf(current.front());
    const StreamTime want = frameTimeOf(*target);
    const bool changeRate = !sameRate(have, want);
    auto addRate = [&]() -> bool {
        auto rate = s.add(std::make_shared<FrameRateFilter>(), "Frame Rate Converter");
        std::int64_t num = 0, den = 1;
        rateOf(want, num, den);
        if (!rate || rate->SetOutputRate(num, den).failed() ||
            !connectKeeping(s, *cur, rate->Input(), target->subtype))
            return false;
        cur = &rate->Output();
        return true;
    };
    // Fewer frames to scale when frames are dropped; fewer to copy when they are repeated.
    const bool dropping = changeRate && have > 0 && want > have;
    if (dropping && !addRate())
        return false;
    if (!sameShape(proposals(*cur).front(), *target)) {
        auto scaler = s.add(std::make_shared<VideoScalerFilter>(), "Video Scaler");
        if (!scaler || scaler->SetTarget(*target, targetAspect(to, *target)).failed() ||
            !connectKeeping(s, *cur, scaler->Input(), target->subtype))
            return false;
        cur = &scaler->Output();
    }
    if (changeRate && !dropping && !addRate())
        return false;
    return connectFitting(s, *cur, to, preferred);
}

// Sound the target takes goes to it as it is; its preferred types only say what the resampler
// makes when it does not.
bool renderSound(Session& s, OutputPin& from, InputPin& to, const MediaType& type) {
    const std::vector<MediaType> preferred = PreferredTypes(to);
    OutputPin* cur = &from;
    if (!IsPcm16(type)) {
        auto dec = s.add(std::make_shared<AudioDecoderFilter>(), "Audio Decoder");
        if (!dec || !connectAny(s, *cur, dec->Input()))
            return false;
        cur = &dec->Output();
        if (connectFitting(s, *cur, to, {}))
            return true;
    }
    auto resampler = s.add(std::make_shared<AudioResamplerFilter>(), "Audio Resampler");
    if (!resampler || !connectAny(s, *cur, resampler->Input()))
        return false;
    for (const MediaType& p : preferred) {
        const auto w = p.waveFormat();
        if (!w || to.Filter().CheckMediaType(to, p) != Code::Ok)
            continue;
        resampler->SetOutputRate(static_cast<int>(w->nSamplesPerSec));
        resampler->SetOutputChannels(w->nChannels);
        break;
    }
    return connectFitting(s, resampler->Output(), to, {});
}

bool renderStream(Session& s, OutputPin& from, InputPin& to, const MediaType* major) {
    if (from.IsConnected() || to.IsConnected())
        return false;
    const auto types = proposals(from);
    if (types.empty())
        return false;
    const MediaType& type = types.front();
    if (major && major->majorType != type.majorType)
        return false;
    // A picture must also be of a preferred type: a DV encoder takes any RGB24 picture but would
    // stretch it; a rendered picture keeps its shape.
    if (connectFitting(
            s, from, to,
            type.majorType == MajorType::Video ? PreferredTypes(to) : std::vector<MediaType>{}))
        return true;
    if (type.majorType == MajorType::Video)
        return renderPicture(s, from, to, type);
    if (type.majorType == MajorType::Audio)
        return renderSound(s, from, to, type);
    if (type.majorType == MajorType::Interleaved) {
        auto split = s.add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
        if (!split || !connectAny(s, from, split->Input()))
            return false;
        const MediaType audio = [] {
            MediaType m;
            m.majorType = MajorType::Audio;
            return m;
        }();
        if (major && major->majorType == MajorType::Audio) {
            const auto outs = split->AudioOutputs();
            return !outs.empty() && renderStream(s, *outs.front(), to, &audio);
        }
        return split->VideoOutput() && renderStream(s, *split->VideoOutput(), to, nullptr);
    }
    return false;
}

}  // namespace

std::vector<MediaType> PreferredTypes(const InputPin& pin) {
    std::vector<MediaType> types;
    for (int i = 0; i < kMaxProposals; ++i) {
        MediaType mt;
        if (pin.Filter().GetMediaType(pin, i, mt) != Code::Ok)
            break;
        types.push_back(std::move(mt));
    }
    return types;
}

bool Render(GraphBuilder& builder, OutputPin& from, InputPin& to, const MediaType* major) {
    Session s(builder);
    return renderStream(s, from, to, major) && s.succeed();
}

OutputPin* RenderFirstOutput(GraphBuilder& builder, BaseFilter& from, InputPin& to,
                             const MediaType* major) {
    for (OutputPin* out : from.OutputPins())
        if (!out->IsConnected() && Render(builder, *out, to, major))
            return out;
    return nullptr;
}

bool RenderThrough(GraphBuilder& builder, OutputPin& from, InputPin& viaInput, OutputPin& viaOutput,
                   InputPin& to, const MediaType* major) {
    Session s(builder);
    if (!renderStream(s, from, viaInput, major))
        return false;
    if (!renderStream(s, viaOutput, to, nullptr)) {
        builder.graph().Disconnect(viaInput);
        return false;
    }
    return s.succeed();
}

}  // namespace kelvor::media
