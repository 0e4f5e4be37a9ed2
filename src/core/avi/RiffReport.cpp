#include "core/avi/RiffReport.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "core/avi/ByteReader.h"
#include "core/avi/FormatBlocks.h"
#include "core/avi/Fourcc.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/files/OutputFile.h"
#include "core/shell/About.h"

namespace kelvor::avi {

namespace {

using namespace layout;

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

class RiffReport::Walk final : public ClampedChunkWalk {
  public:
    Walk(RiffReport& r, PositionedFile& f) : ClampedChunkWalk(f, true), r_(r) {}

    bool cut() const { return cut_; }

  private:
    static std::string prefix(int depth) {
        return std::string(static_cast<std::size_t>(depth) * 4, ' ');
    }
    void line(const std::string& p, std::string text) { r_.AddLine(p + text); }
    void centred(const std::string& p, const char* fill, std::string_view text) {
        r_.AddCenteredLine(p, fill, text);
    }

    bool goOn() override {
        if (r_.ReportCancelled)
            return false;
        if (r_.lines_.size() < kMaxReportLines)
            return true;
        cut_ = true;
        return false;
    }
    void startChunk() override {
        if (r_.pumpMessages)
            r_.pumpMessages();
    }
    void garbage(std::uint64_t bytes) override {
        line("", ">>> There are " + Hex(bytes, 8) + " bytes of garbage at the end of the file");
    }
    void chunkMet(const ChunkHeader& h, int depth) override {
        if (h.Id != Fourcc("01wb") && h.Id != Fourcc("00dc") && h.Id != Fourcc("00db"))
            line(prefix(depth), CodeText(h.Id) + "  " + Hex(h.Size, 8));
    }
    void badLength(std::uint64_t padded, std::uint64_t left, int depth) override {
        line(prefix(depth), ">>> Bad chunk length:");
        line(prefix(depth), ">>> " + Hex(padded, 8) + " instead of " + Hex(left, 8));
    }
    void listTypeMet(std::uint32_t type, int depth) override {
        line(prefix(depth), CodeText(type));
    }
    void tooDeep(int depth) override {
        line(prefix(depth), ">>> Lists nested deeper than " + std::to_string(kMaxReportDepth) +
                                " levels are not walked");
    }
    void headerBlocks(const ChunkHeader& chunk, int depth, std::int64_t& left) override;
    // A block's lines between its start and end lines; false when its bytes were not all there.
    template <std::size_t N>
    bool block(const std::string& p, const char* start, const char* end, std::int64_t& left,
               void (Walk::*fields)(const std::string&, std::span<const std::uint8_t>));

    void streamHeader(const std::string& p, std::span<const std::uint8_t> b);
    void mainHeader(const std::string& p, std::span<const std::uint8_t> b);
    void bitmap(const std::string& p, std::span<const std::uint8_t> b);
    void wave(const std::string& p, std::span<const std::uint8_t> b);
    void dvInfo(const std::string& p, std::span<const std::uint8_t> b);
    void index(const std::string& p, std::span<const std::uint8_t> b);

