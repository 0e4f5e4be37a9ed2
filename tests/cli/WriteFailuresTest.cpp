// kelvor-cli's writers on folders and files that refuse them: a full disk, a read-only folder, a
// source that cannot be read. Each failure names the system's reason in words, and no library
// line reaches the terminal raw.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

// A small tmpfs of the test's own, when the test runner may mount one (root in a container).
class SmallDisk {
  public:
    SmallDisk(const fs::path& at, std::uintmax_t bytes) : at_(at) {
        fs::create_directories(at_);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    bool MakeReadOnly() const {
        return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

  private:
    fs::path at_;
    bool mounted_ = false;
};

class WriteFailures : public ::testing::Test {
  protected:
    std::string make(const fs::path& path, const std::string& description) {
        std::string error;
        EXPECT_TRUE(fixtures::WriteDvFile(path.string(), description, error)) << error;
        return path.string();
    }
    test::ProcessResult cli(std::vector<std::string> args) const {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    // What every failure here must not say: a code in place of a reason, or a library's raw line.
    static void expectNoRawText(const test::ProcessResult& r) {
        for (const char* raw : {"E_FAIL", "0x8000", "cannot start", "[ERROR]", "[WARNING]"})
            EXPECT_EQ(r.err.find(raw), std::string::npos) << raw << " in: " << r.err;
    }

    test::TempDir dir;
};

TEST_F(WriteFailures, TheSoundIntoAWavFileOnAFullDiskOrAReadOnlyFolderSaysWhy) {
    const std::string source = make(dir / "clip.avi", "type=2 frames=25");
    // Room for the video and a few kilobytes more: the sound's 192 kB do not fit.
    SmallDisk disk(dir / "disk", fs::file_size(source) + 16 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    fs::copy_file(source, dir / "disk" / "clip.avi");
    auto r = cli({"extract-audio", "--yes-to-all", "disk/clip.avi"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    expectNoRawText(r);
    EXPECT_FALSE(fs::exists(dir / "disk" / "clip.wav"));
    // Nothing of the run is left on the disk.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "disk"), fs::directory_iterator()), 1);

    // A folder that cannot be written: read-only for a user, a read-only file system for root.
    ASSERT_TRUE(disk.MakeReadOnly());
    r = cli({"extract-audio", "--yes-to-all", "disk/clip.avi"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(std::strerror(EROFS)), std::string::npos) << r.err;
    expectNoRawText(r);

    // The in-place repair on a file that cannot be opened for writing says why too.
    r = cli({"fix-codec", "--fourcc", "dvsd", "--yes-to-all", "disk/clip.avi"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(std::strerror(EROFS)), std::string::npos) << r.err;
}

TEST_F(WriteFailures, AFolderAUserCannotWriteSaysPermissionDenied) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    fs::create_directories(dir / "locked");
    make(dir / "locked" / "clip.avi", "type=2 frames=5");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const auto r = cli({"extract-audio", "--yes-to-all", "locked/clip.avi"});
    fs::permissions(dir / "locked", fs::perms::owner_all);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    expectNoRawText(r);
}

TEST_F(WriteFailures, ASourceThatCannotBeReadSaysWhy) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    const std::string source = make(dir / "clip.avi", "type=2 frames=5");
    fs::permissions(source, fs::perms::none);
    const auto r = cli({"to-type1", "--yes-to-all", "clip.avi"});
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("not a DV type 2 file"), std::string::npos) << r.err;
}

TEST_F(WriteFailures, ASpreadsheetOnAFullDiskSaysWhyAndTheLibraryLinesStayOut) {
    const std::string source = make(dir / "clip.avi", "type=2 frames=50 date=2004-07-14T10:00:00");
    SmallDisk disk(dir / "disk", fs::file_size(source) + 4096);
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    fs::copy_file(source, dir / "disk" / "clip.avi");
    // Fill what is left, so the workbook cannot be saved.
    {
        FILE* f = std::fopen((dir / "disk" / "fill").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::vector<char> block(4096, 1);
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
        }
        std::fclose(f);
    }
    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose ? "verbose" : "quiet");
        std::vector<std::string> args = {"export-xlsx-by-date", "--yes-to-all", "disk/clip.avi"};
        if (verbose)
            args.insert(args.begin(), "--verbose");
        const auto r = cli(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
        // The library's own lines are shown only when asked for, through the program.
        for (std::size_t at = r.err.find("[ERROR]"); at != std::string::npos;
             at = r.err.find("[ERROR]", at + 1)) {
            EXPECT_TRUE(verbose) << r.err;
            EXPECT_EQ(r.err.rfind("kelvor-cli: libxlsxwriter: ", at), r.err.rfind('\n', at) + 1)
                << r.err;
        }
        if (!verbose)
            expectNoRawText(r);
        EXPECT_FALSE(fs::exists(dir / "disk" / "clip.xlsx"));
    }
}

}  // namespace
}  // namespace kelvor
