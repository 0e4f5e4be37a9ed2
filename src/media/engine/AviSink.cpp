#include "media/engine/AviSink.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "core/avi/AviWriter.h"
#include "core/avi/FormatBlocks.h"
#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"

namespace kelvor::media {
namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(20);
constexpr REFERENCE_TIME kMaxLead = kUnitsPerSecond;

}  // namespace

FileWriterFilter::FileWriterFilter()
    : RendererBase("File writer", "{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}") {}

HRESULT FileWriterFilter::SetFileName(const std::string& fileName) {
    if (State() != FilterState::Stopped)
        return VFW_E_NOT_STOPPED;
    if (fileName.empty())
        return E_INVALIDARG;
    fileName_ = fileName;
    stream_ = std::make_shared<ByteStreamFile>(fileName);
    return S_OK;
}

HRESULT FileWriterFilter::CheckInputType(const MediaType& mt) {
    return mt.majorType == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

bool FileWriterFilter::writesBytes() const {
    return Input().IsConnected() && Input().CurrentMediaType().subtype != MEDIASUBTYPE_Avi;
}

std::shared_ptr<ByteStreamFile> FileWriterFilter::Stream() const {
    return writesBytes() ? stream_ : nullptr;
}

HRESULT FileWriterFilter::Pause() {
    if (state_ == FilterState::Stopped && writesBytes()) {
        if (!stream_)
            return E_FAIL;
        const HRESULT hr = stream_->Acquire();
        if (Failed(hr))
            return hr;
        holdsStream_ = true;
    }
    return RendererBase::Pause();
}

HRESULT FileWriterFilter::releaseStream() {
    return holdsStream_.exchange(false) ? stream_->Release() : S_OK;
}

HRESULT FileWriterFilter::Stop() {
    const HRESULT hr = releaseStream();
    const HRESULT stopped = RendererBase::Stop();
    return Failed(hr) ? hr : stopped;
}

HRESULT FileWriterFilter::DoRenderSample(const MediaSample& sample) {
    if (!holdsStream_)
        return S_OK;
    stream_->Keep();
    REFERENCE_TIME start = 0, stop = 0;
    if (Succeeded(sample.GetTime(start, stop))) {
        if (start < 0)
            return E_FAIL;
        return stream_->WriteAt(static_cast<std::uint64_t>(start), sample.data());
    }
    return stream_->Write(sample.data());
}

HRESULT FileWriterFilter::OnEndOfStream() {
    if (holdsStream_)
        stream_->Keep();
    return releaseStream();
}

AviMuxFilter::AviMuxFilter() : BaseFilter("AVI Mux", "{E2510970-F137-11CE-8C63-00AA0044B51E}") {
    output_ = &AddOutputPin("AVI Out");
    AddInputPin("Input 01");
}

AviMuxFilter::~AviMuxFilter() {
    if (writer_ && writer_->isOpen())
        writer_->close();
}

InputPin* AviMuxFilter::FreeInput() const {
    auto* p = GetPin(PinCount() - 1);
    if (!p || p->Direction() != PinDirection::Input || p->IsConnected())
        return nullptr;
    return static_cast<InputPin*>(p);
}

std::uint64_t AviMuxFilter::FramesWritten() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

int AviMuxFilter::inputIndex(const InputPin& pin) const {
    int k = 0;
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

HRESULT AviMuxFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (pin.Direction() != PinDirection::Input)
        return VFW_E_TYPE_NOT_ACCEPTED;
    bool haveVideo = false, haveType1 = false;
    for (int i = 0; i < PinCount(); ++i) {
        const Pin* p = GetPin(i);
        if (p->Direction() != PinDirection::Input || !p->IsConnected())
            continue;
        haveVideo = haveVideo || p->CurrentMediaType().majorType != MEDIATYPE_Audio;
        haveType1 = haveType1 || p->CurrentMediaType().majorType == MEDIATYPE_Interleaved;
    }
    if (haveType1)
        return VFW_E_TYPE_NOT_ACCEPTED;  // type 1 has one stream only
    if (mt.majorType == MEDIATYPE_Interleaved)
        return haveVideo ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
    if (mt.majorType == MEDIATYPE_Video)
        return !haveVideo && mt.subtype == MEDIASUBTYPE_dvsd ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    if (mt.majorType == MEDIATYPE_Audio) {
        const auto w = mt.waveFormat();
        return w && w->wFormatTag == WaveFormatEx::kFormatPcm && w->nChannels > 0 &&
                       w->nChannels <= 8 && w->wBitsPerSample > 0 && w->wBitsPerSample <= 32 &&
                       w->nSamplesPerSec > 0
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviMuxFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position != 0)
        return VFW_S_NO_MORE_ITEMS;
    mt = MakeStreamType(MEDIASUBTYPE_Avi);
    return S_OK;
}

HRESULT AviMuxFilter::CompleteConnect(Pin& pin) {
    if (pin.Direction() != PinDirection::Input)
        return S_OK;
    if (GetPin(PinCount() - 1) == &pin &&
        pin.CurrentMediaType().majorType != MEDIATYPE_Interleaved) {
        int n = 0;
        for (int i = 0; i < PinCount(); ++i)
            n += GetPin(i)->Direction() == PinDirection::Input ? 1 : 0;
        if (n < 16)
            AddInputPin("Input " + std::string(n + 1 < 10 ? "0" : "") + std::to_string(n + 1));
    }
    return S_OK;
}

HRESULT AviMuxFilter::Pause() {
    if (state_ == FilterState::Stopped) {
        std::lock_guard lock(mutex_);
        inputs_.clear();
        for (int i = 0; i < PinCount(); ++i) {
            const Pin* p = GetPin(i);
            if (p->Direction() != PinDirection::Input)
                continue;
            InputState in;
            in.connected = p->IsConnected();
            in.video = in.connected && p->CurrentMediaType().majorType != MEDIATYPE_Audio;
            inputs_.push_back(std::move(in));
        }
        writer_.reset();
        error_.clear();
        failed_ = finished_ = stopping_ = false;
        frames_ = 0;
        position_ = 0;
    }
    return BaseFilter::Pause();
}

HRESULT AviMuxFilter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        cv_.notify_all();
        // A stopped run keeps the frames written so far in a finished file.
        if (writer_ && writer_->isOpen())
            writer_->close();
        for (InputState& in : inputs_)
            in.early.clear();
    }
    return BaseFilter::Stop();
}

