#include "core/avi/AviWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/avi/AviLayout.h"
#include "core/avi/ByteReader.h"
#include "core/avi/FormatBlocks.h"
#include "core/avi/Fourcc.h"
#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"
#include "core/files/OutputFile.h"

namespace kelvor::avi {

namespace {

using namespace layout;

// Small enough to stay in the processor's cache between our copies into it and the kernel's copy
// out of it: a buffer of megabytes made every write several times slower.
constexpr std::size_t kWriteBufferSize = 512 * 1024;
constexpr std::size_t kIndxDataSize = kIndexHeaderSize + kSuperIndexCapacity * kSuperIndexEntrySize;

std::uint32_t ChunkId(std::size_t stream, const char (&suffix)[3]) {
    const char s[5] = {static_cast<char>('0' + (stream / 10) % 10),
                       static_cast<char>('0' + stream % 10), suffix[0], suffix[1], 0};
    return Fourcc(s);
}

std::uint32_t IndexChunkId(std::size_t stream) {
    const char s[5] = {'i', 'x', static_cast<char>('0' + (stream / 10) % 10),
                       static_cast<char>('0' + stream % 10), 0};
    return Fourcc(s);
}

// Appends little-endian values to a byte vector.
struct Out {
    std::vector<std::uint8_t>& v;
    void u8(std::uint8_t x) { v.push_back(x); }
    void u16(std::uint16_t x) {
        v.push_back(static_cast<std::uint8_t>(x));
        v.push_back(static_cast<std::uint8_t>(x >> 8));
    }
    void u32(std::uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    }
    void u64(std::uint64_t x) {
        u32(static_cast<std::uint32_t>(x));
        u32(static_cast<std::uint32_t>(x >> 32));
    }
    void zeros(std::size_t n) { v.insert(v.end(), n, 0); }
    void bytes(std::span<const std::uint8_t> b) { v.insert(v.end(), b.begin(), b.end()); }
    std::size_t size() const { return v.size(); }
};

struct SuperEntry {
    std::uint64_t Offset;
    std::uint32_t Size;
    std::uint32_t Duration;
};

struct Idx1Entry {
    std::uint32_t Id;
    std::uint32_t Offset;
    std::uint32_t Size;
};

struct StreamState {
    std::uint32_t Type = 0;
    std::uint32_t Id = 0;  // chunk id in movi
    WaveFormat Wave;       // audio streams
    std::uint64_t Chunks = 0;
    std::uint64_t Bytes = 0;
    std::uint32_t MaxChunk = 0;
    std::uint64_t FramesInFirstRiff = 0;
    // The current RIFF chunk's standard index: (offset of the data from the RIFF start, size).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Segment;
    std::uint64_t SegmentTicks = 0;
    std::vector<SuperEntry> Super;
};

std::uint64_t Padded(std::uint64_t n) {
    return n + (n & 1);
}

}  // namespace

DvInfo DvInfoFromFrame(std::span<const std::uint8_t> frame) {
    return BlockBytes(dv::DvInfoFromFrame(frame));
}

struct AviWriter::State {
    AviWriterConfig Config;
    std::string Target;
    std::string Temp;
    int Fd = -1;
    bool Failed = false;
    std::vector<std::uint8_t> Buffer;
    std::uint64_t Flushed = 0;  // bytes already handed to the kernel
    // Only a file that replaces another is synced when it closes (SyncBeforeReplacing), so
    // only then is the disk started early.
    bool Replacing = false;
    std::vector<StreamState> Streams;
    std::uint32_t FrameSize = 0;
    std::uint32_t Width = 720;
    std::uint32_t Height = 576;
    std::uint32_t Scale = 1;
    std::uint32_t Rate = 25;
    std::size_t HeaderSize = 0;
    // The current RIFF chunk.
    std::uint32_t RiffCount = 0;
    std::uint64_t RiffStart = 0;
    std::uint64_t MoviList = 0;  // offset of the movi LIST header
    bool SegmentOpen = false;
    std::vector<Idx1Entry> Idx1;

    std::uint64_t position() const { return Flushed + Buffer.size(); }

