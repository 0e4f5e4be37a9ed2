#include "media/engine/DvAudio.h"

#include <algorithm>
#include <array>

#include "core/dv/DvInfo.h"
#include "core/dv/DvPackBuilders.h"

namespace kelvor::media::dvaudio {
namespace {

constexpr std::size_t kAudioDataStart = 8;  // 3-byte block id, then the 5-byte AAUX pack
constexpr std::size_t kAauxPackStart = 3;
// Fewest sample frames per DV frame, by AAUX rate code.
constexpr int kMin625[3] = {1896, 1742, 1264};
constexpr int kMin525[3] = {1580, 1452, 1053};
constexpr std::uint16_t kError16 = 0x8000;
constexpr std::uint16_t kError12 = 0x800;

struct Geometry {
    int sequences;   // 10 or 12
    int half;        // sequences per channel half: 5 or 6
    int rowSamples;  // 45 or 54: samples between two units of one block
};

Geometry geometry(bool pal) {
    return pal ? Geometry{12, 6, 54} : Geometry{10, 5, 45};
}

struct Place {
    int sequenceInHalf;
    int block;
    int unit;
};

// Where sample n of a channel sits: the shuffle of IEC 61834-4.
Place placeOf(const Geometry& g, int n) {
    Place p;
    p.sequenceInHalf = (n / 3 + 2 * (n % 3)) % g.half;
    p.block = 3 * (n % 3) + (n % g.rowSamples) / (g.rowSamples / 3);
    p.unit = n / g.rowSamples;
    return p;
}

// The most sample frames a DV frame holds in its first half: 36 two-byte units per block row.
constexpr int kMostSamples = 54 * 36;

// Where each sample of the first channel half starts in the frame, for one standard and one
// unit width, so that taking the sound out of a frame reads a table instead of working out the
// shuffle and the block offset anew for every sample of every frame.
struct SampleOffsets {
    std::array<std::uint32_t, kMostSamples> First{};
    std::uint32_t HalfStride = 0;  // from a sample of the first half to the same in the second
};

SampleOffsets makeSampleOffsets(bool pal, std::size_t unitBytes) {
    const Geometry g = geometry(pal);
    SampleOffsets t;
    t.HalfStride =
        static_cast<std::uint32_t>(dv::AudioBlockOffset(g.half, 0) - dv::AudioBlockOffset(0, 0));
    for (int n = 0; n < kMostSamples; ++n) {
        const Place p = placeOf(g, n);
        t.First[static_cast<std::size_t>(n)] = static_cast<std::uint32_t>(
            dv::AudioBlockOffset(p.sequenceInHalf, p.block) + kAudioDataStart +
            unitBytes * static_cast<std::size_t>(p.unit));
    }
    return t;
}

const SampleOffsets& sampleOffsets(bool pal, int quantization) {
    static const SampleOffsets pal16 = makeSampleOffsets(true, 2);
    static const SampleOffsets pal12 = makeSampleOffsets(true, 3);
    static const SampleOffsets ntsc16 = makeSampleOffsets(false, 2);
    static const SampleOffsets ntsc12 = makeSampleOffsets(false, 3);
    if (quantization == 16)
        return pal ? pal16 : ntsc16;
    return pal ? pal12 : ntsc12;
}

std::array<std::int16_t, 4096> makeExpandTable() {
    std::array<std::int16_t, 4096> t{};
    for (std::uint32_t code = 0; code < 4096; ++code) {
        std::uint16_t sample = static_cast<std::uint16_t>(code < 0x800 ? code : (code | 0xF000));
        std::uint16_t shift = static_cast<std::uint16_t>((sample & 0xF00) >> 8);
        std::uint16_t result;
        if (shift < 0x2 || shift > 0xD) {
            result = sample;
        } else if (shift < 0x8) {
            --shift;
            result = static_cast<std::uint16_t>((sample - 256 * shift) << shift);
        } else {
            shift = static_cast<std::uint16_t>(0xE - shift);
            result = static_cast<std::uint16_t>(((sample + (256 * shift + 1)) << shift) - 1);
        }
        t[code] = static_cast<std::int16_t>(result);
    }
    return t;
}

const std::array<std::int16_t, 4096>& expandTable() {
    static const std::array<std::int16_t, 4096> table = makeExpandTable();
    return table;
}

void writeAauxPacks(dv::MutableFrame frame, const FrameAudio& a, int sequence, const Geometry& g) {
    const int code = dv::AauxRateCode(a.sampleRate);
    const int minimum = a.pal ? kMin625[code] : kMin525[code];
    const bool secondHalf = sequence >= g.half;
    const dv::Pack source = dv::AudioSourcePack(
        a.pal, a.sampleRate, a.quantization,
        static_cast<std::uint8_t>(0xC0 | ((a.samples - minimum) & 0x3F)),  // unlocked, size
        static_cast<std::uint8_t>((a.quantization == 12 ? 0x10 : 0x00) |
                                  (a.quantization == 16 && secondHalf ? 0x01 : 0x00)));
    // Even sequences carry the packs in blocks 3 to 6, odd ones in blocks 0 to 3.
    const int first = sequence % 2 == 0 ? 3 : 0;
    for (int j = 0; j < dv::kAudioBlocksPerSequence; ++j) {
        const std::size_t off = dv::AudioBlockOffset(sequence, j) + kAauxPackStart;
        const dv::Pack& pack = j == first       ? source
                               : j == first + 1 ? dv::kAudioSourceControlPack
                                                : dv::kNoInfoPack;
        std::copy(pack.begin(), pack.end(), frame.begin() + static_cast<std::ptrdiff_t>(off));
    }
}

}  // namespace

std::int16_t Expand12(std::uint16_t code) {
    return expandTable()[code & 0xFFF];
}

std::uint16_t Compress12(std::int16_t sample) {
    // The expansion is monotonic over the signed codes -2047..2047, so a binary search over
    // them finds the nearest code.
    const auto& t = expandTable();
    auto valueOf = [&](int signedCode) { return t[static_cast<std::size_t>(signedCode & 0xFFF)]; };
    int lo = -2047, hi = 2047;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (valueOf(mid) < sample)
            lo = mid + 1;
        else
            hi = mid;
    }
    int best = lo;
    if (lo > -2047 && std::abs(valueOf(lo - 1) - sample) <= std::abs(valueOf(lo) - sample))
        best = lo - 1;
    return static_cast<std::uint16_t>(best & 0xFFF);
}

