#include "media/filters/WavWriterFilter.h"

#include <algorithm>
#include <limits>
#include <string>

#include "media/engine/AviSink.h"

namespace kelvor::media {
namespace {

constexpr std::uint64_t kMaxSizeField = std::numeric_limits<std::uint32_t>::max();
// The RIFF size field counts everything after its own 8 bytes ("RIFF" and the field).
constexpr std::uint64_t kRiffPreamble = 8;
// Where the header's parts sit; the "data" tag and its size follow the format block.
constexpr std::size_t kRiffTagAt = 0;
constexpr std::size_t kRiffSizeAt = 4;
constexpr std::size_t kWaveTagAt = 8;
constexpr std::size_t kFmtTagAt = 12;
constexpr std::size_t kFmtSizeAt = 16;
constexpr std::size_t kFormatAt = 20;
constexpr std::size_t kDataSizeAfterTag = 4;

// Writes a tag or a little-endian 32-bit value at a position of the header.
void putTag(std::vector<std::uint8_t>& out, std::size_t at, const char (&tag)[5]) {
    std::copy(tag, tag + 4, out.begin() + static_cast<std::ptrdiff_t>(at));
}

void putU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t v) {
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> WaveHeader(std::span<const std::uint8_t> formatBlock,
                                     std::uint32_t dataBytes) {
    const std::uint64_t headerSize = formatBlock.size() + WavWriterFilter::kHeaderOverhead;
    const std::size_t f = formatBlock.size();
    std::vector<std::uint8_t> h(static_cast<std::size_t>(headerSize));
    putTag(h, kRiffTagAt, "RIFF");
    putU32(h, kRiffSizeAt, dataBytes + headerSize - kRiffPreamble);
    putTag(h, kWaveTagAt, "WAVE");
    putTag(h, kFmtTagAt, "fmt ");
    putU32(h, kFmtSizeAt, f);
    std::copy(formatBlock.begin(), formatBlock.end(),
              h.begin() + static_cast<std::ptrdiff_t>(kFormatAt));
    putTag(h, kFormatAt + f, "data");
    putU32(h, kFormatAt + f + kDataSizeAfterTag, dataBytes);
    return h;
}

bool WaveSizeFieldsHold(std::uint32_t headerSize, std::uint32_t dataBytes,
                        std::size_t sampleBytes) {
    const std::uint64_t end = std::uint64_t{headerSize} + dataBytes + sampleBytes;
    return end >= kRiffPreamble && end - kRiffPreamble <= kMaxSizeField;
}

WavWriterFilter::WavWriterFilter()
    : TransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId)) {}

Status WavWriterFilter::CheckInputType(const MediaType& mtIn) {
    return mtIn.formatType == FormatType::WaveFormatEx ? Code::Ok : Code::False;
}

Status WavWriterFilter::CheckTransform(const MediaType&, const MediaType& mtOut) {
    return mtOut.majorType == MajorType::Stream && mtOut.subtype == Subtype::Wave ? Code::Ok
                                                                                  : Code::False;
}

Status WavWriterFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    mt = MakeStreamType(Subtype::Wave);
    return Code::Ok;
}

Status WavWriterFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto* upstream = static_cast<const OutputPin*>(Input().ConnectedTo());
    props.BufferCount = 1;
    props.BufferSize = std::max(upstream ? upstream->Allocator().BufferSize : 0, 1);
    return Code::Ok;
}

std::shared_ptr<ByteStreamFile> WavWriterFilter::downstreamStream() const {
    const Pin* peer = Output().ConnectedTo();
    const auto* writer = peer ? dynamic_cast<const FileWriterFilter*>(&peer->Filter()) : nullptr;
    return writer ? writer->Stream() : nullptr;
}

Status WavWriterFilter::StartStreaming() {
    headerSize_ = static_cast<std::uint32_t>(InputMediaType().format.size()) + kHeaderOverhead;
    dataBytes_ = 0;
    stream_ = downstreamStream();
    if (!stream_)
        return Code::Ok;
    const Status hr = stream_->Acquire();
    if (hr.failed())
        stream_.reset();
    return hr;
}

Status WavWriterFilter::Transform(const MediaSample& in, MediaSample& out) {
    const auto bytes = in.data();
    if (!WaveSizeFieldsHold(headerSize_, dataBytes_, bytes.size()))
        return Code::Fail;
    const std::uint64_t start = std::uint64_t{headerSize_} + dataBytes_;
    out.assign(bytes);
    out.SetTime(static_cast<StreamTime>(start), static_cast<StreamTime>(start + bytes.size()));
    dataBytes_ += static_cast<std::uint32_t>(bytes.size());
    return Code::Ok;
}

Status WavWriterFilter::Receive(InputPin& pin, SamplePtr sample) {
    const std::uint32_t before = dataBytes_;
    const Status hr = TransformFilter::Receive(pin, std::move(sample));
    if (hr != Code::Ok)
        dataBytes_ = before;
    return hr;
}

Status WavWriterFilter::StopStreaming() {
    std::shared_ptr<ByteStreamFile> stream = std::move(stream_);
    if (!Output().IsConnected()) {
        if (stream)
            stream->Release();
        return Code::Fail;
    }
    if (!stream) {
        stream = downstreamStream();
        if (!stream)
            return Code::NoInterface;
        const Status hr = stream->Acquire();
        if (hr.failed())
            return hr;
    }
    const auto header = WaveHeader(InputMediaType().format, dataBytes_);
    Status hr = stream->Seek(0);
    if (hr.ok())
        hr = stream->Write(header);
    const Status released = stream->Release();
    return hr.failed() ? hr : released;
}

}  // namespace kelvor::media
