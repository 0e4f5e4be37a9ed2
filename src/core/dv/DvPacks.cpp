#include "core/dv/DvPacks.h"

#include <cstring>
#include <utility>
#include <vector>

namespace kelvor::dv {
namespace {

constexpr std::size_t kStandardByteOffset = 3;
constexpr std::uint8_t kStandardByte625 = 0xBF;
constexpr std::uint8_t kStandardByte525 = 0x3F;
constexpr std::size_t kHeaderFlagOffset = 12;
constexpr std::size_t kFirstSubcodeBlock = 1;
constexpr std::size_t kSubcodePackStart = 6;  // after the 3-byte block ID and 3 sync bytes
constexpr std::size_t kSubcodeSyncBlockSize = 8;
constexpr int kSubcodePacksPerBlock = 6;
constexpr std::size_t kFirstVauxBlock = 3;
// The end of the subcode and VAUX blocks of a sequence.
constexpr std::size_t kHeaderEnd = kDifBlockSize * (kFirstVauxBlock + 3);
constexpr std::size_t kVauxPackStart = 3;
constexpr int kVauxPacksPerBlock = 15;
constexpr std::size_t kFirstAudioBlock = 6;
constexpr std::size_t kAudioBlockStride = 16;
constexpr std::size_t kAauxPackStart = 3;
// Where a date and time pack sit in the first sequence when their ids have been zeroed
// (VAUX block 5, packs 11 and 12).
constexpr std::size_t kFixedDatePackOffset = 458;
constexpr std::size_t kFixedTimePackOffset = 463;
// Sample rates by AAUX rate code.
constexpr int kAauxRateCount = 3;
constexpr int kAauxRates[kAauxRateCount] = {48000, 44100, 32000};

bool validFrame(std::size_t size, int sequenceCount) {
    if (sequenceCount != kSequences525 && sequenceCount != kSequences625)
        return false;
    return size >= static_cast<std::size_t>(sequenceCount) * kDifSequenceSize;
}

constexpr int lowNibble(std::uint8_t b) {
    return b & 0x0F;
}

Pack packAt(ConstFrame frame, std::size_t offset) {
    Pack p{};
    for (std::size_t i = 0; i < kPackSize; ++i)
        p[i] = frame[offset + i];
    return p;
}

// Writes the units digit into bits 0-3 and the tens digit into the field above them when it
// fits its width; every other bit keeps its value.
std::uint8_t writeBcd(std::uint8_t old, int value, int tensMask, int tensMax) {
    const int tens = value / 10;
    const int units = value % 10;
    int out = (old & 0xF0) | (units & 0x0F);
    if (tens >= 0 && tens <= tensMax)
        out = (out & ~(tensMask << 4)) | ((tens & tensMask) << 4);
    return static_cast<std::uint8_t>(out);
}

// The distinct values seen of one pack and how many copies carry each, in the order first seen.
// A sound frame's copies agree or differ in a few values, which stay inside the object; only a
// damaged frame with more spills onto the heap. A table sized for every copy put 25 KB on the
// stack of each streaming thread, and a new thread pays for those pages with faults.
class PackVote {
  public:
    void add(const Pack& value) {
        for (std::size_t i = 0; i < n_; ++i)
            if (valueAt(i) == value) {
                ++countAt(i);
                return;
            }
        if (n_ < kInline) {
            values_[n_] = value;
            counts_[n_] = 1;
        } else {
            spill_.push_back({value, 1});
        }
        ++n_;
    }
    bool empty() const { return n_ == 0; }
    // The value most copies agree on; the earliest wins a tie.
    const Pack& winner() const {
        std::size_t best = 0;
        for (std::size_t i = 1; i < n_; ++i)
            if (countAt(i) > countAt(best))
                best = i;
        return valueAt(best);
    }

  private:
    static constexpr std::size_t kInline = 8;
    const Pack& valueAt(std::size_t i) const {
        return i < kInline ? values_[i] : spill_[i - kInline].first;
    }
    int countAt(std::size_t i) const {
        return i < kInline ? counts_[i] : spill_[i - kInline].second;
    }
    int& countAt(std::size_t i) { return i < kInline ? counts_[i] : spill_[i - kInline].second; }

