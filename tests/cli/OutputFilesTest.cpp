// What kelvor-cli leaves in the output's folder: concurrent runs into one output end with one
// complete file, names the user keeps beside an output survive a run, the longest names a
// folder takes are written, and the save folder is a folder however it is stored.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

class OutputFiles : public ::testing::Test {
  protected:
    void make(const std::string& name, const std::string& description) {
        std::string error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / name).string(), description, error)) << error;
    }
    test::ProcessResult cli(std::vector<std::string> args) const {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    // The video frames ffprobe counts in a file, or "" when ffprobe is not there.
    std::string frames(const fs::path& file) const {
        if (!test::ToolAvailable("ffprobe"))
            return "";
        auto r = test::RunTool(
            {"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
             "stream=nb_read_frames", "-of", "default=noprint_wrappers=1:nokey=1", file.string()},
            dir.path());
        while (!r.out.empty() && r.out.back() == '\n')
            r.out.pop_back();
        return r.out;
    }
    // A small file's text; a large one (a video written over it) as its size alone.
    static std::string text(const fs::path& file) {
        if (fs::file_size(file) > 64)
            return std::to_string(fs::file_size(file)) + " bytes";
        return test::ReadFile(file);
    }
    // Every entry of a folder but the preferences' folder.
    std::vector<std::string> entries(const fs::path& folder) const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename() != "cfg")
                out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    test::TempDir dir;
};

TEST_F(OutputFiles, ConcurrentRunsIntoOneOutputLeaveOneCompleteFile) {
    make("clip.avi", "type=1 frames=250 picture=moving date=2004-07-14T10:00:00");
    make("other.avi", "type=1 frames=120 date=2005-01-02T03:04:05");
    const std::string expected = test::ToolAvailable("ffprobe") ? "250" : "";
    for (int round = 0; round < 2; ++round) {
        // The same output from both runs, and in the second round a third run beside them into
        // another output of the same folder.
        std::vector<std::future<test::ProcessResult>> runs;
        for (int i = 0; i < 2; ++i)
            runs.push_back(std::async(std::launch::async, [this] {
                return cli({"do", "ToType2", "--yes-to-all", "clip.avi"});
            }));
        if (round == 1)
            runs.push_back(std::async(std::launch::async, [this] {
                return cli({"do", "ToType2", "--yes-to-all", "other.avi"});
            }));
        for (auto& run : runs) {
            const test::ProcessResult r = run.get();
            EXPECT_EQ(r.exitCode, 0) << r.err;
        }
        EXPECT_EQ(frames(dir / "clip_type2.avi"), expected) << "round " << round;
        if (round == 0) {
            EXPECT_EQ(entries(dir.path()),
                      (std::vector<std::string>{"clip.avi", "clip_type2.avi", "other.avi"}));
        }
    }
    EXPECT_EQ(frames(dir / "other_type2.avi"), test::ToolAvailable("ffprobe") ? "120" : "");
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"clip.avi", "clip_type2.avi",
                                                             "other.avi", "other_type2.avi"}));
}

