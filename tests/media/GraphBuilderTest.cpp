// Graphs built by what their pins are: the pin orders the conversion builders rely on, the
// builder's "first output this input accepts", and the reasons a graph gives when it fails.
#include "media/engine/GraphBuilder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "fixtures/DvFixture.h"
#include "media/engine/AviSink.h"
#include "media/engine/DvFilters.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/Renderer.h"
#include "media/filters/DateDetectorFilter.h"
#include "support/TempDir.h"

namespace kelvor::media {
namespace {

std::string make(const test::TempDir& dir, const std::string& name,
                 const std::string& description) {
    const std::string path = (dir / name).string();
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
    return path;
}

// "I" for an input pin, "O" for an output pin, in enumeration order.
std::string order(const BaseFilter& f) {
    std::string s;
    for (int i = 0; i < f.PinCount(); ++i)
        s += f.GetPin(i)->Direction() == PinDirection::Input ? 'I' : 'O';
    return s;
}

TEST(GraphBuilder, PinOrdersOfTheStagesTheBuildersUse) {
    test::TempDir dir;
    const std::string type1 = make(dir, "t1.avi", "type=1 frames=3 date=2024-01-01T10:00:00");
    const std::string type2 = make(dir, "t2.avi", "type=2 frames=3 date=2024-01-01T10:00:00");
    Graph g;
    GraphBuilder b(g);

    // AVI splitter: outputs in stream order, then its input.
    const auto file2 = OpenAviFile(b, type2);
    ASSERT_TRUE(file2) << b.Error();
    EXPECT_EQ(order(*file2->source), "O");
    EXPECT_EQ(order(*file2->splitter), "OOI");
    ASSERT_EQ(file2->splitter->Outputs().size(), 2u);

    // DV muxer: video input, a free audio input once the video is in, the output last.
    auto mux = b.Add(std::make_shared<DvMuxerFilter>(), "DV Muxer");
    EXPECT_EQ(order(*mux), "IO");
    EXPECT_EQ(mux->FreeAudioInput(), nullptr);
    ASSERT_TRUE(b.Connect(*file2->splitter->Outputs()[0], mux->VideoInput()));
    EXPECT_EQ(order(*mux), "IIO");
    ASSERT_NE(mux->FreeAudioInput(), nullptr);
    InputPin* audio0 = mux->FreeAudioInput();
    ASSERT_TRUE(b.Connect(*file2->splitter->Outputs()[1], *audio0));
    EXPECT_EQ(order(*mux), "IIIO");
    EXPECT_EQ(mux->AudioInput(0), audio0);
    EXPECT_EQ(mux->FreeAudioInput(), mux->AudioInput(1));

    // DV splitter: input, video, then one output per stereo pair.
    auto dvsplit = b.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
    EXPECT_EQ(order(*dvsplit), "I");
    ASSERT_TRUE(b.Connect(mux->Output(), dvsplit->Input()));
    EXPECT_EQ(order(*dvsplit), "IOO");
    EXPECT_EQ(dvsplit->VideoOutput(), dvsplit->GetPin(1));
    ASSERT_EQ(dvsplit->AudioOutputs().size(), 1u);

    // AVI mux: output first, then the inputs with a free one at the end.
    auto aviMux = b.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
    EXPECT_EQ(order(*aviMux), "OI");
    for (OutputPin* out : dvsplit->OutputPins())
        ASSERT_TRUE(b.Connect(*out, *aviMux->FreeInput()));
    EXPECT_EQ(order(*aviMux), "OIII");
    EXPECT_EQ(aviMux->FreeInput(), aviMux->GetPin(3));

    // Tee: input, then the outputs with a free one at the end.
    Graph g1;
    GraphBuilder b1(g1);
    const auto file1 = OpenAviFile(b1, type1);
    ASSERT_TRUE(file1) << b1.Error();
    EXPECT_EQ(order(*file1->splitter), "OI");
    auto tee = b1.Add(std::make_shared<InfiniteTeeFilter>(), "Tee");
    EXPECT_EQ(order(*tee), "IO");
    ASSERT_TRUE(b1.Connect(*file1->splitter->Outputs()[0], tee->Input()));
    auto r1 = b1.Add(std::make_shared<NullRenderer>(), "r1");
    ASSERT_TRUE(b1.Connect(tee->FreeOutput(), r1->Input()));
    EXPECT_EQ(order(*tee), "IOO");
    EXPECT_EQ(&tee->FreeOutput(), tee->Output(1));

    // The program's own filters: input, then output.
    EXPECT_EQ(order(DateDetectorFilter()), "IO");
    EXPECT_EQ(order(DvVideoDecoderFilter()), "IO");
}

TEST(GraphBuilder, ConnectFirstOutputTakesTheFirstStreamTheInputAccepts) {
    test::TempDir dir;
    const std::string path = make(dir, "t2.avi", "type=2 frames=2 date=2024-01-01T10:00:00");
    Graph g;
    GraphBuilder b(g);
    const auto file = OpenAviFile(b, path);
    ASSERT_TRUE(file) << b.Error();
    auto detector = b.Add(std::make_shared<DateDetectorFilter>(), "scenedetect");
    auto resampler = b.Add(std::make_shared<AudioResamplerFilter>(), "acm1");
    // The detector takes only DV: the video, which comes first here.
    EXPECT_EQ(b.ConnectFirstOutput(*file->splitter, detector->Input()),
              file->splitter->Outputs()[0]);
    // The wrapper takes sound: the first free output it accepts is the second.
    EXPECT_EQ(b.ConnectFirstOutput(*file->splitter, resampler->Input()),
              file->splitter->Outputs()[1]);
    auto other = b.Add(std::make_shared<DateDetectorFilter>(), "another");
    EXPECT_EQ(b.ConnectFirstOutput(*file->splitter, other->Input()), nullptr);
    EXPECT_TRUE(b.Error().empty());
}

TEST(GraphBuilder, FilesThatCannotBeOpenedSayWhy) {
    test::TempDir dir;
    test::WriteFile(dir / "text.avi", "just some text, not RIFF");
    ASSERT_EQ(::mkfifo((dir / "fifo.avi").c_str(), 0600), 0);
    const struct {
        std::string name;
        std::string reason;
    } cases[] = {
        {"missing.avi", "the file is not found"},
        {"fifo.avi", "not a regular file"},
        {"text.avi", "text.avi"},
    };
    for (const auto& c : cases) {
        Graph g;
        GraphBuilder b(g);
        EXPECT_FALSE(OpenAviFile(b, (dir / c.name).string())) << c.name;
        EXPECT_NE(b.Error().find(c.reason), std::string::npos) << c.name << ": " << b.Error();
    }
}

// The graph keeps the first failure of a run with the filter that reported it and its reason:
// a file that cannot be created says so, not only Code::Fail.
TEST(GraphBuilder, AWriterThatCannotCreateItsFileGivesItsReason) {
    test::TempDir dir;
    const std::string path = make(dir, "t1.avi", "type=1 frames=3 date=2024-01-01T10:00:00");
    Graph g;
    GraphBuilder b(g);
    const auto file = OpenAviFile(b, path);
    ASSERT_TRUE(file) << b.Error();
    auto aviMux = b.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
    auto writer = b.Add(std::make_shared<FileWriterFilter>(), "File writer");
    ASSERT_EQ(writer->SetFileName((dir / "no-such-folder" / "out.avi").string()), Code::Ok);
    ASSERT_TRUE(b.Connect(*file->splitter->Outputs()[0], *aviMux->FreeInput()));
    ASSERT_TRUE(b.Connect(aviMux->Output(), writer->Input()));
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(10000, code, hr));
    g.Stop();
    EXPECT_EQ(code, EventCode::ErrorAbort);
    const Status e = g.LastError();
    EXPECT_EQ(e.code(), Code::Fail);
    EXPECT_EQ(g.LastErrorFilter(), "AVI Mux");
    EXPECT_NE(e.reason().find("no-such-folder"), std::string::npos) << e.reason();
    EXPECT_NE(e.reason().find("No such file or directory"), std::string::npos) << e.reason();
}

TEST(GraphBuilder, AFailureWithoutAReasonNamesTheFilterAndTheCode) {
    const Status e = Code::InvalidFileFormat;
    EXPECT_EQ(e.Message("AVI Splitter"),
              "AVI Splitter failed with VFW_E_INVALID_FILE_FORMAT (0x80040241)");
    EXPECT_EQ(e.Message(""), "a stage failed with VFW_E_INVALID_FILE_FORMAT (0x80040241)");
    EXPECT_EQ(Status(Code::InvalidFileFormat, "cannot read chunk 3").Message("AVI Splitter"),
              "cannot read chunk 3");
    EXPECT_EQ(Status{}.Message("AVI Splitter"), "");
}

}  // namespace
}  // namespace kelvor::media