    bool flush() {
        if (!files::WriteAll(Fd, std::as_bytes(std::span(Buffer))))
            return false;
        // The disk starts on these bytes now rather than all at once in the closing fsync, so
        // the writing overlaps the copying; a failure here shows again at that fsync.
        if (Replacing)
            ::sync_file_range(Fd, static_cast<off_t>(Flushed), static_cast<off_t>(Buffer.size()),
                              SYNC_FILE_RANGE_WRITE);
        Flushed += Buffer.size();
        Buffer.clear();
        return true;
    }
    bool append(std::span<const std::uint8_t> b) {
        if (Buffer.size() + b.size() > kWriteBufferSize && !flush())
            return false;
        if (b.size() >= kWriteBufferSize) {
            // Large blocks go straight to the file.
            std::vector<std::uint8_t> keep;
            keep.swap(Buffer);
            Buffer.assign(b.begin(), b.end());
            const bool ok = flush();
            keep.swap(Buffer);
            Buffer.clear();
            return ok;
        }
        Buffer.insert(Buffer.end(), b.begin(), b.end());
        return true;
    }
    bool appendU32Pair(std::uint32_t a, std::uint32_t b) {
        std::uint8_t h[8];
        StoreU32LE(h, 0, a);
        StoreU32LE(h, 4, b);
        return append(h);
    }
    // Writes bytes at an earlier offset (headers and sizes filled in later).
    bool patch(std::uint64_t offset, std::span<const std::uint8_t> b) {
        if (!flush())
            return false;
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n =
                ::pwrite(Fd, b.data() + done, b.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool patchU32(std::uint64_t offset, std::uint32_t v) {
        std::uint8_t b[4];
        StoreU32LE(b, 0, v);
        return patch(offset, b);
    }

    std::vector<std::uint8_t> buildHeaders() const;
    std::uint64_t indexReserve(bool oneMore) const;
    bool startSegment();
    bool finishSegment();
    bool writeChunk(std::size_t stream, std::span<const std::uint8_t> data);
};

std::vector<std::uint8_t> AviWriter::State::buildHeaders() const {
    std::vector<std::uint8_t> v;
    Out o{v};
    const bool type1 = Config.Type == DvType::Type1;
    std::uint64_t firstFrames = Streams.empty() ? 0 : Streams[0].FramesInFirstRiff;
    std::uint32_t maxChunk = 0;
    std::uint64_t bytesPerSec = static_cast<std::uint64_t>(FrameSize) * Rate / Scale;
    for (const auto& s : Streams) {
        maxChunk = std::max(maxChunk, s.MaxChunk);
        if (s.Type == fcc::kAuds)
            bytesPerSec += s.Wave.avgBytesPerSec();
    }

    o.u32(fcc::kRiff);
    o.u32(0);  // patched when the first RIFF chunk ends
    o.u32(fcc::kAvi);
    o.u32(fcc::kList);
    const std::size_t hdrlSizeAt = o.size();
    o.u32(0);
    o.u32(fcc::kHdrl);

    o.u32(fcc::kAvih);
    o.u32(kMainHeaderSize);
    o.u32(static_cast<std::uint32_t>((1000000ull * Scale + Rate / 2) / Rate));
    o.u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(bytesPerSec, 0xFFFFFFFFu)));
    o.u32(0);
    o.u32(kAvifHasIndex | kAvifIsInterleaved | kAvifTrustCkType);
    o.u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(firstFrames, 0xFFFFFFFFu)));
    o.u32(0);
    o.u32(static_cast<std::uint32_t>(Streams.size()));
    o.u32(maxChunk == 0 ? FrameSize : maxChunk);
    o.u32(Width);
    o.u32(Height);
    o.zeros(16);

    for (std::size_t i = 0; i < Streams.size(); ++i) {
        const StreamState& s = Streams[i];
        const bool audio = s.Type == fcc::kAuds;
        o.u32(fcc::kList);
        const std::size_t strlSizeAt = o.size();
        o.u32(0);
        o.u32(fcc::kStrl);

        o.u32(fcc::kStrh);
        o.u32(kStreamHeaderSize);
        o.u32(s.Type);
        o.u32(audio ? 0 : fcc::kDvsd);
        o.u32(0);  // flags
        o.u16(0);  // priority
        o.u16(0);  // language
        o.u32(0);  // initial frames
        const std::uint32_t block = audio ? s.Wave.blockAlign() : 0;
        o.u32(audio ? block : Scale);
        o.u32(audio ? s.Wave.avgBytesPerSec() : Rate);
        o.u32(0);  // start
        const std::uint64_t length = audio ? (block ? s.Bytes / block : 0) : s.Chunks;
        o.u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 0xFFFFFFFFu)));
        o.u32(s.MaxChunk == 0 ? (audio ? s.Wave.avgBytesPerSec() / 25 : FrameSize) : s.MaxChunk);
        o.u32(0xFFFFFFFFu);  // quality: the default
        o.u32(block);
        o.u16(0);
        o.u16(0);
        o.u16(static_cast<std::uint16_t>(audio ? 0 : Width));
        o.u16(static_cast<std::uint16_t>(audio ? 0 : Height));

        o.u32(fcc::kStrf);
        if (audio) {
            WaveFormatEx w;
            w.wFormatTag = s.Wave.FormatTag;
            w.nChannels = s.Wave.Channels;
            w.nSamplesPerSec = s.Wave.SamplesPerSec;
            w.nAvgBytesPerSec = s.Wave.avgBytesPerSec();
            w.nBlockAlign = s.Wave.blockAlign();
            w.wBitsPerSample = s.Wave.BitsPerSample;
            o.u32(kWaveFormatSize);
            o.bytes(BlockBytes(w));
        } else if (type1) {
            o.u32(kDvInfoSize);
            o.bytes(Config.DvInfoBytes);
        } else {
            BitmapInfoHeader b;
            b.biWidth = static_cast<std::int32_t>(Width);
            b.biHeight = static_cast<std::int32_t>(Height);
            b.biBitCount = 24;
            b.biCompression = fcc::kDvsd;
            b.biSizeImage = FrameSize;
            o.u32(kBitmapHeaderSize + kDvInfoSize);
            o.bytes(BlockBytes(b));
            o.bytes(Config.DvInfoBytes);
        }

        o.u32(fcc::kIndx);
        o.u32(kIndxDataSize);
        o.u16(4);
        o.u8(0);
        o.u8(kIndexOfIndexes);
        o.u32(static_cast<std::uint32_t>(s.Super.size()));
        o.u32(s.Id);
        o.zeros(12);
        for (std::size_t e = 0; e < kSuperIndexCapacity; ++e) {
            if (e < s.Super.size()) {
                o.u64(s.Super[e].Offset);
                o.u32(s.Super[e].Size);
                o.u32(s.Super[e].Duration);
            } else {
                o.zeros(kSuperIndexEntrySize);
            }
        }
        StoreU32LE(v, strlSizeAt, static_cast<std::uint32_t>(o.size() - strlSizeAt - 4));
    }

    o.u32(fcc::kList);
    o.u32(4 + kChunkHeaderSize + kDmlhSize);
    o.u32(fcc::kOdml);
    o.u32(fcc::kDmlh);
    o.u32(kDmlhSize);
    o.u32(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(Streams.empty() ? 0 : Streams[0].Chunks, 0xFFFFFFFFu)));
    o.zeros(kDmlhSize - 4);
    StoreU32LE(v, hdrlSizeAt, static_cast<std::uint32_t>(o.size() - hdrlSizeAt - 4));

    o.u32(fcc::kList);
    o.u32(0);  // patched when the first movi list ends
    o.u32(fcc::kMovi);
    return v;
}

