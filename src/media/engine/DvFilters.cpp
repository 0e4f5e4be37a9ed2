#include "media/engine/DvFilters.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"
#include "media/engine/DvAudio.h"
#include "media/engine/DvCodec.h"

namespace kelvor::media {
namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(20);
constexpr int kDefaultSampleRate = 48000;

StreamTime frameTime(bool pal) {
    return pal ? 400000 : 333667;
}

bool isDvsdVideo(const MediaType& mt) {
    return mt.majorType == MajorType::Video && mt.subtype == Subtype::Dvsd;
}

bool isPcm16Stereo(const MediaType& mt) {
    if (mt.majorType != MajorType::Audio)
        return false;
    const auto w = mt.waveFormat();
    return w && w->wFormatTag == WaveFormatEx::kFormatPcm && w->nChannels == 2 &&
           w->wBitsPerSample == 16 &&
           (w->nSamplesPerSec == 48000 || w->nSamplesPerSec == 44100 || w->nSamplesPerSec == 32000);
}

void readPcm(const MediaSample& s, std::deque<std::int16_t>& to) {
    const auto d = s.data();
    for (std::size_t i = 0; i + 1 < d.size(); i += 2)
        to.push_back(static_cast<std::int16_t>(d[i] | (d[i + 1] << 8)));
}

}  // namespace

// ---- DV splitter ----

DvSplitterFilter::DvSplitterFilter()
    : BaseFilter("DV Splitter", "{4EB31670-9FC6-11CF-AF6E-00AA00B67A42}"),
      input_(&AddInputPin("Input")) {}

std::vector<OutputPin*> DvSplitterFilter::AudioOutputs() const {
    std::vector<OutputPin*> outs = OutputPins();
    if (!outs.empty())
        outs.erase(outs.begin());
    return outs;
}

Status DvSplitterFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin != input_ || mt.majorType != MajorType::Interleaved)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status DvSplitterFilter::CompleteConnect(Pin& pin) {
    if (&pin != input_)
        return Code::Ok;
    const DvInfo info = input_->CurrentMediaType().dvInfo().value_or(DvInfo{});
    // A DVINFO that names no standard keeps the PAL reading this splitter always had.
    pal_ = dv::StandardOfDvInfo(info) != dv::kStandardNtsc;
    const dv::AudioFormat sound = dv::AudioFormatOfSourceWord(info.dwDVAAuxSrc);
    rate_ = sound.SampleRate != 0 ? sound.SampleRate : kDefaultSampleRate;
    pairs_ = dv::StereoPairs(sound);
    AddOutputPin("DVVidOut0");
    for (int p = 0; p < pairs_; ++p)
        AddOutputPin("AudOut0" + std::to_string(p));
    return Code::Ok;
}

void DvSplitterFilter::BreakConnect(Pin& pin) {
    if (&pin != input_)
        return;
    for (int i = PinCount() - 1; i >= 1; --i)
        if (!GetPin(i)->IsConnected())
            RemovePin(*GetPin(i));
}

Status DvSplitterFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (position != 0 || !input_->IsConnected())
        return Code::NoMoreItems;
    if (&pin == GetPin(1)) {
        mt = MakeVideoType(Subtype::Dvsd, MakeDvsdInfo(pal_));
        return Code::Ok;
    }
    for (int i = 2; i < PinCount(); ++i)
        if (&pin == GetPin(i)) {
            mt = MakeAudioType(MakePcmFormat(rate_, 2));
            return Code::Ok;
        }
    return Code::NoMoreItems;
}

Status DvSplitterFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    props.BufferCount = 4;
    props.BufferSize = &pin == GetPin(1) ? static_cast<std::int32_t>(dv::kFrameSize625)
                                         : dvaudio::kMaxSamplesPerFrame * 4;
    return Code::Ok;
}

Status DvSplitterFilter::Pause() {
    if (state_ == FilterState::Stopped) {
        audioSamples_ = 0;
        frames_ = 0;
        int connected = 0;
        for (int i = 1; i < PinCount(); ++i)
            connected += GetPin(i)->IsConnected() ? 1 : 0;
        for (int i = 1; i < PinCount(); ++i)
            static_cast<OutputPin*>(GetPin(i))->SetQueued(connected > 1, 8);
    }
    return BaseFilter::Pause();
}

