#include "core/dv/DvPacks.h"

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

bool FindPack(ConstFrame frame, int sequenceCount, std::uint8_t packId, Pack& pack) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    for (int s = 0; s < sequenceCount; ++s) {
        for (int p = 0; p < kSearchPositionsPerSequence; ++p) {
            const std::size_t off = SearchPositionOffset(s, p);
            if (frame[off] == packId) {
                pack = packAt(frame, off);
                return true;
            }
        }
    }
    return false;
}

bool FindAudioBlock(ConstFrame frame, int sequenceCount, std::uint8_t packId, DifBlock& block) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    for (int s = 0; s < sequenceCount; ++s) {
        for (int j = 0; j < kAudioBlocksPerSequence; ++j) {
            const std::size_t off = AudioBlockOffset(s, j);
            if (frame[off + kAauxPackStart] == packId) {
                for (std::size_t i = 0; i < kDifBlockSize; ++i)
                    block[i] = frame[off + i];
                return true;
            }
        }
    }
    return false;
}

bool ReadTimecode(ConstFrame frame, int sequenceCount, TTimecode& timecode) {
    Pack p;
    if (!FindPack(frame, sequenceCount, kPackTimecode, p))
        return false;
    timecode.Frames = static_cast<std::uint8_t>(lowNibble(p[1]) + 10 * ((p[1] >> 4) & 0x3));
    timecode.Seconds = static_cast<std::uint8_t>(lowNibble(p[2]) + 10 * ((p[2] >> 4) & 0x7));
    timecode.Minutes = static_cast<std::uint8_t>(lowNibble(p[3]) + 10 * ((p[3] >> 4) & 0x7));
    timecode.Hours = static_cast<std::uint8_t>(lowNibble(p[4]) + 10 * ((p[4] >> 4) & 0x3));
    return true;
}

std::int32_t YearFromTwoDigits(int yy) {
    return yy >= 90 ? 1900 + yy : 2000 + yy;
}

bool ReadDatecode(ConstFrame frame, int sequenceCount, TDatecode& datecode) {
    if (!validFrame(frame.size(), sequenceCount))
        return false;
    Pack time;
    Pack date;
    const bool found = FindPack(frame, sequenceCount, kPackRecTime, time) &&
                       FindPack(frame, sequenceCount, kPackRecDate, date);
    if (!found) {
        const std::uint8_t dateId = frame[kFixedDatePackOffset];
        const std::uint8_t timeId = frame[kFixedTimePackOffset];
        if ((dateId != kPackRecDate && dateId != 0x00) ||
            (timeId != kPackRecTime && timeId != 0x00))
            return false;
        date = packAt(frame, kFixedDatePackOffset);
        time = packAt(frame, kFixedTimePackOffset);
    }
    // Digits are not range-checked here: turning them into a date is the consumer's check.
    datecode.Second = static_cast<std::uint8_t>(lowNibble(time[2]) + 10 * ((time[2] >> 4) & 0x7));
    datecode.Minute = static_cast<std::uint8_t>(lowNibble(time[3]) + 10 * ((time[3] >> 4) & 0x7));
    datecode.Hour = static_cast<std::uint8_t>(lowNibble(time[4]) + 10 * ((time[4] >> 4) & 0x3));
    datecode.Day = static_cast<std::uint8_t>(lowNibble(date[2]) + 10 * ((date[2] >> 4) & 0x3));
    datecode.Month = static_cast<std::uint8_t>(lowNibble(date[3]) + 10 * ((date[3] >> 4) & 0x1));
    datecode.Year = YearFromTwoDigits(10 * (date[4] >> 4) + lowNibble(date[4]));
    return true;
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
    const int disp = p[2] & 0x07;
    wide = disp == 2 || (disp == 7 && !HeaderFlag(frame));
    return true;
}

void WriteDatecode(MutableFrame frame, int sequenceCount, const TDatecode& datecode) {
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
