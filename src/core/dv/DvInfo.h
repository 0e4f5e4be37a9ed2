// The DVINFO block of DV streams (in AVI stream formats and media types): the data bytes PC1 to
// PC4, as little-endian words, of the AAUX source and source-control packs of both audio halves
// and of the VAUX source and source-control packs of a DV frame. What a DVINFO says about the
// standard and the sound, and how one is built from a frame, is decided here and nowhere else;
// its byte layout is read and written by core/avi/FormatBlocks.h.
//
// Values and pure functions: no allocation, no I/O, any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/dv/DvPacks.h"

namespace kelvor::dv {

struct DvInfo {
    static constexpr std::size_t kSize = 32;  // bytes as stored
    std::uint32_t dwDVAAuxSrc = 0;
    std::uint32_t dwDVAAuxCtl = 0;
    std::uint32_t dwDVAAuxSrc1 = 0;
    std::uint32_t dwDVAAuxCtl1 = 0;
    std::uint32_t dwDVVAuxSrc = 0;
    std::uint32_t dwDVVAuxCtl = 0;
    std::array<std::uint32_t, 2> dwDVReserved{};
    friend bool operator==(const DvInfo&, const DvInfo&) = default;
};

// A word of a pack missing from the frame it was taken from.
inline constexpr std::uint32_t kMissingPackWord = 0xFFFFFFFFu;

// PC1 to PC4 of a pack as one word, PC1 in the low byte; and the pack of a word with its id.
std::uint32_t PackWord(const Pack& pack);
Pack PackOfWord(std::uint8_t id, std::uint32_t word);

// The DVINFO of a frame: the first AAUX source and source-control packs of each half of its DIF
// sequences (the two audio halves) and the first VAUX source and source-control packs of its
// first half. A word is kMissingPackWord where the frame has no such pack (every word is, for a
// frame of neither DV size); the reserved words are 0.
DvInfo DvInfoFromFrame(ConstFrame frame);
// Takes into `stored` every word the frame has (a word that is not kMissingPackWord), so a
// stored DVINFO that contradicts the frames gives way to them; the reserved words stay.
void TakeFramePacks(DvInfo& stored, const DvInfo& frame);

// The 50/60 flag of a VAUX source word (PC3 bit 5): true for 625 lines / 50 Hz.
bool Is625Lines(std::uint32_t vauxSourceWord);
// The standard a DVINFO announces to a reader without a frame header to go by: the 50/60 flag of
// its VAUX source word, or kStandardUnknown when it has no such pack (a word of 0 or
// kMissingPackWord). A PC3 of 00 is 525/60 with system type 0, as real NTSC camcorders write.
int StandardOfDvInfo(const DvInfo& info);
// Makes the DVINFO announce `standard` (read from a frame's header, which decides): the 50/60 flag
// of its VAUX source word is set to agree, and a missing word becomes the standard's plain pack.
void SetDvInfoStandard(DvInfo& info, int standard);

// The aspect a DVINFO's copy of the VAUX source-control pack announces (true for 16:9), for
// frames that carry no such pack themselves; none when it has no such pack (a word of 0 or
// kMissingPackWord).
std::optional<bool> WideOfDvInfo(const DvInfo& info);

// The sound of an AAUX source word, by the rules of ReadAudioFormat.
AudioFormat AudioFormatOfSourceWord(std::uint32_t aauxSourceWord);
// Stereo pairs a frame of this sound carries: 2 for 12-bit sound at a DV rate, else 1.
int StereoPairs(const AudioFormat& sound);

// The DVINFO of the DV stream this program's muxer writes: 4:3 video of the standard and 16-bit
// stereo sound at the rate (one of the three DV rates; any other is written as 48000 Hz), or
// 12-bit sound in two stereo pairs at 32000 Hz when the muxer takes a second pair.
DvInfo MuxedDvInfo(bool pal, int sampleRate, bool twoPairs = false);

}  // namespace kelvor::dv
