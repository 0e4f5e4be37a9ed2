// Four-character codes: 32-bit little-endian values whose bytes, low first, are the four
// characters as stored in the file. The one code type of the program (the media engine's FourCC
// is this type). Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvor::avi {

using FourccCode = std::uint32_t;

// The code of a four-character literal, usable in constant expressions ("dvsd" -> 0x64737664).
constexpr FourccCode Fourcc(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

// The first four characters as bytes in order, missing characters as zero bytes.
std::uint32_t FourccFromText(std::string_view text);
// The four bytes of the code, low byte first, as a text of exactly four characters (unfiltered).
std::string FourccToText(std::uint32_t code);
// The four bytes as characters, '?' for any byte that is not printable ASCII.
std::string FourccToPrintable(std::uint32_t code);
// The code with its letters lower-cased (ASCII only), for case-blind comparisons.
std::uint32_t FourccToLower(std::uint32_t code);
// True for the DV video codes a bitmap header may carry ("dvsd", "dsvd", "csvd", any case),
// after which a DVINFO block follows in a video stream format.
bool IsDvCompression(std::uint32_t code);
// True for an OpenDML standard index chunk id ("ix" followed by the stream number).
bool IsIndexChunkId(std::uint32_t id);

namespace fcc {
inline constexpr std::uint32_t kRiff = Fourcc("RIFF");
inline constexpr std::uint32_t kList = Fourcc("LIST");
inline constexpr std::uint32_t kAvi = Fourcc("AVI ");
inline constexpr std::uint32_t kAvix = Fourcc("AVIX");
inline constexpr std::uint32_t kHdrl = Fourcc("hdrl");
inline constexpr std::uint32_t kAvih = Fourcc("avih");
inline constexpr std::uint32_t kStrl = Fourcc("strl");
inline constexpr std::uint32_t kStrh = Fourcc("strh");
inline constexpr std::uint32_t kStrf = Fourcc("strf");
inline constexpr std::uint32_t kStrn = Fourcc("strn");
inline constexpr std::uint32_t kIndx = Fourcc("indx");
inline constexpr std::uint32_t kVprp = Fourcc("vprp");
inline constexpr std::uint32_t kOdml = Fourcc("odml");
inline constexpr std::uint32_t kDmlh = Fourcc("dmlh");
inline constexpr std::uint32_t kMovi = Fourcc("movi");
inline constexpr std::uint32_t kRec = Fourcc("rec ");
inline constexpr std::uint32_t kIdx1 = Fourcc("idx1");
inline constexpr std::uint32_t kJunk = Fourcc("JUNK");
inline constexpr std::uint32_t kVids = Fourcc("vids");
inline constexpr std::uint32_t kAuds = Fourcc("auds");
inline constexpr std::uint32_t kIavs = Fourcc("iavs");
inline constexpr std::uint32_t kDvsd = Fourcc("dvsd");
inline constexpr std::uint32_t kDsvd = Fourcc("dsvd");
inline constexpr std::uint32_t kCsvd = Fourcc("csvd");
}  // namespace fcc

}  // namespace kelvor::avi