// Bytes the indexes of the current RIFF chunk will take, with room for one more chunk per
// stream when asked.
std::uint64_t AviWriter::State::indexReserve(bool oneMore) const {
    std::uint64_t n = 0;
    std::uint64_t chunks = 0;
    for (const auto& s : Streams) {
        n += kChunkHeaderSize + kIndexHeaderSize +
             (s.Segment.size() + (oneMore ? 1 : 0)) * kStdIndexEntrySize;
        chunks += s.Segment.size();
    }
    if (RiffCount == 1)
        n += kChunkHeaderSize + (chunks + (oneMore ? 1 : 0)) * kIdx1EntrySize;
    return n;
}

bool AviWriter::State::startSegment() {
    if (RiffCount >= kSuperIndexCapacity)
        return false;
    RiffStart = position();
    MoviList = RiffStart + kListHeaderSize;
    std::vector<std::uint8_t> h;
    Out o{h};
    o.u32(fcc::kRiff);
    o.u32(0);
    o.u32(fcc::kAvix);
    o.u32(fcc::kList);
    o.u32(0);
    o.u32(fcc::kMovi);
    ++RiffCount;
    SegmentOpen = true;
    return append(h);
}

bool AviWriter::State::finishSegment() {
    if (!SegmentOpen)
        return true;
    for (std::size_t i = 0; i < Streams.size(); ++i) {
        StreamState& s = Streams[i];
        if (s.Segment.empty())
            continue;
        const std::uint64_t at = position();
        std::vector<std::uint8_t> ix;
        Out o{ix};
        const std::size_t dataSize = kIndexHeaderSize + s.Segment.size() * kStdIndexEntrySize;
        o.u32(IndexChunkId(i));
        o.u32(static_cast<std::uint32_t>(dataSize));
        o.u16(2);
        o.u8(0);
        o.u8(kIndexOfChunks);
        o.u32(static_cast<std::uint32_t>(s.Segment.size()));
        o.u32(s.Id);
        o.u64(RiffStart);
        o.u32(0);
        for (const auto& [off, size] : s.Segment) {
            o.u32(off);
            o.u32(size);
        }
        if (!append(ix))
            return false;
        s.Super.push_back({at, static_cast<std::uint32_t>(ix.size()),
                           static_cast<std::uint32_t>(s.SegmentTicks)});
        s.Segment.clear();
        s.SegmentTicks = 0;
    }
    const std::uint64_t moviEnd = position();
    if (!patchU32(MoviList + 4, static_cast<std::uint32_t>(moviEnd - MoviList - kChunkHeaderSize)))
        return false;
    if (RiffCount == 1) {
        std::vector<std::uint8_t> idx;
        Out o{idx};
        o.u32(fcc::kIdx1);
        o.u32(static_cast<std::uint32_t>(Idx1.size() * kIdx1EntrySize));
        for (const auto& e : Idx1) {
            o.u32(e.Id);
            o.u32(kAviifKeyFrame);
            o.u32(e.Offset);
            o.u32(e.Size);
        }
        if (!append(idx))
            return false;
        Idx1.clear();
        Idx1.shrink_to_fit();
    }
    const std::uint64_t riffEnd = position();
    if (!patchU32(RiffStart + 4,
                  static_cast<std::uint32_t>(riffEnd - RiffStart - kChunkHeaderSize)))
        return false;
    SegmentOpen = false;
    return true;
}