Status DvSplitterFilter::Stop() {
    return BaseFilter::Stop();
}

Status DvSplitterFilter::Receive(InputPin&, SamplePtr sample) {
    // Sound first: the video receiver may change the frame in place.
    std::vector<SamplePtr> sound;
    const auto frame = std::span<const std::uint8_t>(sample->data());
    StreamTime t0 = 0, t1 = 0;
    const bool timed = sample->GetTime(t0, t1).ok();
    auto audio = dvaudio::ReadFrameAudio(frame);
    if (audio && audio->sampleRate != rate_)
        audio.reset();
    // A frame whose sound cannot be read (a dropout, an empty chunk) gives silence of its
    // length, so the sound keeps its place beside the pictures and a muxer that pairs them is
    // never left waiting for sound that would only come after the frames it holds.
    const int silent = audio ? 0 : dvaudio::SamplesForFrame(pal_, rate_, frames_);
    ++frames_;
    for (int p = 0; p < pairs_; ++p) {
        auto* out = static_cast<OutputPin*>(GetPin(2 + p));
        if (!out || !out->IsConnected())
            continue;
        SamplePtr s = out->GetDeliveryBuffer();
        s->Reserve(static_cast<std::size_t>(dvaudio::kMaxSamplesPerFrame) * 4);
        int n = 0;
        if (audio && p < audio->pairs) {
            std::vector<std::int16_t> pcm(static_cast<std::size_t>(audio->samples) * 2);
            n = dvaudio::ExtractPair(frame, *audio, p, pcm);
            std::uint8_t* d = s->GetPointer();
            for (std::size_t k = 0; k < static_cast<std::size_t>(2 * n); ++k) {
                const auto v = static_cast<std::uint16_t>(pcm[k]);
                d[2 * k] = static_cast<std::uint8_t>(v);
                d[2 * k + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        } else {
            // A second pair the frame does not carry: silence of the frame's length.
            n = audio ? audio->samples : silent;
            std::memset(s->GetPointer(), 0, static_cast<std::size_t>(n) * 4);
        }
        s->SetActualDataLength(n * 4);
        const StreamTime a0 = audioSamples_ * kUnitsPerSecond / rate_;
        const StreamTime a1 = (audioSamples_ + n) * kUnitsPerSecond / rate_;
        s->SetTime(timed ? t0 : a0, timed ? t0 + (a1 - a0) : a1);
        s->SetMediaTime(audioSamples_, audioSamples_ + n);
        s->SetDiscontinuity(sample->IsDiscontinuity());
        sound.push_back(std::move(s));
    }
    audioSamples_ += audio ? audio->samples : silent;
    auto* video = static_cast<OutputPin*>(GetPin(1));
    Status result = Code::Ok;
    if (video && video->IsConnected())
        result = video->Deliver(sample);
    std::size_t k = 0;
    for (int p = 0; p < pairs_; ++p) {
        auto* out = static_cast<OutputPin*>(GetPin(2 + p));
        if (!out || !out->IsConnected())
            continue;
        const Status hr = out->Deliver(std::move(sound[k++]));
        if (result == Code::Ok && hr != Code::Ok)
            result = hr;
    }
    return result;
}

// ---- DV video decoder ----

DvVideoDecoderFilter::DvVideoDecoderFilter()
    : PairedTransformFilter("DV Video Decoder", "{B1B77C00-C3E4-11CF-AF79-00AA00B67A42}") {}
DvVideoDecoderFilter::~DvVideoDecoderFilter() = default;

Status DvVideoDecoderFilter::SetResolution(int resolution) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (resolution != DvResolution::Full && resolution != DvResolution::Half)
        return Code::InvalidArgument;
    half_ = resolution == DvResolution::Half;
    return Code::Ok;
}

bool DvVideoDecoderFilter::pal() const {
    const auto v = InputMediaType().videoInfo();
    return !v || v->bmiHeader.biHeight != 480;
}

Status DvVideoDecoderFilter::CheckInputType(const MediaType& mt) {
    return isDvsdVideo(mt) ? Code::Ok : Code::TypeNotAccepted;
}

// Like the platform's decoder, the codec's own planar layout comes first and RGB24 second, so
// a DV encoder right after it takes the pictures without a colour conversion while the
// program's RGB24 filters still get RGB24.
Status DvVideoDecoderFilter::GetMediaType(int position, MediaType& mt) {
    if (position < 0 || position > 1)
        return Code::NoMoreItems;
    const auto in = InputMediaType().videoInfo();
    const StreamTime avg = in && in->AvgTimePerFrame > 0 ? in->AvgTimePerFrame : frameTime(pal());
    const int w = half_ ? 360 : 720;
    const int h = (pal() ? 576 : 480) / (half_ ? 2 : 1);
    if (position == 0) {
        const FourCC sub = pal() ? Subtype::I420 : Subtype::Y41B;
        mt = MakeVideoType(sub, MakePlanarInfo(sub, w, h, avg));
    } else {
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(w, h, avg));
    }
    return Code::Ok;
}

