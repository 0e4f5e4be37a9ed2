#include "core/shell/LocalePatterns.h"

namespace kelvor::shell {
namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void appendLiteral(std::string& out, std::string_view text) {
    if (text.empty())
        return;
    const char quote = text.find('"') == std::string_view::npos ? '"' : '\'';
    out += quote;
    out += text;
    out += quote;
}

}  // namespace

ConvertedPattern PatternFromQtFormat(std::string_view q, char placeholder) {
    ConvertedPattern result;
    std::string& out = result.Pattern;
    char separator = 0;
    std::size_t i = 0;
    while (i < q.size()) {
        const char c = q[i];
        if (c == '\'') {
            // '' is a quote character; '...' is literal text with '' inside standing for one.
            std::string literal;
            std::size_t j = i + 1;
            if (j < q.size() && q[j] == '\'') {
                appendLiteral(out, "'");
                i = j + 1;
                continue;
            }
            while (j < q.size()) {
                if (q[j] == '\'') {
                    if (j + 1 < q.size() && q[j + 1] == '\'') {
                        literal += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                literal += q[j++];
            }
            appendLiteral(out, literal);
            i = j < q.size() ? j + 1 : j;
            continue;
        }
        if (isLetter(c)) {
            std::size_t n = 1;
            while (i + n < q.size() && q[i + n] == c)
                ++n;
            auto repeat = [&](char letter, std::size_t count) { out.append(count, letter); };
            switch (c) {
                case 'd':
                    repeat('d', n > 4 ? 4 : n);
                    break;
                case 'M':
                case 'L':
                    repeat('m', n > 4 ? 4 : n);
                    break;
                case 'y':
                    out += n <= 2 ? "yy" : "yyyy";
                    break;
                case 'h':
                case 'H':
                    repeat('h', n > 2 ? 2 : n);
                    break;
                case 'm':
                    repeat('n', n > 2 ? 2 : n);
                    break;
                case 's':
                    repeat('s', n > 2 ? 2 : n);
                    break;
                case 'z':
                    out += n >= 3 ? "zzz" : "z";
                    break;
                case 'A':
                case 'a':
                    // "AP", "ap", "A" and "a" all name the am/pm designator.
                    if (n == 1 && i + 1 < q.size() && (q[i + 1] == 'P' || q[i + 1] == 'p'))
                        n = 2;
                    out += "ampm";
                    break;
                case 't':
                    while (!out.empty() && out.back() == ' ')
                        out.pop_back();
                    break;
                default:
                    appendLiteral(out, q.substr(i, n));
                    break;
            }
            i += n;
            continue;
        }
        if (placeholder != 0 && c != ' ' && static_cast<unsigned char>(c) < 0x80 &&
            (separator == 0 || c == separator)) {
            separator = c;
            out += placeholder;
        } else if (c == '/' || c == ':' || c == '"') {
            appendLiteral(out, std::string_view(&q[i], 1));
        } else {
            out += c;
        }
        ++i;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    while (!out.empty() && out.front() == ' ')
        out.erase(0, 1);
    if (separator != 0)
        result.Separator = std::string(1, separator);
    return result;
}

}  // namespace kelvor::shell
