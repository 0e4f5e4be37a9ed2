// File records built through the real probe graph on real DV files, damaged files and files of
// other programs; none of them may be changed by being listed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "core/files/DateTime.h"
#include "core/files/FileRecord.h"
#include "fixtures/DvFixture.h"
#include "media/graphs/ProbeGraph.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

using files::FileRecord;
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

fs::path MakeDv(const test::TempDir& dir, const std::string& name, const std::string& description) {
    const fs::path p = dir / name;
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(p.string(), description, error)) << error;
    return p;
}

// The record of a file whose bytes and modification time must come out unchanged.
struct Listed {
    explicit Listed(const fs::path& p, media::ProbeGraph& probe, files::RecordSettings s = {}) {
        const std::string before = ReadAll(p);
        struct stat st0 {};
        ::stat(p.c_str(), &st0);
        record = std::make_unique<FileRecord>(p.string(), probe, s);
        struct stat st1 {};
        ::stat(p.c_str(), &st1);
        EXPECT_EQ(ReadAll(p), before) << p;
        EXPECT_EQ(st0.st_mtim.tv_sec, st1.st_mtim.tv_sec);
        EXPECT_EQ(st0.st_mtim.tv_nsec, st1.st_mtim.tv_nsec);
    }
    std::unique_ptr<FileRecord> record;
    const FileRecord* operator->() const { return record.get(); }
};

TEST(VideoFileRecord, DvType1PalWithDateAndTimecode) {
    test::TempDir dir;
    const fs::path p =
        MakeDv(dir, "Clip.AVI", "type=1 frames=30 date=2024-05-06T07:08:09 tc=01:02:03:04");
    media::ProbeGraph probe;
    Listed r(p, probe);
    const files::ProbeResult& pr = probe.Result();
    EXPECT_TRUE(pr.InterleavedFound);
    EXPECT_TRUE(pr.VideoFound);
    EXPECT_TRUE(pr.AudioFound);
    EXPECT_EQ(pr.StreamCount, 1);
    EXPECT_EQ(pr.VideoDuration, 30 * 400000);
    EXPECT_EQ(pr.AudioDuration, pr.VideoDuration);
    EXPECT_EQ(r->DVType, 1u);
    EXPECT_FALSE(r->IavsType2);
    EXPECT_EQ(r->ImageText, "720 x 576 (Pal");
    EXPECT_EQ(r->AspectText, " 4x3)");
    EXPECT_EQ(r->Height, 540);
    EXPECT_EQ(r->Fps, 25);
    EXPECT_EQ(r->Standard, 1);
    EXPECT_EQ(r->FrameCount, 30);
    EXPECT_EQ(r->TimecodeText, "01.02.03.04");
    EXPECT_EQ(r->Datecode, *EncodeDateTime({2024, 5, 6, 7, 8, 9, 0}));
    EXPECT_EQ(r->DatecodeText, "5/6/2024 07:08:09");
    EXPECT_EQ(r->DatecodeKey, "20240506070809");
    EXPECT_EQ(r->DatecodeSortKey, "20240506070809" + r->NameKey);
    EXPECT_EQ(r->AudioText, "48000Hz 16 bits  stereo");
    EXPECT_EQ(r->AudioFormatText, "PCM 192000 bytes/s");
    EXPECT_TRUE(r->IsDV);
    EXPECT_EQ(r->Name, "Clip.AVI");
    EXPECT_EQ(r->NameKey.substr(0, 8), "clip.avi");
}

TEST(VideoFileRecord, DvType2NtscWideAndDisplayFormat) {
    test::TempDir dir;
    const fs::path p =
        MakeDv(dir, "w.avi", "type=2 frames=15 standard=ntsc aspect=16:9 date=2023-01-02T03:04:05");
    media::ProbeGraph probe;
    files::RecordSettings s;
    s.DisplayDatecodeFormat = "yyyy";
    Listed r(p, probe, s);
    EXPECT_EQ(probe.Result().StreamCount, 2);
    EXPECT_FALSE(probe.Result().InterleavedFound);
    EXPECT_EQ(r->DVType, 2u);
    EXPECT_EQ(r->ImageText, "720 x 480 (NTSC");
    EXPECT_EQ(r->AspectText, " 16x9)");
    EXPECT_EQ(r->Height, 405);
    EXPECT_DOUBLE_EQ(r->Fps, 29.97);
    EXPECT_EQ(r->Standard, 2);
    EXPECT_TRUE(r->Wide);
    EXPECT_EQ(r->DatecodeText, "2023");
}

