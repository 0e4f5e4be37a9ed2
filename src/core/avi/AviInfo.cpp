#include "core/avi/AviInfo.h"

#include <algorithm>
#include <cctype>

#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"

namespace kelvor::avi {

namespace {

constexpr std::size_t kStrhKept = 56;
constexpr std::size_t kAvihKept = 56;
constexpr std::size_t kDmlhKept = 248;
constexpr std::size_t kSuperIndexKept = 88;
constexpr std::uint64_t kSuperIndexHeader = 24;

// One walk over a file; the position and the current chunk live here.
class Walker {
  public:
    Walker(PositionedFile& file, TAviParam& p) : s_(file), p_(p) {}

    void run();

  private:
    // The chunk header read: skip a pad byte at an odd position, then 8 bytes.
    bool readHeader() {
        if (s_.position() & 1)
            s_.seekRelative(1);
        std::array<std::uint8_t, 8> h{};
        if (!s_.readExact(h))
            return false;
        code_ = LoadU32LE(h, 0);
        size_ = LoadU32LE(h, 4);
        return true;
    }
    bool readListType() {
        if (size_ < 4)
            return false;
        std::array<std::uint8_t, 4> t{};
        if (!s_.readExact(t))
            return false;
        listType_ = LoadU32LE(t, 0);
        size_ -= 4;
        return true;
    }
    void passOver() { s_.seekRelative(static_cast<std::int64_t>(size_)); }
    // A read of n bytes into the front of out; true when all n came.
    bool readInto(std::span<std::uint8_t> out, std::size_t n) {
        return s_.readExact(out.first(std::min(n, out.size())));
    }

    bool walkRiff(std::uint64_t remaining);
    bool walkHeader(std::uint64_t remaining);
    void walkStream(std::uint64_t remaining);
    void walkOdml(std::uint64_t remaining);

