// The program's own reader of an AVI file's RIFF structure: checks that a file is a well-formed
// RIFF AVI file and keeps its main header, the header, format and super index start of every
// stream, and where its movi and idx1 data lie. Frame data are never read.
//
// Ownership: AviParams owns its streams. A AviInfo does all its work in its
// constructor and holds no file afterwards; any thread may build one, and a built one may be
// read from any thread. Failure: only the opening of the file raises (FileError); every read
// that comes up short ends the walk at the level where it happened, and the fields keep what
// was found until then.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/avi/PositionedFile.h"

namespace kelvor::avi {

struct AviStream {
    std::array<std::uint8_t, 56> StreamHeader{};     // the first 56 bytes of "strh"
    std::vector<std::uint8_t> StreamFormat;          // the "strf" data
    std::array<std::uint8_t, 88> SuperIndex{};       // the first 88 bytes of "indx"
    std::uint64_t SuperIndexEntriesOffset = 0;       // "indx" data start + 24; 0 without "indx"
    std::vector<std::uint8_t> VideoPropertiesBytes;  // the first bytes of "vprp"; empty without
};

struct AviParams {
    bool OpenDml = false;
    std::array<std::uint8_t, 56> MainHeader{};
    std::array<std::uint8_t, 248> OpenDmlHeader{};
    std::int32_t AudioIndex = -1;  // first "auds" stream
    std::int32_t VideoIndex = -1;  // first "vids" or "iavs" stream
    std::vector<AviStream> Streams;
    std::uint64_t Idx1Offset = 0;
    // 0 index of indexes, 1 index of chunks, 4 another bIndexType (all from the video stream's
    // indx), 2 idx1 only, 3 no index; 0 without a video stream.
    std::uint8_t IndexKind = 0;
    std::uint64_t MoviOffset = 0;  // just after the list type of the last "movi" met
    bool Valid = false;
};

// Stream lists beyond this many are passed over (a hostile file could hold millions).
inline constexpr std::size_t kMaxReaderStreams = 256;
// Stream format bytes kept per stream; a real one has well under a kilobyte.
inline constexpr std::size_t kMaxStreamFormatBytes = 1 << 20;
// Video properties bytes kept per stream: the fixed part and two field descriptions.
inline constexpr std::size_t kMaxVideoPropertiesBytes = 100;

class AviInfo : public AviParams {
  public:
    // Opens the file for reading (others may read and write it meanwhile) and walks it. Raises
    // FileError when the file cannot be opened.
    explicit AviInfo(const std::string& fileName);
    // Walks a file already open (tests, fuzzing).
    explicit AviInfo(PositionedFile& file);

    // The stream at VideoIndex, or nullptr.
    const AviStream* VideoStream() const;
    // The four bytes of the video stream's fccHandler as stored, or "####".
    std::string VideoCodec() const;

  private:
    void walk(PositionedFile& file);
};

}  // namespace kelvor::avi