    std::array<Pack, kInline> values_{};
    std::array<int, kInline> counts_{};
    std::vector<std::pair<Pack, int>> spill_;
    std::size_t n_ = 0;
};

// The search positions of one sequence, from its start: subcode packs, then VAUX packs.
constexpr std::array<std::uint16_t, kSearchPositionsPerSequence> kSearchOffsets = [] {
    std::array<std::uint16_t, kSearchPositionsPerSequence> o{};
    std::size_t i = 0;
    for (std::size_t block = 0; block < 2; ++block)
        for (std::size_t k = 0; k < kSubcodePacksPerBlock; ++k)
            o[i++] = static_cast<std::uint16_t>(kDifBlockSize * (kFirstSubcodeBlock + block) +
                                                kSubcodePackStart + kSubcodeSyncBlockSize * k);
    for (std::size_t block = 0; block < 3; ++block)
        for (std::size_t k = 0; k < kVauxPacksPerBlock; ++k)
            o[i++] = static_cast<std::uint16_t>(kDifBlockSize * (kFirstVauxBlock + block) +
                                                kVauxPackStart + kPackSize * k);
    return o;
}();

// Calls f(offset) for every search position of the frame, sequence by sequence, subcode first.
template <typename F>
void forEachSearchPosition(int sequenceCount, F&& f) {
    for (int s = 0; s < sequenceCount; ++s) {
        const std::size_t base = static_cast<std::size_t>(s) * kDifSequenceSize;
        for (const std::uint16_t off : kSearchOffsets)
            f(base + off);
    }
}

// The packs of a frame's facts that the search positions hold, and the index of each id among
// them (-1 for every other byte), so one look-up per position finds all four.
constexpr std::array<std::uint8_t, 4> kFactIds = {kPackTimecode, kPackRecDate, kPackRecTime,
                                                  kPackVideoSourceControl};
constexpr std::array<std::int8_t, 256> kFactSlot = [] {
    std::array<std::int8_t, 256> slot{};
    slot.fill(-1);
    for (std::size_t k = 0; k < kFactIds.size(); ++k)
        slot[kFactIds[k]] = static_cast<std::int8_t>(k);
    return slot;
}();

// Two BCD digits: units in bits 0-3 at most 9, tens above them at most tensMax (the caller
// masks off the bits that are not digits).
bool isBcd(std::uint8_t b, int tensMax) {
    return (b & 0x0F) <= 9 && (b >> 4) <= tensMax;
}

// PC1 bit 6 of the timecode pack; a 625/50 frame leaves it undefined.
constexpr std::uint8_t kDropFrameFlag = 0x40;

Timecode timecodeFromPack(const Pack& p, int sequenceCount) {
    Timecode t;
    t.DropFrame = sequenceCount == kSequences525 && (p[1] & kDropFrameFlag) != 0;
    t.Frames = static_cast<std::uint8_t>(lowNibble(p[1]) + 10 * ((p[1] >> 4) & 0x3));
    t.Seconds = static_cast<std::uint8_t>(lowNibble(p[2]) + 10 * ((p[2] >> 4) & 0x7));
    t.Minutes = static_cast<std::uint8_t>(lowNibble(p[3]) + 10 * ((p[3] >> 4) & 0x7));
    t.Hours = static_cast<std::uint8_t>(lowNibble(p[4]) + 10 * ((p[4] >> 4) & 0x3));
    return t;
}

// The date and time packs of a frame: found by their ids, or at their usual place in the first
// sequence when their ids were zeroed.
bool fixedDatecodePacks(ConstFrame frame, Pack& date, Pack& time);

bool datecodePacks(ConstFrame frame, int sequenceCount, Pack& date, Pack& time) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    if (FindPack(frame, sequenceCount, kPackRecTime, time) &&
        FindPack(frame, sequenceCount, kPackRecDate, date))
        return true;
    return fixedDatecodePacks(frame, date, time);
}

// The date and time packs at their usual place in the first sequence, when their ids are there
// or zeroed.
bool fixedDatecodePacks(ConstFrame frame, Pack& date, Pack& time) {
    const std::uint8_t dateId = frame[kFixedDatePackOffset];
    const std::uint8_t timeId = frame[kFixedTimePackOffset];
    if ((dateId != kPackRecDate && dateId != 0x00) || (timeId != kPackRecTime && timeId != 0x00))
        return false;
    date = packAt(frame, kFixedDatePackOffset);
    time = packAt(frame, kFixedTimePackOffset);
    return true;
}

bool validTimecode(const Pack& p, int sequenceCount, Timecode& timecode) {
    if (!isBcd(p[1] & 0x3F, 5) || !isBcd(p[2] & 0x7F, 5) || !isBcd(p[3] & 0x7F, 5) ||
        !isBcd(p[4] & 0x3F, 2))
        return false;
    const Timecode t = timecodeFromPack(p, sequenceCount);
    const int rate = sequenceCount == kSequences625 ? 25 : 30;
    if (t.Hours > 23 || t.Frames >= rate)
        return false;
    timecode = t;
    return true;
}

Datecode datecodeFromPacks(const Pack& date, const Pack& time);

bool wideFromPack(const Pack& p, ConstFrame frame) {
    const int disp = p[2] & 0x07;
    return disp == 2 || (disp == 7 && !HeaderFlag(frame));
}

bool validDatecode(const Pack& date, const Pack& time, Datecode& datecode) {
    if (!isBcd(time[2] & 0x7F, 5) || !isBcd(time[3] & 0x7F, 5) || !isBcd(time[4] & 0x3F, 2) ||
        !isBcd(date[2] & 0x3F, 3) || !isBcd(date[3] & 0x1F, 1) || !isBcd(date[4], 9))
        return false;
    const Datecode d = datecodeFromPacks(date, time);
    if (d.Hour > 23 || d.Day < 1 || d.Day > 31 || d.Month < 1 || d.Month > 12)
        return false;
    datecode = d;
    return true;
}

Datecode datecodeFromPacks(const Pack& date, const Pack& time) {
    Datecode d;
    d.Second = static_cast<std::uint8_t>(lowNibble(time[2]) + 10 * ((time[2] >> 4) & 0x7));
    d.Minute = static_cast<std::uint8_t>(lowNibble(time[3]) + 10 * ((time[3] >> 4) & 0x7));
    d.Hour = static_cast<std::uint8_t>(lowNibble(time[4]) + 10 * ((time[4] >> 4) & 0x3));
    d.Day = static_cast<std::uint8_t>(lowNibble(date[2]) + 10 * ((date[2] >> 4) & 0x3));
    d.Month = static_cast<std::uint8_t>(lowNibble(date[3]) + 10 * ((date[3] >> 4) & 0x1));
    d.Year = YearFromTwoDigits(10 * (date[4] >> 4) + lowNibble(date[4]));
    return d;
}

}  // namespace