    FileStream s_;
    TAviParam& p_;
    std::uint32_t code_ = 0;
    std::uint64_t size_ = 0;
    std::uint32_t listType_ = 0;
};

void Walker::run() {
    std::uint64_t remaining = s_.size();
    while (remaining >= 8) {
        if (!readHeader())
            break;
        if (size_ + 8 > remaining)
            break;
        remaining -= size_ + 8;
        if (code_ != fcc::kRiff)
            break;
        if (!readListType())
            break;
        const std::string form = FourccToText(listType_);
        bool avi = true;
        for (int i = 0; i < 3; ++i)
            avi = avi && std::toupper(static_cast<unsigned char>(form[i])) == "AVI"[i];
        if (!avi)
            break;
        if (!walkRiff(size_))
            break;
        p_.Valid = true;
    }
    if (p_.VideoIndex >= 0) {
        const TAvistream& v = p_.Streams[static_cast<std::size_t>(p_.VideoIndex)];
        if (v.SuperIndexEntriesOffset != 0) {
            const std::uint8_t type = v.SuperIndex[3];
            p_.IndexKind = type == 0 ? 0 : type == 1 ? 1 : 4;
        } else {
            p_.IndexKind = p_.Idx1Offset != 0 ? 2 : 3;
        }
    }
}

bool Walker::walkRiff(std::uint64_t remaining) {
    while (remaining >= 8) {
        if (!readHeader())
            return true;  // the end of the file inside the RIFF chunk
        if (size_ + 8 > remaining)
            return false;
        remaining -= size_ + 8;
        if (code_ == fcc::kList) {
            if (!readListType())
                return false;
            if (listType_ == fcc::kHdrl) {
                if (!walkHeader(size_))
                    return false;
            } else if (listType_ == fcc::kMovi) {
                p_.MoviOffset = s_.position();
                passOver();
            } else {
                passOver();
            }
        } else if (code_ == fcc::kIdx1) {
            p_.Idx1Offset = s_.position();
            passOver();
        } else {
            passOver();
        }
    }
    return true;
}

bool Walker::walkHeader(std::uint64_t remaining) {
    while (remaining >= 8) {
        if (!readHeader())
            return false;
        if (size_ + 8 > remaining)
            return false;
        remaining -= size_ + 8;
        if (code_ == fcc::kAvih) {
            // The whole chunk must be there; only its first 56 bytes are kept.
            const std::uint64_t start = s_.position();
            if (s_.size() < start || s_.size() - start < size_)
                return false;
            if (!readInto(p_.MainHeader,
                          static_cast<std::size_t>(std::min<std::uint64_t>(size_, kAvihKept))))
                return false;
            s_.seek(start + size_);
        } else if (code_ == fcc::kList) {
            if (!readListType())
                return false;
            if (listType_ == fcc::kStrl && p_.Streams.size() < kMaxReaderStreams) {
                walkStream(size_);
            } else if (listType_ == fcc::kOdml) {
                walkOdml(size_);
            } else {
                passOver();
            }
        } else {
            passOver();
        }
    }
    return true;
}

void Walker::walkStream(std::uint64_t remaining) {
    p_.Streams.emplace_back();
    const std::size_t index = p_.Streams.size() - 1;
    while (remaining >= 8) {
        if (!readHeader())
            return;
        if (size_ + 8 > remaining)
            return;
        remaining -= size_ + 8;
        TAvistream& st = p_.Streams[index];
        const std::uint64_t start = s_.position();
        if (code_ == fcc::kStrh) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size_, kStrhKept));
            if (!readInto(st.StreamHeader, n))
                return;
            s_.seek(start + size_);
            const std::uint32_t type = LoadU32LE(st.StreamHeader, 0);
            if (type == fcc::kAuds && p_.AudioIndex < 0)
                p_.AudioIndex = static_cast<std::int32_t>(index);
            if ((type == fcc::kVids || type == fcc::kIavs) && p_.VideoIndex < 0)
                p_.VideoIndex = static_cast<std::int32_t>(index);
        } else if (code_ == fcc::kStrf) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(size_, kMaxStreamFormatBytes));
            st.StreamFormat.assign(n, 0);
            if (!s_.readExact(st.StreamFormat)) {
                st.StreamFormat.resize(0);
                return;
            }
            s_.seek(start + size_);
        } else if (code_ == fcc::kIndx) {
            st.SuperIndexEntriesOffset = start + kSuperIndexHeader;
            if (!readInto(st.SuperIndex, kSuperIndexKept))
                return;
            // A chunk shorter than the 88 bytes read still ends where its size says.
            s_.seek(start + size_);
        } else {
            passOver();
        }
    }
}

void Walker::walkOdml(std::uint64_t remaining) {
    p_.OpenDml = true;
    while (remaining >= 8) {
        if (!readHeader())
            return;
        if (size_ + 8 > remaining)
            return;
        remaining -= size_ + 8;
        if (code_ == fcc::kDmlh) {
            const std::uint64_t start = s_.position();
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size_, kDmlhKept));
            if (!readInto(p_.OpenDmlHeader, n))
                return;
            s_.seek(start + size_);
        } else {
            passOver();
        }
    }
}

}  // namespace

TFriendlyAviParam::TFriendlyAviParam(const std::string& fileName) {
    auto file = OpenOrRaise(fileName, DiskFile::Mode::Read);
    walk(*file);
}

TFriendlyAviParam::TFriendlyAviParam(PositionedFile& file) {
    walk(file);
}

void TFriendlyAviParam::walk(PositionedFile& file) {
    Walker(file, *this).run();
}

const TAvistream* TFriendlyAviParam::VideoStream() const {
    if (VideoIndex < 0 || static_cast<std::size_t>(VideoIndex) >= Streams.size())
        return nullptr;
    return &Streams[static_cast<std::size_t>(VideoIndex)];
}

std::string TFriendlyAviParam::VideoCodec() const {
    const TAvistream* v = VideoStream();
    if (!v)
        return "####";
    return std::string(v->StreamHeader.begin() + 4, v->StreamHeader.begin() + 8);
}

}  // namespace kelvor::avi
