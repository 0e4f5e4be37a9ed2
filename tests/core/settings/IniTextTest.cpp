#include "core/settings/IniText.h"

#include <gtest/gtest.h>

#include <random>

namespace kelvor::settings {
namespace {

TEST(IniText, ReadsHandEditedFilesTheUsualWay) {
    const auto doc = IniDocument::Parse(
        "\xEF\xBB\xBF; comment\r\n"
        "stray=before any section\r\n"
        "[\\Software\\Quennel\\Kelvor]\r\n"
        "  Clé à accents = valeur  \r\n"
        "Twice=first\n"
        "twice=second\n"
        "no equals sign\n"
        "Quoted=\"  kept  \"\n"
        "[broken\n"
        "Lost=1\n"
        "[\\software\\quennel\\kelvor]\n"
        "Later=yes\n");
    ASSERT_TRUE(doc);
    const std::string_view s = "\\Software\\Quennel\\Kelvor";
    ASSERT_NE(doc->Find(s, "clé à accents"), nullptr);  // ASCII letters ignore case
    EXPECT_EQ(*doc->Find(s, "Clé à accents"), "valeur");
    EXPECT_EQ(*doc->Find(s, "TWICE"), "first");
    EXPECT_EQ(*doc->Find(s, "Quoted"), "  kept  ");
    EXPECT_EQ(doc->Find(s, "Later"), nullptr);  // only the first of two equal sections counts
    EXPECT_EQ(doc->Find(s, "Lost"), nullptr);
    EXPECT_EQ(doc->Find(s, "stray"), nullptr);
    EXPECT_FALSE(doc->HasSection("broken"));
}

TEST(IniText, RejectsTextThatIsNotUtf8) {
    EXPECT_FALSE(IniDocument::Parse("[a]\nk=\xE9t\xE9\n"));           // Windows-1252
    EXPECT_FALSE(IniDocument::Parse(std::string("[a]\nk=\0\n", 7)));  // NUL
    EXPECT_FALSE(IniDocument::Parse("[a]\nk=\xC0\xAF\n"));            // overlong
    EXPECT_FALSE(IniDocument::Parse("[a]\nk=\xED\xA0\x80\n"));        // surrogate
    EXPECT_FALSE(IniDocument::Parse("[a]\nk=\xE2\x82"));              // cut short
    EXPECT_TRUE(IniDocument::Parse("[a]\nk=\xF0\x9F\x8E\xA5\n"));
}

TEST(IniText, WritesValuesSoTheyReadBackUnchanged) {
    IniDocument doc;
    const std::vector<std::string> values = {"",   " lead", "trail\t", "\"q\"",
                                             "\"", "a\"b",  "x=y",     "#@vide§#"};
    for (std::size_t i = 0; i < values.size(); ++i)
        doc.Set("[S]", "k" + std::to_string(i), values[i]);
    doc.Set("Other", "line", "one\ntwo\r\n");
    const auto back = IniDocument::Parse(doc.Text());
    ASSERT_TRUE(back);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(*back->Find("[S]", "k" + std::to_string(i)), values[i]) << i;
    // A value cannot add lines of its own.
    EXPECT_EQ(*back->Find("Other", "line"), "one two  ");
}

TEST(IniText, StoringKeepsCommentsAndStrangeLines) {
    const std::string text =
        "; made by hand\n\n[A]\nx=1\n; about y\ny=2\ny=dup\n; tail\n\n[broken\nq=1\n\n[a]\nz=9\n";
    auto doc = IniDocument::Parse(text);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Text(), text);
    doc->Set("A", "y", "3");
    doc->Set("A", "new", "4");
    EXPECT_EQ(doc->Text(),
              "; made by hand\n\n[A]\nx=1\n; about y\ny=3\nnew=4\ny=dup\n; tail\n\n[broken\nq=1\n\n"
              "[a]\nz=9\n");
}

TEST(IniText, SetKeepsOtherKeysAndTheirOrder) {
    auto doc = IniDocument::Parse("[A]\nx=1\nY=2\n[B]\nz=3\n");
    ASSERT_TRUE(doc);
    doc->Set("a", "y", "20");
    doc->Set("A", "w", "4");
    doc->Set("C", "v", "5");
    EXPECT_EQ(doc->Text(), "[A]\nx=1\nY=20\nw=4\n\n[B]\nz=3\n\n[C]\nv=5\n");
}

// Whatever a damaged or hand-mangled file holds, what we write of it reads back the same.
TEST(IniText, MangledFilesParseAndRoundTrip) {
    const std::string seed =
        "; c\n[\\Software\\Quennel\\Kelvor]\nTop=12\nName=\"  x \"\nDossier à ouverture auto=/a\n"
        "[\\Software\\Quennel\\Kelvor\\IncrustFont]\nSize=48\n[x\n=v\nk==\n";
    const std::string alphabet = "[]=;\"\n\r\t ab\xC3\xA9\\";
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            switch (rng() % 3) {
                case 0:
                    text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 1:
                    if (at < text.size())
                        text.erase(at, 1);
                    break;
                default:
                    if (at < text.size())
                        text[at] = static_cast<char>(rng() & 0xFF);
                    break;
            }
        }
        const auto doc = IniDocument::Parse(text);
        if (!doc)
            continue;
        const auto again = IniDocument::Parse(doc->Text());
        ASSERT_TRUE(again) << text;
        EXPECT_EQ(again->Text(), doc->Text()) << text;
        for (const char* section :
             {"\\Software\\Quennel\\Kelvor", "\\Software\\Quennel\\Kelvor\\IncrustFont"}) {
            for (const char* key : {"Top", "Name", "Dossier à ouverture auto", "Size", "k", ""}) {
                const std::string* a = doc->Find(section, key);
                const std::string* b = again->Find(section, key);
                ASSERT_EQ(a == nullptr, b == nullptr) << text;
                if (a) {
                    EXPECT_EQ(*a, *b) << text;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kelvor::settings