bool AviWriter::State::writeChunk(std::size_t stream, std::span<const std::uint8_t> data) {
    if (data.size() > 0x7FFFFFFFu)
        return false;
    const std::uint64_t need = kChunkHeaderSize + Padded(data.size());
    if (SegmentOpen) {
        const std::uint64_t used = position() - RiffStart;
        bool segmentHasChunks = false;
        for (const auto& s : Streams)
            segmentHasChunks = segmentHasChunks || !s.Segment.empty();
        if (segmentHasChunks && used + need + indexReserve(true) > Config.RiffLimit) {
            if (!finishSegment())
                return false;
        }
    }
    if (!SegmentOpen && !startSegment())
        return false;

    StreamState& s = Streams[stream];
    const std::uint64_t chunkAt = position();
    if (!appendU32Pair(s.Id, static_cast<std::uint32_t>(data.size())) || !append(data))
        return false;
    if (data.size() & 1) {
        const std::uint8_t pad = 0;
        if (!append(std::span(&pad, 1)))
            return false;
    }
    s.Segment.emplace_back(static_cast<std::uint32_t>(chunkAt + kChunkHeaderSize - RiffStart),
                           static_cast<std::uint32_t>(data.size()));
    if (RiffCount == 1) {
        Idx1.push_back({s.Id, static_cast<std::uint32_t>(chunkAt - (MoviList + kChunkHeaderSize)),
                        static_cast<std::uint32_t>(data.size())});
        if (s.Type != fcc::kAuds)
            ++s.FramesInFirstRiff;
    }
    ++s.Chunks;
    s.Bytes += data.size();
    s.MaxChunk = std::max(s.MaxChunk, static_cast<std::uint32_t>(data.size()));
    const std::uint32_t block = s.Type == fcc::kAuds ? s.Wave.blockAlign() : 0;
    s.SegmentTicks += block ? data.size() / block : 1;
    return true;
}

AviWriter::AviWriter() = default;

AviWriter::~AviWriter() {
    if (isOpen())
        close();
}

const std::string& AviWriter::temporaryPath() const {
    static const std::string none;
    return s_ && s_->Fd >= 0 ? s_->Temp : none;
}

bool AviWriter::isOpen() const {
    return s_ && s_->Fd >= 0;
}
std::uint64_t AviWriter::framesWritten() const {
    return s_ && !s_->Streams.empty() ? s_->Streams[0].Chunks : 0;
}
std::uint64_t AviWriter::bytesWritten() const {
    return s_ ? s_->position() : 0;
}
const std::string& AviWriter::errorText() const {
    return error_;
}

