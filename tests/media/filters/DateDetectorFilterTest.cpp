#include "media/filters/DateDetectorFilter.h"

#include <gtest/gtest.h>

#include "core/scenes/DetectorTestFrames.h"
#include "media/engine/Graph.h"
#include "media/engine/Renderer.h"
#include "media/filters/FilterTestSupport.h"

namespace kelvor::media {
namespace {

using scenes::test::addFrames;
using scenes::test::FrameSpec;

using FrameSource = test::SampleSource;

MediaType dvType2() {
    MediaType mt;
    mt.majorType = MajorType::Video;
    mt.subtype = Subtype::Dvsd;
    return mt;
}

TEST(DateDetectorFilter, IdentityAndAcceptedTypes) {
    auto detector = std::make_shared<DateDetectorFilter>();
    EXPECT_EQ(detector->DisplayName(), "Quennel dv_sceneDetect");
    EXPECT_EQ(detector->ClassId(), "{E87CC8D6-571D-4927-AC63-AEE089DF6B39}");
    struct Case {
        FourCC major;
        FourCC sub;
        Status expected;
    } cases[] = {
        {MajorType::Interleaved, Subtype::Dvsd, Code::Ok},
        {MajorType::Interleaved, MakeFourCC("dvhd"), Code::Ok},
        {MajorType::Video, Subtype::Dvsd, Code::Ok},
        {MajorType::Video, Subtype::Rgb24, Code::TypeNotAccepted},
        {MajorType::Audio, Subtype::Pcm, Code::TypeNotAccepted},
    };
    for (const Case& c : cases) {
        MediaType mt;
        mt.majorType = c.major;
        mt.subtype = c.sub;
        Graph graph;
        auto source = std::make_shared<FrameSource>(mt, std::vector<std::vector<std::uint8_t>>{});
        auto filter = std::make_shared<DateDetectorFilter>();
        ASSERT_EQ(graph.AddFilter(source, "source"), Code::Ok);
        ASSERT_EQ(graph.AddFilter(filter, "dv_SceneDetect"), Code::Ok);
        EXPECT_EQ(graph.ConnectDirect(*source->GetPin(0), *filter->GetPin(0), &mt), c.expected)
            << FourCCText(c.major) << " " << FourCCText(c.sub);
    }
}

TEST(DateDetectorFilter, StreamsFramesThroughTheDetectorAndEndsTheLastSceneAtStop) {
    std::vector<FrameSpec> specs;
    addFrames(specs, 20, [](int) { return FrameSpec().date(0); });
    addFrames(specs, 20, [](int) { return FrameSpec().date(60); });
    std::vector<std::vector<std::uint8_t>> samples;
    for (const FrameSpec& f : specs)
        samples.push_back(scenes::test::makeFrame(f));
    // A damaged chunk: not a whole DV frame, but still frame 5 of the timeline.
    samples.insert(samples.begin() + 5, std::vector<std::uint8_t>(100, 0));

    Graph graph;
    auto source = std::make_shared<FrameSource>(dvType2(), samples);
    auto filter = std::make_shared<DateDetectorFilter>();
    auto sink = std::make_shared<NullRenderer>();
    std::atomic<int> passed{0};
    sink->SetSampleCallback([&](const MediaSample&) { ++passed; });
    ASSERT_EQ(graph.AddFilter(source, "source"), Code::Ok);
    ASSERT_EQ(graph.AddFilter(filter, "dv_SceneDetect"), Code::Ok);
    ASSERT_EQ(graph.AddFilter(sink, "null"), Code::Ok);
    ASSERT_EQ(graph.ConnectDirect(*source->GetPin(0), *filter->GetPin(0)), Code::Ok);
    ASSERT_EQ(graph.ConnectDirect(*filter->GetPin(1), *sink->GetPin(0)), Code::Ok);

    std::vector<std::pair<int, int>> ends;
    int streamEnds = 0;
    auto& d = filter->Detector();
    d.OnSceneEnd = [&](const scenes::FrameInfo& s, const scenes::FrameInfo& r) {
        ends.emplace_back(s.FrameNumber, r.FrameNumber);
    };
    d.OnStreamEnd = [&] { ++streamEnds; };
    d.SetTrigger(0);
    ASSERT_EQ(graph.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(graph.WaitForCompletion(10000, code, hr));
    EXPECT_EQ(code, EventCode::Complete);
    EXPECT_EQ(d.SampleCount(), 41);
    EXPECT_EQ(graph.Stop(), Code::Ok);
    EXPECT_EQ(passed.load(), 41);  // every sample goes on, DV-sized or not
    EXPECT_EQ(ends, (std::vector<std::pair<int, int>>{{0, 21}, {21, 41}}));
    EXPECT_EQ(streamEnds, 1);
    // Stop made the detector ready for the next run.
    EXPECT_EQ(d.Current().FrameNumber, 0);
    EXPECT_EQ(d.SceneStart(), scenes::FrameInfo{});
}

TEST(DateDetectorFilter, EveryDvFrameLeavesWithItsOwnRecordAndHeaderBlocks) {
    std::vector<std::vector<std::uint8_t>> samples;
    for (int i = 0; i < 6; ++i)
        samples.push_back(scenes::test::makeFrame(
            FrameSpec().date(i).timecode({0, 0, 0, static_cast<std::uint8_t>(i)})));
    samples.insert(samples.begin() + 2, std::vector<std::uint8_t>(100, 0));
    Graph graph;
    auto source = std::make_shared<FrameSource>(dvType2(), samples);
    auto filter = std::make_shared<DateDetectorFilter>();
    auto sink = std::make_shared<NullRenderer>();
    std::vector<std::shared_ptr<const DvSourceFrame>> seen;
    sink->SetSampleCallback([&](const MediaSample& s) { seen.push_back(DvSourceFrame::Of(s)); });
    test::Chain(graph, {source, filter, sink});
    EXPECT_EQ(filter->LatestFrame(), nullptr);
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[2], nullptr);  // not a DV frame
    for (int i = 0; i < 6; ++i) {
        // The damaged chunk keeps its place in the timeline: later frames count it.
        const int frame = i < 2 ? i : i + 1;
        const auto& facts = seen[static_cast<std::size_t>(frame)];
        ASSERT_NE(facts, nullptr);
        EXPECT_EQ(facts->Info.FrameNumber, frame);
        EXPECT_EQ(facts->Info.Timecode.Frames, i);
        EXPECT_EQ(facts->Sequences, dv::kSequences625);
        const auto& bytes = samples[static_cast<std::size_t>(frame)];
        EXPECT_TRUE(std::equal(facts->Blocks[11].Bytes.begin(), facts->Blocks[11].Bytes.end(),
                               bytes.begin() + 11 * 12000));
    }
    EXPECT_EQ(filter->LatestFrame(), seen.back());
}

TEST(DateDetectorFilter, WithoutCarryingFramesTheDetectorStillCountsEveryFrame) {
    std::vector<std::vector<std::uint8_t>> samples;
    for (int i = 0; i < 3; ++i)
        samples.push_back(scenes::test::makeFrame(FrameSpec().date(i)));
    Graph graph;
    auto source = std::make_shared<FrameSource>(dvType2(), samples);
    auto filter = std::make_shared<DateDetectorFilter>();
    filter->SetCarryFrames(false);
    auto sink = std::make_shared<NullRenderer>();
    int passed = 0, carried = 0;
    sink->SetSampleCallback([&](const MediaSample& s) {
        ++passed;
        carried += DvSourceFrame::Of(s) != nullptr;
    });
    test::Chain(graph, {source, filter, sink});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    EXPECT_EQ(passed, 3);
    EXPECT_EQ(carried, 0);
    EXPECT_EQ(filter->LatestFrame(), nullptr);
    EXPECT_EQ(filter->Detector().SampleCount(), 3);
}

}  // namespace
}  // namespace kelvor::media