Status DvVideoDecoderFilter::CheckTransform(const MediaType& in, const MediaType& out) {
    if (!isDvsdVideo(in))
        return Code::TypeNotAccepted;
    for (int i = 0; i < 2; ++i) {
        MediaType mine;
        GetMediaType(i, mine);
        if (out.majorType == mine.majorType && out.subtype == mine.subtype &&
            out.format == mine.format)
            return Code::Ok;
    }
    return Code::TypeNotAccepted;
}

Status DvVideoDecoderFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto v = OutputMediaType().videoInfo();
    props.BufferCount = 3;
    props.BufferSize = v ? static_cast<std::int32_t>(v->bmiHeader.biSizeImage) : 720 * 576 * 3;
    return Code::Ok;
}

bool DvVideoDecoderFilter::planar() const {
    return OutputMediaType().subtype != Subtype::Rgb24;
}

Status DvVideoDecoderFilter::StartLanes(int lanes) {
    // Two lanes use both cores better than the codec's slices, whose threads wait on each other
    // within every frame.
    for (int i = 0; i < lanes; ++i) {
        auto d = std::make_unique<DvVideoDecoder>();
        if (!d->open(half_, lanes == 1 ? 2 : 1)) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the DV decoder cannot start: " + d->errorText()));
            return Code::Fail;
        }
        decoders_.push_back(std::move(d));
    }
    const auto v = OutputMediaType().videoInfo();
    pictureSize_ = v ? v->bmiHeader.biSizeImage : 0;
    last_ = std::make_unique<DvPicture>();
    return Code::Ok;
}

void DvVideoDecoderFilter::StopLanes() {
    decoders_.clear();
    last_.reset();
}

bool DvVideoDecoderFilter::Work(int lane, const MediaSample& in, MediaSample& out) {
    DvVideoDecoder& d = *decoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = pictureSize_;
    out.Reserve(size);
    int w = 0, h = 0;
    const bool decoded = planar() ? d.decodePlanar(in.data(), {out.GetPointer(), size}, w, h)
                                  : d.decode(in.data(), {out.GetPointer(), size}, w, h);
    const std::size_t expected =
        planar() ? PlanarSize(w, h) : Rgb24Stride(w) * static_cast<std::size_t>(h);
    return decoded && expected == size;
}

Status DvVideoDecoderFilter::Finish(int lane, bool decoded, MediaSample& out) {
    // The last picture is held by reference to the codec's buffers rather than copied.
    DvVideoDecoder& d = *decoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = pictureSize_;
    int w = 0, h = 0;
    if (decoded)
        d.keepPicture(*last_);
    else if (!d.convert(*last_, planar(), {out.GetPointer(), size}, w, h))
        std::memset(out.GetPointer(), 0, size);
    out.SetActualDataLength(static_cast<std::int32_t>(size));
    out.SetSyncPoint(true);
    return Code::Ok;
}

// ---- DV video encoder ----

DvVideoEncoderFilter::DvVideoEncoderFilter()
    : PairedTransformFilter("DV Video Encoder", "{C82CC1C0-8BEB-4D3D-9D9E-2E5A6D0E6A14}") {}
DvVideoEncoderFilter::~DvVideoEncoderFilter() = default;

Status DvVideoEncoderFilter::SetVideoFormat(int format) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (format != DvVideoFormat::Pal && format != DvVideoFormat::Ntsc)
        return Code::InvalidArgument;
    pal_ = format == DvVideoFormat::Pal;
    return Code::Ok;
}

