#include "core/avi/RiffReport.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/files/OutputFile.h"
#include "core/shell/About.h"

namespace kelvor::avi {

namespace {

constexpr std::size_t kMainHeaderRead = 56;
constexpr std::size_t kStreamHeaderRead = 56;
constexpr std::size_t kBitmapRead = 40;
constexpr std::size_t kWaveRead = 18;
constexpr std::size_t kDvInfoRead = 32;
constexpr std::size_t kIndexRead = 16384;
constexpr int kLineWidth = 50;

// Characters of a UTF-8 text (continuation bytes do not count).
int TextLength(std::string_view s) {
    int n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::string Hex(std::uint64_t v, int digits) {
    char b[32];
    std::snprintf(b, sizeof b, "%0*" PRIX64, digits, v);
    return b;
}
std::string Dec(std::uint64_t v) {
    return std::to_string(v);
}
std::string SignedDec(std::int64_t v) {
    return std::to_string(v);
}

// A code's four bytes as characters; bytes above 127 are taken as Latin-1 so the line stays
// valid UTF-8.
std::string CodeText(std::uint32_t code) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>((code >> (8 * i)) & 0xFF);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

double LocalNow() {
    const double utc = DateTimeFromUnix(static_cast<double>(std::time(nullptr)));
    return UtcToLocal(utc).value_or(utc);
}

std::string FileNameOnly(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

class RiffReport::Walk {
  public:
    Walk(RiffReport& r, PositionedFile& f) : r_(r), s_(f) {}

    void run() {
        std::int64_t remaining = static_cast<std::int64_t>(s_.size());
        while (remaining > 0) {
            if (r_.ReportCancelled || full())
                break;
            const std::int64_t n = chunk(0, true);
            if (r_.ReportEndOfData || n == 8)
                break;
            remaining -= n;
        }
    }

    bool cut() const { return cut_; }

  private:
    bool full() {
        if (r_.lines_.size() < kMaxReportLines)
            return false;
        cut_ = true;
        return true;
    }
    bool read(std::span<std::uint8_t> out) {
        if (s_.readExact(out))
            return true;
        r_.ReportEndOfData = true;
        return false;
    }
    void line(const std::string& p, std::string text) { r_.AddLine(p + text); }
    void centred(const std::string& p, const char* fill, std::string_view text) {
        r_.AddCenteredLine(p, fill, text);
    }

    void streamHeader(const std::string& p, std::span<const std::uint8_t> b);
    void mainHeader(const std::string& p, std::span<const std::uint8_t> b);
    void bitmap(const std::string& p, std::span<const std::uint8_t> b);
    void wave(const std::string& p, std::span<const std::uint8_t> b);
    void dvInfo(const std::string& p, std::span<const std::uint8_t> b);
    void index(const std::string& p, std::span<const std::uint8_t> b);

    std::int64_t chunk(int depth, bool top);

    RiffReport& r_;
    FileStream s_;
    bool cut_ = false;
};

void RiffReport::Walk::streamHeader(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    line(p, "FourccType = " + CodeText(*x.readFourcc()));
    line(p, "FourccHandler = " + CodeText(*x.readFourcc()));
    line(p, "Flags = " + Hex(*x.readU32LE(), 8));
    line(p, "Priority = " + Dec(*x.readU16LE()));
    line(p, "Language = " + Hex(*x.readU16LE(), 4));
    for (const char* label : {"InitialFrames = ", "Scale = ", "Rate = ", "Start = ", "Length = ",
                              "SuggestedBufferSize = "})
        line(p, label + Dec(*x.readU32LE()));
    line(p, "Quality = " + Hex(*x.readU32LE(), 8));
    line(p, "SampleSize = " + Dec(*x.readU32LE()));
    for (const char* label :
         {"rcFrame.Left = ", "rcFrame.Top = ", "rcFrame.Right = ", "rcFrame.Bottom = "})
        line(p, label + SignedDec(*x.readI16LE()));
}

void RiffReport::Walk::mainHeader(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    for (const char* label : {"MicroSecPerFrame = ", "MaxBytesPerSec = ", "PaddingGranularity = "})
        line(p, label + Dec(*x.readU32LE()));
    line(p, "Flags = " + Hex(*x.readU32LE(), 8));
    for (const char* label : {"TotalFrames = ", "InitialFrames = ", "Streams = ",
                              "SuggestedBufferSize = ", "Width = ", "Height = "})
        line(p, label + Dec(*x.readU32LE()));
    for (const char* label : {"Reserved0 = ", "Reserved1 = ", "Reserved2 = ", "Reserved3 = "})
        line(p, label + Hex(*x.readU32LE(), 8));
}

void RiffReport::Walk::bitmap(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    line(p, "biSize = " + Dec(*x.readU32LE()));
    line(p, "biWidth = " + SignedDec(*x.readI32LE()));
    line(p, "biHeight = " + SignedDec(*x.readI32LE()));
    line(p, "biPlanes = " + Dec(*x.readU16LE()));
    line(p, "biBitCount = " + Dec(*x.readU16LE()));
    line(p, "biCompression = " + CodeText(*x.readFourcc()));
    line(p, "biSizeImage = " + Dec(*x.readU32LE()));
    line(p, "biXPelsPerMeter = " + SignedDec(*x.readI32LE()));
    line(p, "biYPelsPerMeter = " + SignedDec(*x.readI32LE()));
    line(p, "biClrUsed = " + Dec(*x.readU32LE()));
    line(p, "biClrImportant = " + Dec(*x.readU32LE()));
}

void RiffReport::Walk::wave(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    line(p, "FormatTag = " + Dec(*x.readU16LE()));
    line(p, "Channels = " + Dec(*x.readU16LE()));
    line(p, "SamplesPerSec = " + Dec(*x.readU32LE()));
    line(p, "AvgBytesPerSec = " + Dec(*x.readU32LE()));
    line(p, "BlockAlign = " + Dec(*x.readU16LE()));
    line(p, "BitsPerSample = " + Dec(*x.readU16LE()));
    line(p, "cbSize = " + Dec(*x.readU16LE()));
}

void RiffReport::Walk::dvInfo(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    for (const char* label : {"DVAAuxSrc = ", "DVAAuxCtl = ", "DVAAuxSrc1 = ", "DVAAuxCtl1 = ",
                              "DVVAuxSrc = ", "DVVAuxCtl = ", "DVReserved0 = ", "DVReserved1 = "})
        line(p, label + Hex(*x.readU32LE(), 8));
}

void RiffReport::Walk::index(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    line(p, "wLongsPerEntry = " + Hex(*x.readU16LE(), 4));
    line(p, "bIndexSubType = " + Dec(*x.readU8()));
    line(p, "bIndexType = " + Dec(*x.readU8()));
    line(p, "nEntriesInUse = " + Hex(*x.readU32LE(), 8));
    line(p, "dwChunkId = " + CodeText(*x.readFourcc()));
    line(p, "qwBaseOffset = " + Hex(*x.readU64LE(), 16));
    line(p, "dwReserved_3 = " + Hex(*x.readU32LE(), 8));
}

// S is kept in 64 bits so that a stored size of FFFFFFFF (an unfinished recording) does not
// wrap to 0 when its pad byte is added; where the walk compares it "as unsigned", a negative S
// counts as larger than any chunk, as a wrapped 32-bit count would.
std::int64_t RiffReport::Walk::chunk(int depth, bool top) {
    if (r_.pumpMessages)
        r_.pumpMessages();
    if (r_.ReportCancelled || full())
        return 0;
    const std::string p(static_cast<std::size_t>(depth) * 4, ' ');
    std::array<std::uint8_t, 4> idBytes{}, sizeBytes{};
    if (!read(idBytes) || !read(sizeBytes))
        return 0;
    const std::uint32_t id = LoadU32LE(idBytes, 0);
    const std::uint32_t stored = LoadU32LE(sizeBytes, 0);
    const std::uint64_t fileSize = s_.size();
    const std::uint64_t pos = s_.position();

    if (top && id != fcc::kRiff) {
        line("", ">>> There are " + Hex(fileSize - pos + 8, 8) +
                     " bytes of garbage at the end of the file");
        return 8;
    }
    if (id != Fourcc("01wb") && id != Fourcc("00dc") && id != Fourcc("00db"))
        line(p, CodeText(id) + "  " + Hex(stored, 8));
    std::int64_t S = stored;
    if (S & 1)
        S += 1;
    if (pos + static_cast<std::uint64_t>(S) > fileSize) {
        line(p, ">>> Bad chunk length:");
        line(p, ">>> " + Hex(static_cast<std::uint64_t>(S), 8) + " instead of " +
                    Hex(fileSize - pos, 8));
        S = static_cast<std::int64_t>(fileSize - pos);
    }
    const std::int64_t result = S + 8;
    if (S == 0)
        return result;
    const auto unsignedAbove = [](std::int64_t v, std::int64_t limit) {
        return v < 0 || v > limit;
    };

    if (id == fcc::kRiff || id == fcc::kList) {
        std::array<std::uint8_t, 4> t{};
        if (!read(t))
            return result;
        S -= 4;
        const std::uint32_t type = LoadU32LE(t, 0);
        line(p, CodeText(type));
        if (type == fcc::kMovi) {
            s_.seekRelative(S);
            return result;
        }
        if (depth >= kMaxReportDepth) {
            line(p, ">>> Lists nested deeper than " + std::to_string(kMaxReportDepth) +
                        " levels are not walked");
            s_.seekRelative(S);
            return result;
        }
        while (unsignedAbove(S, 7)) {
            if (r_.ReportCancelled || r_.ReportEndOfData || full())
                break;
            const std::int64_t L = chunk(depth + 1, false);
            if (S >= 0 && L > S)
                return result;
            S -= L;
        }
    } else if (id == fcc::kStrh) {
        std::array<std::uint8_t, kStreamHeaderRead> b{};
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        const std::uint32_t type = LoadU32LE(b, 0);
        r_.StreamKind = type == fcc::kVids   ? ReportStreamKind::Video
                        : type == fcc::kAuds ? ReportStreamKind::Audio
                        : type == fcc::kIavs ? ReportStreamKind::Interleaved
                                             : ReportStreamKind::Unknown;
        static constexpr const char* kKindText[] = {"(Video)", "(Audio)", "(Interleaved)",
                                                    "(Unknown)"};
        r_.AddLine("");
        centred(p, "-", kKindText[static_cast<int>(r_.StreamKind)]);
        centred(p, "-", "Start of AVI Stream Header");
        streamHeader(p, b);
        centred(p, "-", "End of AVI Stream Header");
        r_.AddLine("");
    } else if (id == fcc::kAvih) {
        r_.AddLine("");
        centred(p, "-", " Start of AVI Main Header ");
        std::array<std::uint8_t, kMainHeaderRead> b{};
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        mainHeader(p, b);
        centred(p, "-", " End of Main Header ");
        r_.AddLine("");
    } else if (id == fcc::kStrf && r_.StreamKind == ReportStreamKind::Video) {
        r_.AddLine("");
        centred(p, "-", "Start of Stream Format Header");
        std::array<std::uint8_t, kBitmapRead> b{};
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        bitmap(p, b);
        const std::uint32_t c = FourccToLower(LoadU32LE(b, 16));
        if ((c == fcc::kDvsd || c == fcc::kDsvd || c == fcc::kCsvd) && unsignedAbove(S, 31)) {
            centred(p, "-", "Start of DVInfo");
            std::array<std::uint8_t, kDvInfoRead> d{};
            if (!read(d))
                return result;
            S -= static_cast<std::int64_t>(d.size());
            dvInfo(p, d);
            centred(p, "-", "End of DVINfo");
        }
        centred(p, "-", "End of AVI Stream Format");
        r_.AddLine("");
    } else if (id == fcc::kStrf && r_.StreamKind == ReportStreamKind::Audio) {
        r_.AddLine("");
        centred(p, "-", "Start of Stream Format Header");
        std::array<std::uint8_t, kWaveRead> b{};
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        wave(p, b);
        centred(p, "-", "End of AVI Stream Format");
        r_.AddLine("");
    } else if (id == fcc::kStrf && r_.StreamKind == ReportStreamKind::Interleaved) {
        r_.AddLine("");
        centred(p, "-", "Start of DVInfo");
        std::array<std::uint8_t, kDvInfoRead> b{};
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        dvInfo(p, b);
        centred(p, "-", "End of DVINfo");
        r_.AddLine("");
    } else if (id == fcc::kIndx || ((id & 0xFF) == 'i' && ((id >> 8) & 0xFF) == 'x')) {
        std::vector<std::uint8_t> b(kIndexRead);
        if (!read(b))
            return result;
        S -= static_cast<std::int64_t>(b.size());
        r_.AddLine("");
        centred(p, "-", "Start of an Index");
        index(p, b);
        centred(p, "-", "End of Index");
        r_.AddLine("");
    }
    if (S != 0)
        s_.seekRelative(S);
    return result;
}

RiffReport::RiffReport() : now(LocalNow) {}

void RiffReport::AddLine(std::string text) {
    lines_.push_back(std::move(text));
}

std::string RiffReport::CenteredLine(std::string_view prefix, std::string_view fill,
                                     std::string_view text) {
    const int n = (kLineWidth - TextLength(prefix) - TextLength(text)) / 2;
    std::string pad;
    for (int i = 0; i < n; ++i)
        pad += fill;
    std::string out(prefix);
    out += pad;
    out += text;
    out += pad;
    return out;
}

void RiffReport::AddCenteredLine(std::string_view prefix, std::string_view fill,
                                 std::string_view text) {
    AddLine(CenteredLine(prefix, fill, text));
}

void RiffReport::ShowReport(const std::string& fullPath) {
    saveEnabled_ = false;
    ReportFileName = fullPath;
    caption_ = "Header of the file " + fullPath;
    if (showWindow)
        showWindow();
    RunReport(fullPath);
}

void RiffReport::RunReport(const std::string& fullPath) {
    saveEnabled_ = false;
    ReportEndOfData = false;
    ReportCancelled = false;
    lines_.clear();
    bytesRead_ = 0;
    if (!RegularFileSize(fullPath))
        return;
    auto file = OpenOrRaise(fullPath, DiskFile::Mode::Read);
    RunReport(fullPath, *file);
}

void RiffReport::RunReport(const std::string& fullPath, PositionedFile& file) {
    analysedPath_ = fullPath;
    saveEnabled_ = false;
    ReportEndOfData = false;
    ReportCancelled = false;
    lines_.clear();
    const std::uint64_t before = file.bytesRead();
    const std::string dashes(kLineWidth, '-');
    const double t = now ? now() : LocalNow();
    AddLine(dashes);
    AddLine("");
    AddCenteredLine("", "*", "  Header of the file " + FileNameOnly(fullPath) + "  ");
    AddLine("");
    AddCenteredLine("", " ",
                    "analysed on " + FormatDateTime("yyyy/mm/d", t, Locale) + " at " +
                        FormatDateTime("h:mm:ss", t, Locale));
    AddCenteredLine("", " ",
                    std::string("with ") + about::kProductName + " by " + about::kMaker +
                        " version " + about::VersionText());
    AddLine("");
    AddCenteredLine("", " ", "Visit my website:");
    AddCenteredLine("", " ", about::kWebAddress);
    AddLine("");
    AddCenteredLine("", "-", " Start of Avi RIFF ");

    Walk walk(*this, file);
    walk.run();
    bytesRead_ = file.bytesRead() - before;

    AddLine("");
    if (walk.cut()) {
        AddLine(">>> The report stops after " + std::to_string(kMaxReportLines) + " lines");
        AddLine("");
    }
    if (ReportCancelled) {
        AddCenteredLine("", "-", "Canceled by user");
        AddLine("");
        if (closeWindow)
            closeWindow();
    }
    if (ReportEndOfData) {
        AddCenteredLine("", " ", "Unexpected end");
        AddLine("");
    }
    AddCenteredLine("", "-", " End of Header ");
    AddCenteredLine("", " ", fullPath);
    AddLine("");
    AddLine(dashes);
    saveEnabled_ = true;
}

std::string RiffReport::SuggestedLogName() const {
    const auto slash = ReportFileName.find_last_of('/');
    const auto dot = ReportFileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return ReportFileName + ".log";
    return ReportFileName.substr(0, dot) + ".log";
}

bool RiffReport::Save(const std::string& path, std::string* why) const {
    files::OutputFile out(path, analysedPath_);
    for (const auto& l : lines_) {
        out.Write(l);
        out.Write("\r\n");
    }
    const bool saved = out.Commit();
    if (!saved && why)
        *why = out.Error().empty() ? "cannot write " + path : out.Error();
    return saved;
}

}  // namespace kelvor::avi