void AviMuxFilter::StartThreads() {
    bool any = false;
    for (InputPin* in : InputPins())
        any = any || in->IsConnected();
    if (!any)
        output_->DeliverEndOfStream();
}

bool AviMuxFilter::openWriter(std::span<const std::uint8_t> firstFrame) {
    auto* fw = output_->IsConnected()
                   ? dynamic_cast<FileWriterFilter*>(&output_->ConnectedTo()->Filter())
                   : nullptr;
    if (!fw || fw->FileName().empty()) {
        error_ = "the AVI mux has no file to write to";
        return false;
    }
    avi::AviWriterConfig cfg;
    const auto seq = dv::SequenceCountForSize(firstFrame.size());
    if (!seq) {
        error_ = fw->FileName() + ": a frame of " + std::to_string(firstFrame.size()) +
                 " bytes is not a DV frame";
        return false;
    }
    cfg.System = *seq == dv::kSequences625 ? avi::TvSystem::Pal : avi::TvSystem::Ntsc;
    cfg.DvInfoBytes = avi::BlockBytes(dv::DvInfoFromFrame(firstFrame));
    cfg.Type = avi::DvType::Type2;
    int idx = 0;
    for (int i = 0; i < PinCount(); ++i) {
        const Pin* p = GetPin(i);
        if (p->Direction() != PinDirection::Input)
            continue;
        const InputState& in = inputs_[static_cast<std::size_t>(idx++)];
        if (!in.connected)
            continue;
        const MediaType& mt = p->CurrentMediaType();
        if (mt.majorType == MEDIATYPE_Interleaved)
            cfg.Type = avi::DvType::Type1;
        if (mt.majorType == MEDIATYPE_Audio) {
            const auto w = mt.waveFormat();
            avi::WaveFormat f;
            f.Channels = w->nChannels;
            f.SamplesPerSec = w->nSamplesPerSec;
            f.BitsPerSample = w->wBitsPerSample;
            cfg.Audio.push_back(f);
        }
    }
    writer_ = std::make_unique<avi::AviWriter>();
    if (writer_->open(fw->FileName(), cfg))
        return true;
    error_ = writer_->errorText();
    return false;
}

