#include "core/scenes/ScnFile.h"

#include <gtest/gtest.h>

#include <random>
#include "core/scenes/ScenesTestSupport.h"
#include "support/TempDir.h"

#include "core/scenes/TextEncoding.h"

namespace kelvor::scenes {
namespace {

using Bytes = std::vector<std::uint8_t>;
using kelvor::test::TempDir;

// Bytes from a text of hex pairs separated by blanks.
Bytes hex(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == ' ')
            continue;
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
        ++i;
    }
    return out;
}
Bytes ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}
Bytes narrowString(std::string_view text) {
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(text.size()));
    for (char c : text)
        out.push_back(static_cast<std::uint8_t>(c));
    return out;
}
Bytes wideString(std::string_view asciiText) {
    Bytes out = hex("FF FE FF");
    out.push_back(static_cast<std::uint8_t>(asciiText.size()));
    for (char c : asciiText) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}
Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The file of two scenes, [0, 250) without caption and [250, 400) captioned "a | b", in either
// variant; str writes a string element.
Bytes twoSceneFile(const std::string& video, Bytes (*str)(std::string_view), bool wide) {
    return join({
        hex("63 26 01 00 04 00 00 00 FF FF 03 00 0A 00"),
        ascii("SourceTape"),
        str(video),
        wide ? hex("00 00 00 00 00 00 0C 00") : hex("00 00 00 00 00 00 00 00"),
        hex("02 00"),
        // first record
        hex("FF FF 01 00 04 00"),
        ascii("Clip"),
        hex("50 00 00 00"),
        hex("FF FF 01 00 05 00"),
        ascii("Scene"),
        str(""),
        hex("00 00 00 00 FA 00 00 00"),
        hex("00 00 00 00 01 80"),
        str(video),
        hex("00 00 00 00 00 00 00 00 FA 00 00 00"),
        // second record
        hex("03 80 F0 80 00 00 05 80"),
        str(""),
        hex("FA 00 00 00 96 00 00 00"),
        hex("00 00 00 00 07 00"),
        hex("FA 00 00 00 96 00 00 00 FA 00 00 00"),
        str("a\r\nb"),
    });
}

TEST(ScnFile, NarrowAndWideFilesAreByteExactAndReadBack) {
    TempDir dir;
    const std::string video = dir.file("holiday.avi");
    for (ScnVariant variant : {ScnVariant::Narrow, ScnVariant::Wide}) {
        const bool wide = variant == ScnVariant::Wide;
        {
            ScnWriter w(video, variant);
            EXPECT_EQ(w.FileName(), dir.file("holiday.scn"));
            EXPECT_TRUE(w.AddScene("", 250));
            EXPECT_TRUE(w.AddScene("a | b", 400));
            EXPECT_EQ(w.ScenesWritten(), 2);
        }
        EXPECT_EQ(test::readBytes(dir.file("holiday.scn")),
                  twoSceneFile(video, wide ? wideString : narrowString, wide))
            << (wide ? "wide" : "narrow");
        EXPECT_EQ(dir.names(), std::vector<std::string>{"holiday.scn"});

        SceneList scenes;
        ASSERT_TRUE(ReadScnFile(dir.file("holiday.scn"), scenes, 25));
        ASSERT_EQ(scenes.size(), 2u);
        EXPECT_EQ(scenes[0].Scene, (SceneRange{0, 250}));
        EXPECT_EQ(scenes[0].Caption, "Scene 1: [00.00.00.00] | Duration = 10.00");
        EXPECT_EQ(scenes[1].Scene, (SceneRange{250, 400}));
        EXPECT_EQ(scenes[1].Caption, "a | b");
    }
}

TEST(ScnFile, WriterWithoutScenesLeavesHeaderThatDoesNotRead) {
    TempDir dir;
    { ScnWriter w(dir.file("v.avi"), ScnVariant::Narrow); }
    const Bytes bytes = test::readBytes(dir.file("v.scn"));
    const std::size_t n = dir.file("v.avi").size();
    EXPECT_EQ(bytes.size(), 32 + 1 + n);
    EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), Bytes(8, 0));
    SceneList scenes;
    EXPECT_FALSE(ReadScnFile(dir.file("v.scn"), scenes, 25));
    EXPECT_TRUE(scenes.empty());
}

