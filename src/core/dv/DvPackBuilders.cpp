#include "core/dv/DvPackBuilders.h"

namespace kelvor::dv {
namespace {

constexpr std::uint8_t bcd(int v) {
    return static_cast<std::uint8_t>((((v / 10) % 10) << 4) | (v % 10));
}

void put(MutableFrame frame, std::size_t offset, const Pack& p) {
    for (std::size_t i = 0; i < kPackSize; ++i)
        frame[offset + i] = p[i];
}

// Subcode positions: each of the two subcode blocks carries TC, date, time twice.
constexpr std::uint8_t kSubcodeLayout[kSubcodePacksPerSequence] = {
    kPackTimecode, kPackRecDate, kPackRecTime, kPackTimecode, kPackRecDate, kPackRecTime,
    kPackTimecode, kPackRecDate, kPackRecTime, kPackTimecode, kPackRecDate, kPackRecTime};
// VAUX: source, control, date, time; in the third VAUX block (packs 39-42) of even sequences
// and the first (packs 0-3) of odd ones.
constexpr int kVauxEvenFirst = 39;
constexpr int kVauxOddFirst = 0;
constexpr int kVauxDateAfterFirst = 2;
constexpr int kVauxTimeAfterFirst = 3;

bool wholeFrame(MutableFrame frame, int sequenceCount) {
    return (sequenceCount == kSequences525 || sequenceCount == kSequences625) &&
           frame.size() == static_cast<std::size_t>(sequenceCount) * kDifSequenceSize;
}

int vauxFirst(int sequence) {
    return sequence % 2 == 0 ? kVauxEvenFirst : kVauxOddFirst;
}

// A 625/50 frame never carries the drop-frame flag, even when its count came from an NTSC one.
Pack timecodePackFor(Timecode tc, bool pal) {
    if (pal)
        tc.DropFrame = false;
    return TimecodePack(tc);
}

}  // namespace

Pack TimecodePack(const Timecode& tc) {
    return {kPackTimecode,
            static_cast<std::uint8_t>((bcd(tc.Frames) & 0x3F) | (tc.DropFrame ? 0x40 : 0)),
            static_cast<std::uint8_t>(bcd(tc.Seconds) & 0x7F),
            static_cast<std::uint8_t>(bcd(tc.Minutes) & 0x7F),
            static_cast<std::uint8_t>(bcd(tc.Hours) & 0x3F)};
}

Pack RecDatePack(const Datecode& d) {
    const int yy = ((d.Year % 100) + 100) % 100;
    return {kPackRecDate, 0xFF, static_cast<std::uint8_t>(0xC0 | bcd(d.Day)),
            static_cast<std::uint8_t>(0xE0 | bcd(d.Month)), bcd(yy)};
}

Pack RecTimePack(const Datecode& d) {
    return {kPackRecTime, 0xFF, static_cast<std::uint8_t>(0x80 | bcd(d.Second)),
            static_cast<std::uint8_t>(0x80 | bcd(d.Minute)),
            static_cast<std::uint8_t>(0xC0 | bcd(d.Hour))};
}

Pack VideoSourcePack(bool pal) {
    return {kPackVideoSource, 0xFF, 0xFF, static_cast<std::uint8_t>(0xC0 | (pal ? 0x20 : 0x00)),
            0xFF};
}

Pack VideoSourceControlPack(bool wide) {
    return {kPackVideoSourceControl, 0x3F, static_cast<std::uint8_t>(0xC8 | (wide ? 0x02 : 0x00)),
            0xFC, 0xFF};
}

Pack AudioSourcePack(bool pal, int sampleRate, int quantization, std::uint8_t pc1,
                     std::uint8_t pc2) {
    const int code = AauxRateCode(sampleRate) < 0 ? 0 : AauxRateCode(sampleRate);
    return {kPackAudioSource, pc1, pc2, static_cast<std::uint8_t>(0xC0 | (pal ? 0x20 : 0x00)),
            static_cast<std::uint8_t>(0x80 | (code << 3) | (quantization == 12 ? 1 : 0))};
}

void WriteFramePacks(MutableFrame frame, int sequenceCount, const FramePacks& packs) {
    if (!wholeFrame(frame, sequenceCount))
        return;
    Pack date = kNoInfoPack;
    Pack time = kNoInfoPack;
    if (packs.Datecode && packs.Fault != PackFault::FilledFF) {
        date = RecDatePack(*packs.Datecode);
        time = RecTimePack(*packs.Datecode);
        if (packs.Fault == PackFault::ZeroedIds) {
            date[0] = 0x00;
            time[0] = 0x00;
        }
    }
    const bool dateInSubcode = packs.Fault != PackFault::OnlyVaux;
    const bool dateInVaux = packs.Fault != PackFault::OnlySubcode;
    const Pack tc = packs.Timecode ? timecodePackFor(*packs.Timecode, packs.Pal) : kNoInfoPack;

    for (int s = 0; s < sequenceCount; ++s) {
        for (int p = 0; p < kSubcodePacksPerSequence; ++p) {
            Pack v = kNoInfoPack;
            switch (kSubcodeLayout[p]) {
                case kPackTimecode:
                    v = tc;
                    break;
                case kPackRecDate:
                    v = dateInSubcode ? date : kNoInfoPack;
                    break;
                default:
                    v = dateInSubcode ? time : kNoInfoPack;
                    break;
            }
            put(frame, SearchPositionOffset(s, p), v);
        }
        const int first = vauxFirst(s);
        for (int k = 0; k < kVauxPacksPerSequence; ++k) {
            Pack v = kNoInfoPack;
            if (k == first)
                v = VideoSourcePack(packs.Pal);
            else if (k == first + 1)
                v = packs.Control ? VideoSourceControlPack(packs.Wide) : kNoInfoPack;
            else if (k == first + kVauxDateAfterFirst && dateInVaux)
                v = date;
            else if (k == first + kVauxTimeAfterFirst && dateInVaux)
                v = time;
            put(frame, SearchPositionOffset(s, kSubcodePacksPerSequence + k), v);
        }
    }
}

void WriteTimePacks(MutableFrame frame, int sequenceCount, const std::optional<Timecode>& timecode,
                    const std::optional<Datecode>& datecode) {
    if (!wholeFrame(frame, sequenceCount))
        return;
    for (int s = 0; s < sequenceCount; ++s) {
        for (int p = 0; p < kSubcodePacksPerSequence; ++p) {
            const std::uint8_t id = kSubcodeLayout[p];
            if (id == kPackTimecode && timecode)
                put(frame, SearchPositionOffset(s, p),
                    timecodePackFor(*timecode, sequenceCount == kSequences625));
            else if (id == kPackRecDate && datecode)
                put(frame, SearchPositionOffset(s, p), RecDatePack(*datecode));
            else if (id == kPackRecTime && datecode)
                put(frame, SearchPositionOffset(s, p), RecTimePack(*datecode));
        }
        if (!datecode)
            continue;
        const int first = kSubcodePacksPerSequence + vauxFirst(s);
        put(frame, SearchPositionOffset(s, first + kVauxDateAfterFirst), RecDatePack(*datecode));
        put(frame, SearchPositionOffset(s, first + kVauxTimeAfterFirst), RecTimePack(*datecode));
    }
}

Timecode NextTimecode(const Timecode& tc, int framesPerSecond) {
    Timecode n = tc;
    if (++n.Frames < framesPerSecond)
        return n;
    n.Frames = 0;
    if (++n.Seconds < 60)
        return n;
    n.Seconds = 0;
    if (++n.Minutes < 60)
        return n;
    n.Minutes = 0;
    n.Hours = static_cast<std::uint8_t>((n.Hours + 1) % 24);
    return n;
}

}  // namespace kelvor::dv
