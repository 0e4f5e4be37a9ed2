// Reading and writing the metadata packs of one DV frame (IEC 61834 consumer DV).
//
// DV repeats its packs in every DIF sequence so that a dropout can be outvoted: a pack's value is
// the one most of its copies in the frame agree on, the first copy winning a tie.
//
// Every function here is pure: it works on the frame bytes it is given, allocates nothing, does
// no I/O and keeps no state, so any thread may call it. Readers return true on success and leave
// their outputs untouched when they return false. A frame shorter than its SequenceCount says,
// or a SequenceCount other than 10 or 12, is treated as holding no packs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvor::dv {

inline constexpr std::size_t kDifBlockSize = 80;
inline constexpr std::size_t kDifSequenceSize = 12000;  // 150 DIF blocks
inline constexpr std::size_t kPackSize = 5;
inline constexpr int kSequences525 = 10;  // 525/60: 120000-byte frames
inline constexpr int kSequences625 = 12;  // 625/50: 144000-byte frames
inline constexpr std::size_t kFrameSize525 = kSequences525 * kDifSequenceSize;
inline constexpr std::size_t kFrameSize625 = kSequences625 * kDifSequenceSize;

// Standard codes shared by the pack reader, the file record and the scene detector.
inline constexpr int kStandardUnknown = 0;
inline constexpr int kStandardPal = 1;   // 625 lines / 50 Hz
inline constexpr int kStandardNtsc = 2;  // 525 lines / 60 Hz

// Pack ids this program reads or writes.
inline constexpr std::uint8_t kPackTimecode = 0x13;
inline constexpr std::uint8_t kPackAudioSource = 0x50;
inline constexpr std::uint8_t kPackAudioSourceControl = 0x51;
inline constexpr std::uint8_t kPackVideoSource = 0x60;
inline constexpr std::uint8_t kPackVideoSourceControl = 0x61;
inline constexpr std::uint8_t kPackRecDate = 0x62;
inline constexpr std::uint8_t kPackRecTime = 0x63;
inline constexpr std::uint8_t kPackNoInfo = 0xFF;

using Pack = std::array<std::uint8_t, kPackSize>;
using DifBlock = std::array<std::uint8_t, kDifBlockSize>;

// The recording date and time of a frame. No fraction of a second, no frame number.
struct Datecode {
    std::int32_t Year = 0;  // the full year, such as 2004
    std::uint8_t Month = 0;
    std::uint8_t Day = 0;
    std::uint8_t Hour = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    friend bool operator==(const Datecode&, const Datecode&) = default;
};

// The tape timecode of a frame.
struct Timecode {
    std::uint8_t Hours = 0;
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;
    std::uint8_t Frames = 0;
    // The pack's drop-frame flag, which only a 525/60 frame carries; a count's equality ignores
    // it, since the same tape position is written with and without it.
    bool DropFrame = false;
    friend bool operator==(const Timecode& a, const Timecode& b) {
        return a.Hours == b.Hours && a.Minutes == b.Minutes && a.Seconds == b.Seconds &&
               a.Frames == b.Frames;
    }
};

