#include "core/avi/AviDemuxer.h"

#include <algorithm>
#include <cstring>

#include "core/avi/AviLayout.h"
#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/avi/RiffChunks.h"

namespace kelvor::avi {

namespace {

using namespace layout;

constexpr std::size_t kMaxStreams = 100;              // chunk ids carry two digits
constexpr std::size_t kMaxHeaderListBytes = 1 << 20;  // hdrl bytes looked at
constexpr std::size_t kMaxFormatBytes = 64 * 1024;    // strf bytes kept
constexpr std::size_t kMaxSuperEntries = 1 << 16;
constexpr std::size_t kMaxRiffChunks = 1 << 16;
constexpr std::size_t kIndexReadBlock = 64 * 1024;

// The lists of a file, each ending after a child that does not fit in it: that child is taken as
// ending at the list's end (a RIFF chunk that claims more than the file holds ends at the end of
// the file). Every list is counted by padded sizes.
ChildChunks Children(ChunkCursor& c, std::uint64_t left) {
    return ChildChunks(c, left, ChildChunks::Count::Padded, ChildChunks::Overrun::Last);
}

// The stream number of a chunk id "##xx", or none when the first two bytes are not digits.
std::optional<std::size_t> StreamOfChunkId(std::uint32_t id) {
    const auto a = static_cast<std::uint8_t>(id & 0xFF);
    const auto b = static_cast<std::uint8_t>((id >> 8) & 0xFF);
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return std::nullopt;
    return static_cast<std::size_t>((a - '0') * 10 + (b - '0'));
}

struct Range {
    std::uint64_t Begin = 0;
    std::uint64_t End = 0;
};

}  // namespace

struct AviDemuxer::State {
    std::unique_ptr<PositionedFile> File;
    std::array<std::uint8_t, 56> MainHeader{};
    std::vector<AviStreamInfo> Streams;
    std::vector<std::vector<AviChunk>> Chunks;
    // Super index entries (offset and size of each ix chunk) per stream.
    std::vector<std::vector<std::pair<std::uint64_t, std::uint32_t>>> Super;
    std::vector<std::uint8_t> SuperType;
    std::vector<Range> Movis;
    std::optional<Range> Idx1;
    IndexSource Source = IndexSource::None;
    std::string Error;
    std::uint64_t EntryCap = 0;
    std::uint64_t Entries = 0;

    std::uint64_t fileSize() const { return File->size(); }

    bool readExact(std::uint64_t at, std::span<std::uint8_t> b) {
        auto n = File->readAt(at, b);
        return n && *n == b.size();
    }

    bool add(std::size_t stream, std::uint64_t offset, std::uint32_t size, bool key) {
        if (stream >= Chunks.size())
            return true;
        if (offset > fileSize() || fileSize() - offset < size)
            return true;  // not whole: dropped
        if (Entries >= EntryCap)
            return false;
        ++Entries;
        Chunks[stream].push_back({offset, size, key});
        return true;
    }

    bool parseTop();
    void parseRiff(ChunkCursor& c, std::uint64_t left, bool first);
    void parseHeaderList(std::uint64_t at, std::uint64_t size);
    void parseStreamList(ChunkCursor& c, std::uint64_t left);
    bool readOpenDml();
    bool readStdIndex(std::size_t stream, std::uint64_t at, std::uint32_t declared);
    bool readIdx1();
    void walkMovi(const Range& movi, std::uint64_t from);
    void finish();
};

bool AviDemuxer::State::parseTop() {
    ChunkCursor c(*File);
    ChildChunks file = Children(c, fileSize());
    bool first = true;
    for (std::size_t n = 0; n < kMaxRiffChunks; ++n) {
        const auto riff = file.next();
        if (!riff || riff->Id != fcc::kRiff || riff->Size < 4)
            break;
        const auto form = c.readListType();
        if (!form)
            break;
        if (first && *form != fcc::kAvi) {
            Error = "not a RIFF AVI file";
            return false;
        }
        if (*form == fcc::kAvi || *form == fcc::kAvix)
            parseRiff(c, file.clamped(*riff) - 4, first);
        first = false;
    }
    if (first) {
        Error = "not a RIFF file";
        return false;
    }
    if (Streams.empty()) {
        Error = "no stream headers";
        return false;
    }
    return true;
}

void AviDemuxer::State::parseRiff(ChunkCursor& c, std::uint64_t left, bool first) {
    ChildChunks riff = Children(c, left);
    while (const auto h = riff.next()) {
        const std::uint64_t dataEnd = h->DataStart() + riff.clamped(*h);
        if (h->Id == fcc::kList && riff.clamped(*h) >= 4) {
            const auto type = c.readListType();
            if (!type)
                break;
            if (*type == fcc::kHdrl && first && Streams.empty())
                parseHeaderList(h->DataStart() + 4,
                                std::min<std::uint64_t>(riff.clamped(*h) - 4, kMaxHeaderListBytes));
            else if (*type == fcc::kMovi)
                Movis.push_back({h->DataStart() + 4, dataEnd});
        } else if (h->Id == fcc::kIdx1 && first && !Idx1) {
            Idx1 = Range{h->DataStart(), dataEnd};
        }
    }
}

// The header list is read whole, in one read, and walked in memory.
void AviDemuxer::State::parseHeaderList(std::uint64_t at, std::uint64_t size) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    bytes.resize(File->readAt(at, bytes).value_or(0));
    MemoryFile list(std::move(bytes));
    ChunkCursor c(list);
    ChildChunks hdrl = Children(c, list.size());
    while (const auto h = hdrl.next()) {
        const std::uint64_t len = hdrl.clamped(*h);
        if (h->Id == fcc::kAvih) {
            c.read(std::span(MainHeader).first(std::min<std::size_t>(len, MainHeader.size())));
        } else if (h->Id == fcc::kList && len >= 4) {
            const auto type = c.readListType();
            if (type == fcc::kStrl && Streams.size() < kMaxStreams)
                parseStreamList(c, len - 4);
        }
    }
}

