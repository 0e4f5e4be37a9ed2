// Builds DV frames in memory for tests: every pack position holds "no info" (FF) until a test
// places the packs it needs.
#pragma once

#include <cstdint>
#include <vector>

#include "core/dv/DvPacks.h"

namespace kelvor::test {

class DvFrameBuilder {
  public:
    explicit DvFrameBuilder(int sequences = dv::kSequences625)
        : sequences_(sequences),
          bytes_(static_cast<std::size_t>(sequences) * dv::kDifSequenceSize, 0) {
        for (int s = 0; s < sequences; ++s) {
            for (int p = 0; p < dv::kSearchPositionsPerSequence; ++p)
                fill(dv::SearchPositionOffset(s, p), 0xFF);
            for (int j = 0; j < dv::kAudioBlocksPerSequence; ++j)
                fill(dv::AudioBlockOffset(s, j) + 3, 0xFF);
        }
        bytes_[3] = sequences == dv::kSequences625 ? 0xBF : 0x3F;
    }

    DvFrameBuilder& pack(int sequence, int position, dv::Pack p) {
        const std::size_t off = dv::SearchPositionOffset(sequence, position);
        for (std::size_t i = 0; i < p.size(); ++i)
            bytes_[off + i] = p[i];
        return *this;
    }
    DvFrameBuilder& aaux(int sequence, int j, dv::Pack p) {
        const std::size_t off = dv::AudioBlockOffset(sequence, j) + 3;
        for (std::size_t i = 0; i < p.size(); ++i)
            bytes_[off + i] = p[i];
        return *this;
    }
    DvFrameBuilder& byte(std::size_t offset, std::uint8_t value) {
        bytes_[offset] = value;
        return *this;
    }

    int sequences() const { return sequences_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    dv::ConstFrame frame() const { return bytes_; }

    static constexpr int kVaux(int block, int k) {
        return dv::kSubcodePacksPerSequence + (block - 3) * 15 + k;
    }
    static constexpr int kSubcode(int block, int k) { return (block - 1) * 6 + k; }

  private:
    void fill(std::size_t off, std::uint8_t v) {
        for (std::size_t i = 0; i < dv::kPackSize; ++i)
            bytes_[off + i] = v;
    }

    int sequences_;
    std::vector<std::uint8_t> bytes_;
};

// Date and time packs in BCD, as a camcorder writes them (PC1 with its high bits set).
inline dv::Pack datePack(int yy, int month, int day) {
    auto bcd = [](int v) { return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10)); };
    return {dv::kPackRecDate, 0xFF, static_cast<std::uint8_t>(0xC0 | bcd(day)),
            static_cast<std::uint8_t>(0xE0 | bcd(month)), bcd(yy)};
}
inline dv::Pack timePack(int hour, int minute, int second) {
    auto bcd = [](int v) { return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10)); };
    return {dv::kPackRecTime, 0xFF, static_cast<std::uint8_t>(0x80 | bcd(second)),
            static_cast<std::uint8_t>(0x80 | bcd(minute)),
            static_cast<std::uint8_t>(0xC0 | bcd(hour))};
}

// Timecode pack (pack 13 hex) in BCD.
inline dv::Pack timecodePack(int hours, int minutes, int seconds, int frames) {
    auto bcd = [](int v) { return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10)); };
    return {dv::kPackTimecode, bcd(frames), bcd(seconds), bcd(minutes), bcd(hours)};
}
// Audio source pack (AAUX 50 hex): rateCode 0 = 48 kHz, 1 = 44.1 kHz, 2 = 32 kHz; quantCode
// 0 = 16 bits, 1 = 12 bits; two channels.
inline dv::Pack audioSourcePack(int rateCode, int quantCode) {
    return {dv::kPackAudioSource, 0xD0, 0x00, 0xC0,
            static_cast<std::uint8_t>(0xC0 | (rateCode << 3) | quantCode)};
}
// Video source-control pack (VAUX 61 hex): display mode 2 is 16:9, 0 is 4:3.
inline dv::Pack videoControlPack(bool wide) {
    return {dv::kPackVideoSourceControl, 0xFF, static_cast<std::uint8_t>(0xF8 | (wide ? 2 : 0)),
            0xFC, 0xFF};
}

}  // namespace kelvor::test