Status DvVideoEncoderFilter::CheckInputType(const MediaType& mt) {
    if (mt.majorType != MajorType::Video)
        return Code::TypeNotAccepted;
    const auto v = mt.videoInfo();
    if (mt.subtype == (pal_ ? Subtype::I420 : Subtype::Y41B))
        return v && v->bmiHeader.biWidth == 720 && v->bmiHeader.biHeight == (pal_ ? 576 : 480)
                   ? Code::Ok
                   : Code::TypeNotAccepted;
    if (mt.subtype != Subtype::Rgb24)
        return Code::TypeNotAccepted;
    if (!v || v->bmiHeader.biBitCount != 24 || v->bmiHeader.biWidth <= 0 ||
        v->bmiHeader.biHeight <= 0 || v->bmiHeader.biWidth > 8192 || v->bmiHeader.biHeight > 8192)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status DvVideoEncoderFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    mt = MakeVideoType(Subtype::Dvsd, MakeDvsdInfo(pal_));
    return Code::Ok;
}

Status DvVideoEncoderFilter::GetInputMediaType(int position, MediaType& mt) {
    const int height = pal_ ? 576 : 480;
    if (position == 0) {
        const FourCC sub = pal_ ? Subtype::I420 : Subtype::Y41B;
        mt = MakeVideoType(sub, MakePlanarInfo(sub, 720, height, frameTime(pal_)));
        return Code::Ok;
    }
    if (position == 1) {
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(720, height, frameTime(pal_)));
        return Code::Ok;
    }
    return Code::NoMoreItems;
}

Status DvVideoEncoderFilter::CheckTransform(const MediaType&, const MediaType& out) {
    return isDvsdVideo(out) ? Code::Ok : Code::TypeNotAccepted;
}

Status DvVideoEncoderFilter::DecideBufferSize(AllocatorProperties& props) {
    props.BufferCount = 4;
    props.BufferSize = static_cast<std::int32_t>(pal_ ? dv::kFrameSize625 : dv::kFrameSize525);
    return Code::Ok;
}

Status DvVideoEncoderFilter::StartLanes(int lanes) {
    for (int i = 0; i < lanes; ++i) {
        auto e = std::make_unique<DvVideoEncoder>();
        if (!e->open(pal_, wide_, lanes == 1 ? 2 : 1)) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the DV encoder cannot start: " + e->errorText()));
            return Code::Fail;
        }
        encoders_.push_back(std::move(e));
    }
    return Code::Ok;
}

void DvVideoEncoderFilter::StopLanes() {
    encoders_.clear();
}

bool DvVideoEncoderFilter::Work(int lane, const MediaSample& in, MediaSample& out) {
    const auto v = InputMediaType().videoInfo();
    if (!v)
        return false;
    DvVideoEncoder& e = *encoders_[static_cast<std::size_t>(lane)];
    const std::size_t size = e.frameSize();
    out.Reserve(size);
    return InputMediaType().subtype == Subtype::Rgb24
               ? e.encode(in.data(), v->bmiHeader.biWidth, v->bmiHeader.biHeight,
                          {out.GetPointer(), size})
               : e.encodePlanar(in.data(), {out.GetPointer(), size});
}

Status DvVideoEncoderFilter::Finish(int lane, bool encoded, MediaSample& out) {
    DvVideoEncoder& e = *encoders_[static_cast<std::size_t>(lane)];
    if (!encoded) {
        NotifyEvent(EventCode::ErrorAbort,
                    Status(Code::Fail, "the DV encoder failed: " + e.errorText()));
        return Code::Fail;
    }
    out.SetActualDataLength(static_cast<std::int32_t>(e.frameSize()));
    out.SetSyncPoint(true);
    return Code::Ok;
}

// ---- DV muxer ----

DvMuxerFilter::DvMuxerFilter() : BaseFilter("DV Muxer", "{129D7E40-C10D-11D0-AFB9-00AA00B67A42}") {
    video_ = &AddInputPin("Stream 0");
    AddOutputPin("Output");
}

InputPin* DvMuxerFilter::FreeAudioInput() const {
    auto* p = GetPin(PinCount() - 2);
    if (!p || p == video_ || p->Direction() != PinDirection::Input || p->IsConnected())
        return nullptr;
    return static_cast<InputPin*>(p);
}

