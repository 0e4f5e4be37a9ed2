// The stream copies run in the light front end: what kelvor-cli writes and says must be what
// kelvor-cli-media, which runs the command module's own graphs, writes and says for the same
// command, and the light process must load no codec library.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/avi/AviWriter.h"
#include "fixtures/DvFixture.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    test::ProcessResult result;
    std::string loaded;  // the libraries the dynamic loader reported
};

ProgramRun RunProgram(const test::TempDir& dir, const char* program,
                      std::vector<std::string> args) {
    args.insert(args.begin(), program);
    test::ProcessOptions options;
    options.workDir = dir.path();
    options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
    options.environment["LD_DEBUG"] = "libs";
    options.environment["LD_DEBUG_OUTPUT"] = (dir / "ld").string();
    options.timeout = std::chrono::seconds(60);
    ProgramRun run{test::RunProcess(args, options), {}};
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().starts_with("ld.")) {
            run.loaded += test::ReadFile(e.path());
            fs::remove(e.path());
        }
    return run;
}

// Zeroes a run of bytes inside the third frame: its sound and part of its picture are gone,
// its size stays.
void DamageThirdFrame(const fs::path& file) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    const auto size = static_cast<std::streamoff>(fs::file_size(file));
    const std::string zeros(30000, '\0');
    f.seekp(std::min<std::streamoff>(size / 2, 2 * 144000 + 20000));
    f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    return files;
}

// The messages name the output folder given: the light run's, as if it had been the media run's.
std::string InMediaFolder(std::string said) {
    for (std::size_t at = said.find("/light/"); at != std::string::npos;
         at = said.find("/light/", at))
        said.replace(at, 7, "/media/");
    return said;
}

struct Case {
    const char* name;
    const char* description;
    std::vector<std::string> args;  // the verb and its options
};

// Each command on each fixture, once by each program into folders of their own: the same
// files, byte for byte (one per scene for a cut), the same messages and exit status, twice (the
// second run finds the outputs there and is not allowed to replace them).
TEST(StreamCopies, LightFrontEndWritesWhatTheMediaProgramWrites) {
    const std::vector<Case> cases = {
        {"pal1.avi", "type=1 frames=8 date=2024-05-06T07:08:09", {"to-type2"}},
        {"ntsc1.avi",
         "type=1 standard=ntsc audio=32k12 frames=8 date=2024-05-06T07:08:09",
         {"to-type2"}},
        {"dam1.avi", "type=1 frames=6 date=2024-05-06T07:08:09", {"to-type2"}},
        {"pal2t.avi", "type=2 frames=8 date=2024-05-06T07:08:09", {"to-type1"}},
        {"ntsc2t.avi", "type=2 standard=ntsc audio=32k12 frames=8", {"to-type1"}},
        {"rawt.dv", "type=raw frames=6 date=2024-05-06T07:08:09", {"to-type1"}},
        {"pal2.avi", "type=2 frames=8 date=2024-05-06T07:08:09", {"shift-time", "--by", "1:00"}},
        {"ntsc2.avi",
         "type=2 standard=ntsc audio=32k12 frames=8 date=2024-05-06T07:08:09",
         {"shift-time", "--by", "-25:30"}},
        {"pal1s.avi", "type=1 frames=6 date=2024-05-06T07:08:09", {"shift-time", "--by", "0:30"}},
        {"raw.dv", "type=raw frames=6 date=2024-05-06T07:08:09", {"shift-time", "--by", "2:00"}},
        {"dam2.avi", "type=2 frames=6 date=2024-05-06T07:08:09", {"extract-audio"}},
        {"wav1.avi",
         "type=1 standard=ntsc audio=32k12 frames=8 date=2024-05-06T07:08:09",
         {"extract-audio"}},
        {"wav2.avi", "type=2 audio=32k frames=8 date=2024-05-06T07:08:09", {"extract-audio"}},
        {"wavraw.dv", "type=raw frames=6 date=2024-05-06T07:08:09", {"extract-audio"}},
        {"cut2.avi",
         "type=2 frames=5 date=2024-05-06T07:08:09; frames=7 date=2024-06-01T10:00:00; frames=4 "
         "date=2024-07-01T10:00:00",
         {"cut-scenes"}},
        {"cut1.avi",
         "type=1 standard=ntsc audio=32k12 frames=5 date=2024-05-06T07:08:09; frames=6 "
         "date=2024-06-01T10:00:00",
         {"cut-scenes"}},
        {"cutraw.dv",
         "type=raw frames=5 date=2024-05-06T07:08:09; frames=3 date=2025-01-01T00:00:00",
         {"cut-scenes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::string error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / c.name).string(), c.description, error)) << error;
        if (std::string(c.name).starts_with("dam"))
            DamageThirdFrame(dir / c.name);
        if (c.args.front() == "cut-scenes") {
            ASSERT_EQ(RunProgram(dir, KELVOR_CLI_MEDIA, {"scenes-by-date", c.name}).result.exitCode,
                      0);
        }
        fs::create_directories(dir / "light");
        fs::create_directories(dir / "media");
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::string> light = c.args, media = c.args;
            for (auto* args : {&light, &media}) {
                args->push_back("--output-dir");
                args->push_back(args == &light ? "light" : "media");
                args->push_back(c.name);
            }
            const ProgramRun ours = RunProgram(dir, KELVOR_CLI, light);
            const ProgramRun theirs = RunProgram(dir, KELVOR_CLI_MEDIA, media);
            EXPECT_EQ(ours.result.exitCode, theirs.result.exitCode) << ours.result.err;
            EXPECT_EQ(InMediaFolder(ours.result.err), theirs.result.err);
            EXPECT_EQ(ours.result.out, theirs.result.out);
            if (pass == 0) {
                EXPECT_EQ(ours.result.exitCode, 0) << ours.result.err;
                for (const char* library : {"libavcodec", "libavformat", "libswresample"})
                    EXPECT_EQ(ours.loaded.find(library), std::string::npos) << library;
            }
        }
        const auto names = FilesIn(dir / "light");
        ASSERT_EQ(names, FilesIn(dir / "media"));
        ASSERT_EQ(names.size(), c.args.front() == "cut-scenes" ? 2u + (c.name[3] == '2') : 1u);
        for (const fs::path& name : names)
            EXPECT_TRUE(test::ReadFile(dir / "light" / name) ==
                        test::ReadFile(dir / "media" / name))
                << name;
    }
}

// A frame of the wrong size midway: the light front end takes back what it wrote and leaves the
// file to the media program, so the run ends as the media program alone ends it.
TEST(StreamCopies, AFileThatFailsMidwayEndsAsInTheMediaProgram) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "src.dv").string(),
                                      "type=raw frames=6 date=2024-05-06T07:08:09", error))
        << error;
    const std::string raw = test::ReadFile(dir / "src.dv");
    constexpr std::size_t kFrame = 144000;
    ASSERT_EQ(raw.size(), 6 * kFrame);
    const auto frame = [&](std::size_t k, std::size_t size) {
        return std::span(reinterpret_cast<const std::uint8_t*>(raw.data()) + k * kFrame, size);
    };
    avi::AviWriter writer;
    avi::AviWriterConfig config;
    config.Type = avi::DvType::Type1;
    config.DvInfoBytes = avi::DvInfoFromFrame(frame(0, kFrame));
    ASSERT_TRUE(writer.open((dir / "short.avi").string(), config));
    for (std::size_t k = 0; k < 6; ++k)
        ASSERT_TRUE(writer.writeVideoFrame(frame(k, k == 3 ? 1000 : kFrame)));
    ASSERT_TRUE(writer.close());
    fs::create_directories(dir / "light");
    fs::create_directories(dir / "media");
    const ProgramRun ours =
        RunProgram(dir, KELVOR_CLI, {"to-type2", "--output-dir", "light", "short.avi"});
    const ProgramRun theirs =
        RunProgram(dir, KELVOR_CLI_MEDIA, {"to-type2", "--output-dir", "media", "short.avi"});
    EXPECT_EQ(ours.result.exitCode, 1);
    EXPECT_EQ(ours.result.exitCode, theirs.result.exitCode);
    EXPECT_NE(ours.result.err.find("a frame of 1000 bytes is not a DV frame"), std::string::npos)
        << ours.result.err;
    EXPECT_EQ(InMediaFolder(ours.result.err), theirs.result.err);
    EXPECT_EQ(FilesIn(dir / "light"), FilesIn(dir / "media"));
}