void AviDemuxer::State::parseStreamList(ChunkCursor& c, std::uint64_t left) {
    AviStreamInfo info;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> super;
    std::uint8_t superType = 0xFF;
    ChildChunks strl = Children(c, left);
    while (const auto h = strl.next()) {
        const std::uint64_t len = strl.clamped(*h);
        if (h->Id == fcc::kStrh) {
            c.read(std::span(info.Header).first(std::min<std::size_t>(len, info.Header.size())));
        } else if (h->Id == fcc::kStrf) {
            info.Format.resize(std::min<std::size_t>(len, kMaxFormatBytes));
            c.read(info.Format);
        } else if (h->Id == fcc::kIndx && len >= kIndexHeaderSize) {
            std::vector<std::uint8_t> data(std::min<std::size_t>(
                len, kIndexHeaderSize + kMaxSuperEntries * kSuperIndexEntrySize));
            c.read(data);
            ByteReader ir(data);
            const std::uint16_t longs = *ir.readU16LE();
            ir.skip(1);
            superType = *ir.readU8();
            const std::uint32_t inUse = *ir.readU32LE();
            ir.seek(kIndexHeaderSize);
            if (superType == kIndexOfIndexes && longs == 4) {
                const std::size_t n = std::min<std::size_t>(
                    {inUse, ir.remaining() / kSuperIndexEntrySize, kMaxSuperEntries});
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint64_t off = *ir.readU64LE();
                    const std::uint32_t sz = *ir.readU32LE();
                    ir.skip(4);
                    super.emplace_back(off, sz);
                }
            }
        }
    }
    info.Type = LoadU32LE(info.Header, kStrhType);
    info.Handler = LoadU32LE(info.Header, kStrhHandler);
    info.Scale = LoadU32LE(info.Header, kStrhScale);
    info.Rate = LoadU32LE(info.Header, kStrhRate);
    info.Length = LoadU32LE(info.Header, kStrhLength);
    info.SampleSize = LoadU32LE(info.Header, kStrhSampleSize);
    Streams.push_back(std::move(info));
    Super.push_back(std::move(super));
    SuperType.push_back(superType);
}