std::optional<int> SequenceCountForSize(std::size_t frameSize) {
    if (frameSize == kFrameSize525)
        return kSequences525;
    if (frameSize == kFrameSize625)
        return kSequences625;
    return std::nullopt;
}

std::size_t SearchPositionOffset(int sequence, int position) {
    const std::size_t base = static_cast<std::size_t>(sequence) * kDifSequenceSize;
    if (position < kSubcodePacksPerSequence) {
        const std::size_t block = kFirstSubcodeBlock + position / kSubcodePacksPerBlock;
        const std::size_t k = position % kSubcodePacksPerBlock;
        return base + kDifBlockSize * block + kSubcodePackStart + kSubcodeSyncBlockSize * k;
    }
    const int v = position - kSubcodePacksPerSequence;
    const std::size_t block = kFirstVauxBlock + v / kVauxPacksPerBlock;
    const std::size_t k = v % kVauxPacksPerBlock;
    return base + kDifBlockSize * block + kVauxPackStart + kPackSize * k;
}

std::size_t AudioBlockOffset(int sequence, int j) {
    const std::size_t base = static_cast<std::size_t>(sequence) * kDifSequenceSize;
    return base + kDifBlockSize * (kFirstAudioBlock + kAudioBlockStride * j);
}

// Whether the copies of a pack seen so far all agree, and where the first one is: most frames
// carry identical copies, and only a frame whose copies differ is counted copy by copy.
struct Agreement {
    std::size_t first = 0;
    bool found = false;
    bool differ = false;
    void see(const std::uint8_t* frame, std::size_t offset) {
        if (!found) {
            first = offset;
            found = true;
        } else if (!differ && std::memcmp(frame + offset, frame + first, kPackSize) != 0) {
            differ = true;
        }
    }
};

