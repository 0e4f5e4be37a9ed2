// JSON texts for the verbs that print JSON.
#pragma once

#include <cstdio>
#include <string>

namespace kelvor::cli {

// Strings of the record are UTF-8 file names or narrow texts whose key bytes 0xFE and 0xFF are
// Windows-1252 letters; a byte that does not start valid UTF-8 is written as that letter.
inline std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        char buf[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            std::size_t n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            bool valid = n > 0 && n <= s.size() - i;
            for (std::size_t k = 1; valid && k < n; ++k)
                valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            if (valid) {
                out.append(s, i, n);
                i += n;
            } else {
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
                ++i;
            }
        }
    }
    return out + "\"";
}

}  // namespace kelvor::cli