int MinSamples(bool pal, int sampleRate) {
    const int code = dv::AauxRateCode(sampleRate);
    if (code < 0)
        return 0;
    return pal ? kMin625[code] : kMin525[code];
}

int SamplesForFrame(bool pal, int sampleRate, std::int64_t index) {
    if (dv::AauxRateCode(sampleRate) < 0 || index < 0)
        return 0;
    const std::int64_t num = pal ? 25 : 30000;
    const std::int64_t den = pal ? 1 : 1001;
    auto upTo = [&](std::int64_t f) { return f * sampleRate * den / num; };
    return static_cast<int>(upTo(index + 1) - upTo(index));
}

std::optional<FrameAudio> ReadFrameAudio(dv::ConstFrame frame) {
    const auto sequences = dv::SequenceCountForSize(frame.size());
    if (!sequences)
        return std::nullopt;
    const bool pal = *sequences == dv::kSequences625;
    dv::DifBlock block;
    if (!dv::FindAudioBlock(frame, *sequences, dv::kPackAudioSource, block))
        return std::nullopt;
    dv::Pack source{};
    std::copy_n(block.begin() + kAauxPackStart, dv::kPackSize, source.begin());
    const dv::AudioFormat sound = dv::AudioSourceFormat(source);
    if (sound.SampleRate == 0 || sound.Quantization == 0)
        return std::nullopt;
    FrameAudio a;
    a.pal = pal;
    a.sampleRate = sound.SampleRate;
    a.quantization = sound.Quantization;
    a.pairs = dv::StereoPairs(sound);
    const int code = dv::AauxRateCode(a.sampleRate);
    const int minimum = pal ? kMin625[code] : kMin525[code];
    const Geometry g = geometry(pal);
    const int capacity = g.rowSamples * (a.quantization == 12 ? 24 : 36);
    a.samples = std::min(minimum + (source[1] & 0x3F), capacity);
    return a;
}