// SIGTERM midway through a copy in the light front end: the part written so far is a finished
// file under the final name with no temporary file left, named with its frames, and the exit
// status names the signal.
TEST(StreamCopies, TermStopsTheCopyAndKeepsTheFinishedPart) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "long.avi").string(),
                                      "type=1 frames=1500 picture=colour:101010", error))
        << error;
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "cfg").string()};
    for (char** e = environ; e && *e; ++e)
        if (!std::string_view(*e).starts_with("XDG_CONFIG_HOME="))
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = KELVOR_CLI, verb = "to-type2", file = "long.avi";
    char* argv[] = {program.data(), verb.data(), file.data(), nullptr};
    const std::string folder = dir.path().string();
    const std::string errFile = (dir / "err.txt").string();
    const auto temporary = [&] {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().extension() == ".tmp")
                return true;
        return false;
    };
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(err, 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (::chdir(folder.c_str()) == 0 && null >= 0 && ::dup2(null, 0) >= 0 &&
            ::dup2(null, 1) >= 0 && ::dup2(err, 2) >= 0)
            ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(err);
    ASSERT_GT(pid, 0);
    bool writing = false;
    int status = 0;
    for (int i = 0; i < 20000 && !writing; ++i) {
        writing = temporary();
        if (!writing && ::waitpid(pid, &status, WNOHANG) == pid)
            GTEST_SKIP() << "the copy ended before it could be stopped";
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGTERM);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(writing);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal itself";
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_FALSE(temporary());
    const std::string said = test::ReadFile(errFile);
    const std::string part = (dir / "long_type2.avi").string();
    EXPECT_NE(said.find("to-type2: " + (dir / "long.avi").string() +
                        ": stopped; the part written so far stays in " + part + " (incomplete: "),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(" of 1500 frames)\nkelvor-cli: stopped by "), std::string::npos) << said;
    // The part is a whole type 2 file: the media program reads it for info.
    const auto info = RunProgram(dir, KELVOR_CLI_MEDIA, {"info", "long_type2.avi"});
    EXPECT_EQ(info.result.exitCode, 0) << info.result.err;
    EXPECT_NE(info.result.out.find("(type 2)"), std::string::npos) << info.result.out;
}

}  // namespace
}  // namespace kelvor
