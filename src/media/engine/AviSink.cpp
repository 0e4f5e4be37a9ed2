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
constexpr StreamTime kMaxLead = kUnitsPerSecond;

}  // namespace

FileWriterFilter::FileWriterFilter()
    : RendererBase("File writer", "{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}") {}

Status FileWriterFilter::SetFileName(const std::string& fileName) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (fileName.empty())
        return Code::InvalidArgument;
    fileName_ = fileName;
    stream_ = std::make_shared<ByteStreamFile>(fileName);
    return Code::Ok;
}

Status FileWriterFilter::CheckInputType(const MediaType& mt) {
    return mt.majorType == MajorType::Stream ? Code::Ok : Code::TypeNotAccepted;
}

bool FileWriterFilter::writesBytes() const {
    return Input().IsConnected() && Input().CurrentMediaType().subtype != Subtype::Avi;
}

std::shared_ptr<ByteStreamFile> FileWriterFilter::Stream() const {
    return writesBytes() ? stream_ : nullptr;
}

Status FileWriterFilter::Pause() {
    if (state_ == FilterState::Stopped && writesBytes()) {
        if (!stream_)
            return Code::Fail;
        const Status hr = stream_->Acquire();
        if (hr.failed())
            return hr;
        holdsStream_ = true;
    }
    return RendererBase::Pause();
}

Status FileWriterFilter::releaseStream() {
    return holdsStream_.exchange(false) ? stream_->Release() : Code::Ok;
}

Status FileWriterFilter::Stop() {
    const Status hr = releaseStream();
    const Status stopped = RendererBase::Stop();
    return hr.failed() ? hr : stopped;
}

Status FileWriterFilter::DoRenderSample(const MediaSample& sample) {
    if (!holdsStream_)
        return Code::Ok;
    stream_->Keep();
    StreamTime start = 0, stop = 0;
    if (sample.GetTime(start, stop).ok()) {
        if (start < 0)
            return Code::Fail;
        return stream_->WriteAt(static_cast<std::uint64_t>(start), sample.data());
    }
    return stream_->Write(sample.data());
}

Status FileWriterFilter::OnEndOfStream() {
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

bool AviMuxFilter::FrameRate(std::int64_t& num, std::int64_t& den) const {
    std::lock_guard lock(mutex_);
    if (rateNum_ <= 0)
        return false;
    num = rateNum_;
    den = rateDen_;
    return true;
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

Status AviMuxFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (pin.Direction() != PinDirection::Input)
        return Code::TypeNotAccepted;
    bool haveVideo = false, haveType1 = false;
    for (int i = 0; i < PinCount(); ++i) {
        const Pin* p = GetPin(i);
        if (p->Direction() != PinDirection::Input || !p->IsConnected())
            continue;
        haveVideo = haveVideo || p->CurrentMediaType().majorType != MajorType::Audio;
        haveType1 = haveType1 || p->CurrentMediaType().majorType == MajorType::Interleaved;
    }
    if (haveType1)
        return Code::TypeNotAccepted;  // type 1 has one stream only
    if (mt.majorType == MajorType::Interleaved)
        return haveVideo ? Code::TypeNotAccepted : Code::Ok;
    if (mt.majorType == MajorType::Video)
        return !haveVideo && mt.subtype == Subtype::Dvsd ? Code::Ok : Code::TypeNotAccepted;
    if (mt.majorType == MajorType::Audio) {
        const auto w = mt.waveFormat();
        return w && w->wFormatTag == WaveFormatEx::kFormatPcm && w->nChannels > 0 &&
                       w->nChannels <= 8 && w->wBitsPerSample > 0 && w->wBitsPerSample <= 32 &&
                       w->nSamplesPerSec > 0
                   ? Code::Ok
                   : Code::TypeNotAccepted;
    }
    return Code::TypeNotAccepted;
}

Status AviMuxFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position != 0)
        return Code::NoMoreItems;
    mt = MakeStreamType(Subtype::Avi);
    return Code::Ok;
}

Status AviMuxFilter::CompleteConnect(Pin& pin) {
    if (pin.Direction() != PinDirection::Input)
        return Code::Ok;
    if (GetPin(PinCount() - 1) == &pin &&
        pin.CurrentMediaType().majorType != MajorType::Interleaved) {
        int n = 0;
        for (int i = 0; i < PinCount(); ++i)
            n += GetPin(i)->Direction() == PinDirection::Input ? 1 : 0;
        if (n < 16)
            AddInputPin("Input " + std::string(n + 1 < 10 ? "0" : "") + std::to_string(n + 1));
    }
    return Code::Ok;
}

Status AviMuxFilter::Pause() {
    if (state_ == FilterState::Stopped) {
        std::lock_guard lock(mutex_);
        inputs_.clear();
        for (int i = 0; i < PinCount(); ++i) {
            const Pin* p = GetPin(i);
            if (p->Direction() != PinDirection::Input)
                continue;
            InputState in;
            in.connected = p->IsConnected();
            in.video = in.connected && p->CurrentMediaType().majorType != MajorType::Audio;
            inputs_.push_back(std::move(in));
        }
        writer_.reset();
        error_.clear();
        failed_ = finished_ = stopping_ = false;
        frames_ = 0;
        rateNum_ = 0;
        rateDen_ = 1;
        position_ = 0;
    }
    return BaseFilter::Pause();
}

