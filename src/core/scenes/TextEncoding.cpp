#include "core/scenes/TextEncoding.h"

#include <array>
#include <vector>

namespace kelvor::scenes {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

// Code points of the bytes 80 to 9F. The five bytes the code page leaves undefined map to the
// control characters of the same value, as Windows converts them.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromWindows1252(std::uint8_t b) {
    if (b >= 0x80 && b < 0xA0)
        return kHighControls[b - 0x80];
    return b;
}

int toWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c)
            return static_cast<int>(0x80 + i);
    return '?';
}

// Decodes one code point at pos and advances pos; kNoCodePoint for a malformed sequence, of
// which one byte is consumed.
char32_t nextCodePoint(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<std::uint8_t>(s[pos]);
    ++pos;
    if (b0 < 0x80)
        return b0;
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        return kNoCodePoint;
    }
    if (s.size() - pos < static_cast<std::size_t>(extra))
        return kNoCodePoint;
    for (int i = 0; i < extra; ++i) {
        const auto b = static_cast<std::uint8_t>(s[pos + static_cast<std::size_t>(i)]);
        if ((b & 0xC0) != 0x80)
            return kNoCodePoint;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kNoCodePoint;
    pos += static_cast<std::size_t>(extra);
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = nextCodePoint(utf8, pos);
        out += static_cast<char>(c == kNoCodePoint ? '?' : toWindows1252(c));
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes)
        appendUtf8(out, fromWindows1252(static_cast<std::uint8_t>(b)));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t c = nextCodePoint(utf8, pos);
        if (c == kNoCodePoint)
            c = kReplacement;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                               (static_cast<char32_t>(units[i + 1]) - 0xDC00);
            appendUtf8(out, c);
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::size_t Utf16CutLength(std::u16string_view units, std::size_t maxUnits) {
    if (units.size() <= maxUnits)
        return units.size();
    std::size_t n = maxUnits;
    // Cutting between the two halves of a pair would leave half a character behind.
    if (n > 0 && isHighSurrogate(units[n - 1]) && isLowSurrogate(units[n]))
        --n;
    return n;
}

std::string LowerCaseText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const char32_t c = nextCodePoint(utf8, pos);
        if (c == kNoCodePoint) {
            out += utf8[start];
        } else if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            appendUtf8(out, c + 0x20);
        } else {
            out.append(utf8.substr(start, pos - start));
        }
    }
    return out;
}

}  // namespace kelvor::scenes