std::string AviMuxFilter::writerError() const {
    if (!error_.empty())
        return error_;
    if (writer_ && !writer_->errorText().empty())
        return writer_->errorText();
    return "the AVI file could not be written";
}

HRESULT AviMuxFilter::Receive(InputPin& pin, SamplePtr sample) {
    HRESULT result = S_OK;
    std::string text;
    {
        std::unique_lock lock(mutex_);
        const int k = inputIndex(pin);
        if (k < 0 || static_cast<std::size_t>(k) >= inputs_.size())
            return E_UNEXPECTED;
        InputState& me = inputs_[static_cast<std::size_t>(k)];
        auto others = [&] {
            REFERENCE_TIME t = std::numeric_limits<REFERENCE_TIME>::max();
            for (const InputState& in : inputs_)
                if (&in != &me && in.connected && !in.ended)
                    t = std::min(t, in.time);
            return t;
        };
        while (!pin.IsFlushing() && !stopping_ && !failed_ &&
               others() != std::numeric_limits<REFERENCE_TIME>::max() &&
               me.time > others() + kMaxLead)
            cv_.wait_for(lock, kWaitStep);
        if (pin.IsFlushing() || stopping_)
            return S_FALSE;
        if (failed_)
            return E_FAIL;
        REFERENCE_TIME t0 = 0, t1 = 0;
        if (Succeeded(sample->GetTime(t0, t1)))
            me.time = t1;
        cv_.notify_all();
        if (me.video) {
            if (!writer_) {
                if (!openWriter(sample->data())) {
                    failed_ = true;
                    result = E_FAIL;
                }
                int audio = 0;
                for (InputState& in : inputs_) {
                    if (!in.video && in.connected) {
                        for (const SamplePtr& s : in.early)
                            if (result == S_OK &&
                                !writer_->writeAudio(s->data(), static_cast<std::size_t>(audio)))
                                result = E_FAIL;
                        in.early.clear();
                        ++audio;
                    }
                }
            }
            if (result == S_OK && writer_->writeVideoFrame(sample->data())) {
                ++frames_;
                if (Succeeded(sample->GetTime(t0, t1)))
                    position_ = t1;
            } else
                result = E_FAIL;
        } else if (!writer_) {
            me.early.push_back(std::move(sample));
        } else {
            int audio = 0;
            for (int i = 0; i < k; ++i)
                audio += !inputs_[static_cast<std::size_t>(i)].video &&
                         inputs_[static_cast<std::size_t>(i)].connected;
            if (!writer_->writeAudio(sample->data(), static_cast<std::size_t>(audio)))
                result = E_FAIL;
        }
        if (result != S_OK) {
            failed_ = true;
            text = writerError();
        }
    }
    if (Failed(result))
        NotifyEvent(EC_ERRORABORT, result, std::move(text));
    return result;
}

HRESULT AviMuxFilter::finish() {
    finished_ = true;
    if (!writer_)
        return failed_ ? E_FAIL : S_OK;
    return writer_->close() ? S_OK : E_FAIL;
}

void AviMuxFilter::EndOfStream(InputPin& pin) {
    HRESULT hr = S_OK;
    bool done = false;
    std::string text;
    {
        std::lock_guard lock(mutex_);
        const int k = inputIndex(pin);
        if (k < 0 || static_cast<std::size_t>(k) >= inputs_.size())
            return;
        inputs_[static_cast<std::size_t>(k)].ended = true;
        cv_.notify_all();
        done = !finished_;
        for (const InputState& in : inputs_)
            done = done && (!in.connected || in.ended);
        if (done)
            hr = finish();
        if (Failed(hr))
            text = writerError();
    }
    if (!done)
        return;
    if (Failed(hr))
        NotifyEvent(EC_ERRORABORT, hr, std::move(text));
    else
        output_->DeliverEndOfStream();
}

}  // namespace kelvor::media
