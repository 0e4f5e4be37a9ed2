// The text of the preference stores: "[section]" lines followed by "key=value" lines, UTF-8.
//
// Section and key names compare without regard to ASCII case, the first of two equal names
// wins, and lines that are neither a section nor a key (comments, a broken section line and
// what follows it, a repeated key) are skipped by the reads but kept in the text, so a
// hand-edited file keeps its notes when the program stores into it. A value with blanks at either
// end or a double quote at its start is written between double quotes, so it reads back unchanged.
//
// A value object without shared state; one thread at a time per document.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::settings {

class IniDocument {
  public:
    // No value when the text is not UTF-8 or holds a NUL character: such a file is not one of
    // our stores and is treated as corrupt.
    static std::optional<IniDocument> Parse(std::string_view text);

    bool HasSection(std::string_view section) const;
    // The value of a key, or nothing when the section or the key is absent.
    const std::string* Find(std::string_view section, std::string_view key) const;
    // Replaces the value of an existing key in place, or appends the key to its section (the
    // section is appended when missing). Line breaks in the value become blanks, since a value
    // is one line.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole document, "\n" line ends, one blank line between sections.
    std::string Text() const;

  private:
    struct Entry {
        std::string Key;
        std::string Value;  // the whole line when Raw
        bool Raw = false;
    };
    struct Section {
        std::string Name;
        bool Named = true;  // false for the lines before the first section and a broken one
        std::vector<Entry> Entries;
    };
    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;

    std::vector<Section> sections_;
};

// True when the bytes form valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

}  // namespace kelvor::settings