bool AviWriter::open(const std::string& path, const AviWriterConfig& config) {
    if (isOpen())
        discard();
    error_.clear();
    auto s = std::make_unique<State>();
    s->Config = config;
    const bool pal = config.System == TvSystem::Pal;
    s->FrameSize = config.FrameSize
                       ? config.FrameSize
                       : static_cast<std::uint32_t>(pal ? dv::kFrameSize625 : dv::kFrameSize525);
    s->Height = pal ? 576 : 480;
    s->Scale = pal ? 1 : 1001;
    s->Rate = pal ? 25 : 30000;
    if (config.Type == DvType::Type1 && !config.Audio.empty()) {
        error_ = "a DV type 1 file has no separate audio stream";
        return false;
    }
    if (config.Audio.size() > 98) {
        error_ = "too many audio streams";
        return false;
    }
    for (const auto& w : config.Audio) {
        if (w.Channels == 0 || w.BitsPerSample == 0 || w.SamplesPerSec == 0) {
            error_ = "unusable audio format";
            return false;
        }
    }
    if (config.RiffLimit < kMinimumRiffLimit || config.RiffLimit > 0xFFFFFFFFull ||
        s->FrameSize > config.RiffLimit / 4) {
        error_ = "RIFF size limit out of range";
        return false;
    }
    StreamState video;
    video.Type = config.Type == DvType::Type1 ? fcc::kIavs : fcc::kVids;
    video.Id = config.Type == DvType::Type1 ? ChunkId(0, "__") : ChunkId(0, "dc");
    s->Streams.push_back(video);
    for (std::size_t i = 0; i < config.Audio.size(); ++i) {
        StreamState a;
        a.Type = fcc::kAuds;
        a.Id = ChunkId(i + 1, "wb");
        a.Wave = config.Audio[i];
        s->Streams.push_back(a);
    }
    s->Target = path;
    struct stat existing {};
    s->Replacing = ::lstat(path.c_str(), &existing) == 0;
    files::TemporaryFile created = files::CreateTemporaryFile(path);
    if (created.Fd < 0) {
        error_ = std::move(created.Error);
        return false;
    }
    s->Temp = std::move(created.Name);
    s->Fd = created.Fd;
    s->Buffer.reserve(kWriteBufferSize);
    const auto headers = s->buildHeaders();
    s->HeaderSize = headers.size();
    s->RiffStart = 0;
    s->MoviList = headers.size() - kListHeaderSize;
    s->RiffCount = 1;
    s->SegmentOpen = true;
    if (!s->append(headers)) {
        error_ = "cannot write the headers";
        ::close(s->Fd);
        ::unlink(s->Temp.c_str());
        return false;
    }
    s_ = std::move(s);
    return true;
}

bool AviWriter::writeVideoFrame(std::span<const std::uint8_t> frame) {
    if (!isOpen() || s_->Failed)
        return false;
    if (frame.empty()) {
        error_ = "empty video frame";
        return false;
    }
    if (!s_->writeChunk(0, frame)) {
        s_->Failed = true;
        error_ = s_->RiffCount >= kSuperIndexCapacity
                     ? "file too large for its index"
                     : std::string("write failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool AviWriter::writeAudio(std::span<const std::uint8_t> pcm, std::size_t stream) {
    if (!isOpen() || s_->Failed)
        return false;
    if (stream + 1 >= s_->Streams.size()) {
        error_ = "no such audio stream";
        return false;
    }
    if (pcm.empty())
        return true;
    if (!s_->writeChunk(stream + 1, pcm)) {
        s_->Failed = true;
        error_ = std::string("write failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool AviWriter::close() {
    if (!isOpen())
        return false;
    bool ok = !s_->Failed && s_->finishSegment() && s_->flush();
    if (ok) {
        // Everything but the RIFF and movi sizes, which finishSegment() filled in.
        auto h = s_->buildHeaders();
        ok = h.size() == s_->HeaderSize &&
             s_->patch(8, std::span(h).subspan(8, h.size() - kListHeaderSize - 8)) &&
             files::SyncBeforeReplacing(s_->Fd, s_->Target);
    }
    if (!ok && error_.empty())
        error_ = std::string("write failed: ") + std::strerror(errno);
    ::close(s_->Fd);
    s_->Fd = -1;
    if (ok && ::rename(s_->Temp.c_str(), s_->Target.c_str()) != 0) {
        error_ = std::string("cannot move the file into place: ") + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(s_->Temp.c_str());
    return ok;
}

void AviWriter::discard() {
    if (!isOpen())
        return;
    ::close(s_->Fd);
    s_->Fd = -1;
    ::unlink(s_->Temp.c_str());
}

}  // namespace kelvor::avi