Status AviMuxFilter::Stop() {
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
        error_ = notDvFrame(firstFrame.size());
        return false;
    }
    cfg.System = *seq == dv::kSequences625 ? avi::TvSystem::Pal : avi::TvSystem::Ntsc;
    rateNum_ = cfg.System == avi::TvSystem::Pal ? 25 : 30000;
    rateDen_ = cfg.System == avi::TvSystem::Pal ? 1 : 1001;
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
        if (mt.majorType == MajorType::Interleaved)
            cfg.Type = avi::DvType::Type1;
        if (mt.majorType == MajorType::Audio) {
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

std::string AviMuxFilter::notDvFrame(std::size_t size) const {
    const auto* fw = output_->IsConnected()
                         ? dynamic_cast<FileWriterFilter*>(&output_->ConnectedTo()->Filter())
                         : nullptr;
    return (fw ? fw->FileName() + ": " : std::string()) + "a frame of " + std::to_string(size) +
           " bytes is not a DV frame";
}

std::string AviMuxFilter::writerError() const {
    if (!error_.empty())
        return error_;
    if (writer_ && !writer_->errorText().empty())
        return writer_->errorText();
    return "the AVI file could not be written";
}

Status AviMuxFilter::Receive(InputPin& pin, SamplePtr sample) {
    Status result = Code::Ok;
    std::string text;
    {
        std::unique_lock lock(mutex_);
        const int k = inputIndex(pin);
        if (k < 0 || static_cast<std::size_t>(k) >= inputs_.size())
            return Code::Unexpected;
        InputState& me = inputs_[static_cast<std::size_t>(k)];
        auto others = [&] {
            StreamTime t = std::numeric_limits<StreamTime>::max();
            for (const InputState& in : inputs_)
                if (&in != &me && in.connected && !in.ended)
                    t = std::min(t, in.time);
            return t;
        };
        while (!pin.IsFlushing() && !stopping_ && !failed_ &&
               others() != std::numeric_limits<StreamTime>::max() && me.time > others() + kMaxLead)
            cv_.wait_for(lock, kWaitStep);
        if (pin.IsFlushing() || stopping_)
            return Code::False;
        if (failed_)
            return Code::Fail;
        StreamTime t0 = 0, t1 = 0;
        if (sample->GetTime(t0, t1).ok())
            me.time = t1;
        cv_.notify_all();
        if (me.video) {
            if (!writer_) {
                if (!openWriter(sample->data())) {
                    failed_ = true;
                    result = Code::Fail;
                }
                int audio = 0;
                for (InputState& in : inputs_) {
                    if (!in.video && in.connected) {
                        for (const SamplePtr& s : in.early)
                            if (result == Code::Ok &&
                                !writer_->writeAudio(s->data(), static_cast<std::size_t>(audio)))
                                result = Code::Fail;
                        in.early.clear();
                        ++audio;
                    }
                }
            }
            // Every frame is checked, not only the first: a run of empty chunks in the middle
            // of a file ends the run with the same reason as one at its start.
            if (result == Code::Ok && !dv::SequenceCountForSize(sample->data().size())) {
                error_ = notDvFrame(sample->data().size());
                result = Code::Fail;
            } else if (result == Code::Ok && writer_->writeVideoFrame(sample->data())) {
                ++frames_;
                if (sample->GetTime(t0, t1).ok())
                    position_ = t1;
            } else
                result = Code::Fail;
        } else if (!writer_) {
            me.early.push_back(std::move(sample));
        } else {
            int audio = 0;
            for (int i = 0; i < k; ++i)
                audio += !inputs_[static_cast<std::size_t>(i)].video &&
                         inputs_[static_cast<std::size_t>(i)].connected;
            if (!writer_->writeAudio(sample->data(), static_cast<std::size_t>(audio)))
                result = Code::Fail;
        }
        if (result != Code::Ok) {
            failed_ = true;
            text = writerError();
        }
    }
    if (result.failed())
        NotifyEvent(EventCode::ErrorAbort, Status(result.code(), std::move(text)));
    return result;
}

Status AviMuxFilter::finish() {
    finished_ = true;
    if (!writer_)
        return failed_ ? Code::Fail : Code::Ok;
    return writer_->close() ? Code::Ok : Code::Fail;
}

void AviMuxFilter::EndOfStream(InputPin& pin) {
    Status hr = Code::Ok;
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
        if (hr.failed())
            text = writerError();
    }
    if (!done)
        return;
    if (hr.failed())
        NotifyEvent(EventCode::ErrorAbort, Status(hr.code(), std::move(text)));
    else
        output_->DeliverEndOfStream();
}

}  // namespace kelvor::media