TEST(VideoFileRecord, FramesWithoutTheirAspectTakeTheStreams) {
    test::TempDir dir;
    media::ProbeGraph probe;
    using files::AspectSource;
    const struct {
        const char* description;
        bool wide;
        AspectSource from;
    } cases[] = {
        {"type=1 control=no dvinfo-aspect=16:9", true, AspectSource::DvInfo},
        {"type=2 standard=ntsc control=no dvinfo-aspect=16:9", true, AspectSource::DvInfo},
        {"type=2 control=no dvinfo-aspect=16:9", true, AspectSource::DvInfo},
        {"type=2 control=no dvinfo-aspect=4:3", false, AspectSource::DvInfo},
        {"type=2 control=no dvinfo-aspect=none", false, AspectSource::Default},
        // The frame's own pack wins over a DVINFO that says otherwise.
        {"type=2 aspect=16:9 dvinfo-aspect=4:3", true, AspectSource::Frame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const fs::path p =
            MakeDv(dir, "a.avi", std::string("frames=5 date=2024-05-06T07:08:09 ") + c.description);
        Listed r(p, probe);
        EXPECT_EQ(r->Wide, c.wide);
        EXPECT_EQ(r->AspectText, c.wide ? " 16x9)" : " 4x3)");
        EXPECT_EQ(r->AspectFrom, c.from);
    }

    // Without a DVINFO word: ffmpeg's OpenDML video properties in AVI, the sample aspect in
    // Matroska and QuickTime.
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    MakeDv(dir, "bare.avi", "type=2 frames=5 control=no dvinfo-aspect=none");
    for (const char* name : {"v.avi", "v.mkv", "v.mov"}) {
        for (const char* aspect : {"16:9", "4:3"}) {
            SCOPED_TRACE(std::string(name) + " " + aspect);
            ASSERT_EQ(test::RunTool({"ffmpeg", "-loglevel", "error", "-y", "-i", "bare.avi", "-c",
                                     "copy", "-aspect", aspect, name},
                                    dir.path())
                          .exitCode,
                      0);
            Listed r(dir / name, probe);
            EXPECT_TRUE(r->IsDV);
            EXPECT_EQ(r->Wide, std::string(aspect) == "16:9");
            EXPECT_EQ(r->AspectFrom, std::string(name) == "v.avi" ? AspectSource::VideoProperties
                                                                  : AspectSource::Container);
        }
    }
}

TEST(VideoFileRecord, DvWithoutOrWithDamagedDatePacks) {
    test::TempDir dir;
    media::ProbeGraph probe;
    for (const char* fault : {"none", "ff", "zeroed-ids", "only-subcode"}) {
        const std::string desc =
            std::string("type=2 frames=5 ") +
            (std::string(fault) == "none" ? "" : "date=2020-01-01T00:00:00 fault=") +
            (std::string(fault) == "none" ? "" : fault);
        const fs::path p = MakeDv(dir, std::string(fault) + ".avi", desc);
        Listed r(p, probe);
        SCOPED_TRACE(fault);
        EXPECT_TRUE(r->IsDV);
        if (std::string(fault) == "none") {
            EXPECT_EQ(r->DatecodeText, "N/A");
            EXPECT_EQ(r->DatecodeKey, "N/A");
            EXPECT_EQ(r->Datecode, 0);
        } else if (r->DatecodeKey != "N/A") {
            EXPECT_EQ(r->DatecodeKey, "20200101000000");  // a damaged pack never invents a date
        }
        EXPECT_EQ(r->ImageText, "720 x 576 (Pal");
    }
}

TEST(VideoFileRecord, FilesThatAreNotGoodAvi) {
    test::TempDir dir;
    media::ProbeGraph probe;
    // A dated DV file first, so a stale probe result would show in the records after it.
    const fs::path good = MakeDv(dir, "good.avi", "type=2 frames=10 date=2024-01-01T00:00:00");
    {
        Listed r(good, probe);
        EXPECT_TRUE(r->IsDV);
    }

    const fs::path text = dir / "text.avi";
    WriteAll(text, "this is a text file\n");
    const std::string goodBytes = ReadAll(good);
    const fs::path truncated = dir / "truncated.avi";
    WriteAll(truncated, goodBytes.substr(0, goodBytes.size() / 3));
    const fs::path headerOnly = dir / "header.avi";
    WriteAll(headerOnly, goodBytes.substr(0, 700));
    // Sizes in the RIFF, hdrl list and strh chunk that point far beyond the file.
    std::string lying = goodBytes;
    for (std::size_t at : {std::size_t{4}, std::size_t{16}})
        lying.replace(at, 4, "\xF0\xFF\xFF\x7F", 4);
    const fs::path liar = dir / "lying.avi";
    WriteAll(liar, lying);

    for (const fs::path& p : {text}) {
        Listed r(p, probe);
        SCOPED_TRACE(p.filename().string());
        EXPECT_EQ(r->DatecodeKey, files::kKeyUnreadable);
        EXPECT_EQ(r->Codec, "");
        EXPECT_EQ(r->DatecodeText, "");
        EXPECT_EQ(r->TimecodeText, "");
        EXPECT_EQ(r->ImageText, "N/A");
        EXPECT_EQ(r->AudioText, "N/A");
        EXPECT_FALSE(r->IsDV);
        EXPECT_EQ(r->Fps, 0);
    }
    {
        // Headers without a single frame: nothing from the previous file may show.
        Listed r(headerOnly, probe);
        EXPECT_NE(r->DatecodeKey, "20240101000000");
        EXPECT_NE(r->TimecodeText, "00.00.00.00");
    }
    for (const fs::path& p : {truncated, liar}) {
        Listed r(p, probe);  // whatever it finds, the file stays as it was
        SCOPED_TRACE(p.filename().string());
        if (r->IsDV) {
            EXPECT_EQ(r->DatecodeKey, "20240101000000");
        }
    }
    // A FIFO and a folder named like videos are never opened (a FIFO would block the reader).
    ASSERT_EQ(::mkfifo((dir / "fifo.avi").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.avi");
    for (const char* name : {"fifo.avi", "folder.avi"}) {
        const FileRecord r((dir / name).string(), probe);
        EXPECT_TRUE(r.Exists);
        EXPECT_EQ(r.DatecodeKey, files::kKeyUnreadable) << name;
        EXPECT_EQ(r.ImageText, "N/A");
        EXPECT_FALSE(r.IsDV);
    }
    Listed missing(dir / "missing.avi", probe);
    EXPECT_FALSE(missing->Exists);
    EXPECT_EQ(missing->DatecodeKey, files::kKeyUnreadable);
    EXPECT_EQ(missing->SizeKey, "");
    EXPECT_EQ(missing->DateKey, "");
}

TEST(VideoFileRecord, SizeKeysCompanionsAndFourGigabytes) {
    test::TempDir dir;
    const fs::path big = dir / "big.avi";
    WriteAll(big, "");
    fs::resize_file(big, 4294967296ull);  // sparse
    WriteAll(dir / "big.scn", "x");
    media::ProbeGraph probe;
    const auto r = std::make_unique<FileRecord>(big.string(), probe);
    std::string lowerFull = r->FullName;
    for (char& c : lowerFull)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(r->SizeHigh, 1u);
    EXPECT_EQ(r->SizeLow, 0u);
    EXPECT_EQ(r->SizeKey, "00000000000000010000000000000000" + lowerFull);
    EXPECT_TRUE(r->HasScn);
    EXPECT_FALSE(r->HasSrt);
    EXPECT_EQ(r->DateKey.size(), 14 + lowerFull.size());
}

// A probe that fails until the stream is offered as "dvsd".
class SecondChanceProbe : public files::MediaProbe {
  public:
    bool ProbeFile(const std::string& name, bool asDvsd) override {
        calls.push_back(asDvsd);
        real.ProbeFile(name, asDvsd);
        return asDvsd;
    }
    const files::ProbeResult& Result() const override { return real.Result(); }
    media::ProbeGraph real;
    std::vector<bool> calls;
};

TEST(VideoFileRecord, OtherDvCodecGetsItsSecondChanceInMemory) {
    test::TempDir dir;
    const fs::path p = MakeDv(dir, "cdvc.avi", "type=2 frames=5 date=2022-02-02T02:02:02");
    std::string bytes = ReadAll(p);
    // Relabel every "dvsd" (stream handler and picture compression) as another DV codec.
    for (std::size_t at = bytes.find("dvsd"); at != std::string::npos && at < 4096;
         at = bytes.find("dvsd", at))
        bytes.replace(at, 4, "CDVC");
    WriteAll(p, bytes);

    media::ProbeGraph plain;
    {
        Listed r(p, plain);
        EXPECT_FALSE(r->IsDV);
        EXPECT_EQ(r->Codec, "CDVC");
    }
    // The engine itself relabels the stream when asked, without writing.
    EXPECT_TRUE(plain.ProbeFile(p.string(), true));
    EXPECT_TRUE(plain.Result().PassedDetector);
    EXPECT_TRUE(plain.Result().DatecodeValid);

    SecondChanceProbe probe;
    const std::string before = ReadAll(p);
    FileRecord r(p.string(), probe);
    EXPECT_EQ(ReadAll(p), before);
    EXPECT_EQ(probe.calls, (std::vector<bool>{false, true}));
    EXPECT_TRUE(r.IsDV);
    EXPECT_EQ(r.DatecodeKey, "20220202020202");
}

TEST(VideoFileRecord, AudioOnlyAviFromFfmpeg) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    test::TempDir dir;
    auto res = test::RunTool({"ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                              "sine=r=44100:d=1.5", "-c:a", "pcm_s16le", "audio.avi"},
                             dir.path());
    ASSERT_EQ(res.exitCode, 0);
    media::ProbeGraph probe;
    Listed r(dir / "audio.avi", probe);
    EXPECT_EQ(r->ImageText, "N/A");
    EXPECT_EQ(r->Fps, 0);
    EXPECT_EQ(r->Codec, "");
    EXPECT_EQ(r->SampleRate, 44100u);
    EXPECT_EQ(r->AudioText, "44100Hz 16 bits  mono");
    EXPECT_EQ(r->AudioDurationText, files::FileRecord(r->FullName, probe).AudioDurationText);
    EXPECT_NE(r->AudioDurationText.find("ms"), std::string::npos) << r->AudioDurationText;
    EXPECT_FALSE(r->IsDV);
    EXPECT_EQ(r->DatecodeKey, files::kKeyNotDv);
}

// DV made and wrapped by ffmpeg, checked against mediainfo.
TEST(VideoFileRecord, AgreesWithMediainfoOnFfmpegDv) {
    if (!test::ToolAvailable("ffmpeg") || !test::ToolAvailable("mediainfo"))
        GTEST_SKIP();
    test::TempDir dir;
    struct Case {
        const char* size;
        const char* rate;
        const char* pix;
        const char* aspect;
    };
    for (const Case& c : {Case{"720x576", "25", "yuv420p", "4:3"},
                          Case{"720x480", "30000/1001", "yuv411p", "16:9"}}) {
        auto made =
            test::RunTool({"ffmpeg",    "-loglevel",
                           "error",     "-y",
                           "-f",        "lavfi",
                           "-i",        std::string("testsrc=size=") + c.size + ":rate=" + c.rate,
                           "-f",        "lavfi",
                           "-i",        "sine=r=48000",
                           "-t",        "1",
                           "-c:v",      "dvvideo",
                           "-pix_fmt",  c.pix,
                           "-aspect",   c.aspect,
                           "-c:a",      "pcm_s16le",
                           "-ac",       "2",
                           "-metadata", "creation_time=2021-03-04T05:06:07",
                           "-timecode", "01:02:03:04",
                           "-f",        "dv",
                           "a.dv"},
                          dir.path());
        ASSERT_EQ(made.exitCode, 0);
        ASSERT_EQ(test::RunTool(
                      {"ffmpeg", "-loglevel", "error", "-y", "-i", "a.dv", "-c", "copy", "a.avi"},
                      dir.path())
                      .exitCode,
                  0);
        std::vector<std::string> wrapped = {"a.avi"};
        if (test::ToolAvailable("dvgrab")) {
            // dvgrab reading a file now and then hangs: a short limit and a few attempts.
            for (const char* kind : {"dv1", "dv2"}) {
                for (int attempt = 0; attempt < 3; ++attempt) {
                    const std::string prefix =
                        std::string("g") + kind + c.pix + std::to_string(attempt) + "-";
                    test::RunTool({"dvgrab", "-I", "a.dv", "-f", kind, "-size", "0", prefix},
                                  dir.path(), std::chrono::seconds(5));
                    if (fs::exists(dir / (prefix + "001.avi"))) {
                        wrapped.push_back(prefix + "001.avi");
                        break;
                    }
                }
            }
        }
        for (const std::string& file : wrapped) {
            SCOPED_TRACE(file);
            auto mi = test::RunTool(
                {"mediainfo",
                 "--Inform=Video;%Standard%|%DisplayAspectRatio/String%|%TimeCode_FirstFrame%",
                 file},
                dir.path());
            auto date =
                test::RunTool({"mediainfo", "--Inform=General;%Recorded_Date%", file}, dir.path());
            auto rate =
                test::RunTool({"mediainfo", "--Inform=Audio;%SamplingRate%", file}, dir.path());
            media::ProbeGraph probe;
            Listed r(dir / file, probe);
            const std::string standard = r->Standard == 1 ? "PAL" : "NTSC";
            const std::string aspect = r->Wide ? "16:9" : "4:3";
            std::string tc = r->TimecodeText;
            for (auto& ch : tc)
                if (ch == '.')
                    ch = ':';
            EXPECT_EQ(mi.out.substr(0, mi.out.find_last_not_of("\n") + 1),
                      standard + "|" + aspect + "|" + tc);
            EXPECT_EQ(date.out.substr(0, 19), "2021-03-04 05:06:07");
            EXPECT_EQ(r->DatecodeKey, "20210304050607");
            // dvgrab's type 1 DVINFO announces 32 kHz 12-bit sound for these 48 kHz frames: the
            // first frame's packs must win.
            EXPECT_EQ(std::to_string(r->SampleRate), rate.out.substr(0, rate.out.find('\n')));
        }
    }
}

}  // namespace
}  // namespace kelvor