int ExtractPair(dv::ConstFrame frame, const FrameAudio& a, int pair, std::span<std::int16_t> out) {
    const auto sequences = dv::SequenceCountForSize(frame.size());
    if (!sequences || (*sequences == dv::kSequences625) != a.pal || pair < 0 || pair >= a.pairs)
        return 0;
    const SampleOffsets& t = sampleOffsets(a.pal, a.quantization);
    const int count = std::min({a.samples, static_cast<int>(out.size() / 2), kMostSamples});
    if (a.quantization == 16) {
        for (int n = 0; n < count; ++n) {
            for (int c = 0; c < 2; ++c) {
                const std::size_t off = t.First[static_cast<std::size_t>(n)] + c * t.HalfStride;
                const auto v = static_cast<std::uint16_t>((frame[off] << 8) | frame[off + 1]);
                out[static_cast<std::size_t>(2 * n + c)] =
                    v == kError16 ? 0 : static_cast<std::int16_t>(v);
            }
        }
        return count;
    }
    const std::array<std::int16_t, 4096>& expand = expandTable();
    for (int n = 0; n < count; ++n) {
        const std::size_t off = t.First[static_cast<std::size_t>(n)] + pair * t.HalfStride;
        const auto l = static_cast<std::uint16_t>((frame[off] << 4) | (frame[off + 2] >> 4));
        const auto r = static_cast<std::uint16_t>((frame[off + 1] << 4) | (frame[off + 2] & 0x0F));
        out[static_cast<std::size_t>(2 * n)] = l == kError12 ? 0 : expand[l];
        out[static_cast<std::size_t>(2 * n + 1)] = r == kError12 ? 0 : expand[r];
    }
    return count;
}

bool InsertAudio(dv::MutableFrame frame, const FrameAudio& a, std::span<const std::int16_t> pair0,
                 std::span<const std::int16_t> pair1) {
    const auto sequences = dv::SequenceCountForSize(frame.size());
    if (!sequences || (*sequences == dv::kSequences625) != a.pal)
        return false;
    const int code = dv::AauxRateCode(a.sampleRate);
    if (code < 0 || (a.quantization != 16 && a.quantization != 12))
        return false;
    if (a.quantization == 12 && a.sampleRate != 32000)
        return false;
    const Geometry g = geometry(a.pal);
    const int minimum = a.pal ? kMin625[code] : kMin525[code];
    const int capacity = g.rowSamples * (a.quantization == 12 ? 24 : 36);
    if (a.samples < minimum || a.samples > minimum + 63 || a.samples > capacity)
        return false;
    if (pair0.size() < static_cast<std::size_t>(2 * a.samples))
        return false;
    const bool havePair1 = pair1.size() >= static_cast<std::size_t>(2 * a.samples);

    for (int s = 0; s < g.sequences; ++s) {
        writeAauxPacks(frame, a, s, g);
        for (int j = 0; j < dv::kAudioBlocksPerSequence; ++j) {
            // Positions past the frame's samples are left as silence.
            const std::size_t off = dv::AudioBlockOffset(s, j) + kAudioDataStart;
            std::fill(frame.begin() + static_cast<std::ptrdiff_t>(off),
                      frame.begin() +
                          static_cast<std::ptrdiff_t>(off + dv::kDifBlockSize - kAudioDataStart),
                      0);
        }
    }
    for (int n = 0; n < a.samples; ++n) {
        const Place p = placeOf(g, n);
        const auto i = static_cast<std::size_t>(2 * n);
        if (a.quantization == 16) {
            for (int c = 0; c < 2; ++c) {
                auto v = static_cast<std::uint16_t>(pair0[i + static_cast<std::size_t>(c)]);
                if (v == kError16)
                    v = 0x8001;  // the error code is reserved
                const std::size_t off =
                    dv::AudioBlockOffset(p.sequenceInHalf + c * g.half, p.block) + kAudioDataStart +
                    2 * static_cast<std::size_t>(p.unit);
                frame[off] = static_cast<std::uint8_t>(v >> 8);
                frame[off + 1] = static_cast<std::uint8_t>(v);
            }
        } else {
            for (int pr = 0; pr < 2; ++pr) {
                std::uint16_t l = 0, r = 0;
                if (pr == 0 || havePair1) {
                    const auto& src = pr == 0 ? pair0 : pair1;
                    l = Compress12(src[i]);
                    r = Compress12(src[i + 1]);
                }
                const std::size_t off =
                    dv::AudioBlockOffset(p.sequenceInHalf + pr * g.half, p.block) +
                    kAudioDataStart + 3 * static_cast<std::size_t>(p.unit);
                frame[off] = static_cast<std::uint8_t>(l >> 4);
                frame[off + 1] = static_cast<std::uint8_t>(r >> 4);
                frame[off + 2] = static_cast<std::uint8_t>(((l & 0x0F) << 4) | (r & 0x0F));
            }
        }
    }
    return true;
}

}  // namespace kelvor::media::dvaudio
