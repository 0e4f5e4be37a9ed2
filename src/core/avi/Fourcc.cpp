#include "core/avi/Fourcc.h"

namespace kelvor::avi {

std::uint32_t FourccFromText(std::string_view text) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i)
        code |= std::uint32_t(static_cast<std::uint8_t>(text[i])) << (8 * i);
    return code;
}

std::string FourccToText(std::uint32_t code) {
    std::string s(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        s[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return s;
}

std::string FourccToPrintable(std::uint32_t code) {
    std::string s(4, '?');
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F)
            s[i] = c;
    }
    return s;
}

std::uint32_t FourccToLower(std::uint32_t code) {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint32_t c = (code >> (8 * i)) & 0xFF;
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        out |= c << (8 * i);
    }
    return out;
}

bool IsDvCompression(std::uint32_t code) {
    const std::uint32_t c = FourccToLower(code);
    return c == fcc::kDvsd || c == fcc::kDsvd || c == fcc::kCsvd;
}

bool IsIndexChunkId(std::uint32_t id) {
    return (id & 0xFF) == 'i' && ((id >> 8) & 0xFF) == 'x';
}

}  // namespace kelvor::avi