bool AviDemuxer::State::readStdIndex(std::size_t stream, std::uint64_t at, std::uint32_t) {
    const std::uint64_t size = fileSize();
    std::array<std::uint8_t, kChunkHeaderSize + kIndexHeaderSize> h{};
    if (at > size || !readExact(at, h))
        return false;
    const std::uint32_t id = LoadU32LE(h, 0);
    const std::uint64_t chunkSize = LoadU32LE(h, 4);
    const std::uint16_t longs = LoadU16LE(h, 8);
    const std::uint8_t subType = h[10];
    const std::uint8_t type = h[11];
    const std::uint32_t inUse = LoadU32LE(h, 12);
    const std::uint64_t base = LoadU64LE(h, 20);
    if (!IsIndexChunkId(id) || type != kIndexOfChunks || longs != 2 || subType != 0 ||
        chunkSize < kIndexHeaderSize)
        return false;
    // Entries beyond the chunk or the file are not there, whatever the count says.
    const std::uint64_t entriesAt = at + h.size();
    const std::uint64_t avail =
        std::min<std::uint64_t>(chunkSize - kIndexHeaderSize, size - std::min(size, entriesAt));
    std::uint64_t n = std::min<std::uint64_t>(inUse, avail / kStdIndexEntrySize);
    std::vector<std::uint8_t> block;
    std::uint64_t p = entriesAt;
    while (n > 0) {
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>(n, kIndexReadBlock / kStdIndexEntrySize));
        block.resize(count * kStdIndexEntrySize);
        if (!readExact(p, block))
            return false;
        ByteReader r(block);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t off = *r.readU32LE();
            const std::uint32_t sz = *r.readU32LE();
            if (base > size)
                continue;
            if (!add(stream, base + off, sz & ~kStdIndexDeltaFrame,
                     (sz & kStdIndexDeltaFrame) == 0))
                return true;
        }
        p += block.size();
        n -= count;
    }
    return true;
}

bool AviDemuxer::State::readOpenDml() {
    for (std::size_t i = 0; i < Streams.size(); ++i)
        if (SuperType[i] != kIndexOfIndexes || Super[i].empty())
            return false;
    bool any = false;
    for (std::size_t i = 0; i < Streams.size(); ++i) {
        for (const auto& [off, sz] : Super[i])
            any = readStdIndex(i, off, sz) || any;
    }
    return any;
}

bool AviDemuxer::State::readIdx1() {
    if (!Idx1 || Movis.empty())
        return false;
    const std::uint64_t count = (Idx1->End - Idx1->Begin) / kIdx1EntrySize;
    if (count == 0)
        return false;
    // Offsets count from the first movi list's type, or (in some writers) from the file start;
    // the first entry that is not a "rec " list tells which.
    const std::uint64_t moviType = Movis.front().Begin - 4;
    std::optional<std::uint64_t> base;
    std::vector<std::uint8_t> block;
    std::uint64_t done = 0;
    bool any = false;
    while (done < count) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(count - done, kIndexReadBlock / kIdx1EntrySize));
        block.resize(n * kIdx1EntrySize);
        if (!readExact(Idx1->Begin + done * kIdx1EntrySize, block))
            break;
        ByteReader r(block);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t id = *r.readFourcc();
            const std::uint32_t flags = *r.readU32LE();
            const std::uint32_t off = *r.readU32LE();
            const std::uint32_t sz = *r.readU32LE();
            const auto stream = StreamOfChunkId(id);
            if (!stream)
                continue;
            if (!base) {
                std::array<std::uint8_t, 4> probe{};
                if (moviType + off <= fileSize() && readExact(moviType + off, probe) &&
                    LoadU32LE(probe, 0) == id)
                    base = moviType;
                else if (readExact(off, probe) && LoadU32LE(probe, 0) == id)
                    base = 0;
                else
                    base = moviType;
            }
            const std::uint64_t at = *base + off + kChunkHeaderSize;
            if (!add(*stream, at, sz, (flags & kAviifKeyFrame) != 0))
                return any;
            any = true;
        }
        done += n;
    }
    return any;
}

void AviDemuxer::State::walkMovi(const Range& movi, std::uint64_t from) {
    if (from + kChunkHeaderSize > movi.End)
        return;
    ChunkCursor c(*File);
    c.seek(from);
    ChildChunks list = Children(c, movi.End - from);
    while (const auto h = list.next()) {
        if (h->Id == fcc::kList) {
            // "rec " groups: their chunks are walked in line.
            list.enterInline(*h);
            continue;
        }
        if (list.overruns(*h))
            return;  // cut short: not a whole chunk
        if (const auto stream = StreamOfChunkId(h->Id); stream && !IsIndexChunkId(h->Id)) {
            if (!add(*stream, h->DataStart(), h->Size, true))
                return;
        }
    }
}

