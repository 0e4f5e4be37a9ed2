#include "cli/Names.h"

#include <cstdio>

namespace kelvor::cli {
namespace {

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

void AppendHex(std::string& out, unsigned char c) {
    char buf[5];
    std::snprintf(buf, sizeof buf, "\\x%02x", c);
    out += buf;
}

// The C escape of a control byte, or 0 when it has none but \xNN.
char ShortEscape(unsigned char c) {
    switch (c) {
        case '\n':
            return 'n';
        case '\t':
            return 't';
        case '\r':
            return 'r';
        default:
            return 0;
    }
}

bool Control(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Escapes control bytes and bytes that are not UTF-8; quoting adds backslash and double quote.
std::string Escaped(std::string_view s, bool quoting) {
    std::string out;
    out.reserve(s.size() + 2);
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            if (const std::size_t n = Utf8SequenceLength(s, i); n > 0) {
                out.append(s.substr(i, n));
                i += n;
                continue;
            }
            AppendHex(out, c);
        } else if (Control(c)) {
            if (const char e = ShortEscape(c)) {
                out += '\\';
                out += e;
            } else {
                AppendHex(out, c);
            }
        } else if (quoting && (c == '\\' || c == '"')) {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    if (i >= s.size())
        return 0;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            low = 0xA0;  // no overlong forms
        if (c == 0xED)
            high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (s.size() - i < n)
        return 0;
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (!Continuation(static_cast<unsigned char>(s[i + k])))
            return 0;
    return n;
}

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = Utf8SequenceLength(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string ShownName(std::string_view name) {
    bool plain = IsUtf8(name);
    for (std::size_t i = 0; plain && i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        plain = !Control(c) && c != '\\' && c != '"';
    }
    if (plain)
        return std::string(name);
    return '"' + Escaped(name, true) + '"';
}

std::string ShownText(std::string_view text) {
    return Escaped(text, false);
}

}  // namespace kelvor::cli
