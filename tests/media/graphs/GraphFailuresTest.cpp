// The conversion graphs on files they cannot finish: a run of empty video chunks in the middle of
// a file ends every graph within seconds with the reason, and no stage is left waiting.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "core/avi/FormatBlocks.h"
#include "core/dv/DvInfo.h"
#include "media/graphs/ConversionTestSupport.h"

namespace kelvor {
namespace {

using test::Bytes;

// The inlay draws with Qt; the offscreen platform needs no display.
void EnsureGui() {
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_graph_failures";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test program
}

// The frames and sound of a fixture in a hand-made container whose video chunks [from, to) are
// empty, as a capture that lost them writes them: type 2 with its sound streams, or type 1.
std::string MakeDamaged(const test::TempDir& dir, const std::string& name, bool type2,
                        const std::string& description, std::size_t from, std::size_t to) {
    using namespace test;
    const std::string src = MakeDvFile(dir, "good_" + name, description);
    const auto frames = DvFrames(src);
    const std::size_t soundStreams = type2 ? StreamTypes(src).size() - 1 : 0;
    std::vector<std::vector<Bytes>> sound;
    for (std::size_t k = 1; k <= soundStreams; ++k)
        sound.push_back(StreamChunks(src, k));
    Bytes movi;
    PutCode(movi, "movi");
    Bytes idx;
    auto put = [&](const std::string& id, const Bytes& data) {
        PutCode(idx, id);
        PutU32(idx, 0x10);
        PutU32(idx, static_cast<std::uint32_t>(movi.size()));
        PutU32(idx, static_cast<std::uint32_t>(data.size()));
        const Bytes chunk = Chunk(id, data);
        movi.insert(movi.end(), chunk.begin(), chunk.end());
    };
    std::uint32_t samples = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        put("00dc", i >= from && i < to ? Bytes{} : frames[i]);
        for (std::size_t k = 0; k < soundStreams; ++k)
            put("0" + std::to_string(k + 1) + "wb", sound[k][i]);
        if (soundStreams > 0)
            samples += static_cast<std::uint32_t>(sound[0][i].size() / 4);
    }
    const auto n = static_cast<std::uint32_t>(frames.size());
    const auto block = avi::BlockBytes(dv::DvInfoFromFrame(frames[0]));
    const Bytes dvInfo(block.begin(), block.end());
    Bytes hdrl;
    PutCode(hdrl, "hdrl");
    auto add = [&](const Bytes& b) { hdrl.insert(hdrl.end(), b.begin(), b.end()); };
    add(Chunk("avih", MainHeaderData(n, static_cast<std::uint32_t>(1 + soundStreams))));
    if (type2)
        add(Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd", 1, 25, n)),
                         Chunk("strf", BitmapData())}));
    else
        add(Lst("strl", {Chunk("strh", StreamHeaderData("iavs", "dvsd", 1, 25, n)),
                         Chunk("strf", dvInfo)}));
    for (std::size_t k = 0; k < soundStreams; ++k)
        add(Lst("strl", {Chunk("strh", StreamHeaderData("auds", std::string(4, '\0'), 4, 192000,
                                                        samples * 4)),
                         Chunk("strf", WaveData())}));
    WriteBytes(dir / name,
               Riff("AVI ", {Chunk("LIST", hdrl), Chunk("LIST", movi), Chunk("idx1", idx)}));
    return (dir / name).string();
}

using Builder =
    std::function<bool(media::ConversionGraphs&, const std::string&, const std::string&)>;

struct Conversion {
    const char* name;
    const std::string* source;
    Builder build;
    // Frames of the output when the graph goes over the empty frames keeping the timeline; 0
    // when it must stop on the first of them.
    std::size_t frames;
};