void AviDemuxer::State::finish() {
    Chunks.assign(Streams.size(), {});
    EntryCap = fileSize() / kChunkHeaderSize + 1;
    if (readOpenDml())
        Source = IndexSource::OpenDml;
    else {
        Chunks.assign(Streams.size(), {});
        Entries = 0;
        if (readIdx1())
            Source = IndexSource::Idx1;
    }
    const auto byOffset = [](const AviChunk& a, const AviChunk& b) { return a.Offset < b.Offset; };
    for (auto& list : Chunks)
        if (!std::is_sorted(list.begin(), list.end(), byOffset))
            std::stable_sort(list.begin(), list.end(), byOffset);
    // A movi list no index entry points into (a truncated last RIFF chunk, whose index was
    // never written, or RIFF chunks an idx1 does not cover) is walked for its chunks; one the
    // index covers is walked past its last indexed chunk, where an index cut short stopped.
    bool walked = false;
    for (const Range& m : Movis) {
        std::optional<std::uint64_t> lastEnd;
        for (const auto& list : Chunks) {
            auto it =
                std::lower_bound(list.begin(), list.end(), m.End,
                                 [](const AviChunk& c, std::uint64_t v) { return c.Offset < v; });
            if (it == list.begin() || std::prev(it)->Offset < m.Begin)
                continue;
            const AviChunk& last = *std::prev(it);
            const std::uint64_t end = last.Offset + last.Size + (last.Size & 1);
            lastEnd = std::max(lastEnd.value_or(0), end);
        }
        const std::uint64_t before = Entries;
        walkMovi(m, lastEnd.value_or(m.Begin));
        walked = walked || Entries != before;
    }
    if (walked) {
        for (auto& list : Chunks)
            std::stable_sort(list.begin(), list.end(), byOffset);
        if (Source == IndexSource::None)
            Source = IndexSource::Walk;
    }
    for (std::size_t i = 0; i < Streams.size(); ++i) {
        AviStreamInfo& s = Streams[i];
        s.ChunkCount = Chunks[i].size();
        for (const AviChunk& c : Chunks[i]) {
            s.TotalBytes += c.Size;
            s.MaxChunkSize = std::max(s.MaxChunkSize, c.Size);
        }
    }
}

AviDemuxer::AviDemuxer() = default;
AviDemuxer::~AviDemuxer() = default;

bool AviDemuxer::open(const std::string& path) {
    int err = 0;
    auto f = DiskFile::open(path, DiskFile::Mode::Read, &err);
    if (!f) {
        s_ = std::make_unique<State>();
        s_->Error = std::string("cannot be opened: ") + std::strerror(err);
        return false;
    }
    return open(std::move(f));
}

bool AviDemuxer::open(std::unique_ptr<PositionedFile> file) {
    s_ = std::make_unique<State>();
    if (!file) {
        s_->Error = "no file";
        return false;
    }
    s_->File = std::move(file);
    if (!s_->parseTop())
        return false;
    s_->finish();
    return true;
}

static const std::array<std::uint8_t, 56> kNoHeader{};
static const std::vector<AviStreamInfo> kNoStreams;
static const std::string kNoError;

const std::array<std::uint8_t, 56>& AviDemuxer::mainHeader() const {
    return s_ ? s_->MainHeader : kNoHeader;
}
const std::vector<AviStreamInfo>& AviDemuxer::streams() const {
    return s_ ? s_->Streams : kNoStreams;
}
IndexSource AviDemuxer::indexSource() const {
    return s_ ? s_->Source : IndexSource::None;
}
const std::string& AviDemuxer::errorText() const {
    return s_ ? s_->Error : kNoError;
}
PositionedFile* AviDemuxer::file() const {
    return s_ ? s_->File.get() : nullptr;
}

int AviDemuxer::videoStream() const {
    const auto& st = streams();
    for (std::size_t i = 0; i < st.size(); ++i)
        if (st[i].Type == fcc::kVids || st[i].Type == fcc::kIavs)
            return static_cast<int>(i);
    return -1;
}

int AviDemuxer::audioStream() const {
    const auto& st = streams();
    for (std::size_t i = 0; i < st.size(); ++i)
        if (st[i].Type == fcc::kAuds)
            return static_cast<int>(i);
    return -1;
}

std::uint64_t AviDemuxer::chunkCount(std::size_t stream) const {
    if (!s_ || stream >= s_->Chunks.size())
        return 0;
    return s_->Chunks[stream].size();
}

std::optional<AviChunk> AviDemuxer::chunk(std::size_t stream, std::uint64_t index) const {
    if (!s_ || stream >= s_->Chunks.size() || index >= s_->Chunks[stream].size())
        return std::nullopt;
    return s_->Chunks[stream][static_cast<std::size_t>(index)];
}

std::optional<std::size_t> AviDemuxer::readChunk(std::size_t stream, std::uint64_t index,
                                                 std::span<std::uint8_t> buffer) {
    const auto c = chunk(stream, index);
    if (!c || buffer.size() < c->Size)
        return std::nullopt;
    auto n = s_->File->readAt(c->Offset, buffer.first(c->Size));
    if (!n || *n != c->Size)
        return std::nullopt;
    return c->Size;
}

}  // namespace kelvor::avi