int DvMuxerFilter::audioIndex(const InputPin& pin) const {
    int k = -1;
    for (int i = 0; i < PinCount(); ++i) {
        const Pin* p = GetPin(i);
        if (p->Direction() != PinDirection::Input)
            continue;
        if (p == &pin)
            return k;
        ++k;
    }
    return -1;
}

Status DvMuxerFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (pin.Direction() != PinDirection::Input)
        return Code::TypeNotAccepted;
    if (&pin == video_)
        return isDvsdVideo(mt) ? Code::Ok : Code::TypeNotAccepted;
    if (!isPcm16Stereo(mt))
        return Code::TypeNotAccepted;
    if (audioIndex(static_cast<const InputPin&>(pin)) == 1) {
        // A second pair is only possible as 12-bit 32 kHz sound, next to a 32 kHz first pair.
        const InputPin* first = GetInputPin(1);
        const auto w0 = first ? first->CurrentMediaType().waveFormat() : std::nullopt;
        const auto w1 = mt.waveFormat();
        if (!w0 || w0->nSamplesPerSec != 32000 || w1->nSamplesPerSec != 32000)
            return Code::TypeNotAccepted;
    }
    return Code::Ok;
}

Status DvMuxerFilter::CompleteConnect(Pin& pin) {
    if (pin.Direction() != PinDirection::Input)
        return Code::Ok;
    int inputs = 0;
    for (int i = 0; i < PinCount(); ++i)
        inputs += GetPin(i)->Direction() == PinDirection::Input ? 1 : 0;
    const int idx = &pin == video_ ? -1 : audioIndex(static_cast<InputPin&>(pin));
    // The last input just got connected: offer a free one before the output (two audio at most).
    if (idx + 2 == inputs && inputs < 3)
        AddInputPin("Stream " + std::to_string(inputs), PinCount() - 1);
    return Code::Ok;
}

Status DvMuxerFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (pin.Direction() == PinDirection::Input && &pin != video_) {
        // Sound as DV carries it: 16-bit stereo at 48 kHz, a second pair at 32 kHz.
        if (position != 0)
            return Code::NoMoreItems;
        const int k = audioIndex(static_cast<const InputPin&>(pin));
        mt = MakeAudioType(MakePcmFormat(k == 1 ? 32000 : 48000, 2));
        return Code::Ok;
    }
    if (&pin != &output() || position != 0 || !video_->IsConnected())
        return Code::NoMoreItems;
    const auto v = video_->CurrentMediaType().videoInfo();
    const bool pal = !v || v->bmiHeader.biHeight != 480;
    const InputPin* a0 = GetInputPin(1);
    // The rate is read out of the optional at once: some compilers cannot follow it otherwise.
    int rate = kDefaultSampleRate;
    if (a0 && a0->IsConnected())
        if (const auto w = a0->CurrentMediaType().waveFormat())
            rate = static_cast<int>(w->nSamplesPerSec);
    // A second pair is muxed (as 12-bit 32 kHz sound) when its input is connected, and the
    // DVINFO says so, so a DV splitter after the muxer gives both pairs back.
    const InputPin* a1 = GetInputPin(2);
    const bool twoPairs = a0 && a0->IsConnected() && rate == 32000 && a1 && a1->IsConnected();
    const DvInfo info = dv::MuxedDvInfo(pal, rate, twoPairs);
    mt = MakeInterleavedDvType(info);
    return Code::Ok;
}

Status DvMuxerFilter::DecideBufferSize(const Pin&, AllocatorProperties& props) {
    props.BufferCount = 4;
    props.BufferSize = static_cast<std::int32_t>(dv::kFrameSize625);
    return Code::Ok;
}

Status DvMuxerFilter::Pause() {
    if (state_ == FilterState::Stopped) {
        std::lock_guard lock(mutex_);
        frames_ = 0;
        videoEnded_ = !video_->IsConnected();
        stopping_ = false;
        for (int k = 0; k < 2; ++k) {
            const InputPin* p = GetInputPin(1 + k);
            audio_[k] = AudioQueue{};
            audio_[k].connected = p && p->IsConnected();
            if (audio_[k].connected)
                audio_[k].rate =
                    static_cast<int>(p->CurrentMediaType().waveFormat()->nSamplesPerSec);
        }
    }
    return BaseFilter::Pause();
}