// A file, and a link to another file, at the names the writers once used for their temporary
// files are the user's: a run neither opens nor removes them.
TEST_F(OutputFiles, NamesTheUserKeepsBesideTheOutputsSurvive) {
    make("clip.avi", "type=1 frames=30 date=2004-07-14T10:00:00");
    test::WriteFile(dir / "precious.txt", "the user's");
    test::WriteFile(dir / "clip_type2.avi.part", "mine");
    fs::create_symlink("precious.txt", dir / "clip.wav.part");
    auto r = cli({"script", "--no-to-all", "clip.avi", "+2", "+w"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(text(dir / "clip_type2.avi.part"), "mine");
    EXPECT_EQ(text(dir / "precious.txt"), "the user's");
    EXPECT_TRUE(fs::is_symlink(dir / "clip.wav.part"));

    // The other way round: the link where the video is written, the file where the sound is.
    fs::remove(dir / "clip_type2.avi.part");
    fs::remove(dir / "clip.wav.part");
    fs::create_symlink("precious.txt", dir / "clip_type2.avi.part");
    test::WriteFile(dir / "clip.wav.part", "mine too");
    r = cli({"script", "--yes-to-all", "clip.avi", "+2", "+w"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(text(dir / "clip.wav.part"), "mine too");
    EXPECT_EQ(text(dir / "precious.txt"), "the user's");
    EXPECT_TRUE(fs::is_symlink(dir / "clip_type2.avi.part"));
    EXPECT_EQ(frames(dir / "clip_type2.avi"), test::ToolAvailable("ffprobe") ? "30" : "");
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{"clip.avi", "clip.wav", "clip.wav.part", "clip_type2.avi",
                                        "clip_type2.avi.part", "precious.txt"}));
}

// A new output is left to the kernel's writeback, but one that replaces a file the user had is
// on the disk before the rename, so a crash cannot lose both: the system calls show which.
TEST_F(OutputFiles, OnlyAnOutputThatReplacesAFileIsSyncedBeforeItsRename) {
    if (!test::ToolAvailable("strace"))
        GTEST_SKIP() << "strace is not installed";
    make("clip.avi", "type=1 frames=30 date=2004-07-14T10:00:00");
    const auto syncs = [&] {
        const fs::path trace = dir / "trace.txt";
        test::ProcessOptions options;
        options.workDir = dir.path();
        options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
        options.timeout = std::chrono::seconds(120);
        auto r =
            test::RunProcess({"strace", "-f", "-e", "trace=fsync,fdatasync", "-o", trace.string(),
                              KELVOR_CLI, "script", "--yes-to-all", "clip.avi", "+2", "+w"},
                             options);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string calls = test::ReadFile(trace);
        fs::remove(trace);
        int n = 0;
        for (std::size_t at = calls.find("sync("); at != std::string::npos;
             at = calls.find("sync(", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(syncs(), 0);
    EXPECT_EQ(frames(dir / "clip_type2.avi"), test::ToolAvailable("ffprobe") ? "30" : "");
    EXPECT_EQ(syncs(), 2);  // the type 2 file and the WAV file, each replacing the first run's
    EXPECT_EQ(frames(dir / "clip_type2.avi"), test::ToolAvailable("ffprobe") ? "30" : "");
}

// Names that fit the folder's limit are written although a temporary suffix would not fit
// beside them: a scn file of 245 bytes, a conversion of 251.
TEST_F(OutputFiles, TheLongestNamesAreWritten) {
    const std::string base(241, 'v');
    make(base + ".avi", "type=1 frames=20 date=2004-07-14T10:00:00");
    auto scenes = cli({"scenes", "--text", "--xlsx", "--srt", base + ".avi"});
    EXPECT_EQ(scenes.exitCode, 0) << scenes.err;
    auto convert = cli({"do", "ToType2", "--yes-to-all", base + ".avi"});
    EXPECT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_EQ(frames(dir / (base + "_type2.avi")), test::ToolAvailable("ffprobe") ? "20" : "");
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{base + ".avi", base + ".scn", base + ".srt", base + ".xlsx",
                                        base + "_scn.txt", base + "_type2.avi"}));
}

// "Dossier pour Sauver" stored without its closing slash still names the folder.
TEST_F(OutputFiles, TheSaveFolderWithoutItsClosingSlash) {
    make("clip.avi", "type=1 frames=10 date=2004-07-14T10:00:00");
    fs::create_directory(dir / "out");
    test::WriteFile(dir / "cfg" / "Quennel" / "Kelvor.conf",
                    "[\\Software\\Quennel\\Kelvor]\nSauver dans le même dossier=0\n"
                    "Dossier pour Sauver=" +
                        (dir / "out").string() + "\n");
    auto r = cli({"do", "ToType2", "--yes-to-all", "clip.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(entries(dir / "out"), std::vector<std::string>{"clip_type2.avi"});
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"clip.avi", "out"}));
}

// A logout or a closed terminal stops the run as Ctrl+C does: the temporary file is gone, and the
// exit status says which signal stopped it.
TEST_F(OutputFiles, TermAndHupStopTheRunAndLeaveNoTemporaryFile) {
    make("long.avi", "type=2 frames=1500");
    // Everything the child needs is made before the fork: only exec-safe calls after it.
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "cfg").string()};
    for (char** e = environ; e && *e; ++e)
        if (!std::string_view(*e).starts_with("XDG_CONFIG_HOME="))
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = KELVOR_CLI, verb = "to-ntsc", json = "--json", file = "long.avi";
    char* argv[] = {program.data(), verb.data(), json.data(), file.data(), nullptr};
    const std::string folder = dir.path().string();
    const auto temporary = [&] {
        for (const std::string& name : entries(dir.path()))
            if (name.ends_with(".tmp"))
                return true;
        return false;
    };
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        fs::remove(dir / "long_ntsc.avi");
        const std::string reportFile = (dir / "cfg-report.json").string();
        const int report = ::open(reportFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(report, 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (::chdir(folder.c_str()) == 0 && null >= 0 && ::dup2(null, 0) >= 0 &&
                ::dup2(report, 1) >= 0 && ::dup2(null, 2) >= 0)
                ::execve(argv[0], argv, envp.data());
            ::_exit(127);
        }
        ::close(report);
        ASSERT_GT(pid, 0);
        bool writing = false;
        for (int i = 0; i < 800 && !writing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            writing = temporary();
        }
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(writing) << "the conversion never wrote";
        ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal itself";
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_FALSE(temporary());
        // What was written stays, reported as the incomplete part it is, not as a new file.
        const std::string text = test::ReadFile(reportFile);
        fs::remove(reportFile);
        EXPECT_NE(text.find("\"partial\": true"), std::string::npos) << text;
        EXPECT_NE(text.find("\"update\": \"none\""), std::string::npos) << text;
        EXPECT_NE(text.find("\"status\": \"failed\""), std::string::npos) << text;
        // ... with its frames: those the part holds, of the 1798 the NTSC minute was due.
        const QJsonObject entry = QJsonDocument::fromJson(QByteArray::fromStdString(text))
                                      .object()["files"]
                                      .toArray()[0]
                                      .toObject();
        const int written = entry["framesWritten"].toInt(-1);
        EXPECT_EQ(entry["framesDue"].toInt(), 1798) << text;
        EXPECT_GE(written, 0) << text;
        EXPECT_LT(written, 1798) << text;
        if (test::ToolAvailable("ffprobe")) {
            EXPECT_EQ(frames(dir / "long_ntsc.avi"), std::to_string(written));
        }
        EXPECT_NE(entry["reason"].toString().toStdString().find(
                      "(incomplete: " + std::to_string(written) + " of 1798 frames)"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace kelvor