// The pack whose copies were seen: the first one when they all agree, else the value most
// copies agree on.
Pack agreedPack(ConstFrame frame, int sequenceCount, std::uint8_t packId, const Agreement& copies) {
    if (!copies.differ)
        return packAt(frame, copies.first);
    PackVote vote;
    forEachSearchPosition(sequenceCount, [&](std::size_t off) {
        if (frame[off] == packId)
            vote.add(packAt(frame, off));
    });
    return vote.winner();
}

// DV repeats each pack in every DIF sequence so that a dropout can be outvoted: the value is the
// one most copies agree on, and a frame whose copies all agree reads as its first copy.
bool FindPack(ConstFrame frame, int sequenceCount, std::uint8_t packId, Pack& pack) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    Agreement copies;
    const std::uint8_t* f = frame.data();
    forEachSearchPosition(sequenceCount, [&](std::size_t off) {
        if (f[off] == packId)
            copies.see(f, off);
    });
    if (!copies.found)
        return false;
    pack = agreedPack(frame, sequenceCount, packId, copies);
    return true;
}

bool FindAudioBlock(ConstFrame frame, int sequenceCount, std::uint8_t packId, DifBlock& block) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    // A frame whose copies all agree takes its first copy's block.
    Agreement copies;
    const std::uint8_t* f = frame.data();
    for (int s = 0; s < sequenceCount; ++s)
        for (int j = 0; j < kAudioBlocksPerSequence; ++j) {
            const std::size_t off = AudioBlockOffset(s, j) + kAauxPackStart;
            if (f[off] == packId)
                copies.see(f, off);
        }
    if (!copies.found)
        return false;
    if (!copies.differ) {
        std::memcpy(block.data(), f + copies.first - kAauxPackStart, kDifBlockSize);
        return true;
    }
    PackVote vote;
    for (int s = 0; s < sequenceCount; ++s)
        for (int j = 0; j < kAudioBlocksPerSequence; ++j) {
            const std::size_t off = AudioBlockOffset(s, j) + kAauxPackStart;
            if (f[off] == packId)
                vote.add(packAt(frame, off));
        }
    const Pack& winner = vote.winner();
    for (int s = 0; s < sequenceCount; ++s)
        for (int j = 0; j < kAudioBlocksPerSequence; ++j) {
            const std::size_t off = AudioBlockOffset(s, j);
            if (packAt(frame, off + kAauxPackStart) == winner) {
                for (std::size_t i = 0; i < kDifBlockSize; ++i)
                    block[i] = frame[off + i];
                return true;
            }
        }
    return false;
}

bool ReadTimecode(ConstFrame frame, int sequenceCount, Timecode& timecode) {
    Pack p;
    if (!FindPack(frame, sequenceCount, kPackTimecode, p))
        return false;
    timecode = timecodeFromPack(p, sequenceCount);
    return true;
}

bool ReadValidTimecode(ConstFrame frame, int sequenceCount, Timecode& timecode) {
    Pack p;
    return FindPack(frame, sequenceCount, kPackTimecode, p) &&
           validTimecode(p, sequenceCount, timecode);
}

std::int32_t YearFromTwoDigits(int yy) {
    return yy >= 90 ? 1900 + yy : 2000 + yy;
}

bool ReadDatecode(ConstFrame frame, int sequenceCount, Datecode& datecode) {
    Pack date;
    Pack time;
    if (!datecodePacks(frame, sequenceCount, date, time))
        return false;
    // Digits are not range-checked here: ReadValidDatecode is the consumers' check.
    datecode = datecodeFromPacks(date, time);
    return true;
}

