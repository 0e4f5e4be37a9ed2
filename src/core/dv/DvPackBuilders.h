// Building the metadata packs of a DV frame and placing them where a camcorder puts them:
// timecode, recording date and recording time in the subcode, video source, video source
// control, recording date and time in VAUX. Used by the DV muxer's callers and the test-file
// maker; the faults reproduce what damaged or unusual recordings hold.
//
// Pure functions over caller-owned bytes: no allocation, no I/O, any thread. A frame whose size
// does not match its sequence count is left untouched.
#pragma once

#include <optional>

#include "core/dv/DvPacks.h"

namespace kelvor::dv {

enum class PackFault {
    None,
    ZeroedIds,    // date and time packs keep their data but their ids are 00
    FilledFF,     // date and time pack positions hold FF only: no datecode
    OnlyVaux,     // date and time only in VAUX
    OnlySubcode,  // date and time only in the subcode
};

struct FramePacks {
    bool Pal = true;
    bool Wide = false;
    bool Control = true;  // false: no VAUX source-control pack, as some camcorders and converters
    std::optional<dv::Timecode> Timecode;
    std::optional<dv::Datecode> Datecode;  // none: the date and time positions hold FF
    PackFault Fault = PackFault::None;
};

Pack TimecodePack(const Timecode& tc);
Pack RecDatePack(const Datecode& d);
Pack RecTimePack(const Datecode& d);
Pack VideoSourcePack(bool pal);
Pack VideoSourceControlPack(bool wide);
// The AAUX source pack of sound at one of the three DV rates (any other is written as 48000 Hz)
// and 16 or 12 bits, 25 Mbit/s; PC1 (locked flag, sample count) and PC2 (channel layout) as given.
Pack AudioSourcePack(bool pal, int sampleRate, int quantization, std::uint8_t pc1,
                     std::uint8_t pc2);
// The AAUX source-control pack this program writes in every frame and DVINFO.
inline constexpr Pack kAudioSourceControlPack = {kPackAudioSourceControl, 0x03, 0xCF, 0xA0, 0xFF};
inline constexpr Pack kNoInfoPack = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Writes every subcode and VAUX pack of the frame (all 12 + 45 positions of each sequence).
void WriteFramePacks(MutableFrame frame, int sequenceCount, const FramePacks& packs);

// Writes only the timecode, recording date and recording time packs, at the positions
// WriteFramePacks gives them in every sequence; a value not given leaves its positions, and every
// other pack, as they are.
void WriteTimePacks(MutableFrame frame, int sequenceCount, const std::optional<Timecode>& timecode,
                    const std::optional<Datecode>& datecode);

// The timecode that follows tc at this frame rate (25 or 30 frames a second, no drop frames).
Timecode NextTimecode(const Timecode& tc, int framesPerSecond);

}  // namespace kelvor::dv
