#include "core/settings/IniText.h"

#include <cstdint>
#include <iterator>

namespace kelvor::settings {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool needsQuotes(std::string_view v) {
    if (v.empty())
        return false;
    return v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t' ||
           v.front() == '"';
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<std::uint8_t>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::optional<IniDocument> IniDocument::Parse(std::string_view text) {
    if (text.find('\0') != std::string_view::npos || !IsValidUtf8(text))
        return std::nullopt;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    IniDocument doc;
    doc.sections_.push_back({std::string(), false, {}});
    std::size_t current = 0;
    auto keepRaw = [&](std::string_view line) {
        doc.sections_[current].Entries.push_back({std::string(), std::string(line), true});
    };
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view raw = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';') {
            keepRaw(raw);
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos || close == 0) {
                doc.sections_.push_back({std::string(), false, {}});
                current = doc.sections_.size() - 1;
                keepRaw(raw);
                continue;
            }
            const std::string_view name = trim(line.substr(1, close - 1));
            const Section* existing = doc.findSection(name);
            // A repeated section adds its keys to the first one.
            doc.sections_.push_back({std::string(name), existing == nullptr, {}});
            current = doc.sections_.size() - 1;
            if (existing)
                keepRaw(raw);
            continue;
        }
        const std::size_t eq = line.find('=');
        Section& section = doc.sections_[current];
        if (!section.Named || eq == std::string_view::npos) {
            keepRaw(raw);
            continue;
        }
        const std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (key.empty() || doc.Find(section.Name, key)) {
            keepRaw(raw);
            continue;
        }
        section.Entries.push_back({std::string(key), std::string(value), false});
    }
    // Blank lines between sections are written anew by Text().
    for (Section& s : doc.sections_) {
        while (!s.Entries.empty() && s.Entries.back().Raw && trim(s.Entries.back().Value).empty())
            s.Entries.pop_back();
    }
    return doc;
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    for (Section& s : sections_)
        if (s.Named && equalNoCase(s.Name, name))
            return &s;
    return nullptr;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    for (const Section& s : sections_)
        if (s.Named && equalNoCase(s.Name, name))
            return &s;
    return nullptr;
}

bool IniDocument::HasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s)
        return nullptr;
    for (const Entry& e : s->Entries)
        if (!e.Raw && equalNoCase(e.Key, key))
            return &e.Value;
    return nullptr;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string oneLine(value);
    for (char& c : oneLine)
        if (c == '\n' || c == '\r')
            c = ' ';
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back({std::string(section), true, {}});
        s = &sections_.back();
    }
    for (Entry& e : s->Entries) {
        if (!e.Raw && equalNoCase(e.Key, key)) {
            e.Value = std::move(oneLine);
            return;
        }
    }
    // New keys go after the section's last key, before any comment that trails it.
    auto at = s->Entries.end();
    while (at != s->Entries.begin() && std::prev(at)->Raw)
        --at;
    if (at == s->Entries.begin())
        at = s->Entries.end();
    s->Entries.insert(at, {std::string(key), std::move(oneLine), false});
}

std::string IniDocument::Text() const {
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        // Every section but the lines before the first one starts after a blank line.
        if (i > 0 && !out.empty())
            out += '\n';
        if (s.Named) {
            out += '[';
            out += s.Name;
            out += "]\n";
        }
        for (const Entry& e : s.Entries) {
            if (e.Raw) {
                out += e.Value;
            } else {
                out += e.Key;
                out += '=';
                if (needsQuotes(e.Value)) {
                    out += '"';
                    out += e.Value;
                    out += '"';
                } else {
                    out += e.Value;
                }
            }
            out += '\n';
        }
    }
    return out;
}

}  // namespace kelvor::settings