struct AudioFormat {
    std::int32_t SampleRate = 0;    // Hz, 0 when the code is not one of the three rates
    std::int32_t Quantization = 0;  // bits, 0 when the code is neither 16 nor 12
    std::int32_t Channels = 0;      // 0 when the audio mode is not the plain one
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

using ConstFrame = std::span<const std::uint8_t>;
using MutableFrame = std::span<std::uint8_t>;

// The SequenceCount of a frame of this size: 10, 12, or none for any other size.
std::optional<int> SequenceCountForSize(std::size_t frameSize);

// Offsets (from the start of the frame) of the search area of sequence s: the 12 subcode pack
// positions, then the 45 VAUX pack positions.
inline constexpr int kSubcodePacksPerSequence = 12;
inline constexpr int kVauxPacksPerSequence = 45;
inline constexpr int kSearchPositionsPerSequence = kSubcodePacksPerSequence + kVauxPacksPerSequence;
std::size_t SearchPositionOffset(int sequence, int position);

// Offset of audio block j (0 to 8) of sequence s.
inline constexpr int kAudioBlocksPerSequence = 9;
std::size_t AudioBlockOffset(int sequence, int j);

bool FindPack(ConstFrame frame, int sequenceCount, std::uint8_t packId, Pack& pack);
bool FindAudioBlock(ConstFrame frame, int sequenceCount, std::uint8_t packId, DifBlock& block);
bool ReadTimecode(ConstFrame frame, int sequenceCount, Timecode& timecode);
bool ReadDatecode(ConstFrame frame, int sequenceCount, Datecode& datecode);
// What a consumer may show: the same packs, given up when a digit is not BCD or a field is out
// of range (month 13, hour 25, minute 61, a timecode frame at or above the frame rate), so that
// a damaged pack never becomes a date such as 2030-11-10 or a timecode 45:85:85:45.
bool ReadValidDatecode(ConstFrame frame, int sequenceCount, Datecode& datecode);
bool ReadValidTimecode(ConstFrame frame, int sequenceCount, Timecode& timecode);
bool ReadStandard(ConstFrame frame, int& standard);
// The standard of bytes that begin with a DIF header block (section type 0, sequence 0, block 0,
// then the 50/60 byte), which is how a raw DV stream starts and how each of its frames does;
// kStandardUnknown for anything else.
int HeaderBlockStandard(ConstFrame bytes);
bool ReadAudioFormat(ConstFrame frame, int sequenceCount, AudioFormat& format);
// The sound an AAUX source pack describes, by the rules of ReadAudioFormat.
AudioFormat AudioSourceFormat(const Pack& aauxSource);
// The sample rate of an AAUX rate code (PC4 bits 3-5): 48000, 44100, 32000, or 0 for any other.
int AauxSampleRate(int code);
// The code of one of the three DV sample rates, or -1.
int AauxRateCode(int sampleRate);
bool ReadWide(ConstFrame frame, int sequenceCount, bool& wide);
void WriteDatecode(MutableFrame frame, int sequenceCount, const Datecode& datecode);

// Everything a consumer shows of one frame, read in one pass over the frame's packs with the
// same rules as the readers above: the datecode and timecode as ReadValidDatecode and
// ReadValidTimecode give them, the audio format, the aspect and the standard. Each Has flag says
// whether its value was found; the value is left as it was otherwise.
struct FrameFacts {
    bool HasDatecode = false;
    dv::Datecode Datecode;
    bool HasTimecode = false;
    dv::Timecode Timecode;
    bool HasAudio = false;
    AudioFormat Audio;
    bool HasControl = false;  // the video source-control pack, which carries the aspect
    bool Wide = false;
    bool HasStandard = false;
    int Standard = kStandardUnknown;
};
void ReadFrameFacts(ConstFrame frame, int sequenceCount, FrameFacts& facts);

// The bytes of a frame's start that ReadSampledFrameFacts reads: the whole first DIF sequence,
// and the second sequence's header, subcode, VAUX and first audio block. The two sequences lie on
// tracks of the two heads, so a clogged head shows.
inline constexpr std::size_t kSampledFactsSize = kDifSequenceSize + 7 * kDifBlockSize;
// ReadFrameFacts from the first two sequences only, for a reader that would rather not read the
// whole frame: true when every pack ReadFrameFacts looks for is there and its copies in those
// sequences agree, and then `facts` holds what the whole frame gives unless a dropout changed
// every copy of a pack elsewhere alike. False (facts untouched) when a pack is missing or its
// copies differ, or `head` is shorter than kSampledFactsSize: the caller then reads the whole
// frame, so a damaged frame is read exactly as before.
bool ReadSampledFrameFacts(ConstFrame head, int sequenceCount, FrameFacts& facts);

// The four-digit year of a two-digit year read from a date pack (90-99: 1990s, else 2000s).
std::int32_t YearFromTwoDigits(int yy);

// True when the low three bits of frame byte 12 (first header block) are not all zero.
bool HeaderFlag(ConstFrame frame);

}  // namespace kelvor::dv
