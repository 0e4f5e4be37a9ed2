// Files with dropouts, as real tapes give them, through the real probe and scene graphs: what a
// damaged frame does not say is never invented, and what the good frames say is never lost.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "commands/CommandsTestSupport.h"
#include "core/avi/AviDemuxer.h"
#include "core/files/VideoFileRecord.h"
#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "media/graphs/TdmList.h"
#include "support/TempDir.h"

namespace kelvor {
namespace {

std::string MakeDv(const test::TempDir& dir, const std::string& name, const std::string& spec) {
    const std::string p = (dir / name).string();
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(p, spec, error)) << error;
    return p;
}

// Overwrites the data of one video chunk with zeros: a frame lost to a dropout.
void ZeroFrame(const std::string& path, std::uint64_t frame) {
    avi::AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    const auto chunk = d.chunk(static_cast<std::size_t>(d.videoStream()), frame);
    ASSERT_TRUE(chunk);
    const std::vector<char> zeros(chunk->Size, 0);
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, zeros.data(), zeros.size(), static_cast<off_t>(chunk->Offset)),
              static_cast<ssize_t>(zeros.size()));
    ::close(fd);
}

TEST(DamagedFiles, ABadFirstFrameLeavesTheDatecodeOfTheFirstGoodOne) {
    test::TempDir dir;
    for (const char* type : {"1", "2"}) {
        const std::string p = MakeDv(
            dir, std::string("t") + type + ".avi",
            std::string("type=") + type + " frames=10 date=2024-07-14T10:00:00 tc=00:00:10:00");
        ZeroFrame(p, 0);
        media::TdmList probe;
        const files::TAfficherFichier r(p, probe);
        EXPECT_TRUE(r.IsDV) << type;
        EXPECT_EQ(r.DatecodeText, "7/14/2024 10:00:00") << type;
        EXPECT_EQ(r.TimecodeText, "00.00.10.01") << type;
        EXPECT_EQ(r.FrameCount, 10) << type;
    }
}

TEST(DamagedFiles, AZeroFrameAmongDatedFramesEndsNoSceneAndKeepsTheDate) {
    commands::test::Commands c;
    const std::string p = c.make("clip.avi", "type=2 frames=50 date=2024-07-14T10:00:00");
    ZeroFrame(p, 30);
    c.select({p});
    c.run("CreerScnFromDate");
    scenes::SceneList scenes;
    ASSERT_TRUE(scenes::ReadScnFile(c.path("clip.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 1u);
    EXPECT_EQ(scenes[0].Scene.EndFrame, 50);
    EXPECT_NE(scenes[0].Caption.find("7/14/2024 10:00:00"), std::string::npos) << scenes[0].Caption;
}

}  // namespace
}  // namespace kelvor