    RiffReport& r_;
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
    const BitmapInfoHeader h = *ReadBitmapInfoHeader(x);
    line(p, "biSize = " + Dec(h.biSize));
    line(p, "biWidth = " + SignedDec(h.biWidth));
    line(p, "biHeight = " + SignedDec(h.biHeight));
    line(p, "biPlanes = " + Dec(h.biPlanes));
    line(p, "biBitCount = " + Dec(h.biBitCount));
    line(p, "biCompression = " + CodeText(h.biCompression));
    line(p, "biSizeImage = " + Dec(h.biSizeImage));
    line(p, "biXPelsPerMeter = " + SignedDec(h.biXPelsPerMeter));
    line(p, "biYPelsPerMeter = " + SignedDec(h.biYPelsPerMeter));
    line(p, "biClrUsed = " + Dec(h.biClrUsed));
    line(p, "biClrImportant = " + Dec(h.biClrImportant));
}

void RiffReport::Walk::wave(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    const WaveFormatEx w = *ReadWaveFormatEx(x);
    line(p, "FormatTag = " + Dec(w.wFormatTag));
    line(p, "Channels = " + Dec(w.nChannels));
    line(p, "SamplesPerSec = " + Dec(w.nSamplesPerSec));
    line(p, "AvgBytesPerSec = " + Dec(w.nAvgBytesPerSec));
    line(p, "BlockAlign = " + Dec(w.nBlockAlign));
    line(p, "BitsPerSample = " + Dec(w.wBitsPerSample));
    line(p, "cbSize = " + Dec(w.cbSize));
}

void RiffReport::Walk::dvInfo(const std::string& p, std::span<const std::uint8_t> b) {
    ByteReader x(b);
    const dv::DvInfo d = *ReadDvInfo(x);
    const std::pair<const char*, std::uint32_t> words[] = {
        {"DVAAuxSrc = ", d.dwDVAAuxSrc},       {"DVAAuxCtl = ", d.dwDVAAuxCtl},
        {"DVAAuxSrc1 = ", d.dwDVAAuxSrc1},     {"DVAAuxCtl1 = ", d.dwDVAAuxCtl1},
        {"DVVAuxSrc = ", d.dwDVVAuxSrc},       {"DVVAuxCtl = ", d.dwDVVAuxCtl},
        {"DVReserved0 = ", d.dwDVReserved[0]}, {"DVReserved1 = ", d.dwDVReserved[1]}};
    for (const auto& [label, word] : words)
        line(p, label + Hex(word, 8));
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

template <std::size_t N>
bool RiffReport::Walk::block(const std::string& p, const char* start, const char* end,
                             std::int64_t& left,
                             void (Walk::*fields)(const std::string&,
                                                  std::span<const std::uint8_t>)) {
    centred(p, "-", start);
    std::array<std::uint8_t, N> b{};
    if (!readBlock(b, left))
        return false;
    (this->*fields)(p, b);
    centred(p, "-", end);
    return true;
}

void RiffReport::Walk::headerBlocks(const ChunkHeader& chunk, int depth, std::int64_t& left) {
    const std::string p = prefix(depth);
    switch (HeaderBlockOf(chunk.Id, r_.StreamKind)) {
        case HeaderBlock::StreamHeader: {
            std::array<std::uint8_t, kStreamHeaderSize> b{};
            if (!readBlock(b, left))
                return;
            r_.StreamKind = StreamKindOf(LoadU32LE(b, kStrhType));
            static constexpr const char* kKindText[] = {"(Video)", "(Audio)", "(Interleaved)",
                                                        "(Unknown)"};
            r_.AddLine("");
            centred(p, "-", kKindText[static_cast<int>(r_.StreamKind)]);
            centred(p, "-", "Start of AVI Stream Header");
            streamHeader(p, b);
            centred(p, "-", "End of AVI Stream Header");
            break;
        }
        case HeaderBlock::MainHeader:
            r_.AddLine("");
            if (!block<kMainHeaderSize>(p, " Start of AVI Main Header ", " End of Main Header ",
                                        left, &Walk::mainHeader))
                return;
            break;
        case HeaderBlock::VideoFormat: {
            r_.AddLine("");
            centred(p, "-", "Start of Stream Format Header");
            std::array<std::uint8_t, kBitmapHeaderSize> b{};
            if (!readBlock(b, left))
                return;
            bitmap(p, b);
            if (IsDvCompression(LoadU32LE(b, kBiCompression)) && above(left, kDvInfoSize - 1) &&
                !block<kDvInfoSize>(p, "Start of DVInfo", "End of DVINfo", left, &Walk::dvInfo))
                return;
            centred(p, "-", "End of AVI Stream Format");
            break;
        }
        case HeaderBlock::AudioFormat:
            r_.AddLine("");
            if (!block<kWaveFormatSize>(p, "Start of Stream Format Header",
                                        "End of AVI Stream Format", left, &Walk::wave))
                return;
            break;
        case HeaderBlock::DvFormat:
            r_.AddLine("");
            if (!block<kDvInfoSize>(p, "Start of DVInfo", "End of DVINfo", left, &Walk::dvInfo))
                return;
            break;
        case HeaderBlock::Index: {
            std::vector<std::uint8_t> b(kIndexBlockRead);
            if (!readBlock(b, left))
                return;
            r_.AddLine("");
            centred(p, "-", "Start of an Index");
            index(p, b);
            centred(p, "-", "End of Index");
            break;
        }
        case HeaderBlock::None:
            return;
    }
    r_.AddLine("");
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
    ReportEndOfData = walk.endOfData();
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
