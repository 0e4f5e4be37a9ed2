#include "media/engine/DvFilters.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"
#include "media/engine/DvAudio.h"

namespace kelvor::media {
namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(20);
constexpr int kDefaultSampleRate = 48000;

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

void readPcm(const MediaSample& s, std::vector<std::int16_t>& to) {
    const auto d = s.data();
    const std::size_t at = to.size();
    to.resize(at + d.size() / 2);
    for (std::size_t i = 0; i + 1 < d.size(); i += 2)
        to[at + i / 2] = static_cast<std::int16_t>(d[i] | (d[i + 1] << 8));
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
            static_cast<OutputPin*>(GetPin(i))->SetQueued(connected > 1 && !serial_, 8);
    }
    return BaseFilter::Pause();
}

Status DvSplitterFilter::Stop() {
    return BaseFilter::Stop();
}

Status DvSplitterFilter::Receive(InputPin&, SamplePtr sample) {
    // Sound first: the video receiver may change the frame in place.
    std::vector<SamplePtr>& sound = sound_;
    sound.clear();
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
            std::vector<std::int16_t>& pcm = pcm_;
            pcm.resize(static_cast<std::size_t>(audio->samples) * 2);
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
    sound.clear();
    return result;
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
        for (auto& a : audio_) {
            a.pcm.clear();
            a.head = 0;
        }
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
               q.queued() > static_cast<std::size_t>(q.rate) * 2)
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
    std::vector<std::int16_t>(&pcm)[2] = framePcm_;
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
                if (q.connected && !q.ended && q.queued() < want)
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
            const std::size_t take = std::min(want, q.queued());
            const auto from = q.pcm.begin() + static_cast<std::ptrdiff_t>(q.head);
            std::copy(from, from + static_cast<std::ptrdiff_t>(take), pcm[a].begin());
            q.head += take;
            // The taken samples leave the front only now and then, and never free the memory.
            if (q.head == q.pcm.size()) {
                q.pcm.clear();
                q.head = 0;
            } else if (q.head > q.pcm.size() / 2) {
                q.pcm.erase(q.pcm.begin(), q.pcm.begin() + static_cast<std::ptrdiff_t>(q.head));
                q.head = 0;
            }
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