bool ReadValidDatecode(ConstFrame frame, int sequenceCount, Datecode& datecode) {
    Pack date;
    Pack time;
    return datecodePacks(frame, sequenceCount, date, time) && validDatecode(date, time, datecode);
}

bool ReadStandard(ConstFrame frame, int& standard) {
    if (frame.size() <= kStandardByteOffset)
        return false;
    const std::uint8_t b = frame[kStandardByteOffset];
    if (b == kStandardByte625) {
        standard = kStandardPal;
        return true;
    }
    if (b == kStandardByte525) {
        standard = kStandardNtsc;
        return true;
    }
    return false;
}

int HeaderBlockStandard(ConstFrame bytes) {
    int standard = kStandardUnknown;
    if (bytes.size() <= kStandardByteOffset || (bytes[0] & 0xE0) != 0 || (bytes[1] & 0xF0) != 0 ||
        bytes[2] != 0 || !ReadStandard(bytes, standard))
        return kStandardUnknown;
    return standard;
}

bool ReadAudioFormat(ConstFrame frame, int sequenceCount, AudioFormat& format) {
    DifBlock block;
    if (!FindAudioBlock(frame, sequenceCount, kPackAudioSource, block))
        return false;
    format = AudioSourceFormat(packAt(block, kAauxPackStart));
    return true;
}

AudioFormat AudioSourceFormat(const Pack& aauxSource) {
    const std::uint8_t pc2 = aauxSource[2];
    const std::uint8_t pc4 = aauxSource[4];
    AudioFormat format;
    format.SampleRate = AauxSampleRate((pc4 >> 3) & 0x7);
    switch (pc4 & 0x7) {
        case 0:
            format.Quantization = 16;
            break;
        case 1:
            format.Quantization = 12;
            break;
        default:
            format.Quantization = 0;
            break;
    }
    if ((pc2 & 0x0F) != 0) {
        format.Channels = 0;
    } else {
        const int a = (pc2 & 0x20) ? 1 : 2;
        const int b = (pc2 & 0x10) ? 2 : 1;
        format.Channels = a * b;
    }
    return format;
}

int AauxSampleRate(int code) {
    return code >= 0 && code < kAauxRateCount ? kAauxRates[code] : 0;
}

int AauxRateCode(int sampleRate) {
    for (int code = 0; code < kAauxRateCount; ++code)
        if (kAauxRates[code] == sampleRate)
            return code;
    return -1;
}

bool HeaderFlag(ConstFrame frame) {
    return frame.size() > kHeaderFlagOffset && (frame[kHeaderFlagOffset] & 0x07) != 0;
}

bool ReadWide(ConstFrame frame, int sequenceCount, bool& wide) {
    Pack p;
    if (!FindPack(frame, sequenceCount, kPackVideoSourceControl, p))
        return false;
    wide = wideFromPack(p, frame);
    return true;
}

void ReadFrameFacts(ConstFrame frame, int sequenceCount, FrameFacts& facts) {
    if (!validFrame(frame.size(), sequenceCount))
        return;
    int standard = kStandardUnknown;
    if (ReadStandard(frame, standard)) {
        facts.HasStandard = true;
        facts.Standard = standard;
    }
    // One pass over the search positions finds the four packs at once; as in FindPack, only a
    // pack whose copies differ is then counted copy by copy.
    // The header blocks of the twelve (or ten) sequences lie 12000 bytes apart, a stride the
    // processor does not foresee: asking for all of them first overlaps their fetches.
    for (int sq = 0; sq < sequenceCount; ++sq)
        for (std::size_t at = kDifBlockSize * kFirstSubcodeBlock; at < kHeaderEnd; at += 64)
            __builtin_prefetch(frame.data() + static_cast<std::size_t>(sq) * kDifSequenceSize + at);
    std::array<Agreement, kFactIds.size()> copies;
    const std::uint8_t* f = frame.data();
    forEachSearchPosition(sequenceCount, [&](std::size_t off) {
        if (const int k = kFactSlot[f[off]]; k >= 0)
            copies[static_cast<std::size_t>(k)].see(f, off);
    });
    auto pack = [&](std::size_t k) {
        return agreedPack(frame, sequenceCount, kFactIds[k], copies[k]);
    };
    if (copies[0].found)
        facts.HasTimecode = validTimecode(pack(0), sequenceCount, facts.Timecode);
    Pack datePack;
    Pack timePack;
    bool packs = copies[1].found && copies[2].found;
    if (packs) {
        datePack = pack(1);
        timePack = pack(2);
    } else {
        packs = fixedDatecodePacks(frame, datePack, timePack);
    }
    facts.HasDatecode = packs && validDatecode(datePack, timePack, facts.Datecode);
    if (copies[3].found) {
        facts.HasControl = true;
        facts.Wide = wideFromPack(pack(3), frame);
    }
    DifBlock block;
    if (FindAudioBlock(frame, sequenceCount, kPackAudioSource, block)) {
        facts.HasAudio = true;
        facts.Audio = AudioSourceFormat(packAt(block, kAauxPackStart));
    }
}