TEST(ScnFile, OneSceneFileEndsAfterFirstRecord) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Wide);
        w.AddScene("only", 77);
    }
    const Bytes bytes = test::readBytes(dir.file("v.scn"));
    const std::size_t n = dir.file("v.avi").size();
    EXPECT_EQ(bytes[36 + 2 * n], 1);
    EXPECT_EQ(bytes[36 + 2 * n + 1], 0);
    // count, Clip tag and flags, Scene tag, empty name, 2 DWORDs, 6 bytes, name, 3 DWORDs, caption
    EXPECT_EQ(bytes.size(), 36 + 2 * n + 2 + 14 + 11 + 4 + 8 + 6 + (4 + 2 * n) + 12 + (4 + 8));
    SceneList scenes;
    ASSERT_TRUE(ReadScnFile(dir.file("v.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 1u);
    EXPECT_EQ(scenes[0], (SceneEntry{"only", {0, 77}}));
}

TEST(ScnFile, ShortFileYieldsTheCompleteScenesAndFalse) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Narrow);
        for (int i = 1; i <= 5; ++i)
            w.AddScene("s" + std::to_string(i), 100 * i);
    }
    Bytes bytes = test::readBytes(dir.file("v.scn"));
    // Each later record with a two-character caption is 8 + 1 + 8 + 6 + 12 + 3 bytes.
    bytes.resize(bytes.size() - 38 - 1);  // the fifth record and a byte of the fourth
    test::writeBytes(dir.file("cut.scn"), bytes);
    SceneList scenes;
    EXPECT_FALSE(ReadScnFile(dir.file("cut.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 3u);
    EXPECT_EQ(scenes[2], (SceneEntry{"s3", {200, 300}}));

    // Every prefix of a good file reads without harm, and only the whole file reads true.
    const Bytes whole = test::readBytes(dir.file("v.scn"));
    for (std::size_t len = 0; len < whole.size(); ++len) {
        SceneList s;
        EXPECT_FALSE(ReadScnBytes(std::span(whole.data(), len), s, 25)) << len;
    }
    EXPECT_FALSE(ReadScnFile(dir.file("missing.scn"), scenes, 25));
}

TEST(ScnFile, LongStringsAreCutAtACharacterBoundary) {
    TempDir dir;
    const std::string longCaption(300, 'x');
    // 253 letters then a character outside the basic plane: its two code units would straddle
    // the limit of 254, so the wide file keeps 253.
    const std::string astral = std::string(253, 'y') + "\xF0\x9F\x8E\xA5" + "zz";
    const std::string crlf = std::string(253, 'w') + " | tail";
    {
        ScnWriter narrow(dir.file("n.avi"), ScnVariant::Narrow);
        narrow.AddScene(longCaption, 10);
        narrow.AddScene(crlf, 20);
        ScnWriter wide(dir.file("w.avi"), ScnVariant::Wide);
        wide.AddScene(longCaption, 10);
        wide.AddScene(astral, 20);
        wide.AddScene(crlf, 30);
    }
    SceneList n;
    ASSERT_TRUE(ReadScnFile(dir.file("n.scn"), n, 25));
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].Caption, std::string(254, 'x'));
    // A cut between CR and LF would leave a lone CR behind.
    EXPECT_EQ(n[1].Caption, std::string(253, 'w'));
    SceneList w;
    ASSERT_TRUE(ReadScnFile(dir.file("w.scn"), w, 25));
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].Caption, std::string(254, 'x'));
    EXPECT_EQ(w[1].Caption, std::string(253, 'y'));
    EXPECT_EQ(w[2].Caption, std::string(253, 'w'));
}

TEST(ScnFile, NarrowStringsUseWindows1252) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Narrow);
        w.AddScene("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD", 5);  // "été € 中"
    }
    const Bytes bytes = test::readBytes(dir.file("v.scn"));
    EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), hex("07 E9 74 E9 20 80 20 3F"));
    SceneList scenes;
    ASSERT_TRUE(ReadScnFile(dir.file("v.scn"), scenes, 25));
    EXPECT_EQ(scenes[0].Caption, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC ?");
}

TEST(ScnFile, ReaderAcceptsLongNarrowAndWideMarkedStrings) {
    // A file as other writers make it: the name as a long narrow string (FF, WORD length) and
    // the caption as a wide-marked string.
    const Bytes file = join({
        hex("63 26 01 00 04 00 00 00 FF FF 03 00 0A 00"),
        ascii("SourceTape"),
        hex("FF 2C 01"),
        Bytes(300, 'n'),
        hex("00 00 00 00 00 00 00 00 01 00"),
        hex("FF FF 01 00 04 00"),
        ascii("Clip"),
        hex("50 80 00 00"),
        hex("FF FF 01 00 05 00"),
        ascii("Scene"),
        hex("00 00 00 00 00 10 00 00 00"),
        hex("00 00 00 00 01 80"),
        hex("03 61 00 62"),
        hex("00 00 00 00 00 00 00 00 10 00 00 00"),
        hex("FF FE FF 02 41 00 42 00"),
    });
    SceneList scenes;
    ASSERT_TRUE(ReadScnBytes(file, scenes, 25));
    ASSERT_EQ(scenes.size(), 1u);
    // Narrow text stops at its first zero byte.
    EXPECT_EQ(scenes[0], (SceneEntry{"AB", {0, 16}}));
}

TEST(TextEncoding, RoundTripsAndMalformedInput) {
    EXPECT_EQ(Windows1252ToUtf8(Utf8ToWindows1252("\xC5\x93\xE2\x84\xA2")), "\xC5\x93\xE2\x84\xA2");
    EXPECT_EQ(Utf8ToWindows1252("\xFF\xC3"), "??");
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xF0\x9F\x8E\xA5")), "a\xF0\x9F\x8E\xA5");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(LowerCaseText("C:/Vid\xC3\x89O.AVI"), "c:/vid\xC3\xA9o.avi");
}

}  // namespace
}  // namespace kelvor::scenes

namespace kelvor::scenes {
namespace {

// Damaged files of every kind read without a crash, and never yield more scenes than the count
// could announce.
TEST(ScnFile, DamagedFilesReadSafely) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Wide);
        for (int i = 1; i <= 6; ++i)
            w.AddScene(i % 2 ? "caption | two" : "", 100 * i);
    }
    const Bytes good = test::readBytes(dir.file("v.scn"));
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = good;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        if (round % 3 == 0)
            bytes.resize(random() % bytes.size());
        SceneList scenes;
        ReadScnBytes(bytes, scenes, 25);
        EXPECT_LE(scenes.size(), 65535u);
    }
}

}  // namespace
}  // namespace kelvor::scenes