// A conversion either stops on the first empty frame with the reason, or goes over the empty
// frames keeping the timeline (pictures and sound of every frame); none waits for ever, and a
// stage that stops on an error releases the stages waiting on it.
TEST(GraphFailures, EmptyFramesEndOrKeepTheTimelineOfEveryConversion) {
    EnsureGui();
    test::TempDir dir;
    // More empty frames than every queue of a graph holds, so a stage that waits for the
    // sound of frames the source has not reached waits for ever.
    const std::string description = "frames=150 date=2004-07-14T10:00:00";
    const std::string type2 = MakeDamaged(dir, "t2.avi", true, "type=2 " + description, 40, 100);
    const std::string type1 = MakeDamaged(dir, "t1.avi", false, "type=1 " + description, 40, 100);
    using G = media::ConversionGraphs;
    const Conversion cases[] = {
        {"ntsc", &type2, [](G& g, auto& v, auto& o) { return g.BuildStandardGraphType2(v, o, 2); },
         180},
        {"pal", &type2, [](G& g, auto& v, auto& o) { return g.BuildStandardGraphType2(v, o, 1); },
         150},
        {"inlay", &type2, [](G& g, auto& v, auto& o) { return g.BuildInlayGraphType2(v, o, 1); },
         150},
        {"recompress", &type2,
         [](G& g, auto& v, auto& o) { return g.BuildRecompressGraph(v, o, 1, 2); }, 150},
        {"ntsc1", &type1, [](G& g, auto& v, auto& o) { return g.BuildStandardGraphType1(v, o, 2); },
         180},
        {"pal1", &type1, [](G& g, auto& v, auto& o) { return g.BuildStandardGraphType1(v, o, 1); },
         150},
        {"inlay1", &type1, [](G& g, auto& v, auto& o) { return g.BuildInlayGraphType1(v, o, 1); },
         150},
        {"type1", &type2, [](G& g, auto& v, auto& o) { return g.BuildToType1Graph(v, o); }, 0},
        {"shift", &type2, [](G& g, auto& v, auto& o) { return g.BuildShiftTimeGraph(v, o); }, 0},
        {"repair", &type2, [](G& g, auto& v, auto& o) { return g.BuildFixType2Graph(v, o); }, 0},
        {"type2", &type1, [](G& g, auto& v, auto& o) { return g.BuildToType2Graph(v, o); }, 0},
        {"shift1", &type1, [](G& g, auto& v, auto& o) { return g.BuildShiftTimeGraph(v, o); }, 0},
    };
    for (const Conversion& k : cases) {
        SCOPED_TRACE(k.name);
        media::ConversionGraphs graphs;
        const std::string out = (dir / (std::string(k.name) + ".avi")).string();
        ASSERT_TRUE(k.build(graphs, *k.source, out)) << graphs.BuildError();
        const auto start = std::chrono::steady_clock::now();
        const std::string why = test::RunToEnd(graphs, std::chrono::seconds(30));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        if (k.frames == 0) {
            EXPECT_EQ(why, out + ": a frame of 0 bytes is not a DV frame");
            continue;
        }
        ASSERT_EQ(why, "");
        EXPECT_EQ(test::DvFrames(out).size(), k.frames);
        if (k.source == &type2) {
            // The sound of a type 2 output lasts as long as its pictures (48 kHz stereo).
            const double seconds = static_cast<double>(k.frames) / (k.frames == 180 ? 29.97 : 25);
            const auto sound = test::Concat(test::StreamChunks(out, 1)).size();
            EXPECT_NEAR(static_cast<double>(sound) / 192000, seconds, 0.05);
        }
    }

    // The sound into a WAV file keeps the length of the video.
    for (const std::string* source : {&type2, &type1}) {
        SCOPED_TRACE(*source);
        media::ConversionGraphs graphs;
        const std::string wav = *source + ".wav";
        ASSERT_TRUE(graphs.BuildExtractAudioGraph(*source, wav)) << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs, std::chrono::seconds(30)), "");
        EXPECT_EQ(std::filesystem::file_size(wav), 46u + 150u * 1920u * 4u);
    }
}

}  // namespace
}  // namespace kelvor