void DvMuxerFilter::StartThreads() {
    if (!video_->IsConnected())
        output().DeliverEndOfStream();
}

Status DvMuxerFilter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& a : audio_)
            a.pcm.clear();
        cv_.notify_all();
    }
    return BaseFilter::Stop();
}

Status DvMuxerFilter::Receive(InputPin& pin, SamplePtr sample) {
    const int k = audioIndex(pin);
    if (k >= 0) {
        std::unique_lock lock(mutex_);
        AudioQueue& q = audio_[k];
        // Stay at most a second of sound ahead of the video.
        while (!pin.IsFlushing() && !stopping_ && !videoEnded_ &&
               q.pcm.size() > static_cast<std::size_t>(q.rate) * 2)
            cv_.wait_for(lock, kWaitStep);
        if (pin.IsFlushing() || stopping_)
            return Code::False;
        if (!videoEnded_)
            readPcm(*sample, q.pcm);
        cv_.notify_all();
        return Code::Ok;
    }
    const auto frame = sample->data();
    const auto sequences = dv::SequenceCountForSize(frame.size());
    OutputPin& out = output();
    if (!out.IsConnected())
        return Code::Ok;
    if (!sequences || (!audio_[0].connected && !audio_[1].connected))
        return out.Deliver(sample);
    const bool pal = *sequences == dv::kSequences625;
    SamplePtr o = out.GetDeliveryBuffer();
    o->CopyPropertiesFrom(*sample);
    o->assign(frame);
    std::vector<std::int16_t> pcm[2];
    int n = 0;
    {
        std::unique_lock lock(mutex_);
        const int rate = audio_[0].connected ? audio_[0].rate : audio_[1].rate;
        // A frame that already carries sound of this rate keeps its own sample count, so the
        // sound stays where its frames are (cuts, type changes); new frames take the even
        // spread of the standard.
        const auto own = dvaudio::ReadFrameAudio(frame);
        n = own && own->sampleRate == rate && own->pal == pal && own->samples > 0
                ? own->samples
                : dvaudio::SamplesForFrame(pal, rate, frames_);
        const auto want = static_cast<std::size_t>(2 * n);
        auto ready = [&] {
            for (const AudioQueue& q : audio_)
                if (q.connected && !q.ended && q.pcm.size() < want)
                    return false;
            return true;
        };
        while (!pin.IsFlushing() && !stopping_ && !ready())
            cv_.wait_for(lock, kWaitStep);
        if (pin.IsFlushing() || stopping_)
            return Code::False;
        for (int a = 0; a < 2; ++a) {
            AudioQueue& q = audio_[a];
            pcm[a].assign(want, 0);
            const std::size_t take = std::min(want, q.pcm.size());
            std::copy(q.pcm.begin(), q.pcm.begin() + static_cast<std::ptrdiff_t>(take),
                      pcm[a].begin());
            q.pcm.erase(q.pcm.begin(), q.pcm.begin() + static_cast<std::ptrdiff_t>(take));
        }
        const std::int64_t frameIndex = frames_++;
        cv_.notify_all();
        dvaudio::FrameAudio fa;
        fa.pal = pal;
        fa.sampleRate = rate;
        const bool twoPairs = audio_[1].connected && rate == 32000;
        fa.quantization = twoPairs ? 12 : 16;
        fa.pairs = twoPairs ? 2 : 1;
        fa.samples = n;
        lock.unlock();
        if (!dvaudio::InsertAudio(o->data(), fa, audio_[0].connected ? pcm[0] : pcm[1],
                                  twoPairs ? std::span<const std::int16_t>(pcm[1])
                                           : std::span<const std::int16_t>())) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the sound of frame " + std::to_string(frameIndex) +
                                               " does not fit a DV frame"));
            return Code::Fail;
        }
    }
    return out.Deliver(std::move(o));
}

void DvMuxerFilter::EndOfStream(InputPin& pin) {
    const int k = audioIndex(pin);
    {
        std::lock_guard lock(mutex_);
        if (k >= 0) {
            audio_[k].ended = true;
            cv_.notify_all();
            return;
        }
        videoEnded_ = true;
        cv_.notify_all();
    }
    output().DeliverEndOfStream();
}

}  // namespace kelvor::media
