#include "core/dv/DvInfo.h"

#include <optional>

#include "core/dv/DvPackBuilders.h"

namespace kelvor::dv {
namespace {

constexpr std::uint32_t kFiftyHzFlag = 0x20;  // PC3 bit 5 of the VAUX source pack

// PC1-PC4 of the first pack with this id in sequences [first, first + count): in the AAUX packs
// of the audio blocks, or in the VAUX pack positions.
std::optional<std::uint32_t> firstPackWord(ConstFrame frame, int first, int count, std::uint8_t id,
                                           bool aaux) {
    const int perSequence = aaux ? kAudioBlocksPerSequence : kVauxPacksPerSequence;
    for (int s = first; s < first + count; ++s) {
        for (int j = 0; j < perSequence; ++j) {
            const std::size_t at = aaux ? AudioBlockOffset(s, j) + 3
                                        : SearchPositionOffset(s, kSubcodePacksPerSequence + j);
            if (frame.size() < kPackSize || frame.size() - kPackSize < at || frame[at] != id)
                continue;
            Pack p{};
            for (std::size_t k = 0; k < kPackSize; ++k)
                p[k] = frame[at + k];
            return PackWord(p);
        }
    }
    return std::nullopt;
}

}  // namespace

std::uint32_t PackWord(const Pack& pack) {
    return std::uint32_t{pack[1]} | std::uint32_t{pack[2]} << 8 | std::uint32_t{pack[3]} << 16 |
           std::uint32_t{pack[4]} << 24;
}

Pack PackOfWord(std::uint8_t id, std::uint32_t word) {
    return {id, static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
}

DvInfo DvInfoFromFrame(ConstFrame frame) {
    DvInfo info;
    info.dwDVAAuxSrc = info.dwDVAAuxCtl = info.dwDVAAuxSrc1 = info.dwDVAAuxCtl1 = kMissingPackWord;
    info.dwDVVAuxSrc = info.dwDVVAuxCtl = kMissingPackWord;
    const auto sequences = SequenceCountForSize(frame.size());
    if (!sequences)
        return info;
    // The second audio half lives in the second half of the DIF sequences.
    const int half = *sequences / 2;
    auto take = [&](std::uint32_t& word, int first, std::uint8_t id, bool aaux) {
        word = firstPackWord(frame, first, half, id, aaux).value_or(kMissingPackWord);
    };
    take(info.dwDVAAuxSrc, 0, kPackAudioSource, true);
    take(info.dwDVAAuxCtl, 0, kPackAudioSourceControl, true);
    take(info.dwDVAAuxSrc1, half, kPackAudioSource, true);
    take(info.dwDVAAuxCtl1, half, kPackAudioSourceControl, true);
    take(info.dwDVVAuxSrc, 0, kPackVideoSource, false);
    take(info.dwDVVAuxCtl, 0, kPackVideoSourceControl, false);
    return info;
}

void TakeFramePacks(DvInfo& stored, const DvInfo& frame) {
    auto take = [](std::uint32_t& to, std::uint32_t from) {
        if (from != kMissingPackWord)
            to = from;
    };
    take(stored.dwDVAAuxSrc, frame.dwDVAAuxSrc);
    take(stored.dwDVAAuxCtl, frame.dwDVAAuxCtl);
    take(stored.dwDVAAuxSrc1, frame.dwDVAAuxSrc1);
    take(stored.dwDVAAuxCtl1, frame.dwDVAAuxCtl1);
    take(stored.dwDVVAuxSrc, frame.dwDVVAuxSrc);
    take(stored.dwDVVAuxCtl, frame.dwDVVAuxCtl);
}

bool Is625Lines(std::uint32_t vauxSourceWord) {
    return (PackOfWord(kPackVideoSource, vauxSourceWord)[3] & kFiftyHzFlag) != 0;
}

int StandardOfDvInfo(const DvInfo& info) {
    const std::uint32_t word = info.dwDVVAuxSrc;
    if (word == 0 || word == kMissingPackWord)
        return kStandardUnknown;
    return Is625Lines(word) ? kStandardPal : kStandardNtsc;
}

void SetDvInfoStandard(DvInfo& info, int standard) {
    if (standard != kStandardPal && standard != kStandardNtsc)
        return;
    const bool pal = standard == kStandardPal;
    if (StandardOfDvInfo(info) == kStandardUnknown) {
        info.dwDVVAuxSrc = PackWord(VideoSourcePack(pal));
        return;
    }
    Pack p = PackOfWord(kPackVideoSource, info.dwDVVAuxSrc);
    p[3] = static_cast<std::uint8_t>(pal ? (p[3] | kFiftyHzFlag) : (p[3] & ~kFiftyHzFlag));
    info.dwDVVAuxSrc = PackWord(p);
}

std::optional<bool> WideOfDvInfo(const DvInfo& info) {
    const std::uint32_t word = info.dwDVVAuxCtl;
    if (word == 0 || word == kMissingPackWord)
        return std::nullopt;
    // DISP, PC2 bits 0-2: 16:9 full or squeezed; the frame header that tells the two apart for a
    // squeezed picture is not at hand here.
    const int disp = PackOfWord(kPackVideoSourceControl, word)[2] & 0x07;
    return disp == 2 || disp == 7;
}

AudioFormat AudioFormatOfSourceWord(std::uint32_t aauxSourceWord) {
    return AudioSourceFormat(PackOfWord(kPackAudioSource, aauxSourceWord));
}

int StereoPairs(const AudioFormat& sound) {
    return sound.SampleRate != 0 && sound.Quantization == 12 ? 2 : 1;
}

DvInfo MuxedDvInfo(bool pal, int sampleRate, bool twoPairs) {
    DvInfo info;
    info.dwDVVAuxSrc = PackWord(VideoSourcePack(pal));
    info.dwDVVAuxCtl = PackWord(VideoSourceControlPack(false));
    // The channel layout of two pairs is the one the muxer writes in the frames' packs.
    info.dwDVAAuxSrc = info.dwDVAAuxSrc1 =
        twoPairs ? PackWord(AudioSourcePack(pal, 32000, 12, 0xC0, 0x10))
                 : PackWord(AudioSourcePack(pal, sampleRate, 16, 0xC0, 0));
    info.dwDVAAuxCtl = info.dwDVAAuxCtl1 = PackWord(kAudioSourceControlPack);
    return info;
}

}  // namespace kelvor::dv