bool ReadSampledFrameFacts(ConstFrame head, int sequenceCount, FrameFacts& facts) {
    constexpr int kSampledSequences = 2;
    if (head.size() < kSampledFactsSize ||
        (sequenceCount != kSequences525 && sequenceCount != kSequences625))
        return false;
    std::array<Agreement, kFactIds.size()> copies;
    const std::uint8_t* f = head.data();
    forEachSearchPosition(kSampledSequences, [&](std::size_t off) {
        if (const int k = kFactSlot[f[off]]; k >= 0)
            copies[static_cast<std::size_t>(k)].see(f, off);
    });
    // The audio blocks read: the first sequence's nine and the second sequence's first.
    Agreement audio;
    const auto seeAudio = [&](int s, int j) {
        const std::size_t off = AudioBlockOffset(s, j) + kAauxPackStart;
        if (off + kPackSize <= head.size() && f[off] == kPackAudioSource)
            audio.see(f, off);
    };
    for (int j = 0; j < kAudioBlocksPerSequence; ++j)
        seeAudio(0, j);
    seeAudio(1, 0);
    for (const Agreement& a : copies)
        if (!a.found || a.differ)
            return false;
    if (!audio.found || audio.differ)
        return false;
    // Every pack agrees, so each reads as its first copy, as ReadFrameFacts reads such a frame.
    int standard = kStandardUnknown;
    if (ReadStandard(head, standard)) {
        facts.HasStandard = true;
        facts.Standard = standard;
    }
    facts.HasTimecode = validTimecode(packAt(head, copies[0].first), sequenceCount, facts.Timecode);
    facts.HasDatecode =
        validDatecode(packAt(head, copies[1].first), packAt(head, copies[2].first), facts.Datecode);
    facts.HasControl = true;
    facts.Wide = wideFromPack(packAt(head, copies[3].first), head);
    facts.HasAudio = true;
    facts.Audio = AudioSourceFormat(packAt(head, audio.first));
    return true;
}

void WriteDatecode(MutableFrame frame, int sequenceCount, const Datecode& datecode) {
    if (!validFrame(frame.size(), sequenceCount))
        return;
    for (int s = 0; s < sequenceCount; ++s) {
        for (int p = 0; p < kSearchPositionsPerSequence; ++p) {
            const std::size_t off = SearchPositionOffset(s, p);
            if (frame[off] == kPackRecTime) {
                frame[off + 2] = writeBcd(frame[off + 2], datecode.Second, 0x7, 7);
                frame[off + 3] = writeBcd(frame[off + 3], datecode.Minute, 0x7, 7);
                frame[off + 4] = writeBcd(frame[off + 4], datecode.Hour, 0x3, 3);
            } else if (frame[off] == kPackRecDate) {
                frame[off + 2] = writeBcd(frame[off + 2], datecode.Day, 0x3, 3);
                frame[off + 3] = writeBcd(frame[off + 3], datecode.Month, 0x1, 1);
                const int year = datecode.Year < 0 ? -datecode.Year : datecode.Year;
                frame[off + 4] = static_cast<std::uint8_t>((((year / 10) % 10) << 4) | (year % 10));
            }
        }
    }
}

}  // namespace kelvor::dv
