// The graph driven from several threads at once, as the preview (pause, run and seek from the
// UI thread while streaming) and the command worker (wait for completion, then stop) will drive
// it, on DV type 1 and type 2 files: no hang, the right frames after a complete run, and a clean
// run under ThreadSanitizer (the TSan step of ./kelvor test runs this program).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "core/avi/AviDemuxer.h"
#include "fixtures/DvFixture.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/Renderer.h"
#include "media/engine/SamplePool.h"
#include "support/TempDir.h"
#include "support/Waits.h"

namespace kelvor::media {
namespace {

using namespace std::chrono_literals;

// Generous for a loaded machine under ThreadSanitizer; a step normally takes milliseconds.
constexpr auto kStepLimit = 60s;
constexpr auto kWait = 30s;

struct DvFile {
    std::string path;
    int frames = 0;
    std::int64_t soundBytes = 0;  // of the first stereo pair
};

DvFile makeFile(const test::TempDir& dir, const std::string& name, const std::string& description) {
    std::string error;
    const auto file = fixtures::ParseDescription(description, error);
    EXPECT_TRUE(file) << error;
    DvFile out;
    out.path = dir.file(name);
    EXPECT_TRUE(fixtures::WriteDvFile(out.path, *file, error)) << error;
    for (const fixtures::ExpectedFrame& f : fixtures::ExpectedFrames(*file)) {
        ++out.frames;
        out.soundBytes += static_cast<std::int64_t>(f.Samples) * 4;
    }
    return out;
}

// A graph reading a DV file: source, AVI splitter and, for type 1, the DV splitter. With the
// video and the first sound stream both connected, they deliver through queue threads.
struct DvSource {
    Graph graph;
    std::shared_ptr<FileSourceFilter> source = std::make_shared<FileSourceFilter>();
    std::shared_ptr<AviSplitterFilter> splitter = std::make_shared<AviSplitterFilter>();
    std::shared_ptr<DvSplitterFilter> dvSplitter = std::make_shared<DvSplitterFilter>();

    // The pins giving the video and the first sound stream.
    void open(const DvFile& file, Pin*& video, Pin*& sound) {
        ASSERT_EQ(graph.AddFilter(source, "source"), Code::Ok);
        ASSERT_EQ(graph.AddFilter(splitter, "avisplitter"), Code::Ok);
        ASSERT_EQ(source->Load(file.path), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(source->Output(), splitter->Input()), Code::Ok);
        video = splitter->GetOutputPin(0);
        sound = splitter->GetOutputPin(1);
        if (splitter->StreamCount() == 1) {
            ASSERT_EQ(graph.AddFilter(dvSplitter, "dvsplitter"), Code::Ok);
            ASSERT_EQ(graph.ConnectDirect(*video, dvSplitter->Input()), Code::Ok);
            video = dvSplitter->GetOutputPin(0);
            sound = dvSplitter->GetOutputPin(1);
        }
        ASSERT_TRUE(video && sound);
    }
};

// A null renderer on the video and one on the sound, counting what they are shown.
struct DvGraph : DvSource {
    std::shared_ptr<NullRenderer> video = std::make_shared<NullRenderer>();
    std::shared_ptr<NullRenderer> sound = std::make_shared<NullRenderer>();

    test::Counter pictures;
    std::atomic<std::int64_t> soundBytes{0};
    std::atomic<std::int64_t> lastPicture{-1};  // frame number
    std::mutex idsMutex;                        // guards streamingIds
    std::set<std::thread::id> streamingIds;

    void build(const DvFile& file) {
        Pin *v = nullptr, *a = nullptr;
        ASSERT_NO_FATAL_FAILURE(open(file, v, a));
        ASSERT_EQ(graph.AddFilter(video, "video"), Code::Ok);
        ASSERT_EQ(graph.AddFilter(sound, "sound"), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(*v, video->Input()), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(*a, sound->Input()), Code::Ok);
        graph.SetTimeFormat(TimeFormat::Frame);
        video->SetSampleCallback([this](const MediaSample& s) {
            std::int64_t first = 0, end = 0;
            if (s.GetMediaTime(first, end).ok())
                lastPicture = first;
            noteThread();
            pictures.Add();
        });
        sound->SetSampleCallback([this](const MediaSample& s) {
            noteThread();
            soundBytes += s.GetActualDataLength();
        });
    }
    ~DvGraph() { graph.Stop(); }  // before the counters the renderers' callbacks write go

    void noteThread() {
        std::lock_guard lock(idsMutex);
        streamingIds.insert(std::this_thread::get_id());
    }
    bool streamedOn(std::thread::id id) {
        std::lock_guard lock(idsMutex);
        return streamingIds.count(id) > 0;
    }
    void resetCounts() {
        pictures.Reset();
        soundBytes = 0;
        lastPicture = -1;
    }

    // From the start to the end, undisturbed: every frame and all the sound.
    void expectCompleteRun(const DvFile& file) {
        ASSERT_EQ(graph.Stop(), Code::Ok);
        resetCounts();
        ASSERT_EQ(graph.SetPositions(0, -1), Code::Ok);
        ASSERT_EQ(graph.Run(), Code::Ok);
        int code = 0;
        Status hr = Code::Fail;
        ASSERT_TRUE(graph.WaitForCompletion(static_cast<int>(kWait / 1ms), code, hr));
        EXPECT_EQ(code, EventCode::Complete);
        EXPECT_EQ(hr, Code::Ok);
        EXPECT_EQ(pictures.Value(), file.frames);
        EXPECT_EQ(soundBytes.load(), file.soundBytes);
        EXPECT_EQ(lastPicture.load(), file.frames - 1);
        EXPECT_EQ(graph.Stop(), Code::Ok);
    }
};

class GraphThreads : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override { file_ = makeFile(dir_, "clip.avi", GetParam()); }

    test::TempDir dir_;
    DvFile file_;
};

const char* const kType2Pal = "type=2 standard=pal audio=48k frames=25 date=2004-07-14T10:00:00";
const char* const kType1Ntsc =
    "type=1 standard=ntsc audio=32k frames=30 date=2004-07-14T10:00:00 picture=moving";

INSTANTIATE_TEST_SUITE_P(DvTypes, GraphThreads, ::testing::Values(kType2Pal, kType1Ntsc),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Type2Pal" : "Type1Ntsc");
                         });

// One thread keeps running the graph while another stops, pauses, runs and seeks it at random
// a few hundred times; then an undisturbed run still shows every frame.
TEST_P(GraphThreads, StopPauseAndSeekFromAnotherThreadWhileRunning) {
    DvGraph g;
    ASSERT_NO_FATAL_FAILURE(g.build(file_));
    test::Watchdog dog(kStepLimit);
    std::atomic<bool> done{false};
    std::thread other([&] {
        std::mt19937 random(20240714);
        for (int i = 0; i < 300; ++i) {
            switch (random() % 5) {
                case 0:
                    dog.Step("other: Stop");
                    EXPECT_EQ(g.graph.Stop(), Code::Ok);
                    break;
                case 1: {
                    dog.Step("other: Pause and wait for the first frame");
                    EXPECT_EQ(g.graph.Pause(), Code::Ok);
                    FilterState state;
                    EXPECT_EQ(g.graph.GetState(static_cast<int>(kWait / 1ms), state), Code::Ok);
                    break;
                }
                case 2:
                    dog.Step("other: Run");
                    EXPECT_EQ(g.graph.Run(), Code::Ok);
                    break;
                default: {
                    const auto frame = static_cast<std::int64_t>(random() % (file_.frames + 1));
                    dog.Step("other: seek to frame " + std::to_string(frame));
                    EXPECT_EQ(g.graph.SetPositions(frame, -1), Code::Ok);
                    break;
                }
            }
        }
        done = true;
    });
    while (!done) {
        dog.Step("main: Run and read the position");
        EXPECT_EQ(g.graph.Run(), Code::Ok);
        std::int64_t position = 0;
        EXPECT_EQ(g.graph.GetCurrentPosition(position), Code::Ok);
        EXPECT_GE(position, 0);
        EXPECT_LE(position, file_.frames);
        int code = 0;
        Status hr = Code::Ok;
        g.graph.WaitForCompletion(2, code, hr);  // a breath between calls, not a synchronisation
    }
    other.join();
    dog.Step("complete run");
    g.expectCompleteRun(file_);
}

// The preview's seeks: a paused graph shows exactly the frame at each new position and holds.
TEST_P(GraphThreads, PausedSeeksShowTheFrameAtTheNewPositionAndHold) {
    DvGraph g;
    ASSERT_NO_FATAL_FAILURE(g.build(file_));
    g.graph.SetPaced(true);
    test::Watchdog dog(kStepLimit);
    std::mt19937 random(7);
    ASSERT_EQ(g.graph.Pause(), Code::Ok);
    FilterState state;
    ASSERT_EQ(g.graph.GetState(static_cast<int>(kWait / 1ms), state), Code::Ok);
    // Pictures seen while the graph held still; unknown after a run, whose pause shows the next
    // picture whenever it comes.
    long held = g.pictures.Value();
    bool holding = true;
    for (int i = 0; i < 200; ++i) {
        const auto frame = static_cast<std::int64_t>(random() % file_.frames);
        dog.Step("seek to frame " + std::to_string(frame));
        ASSERT_EQ(g.graph.SetPositions(frame, -1), Code::Ok);
        ASSERT_EQ(g.graph.GetState(static_cast<int>(kWait / 1ms), state), Code::Ok);
        ASSERT_EQ(state, FilterState::Paused);
        EXPECT_EQ(g.lastPicture.load(), frame);
        // The renderer held its picture until the seek flushed it and now holds the new one;
        // no time needs to pass to see that, as another picture could only come from a
        // released renderer.
        const long now = g.pictures.Value();
        if (holding) {
            EXPECT_EQ(now, held + 1) << "frame " << frame;
        }
        held = now;
        holding = true;
        if (i % 10 == 0 && frame + 1 < file_.frames) {
            // A moment of paced running now and then, as a user scrubbing and playing.
            dog.Step("run from frame " + std::to_string(frame) + " and pause again");
            ASSERT_EQ(g.graph.Run(), Code::Ok);
            ASSERT_TRUE(g.pictures.WaitFor(now + 1, kWait));
            ASSERT_EQ(g.graph.Pause(), Code::Ok);
            holding = false;
        }
    }
    dog.Step("complete run");
    g.graph.SetPaced(false);
    g.expectCompleteRun(file_);
}

// The command worker's pattern through the callback: completion arrives on the graph's event
// thread (never a streaming thread), and stopping the graph from there neither hangs nor
// loses a frame.
TEST_P(GraphThreads, CompletionCallbackStopsTheGraph) {
    DvGraph g;
    ASSERT_NO_FATAL_FAILURE(g.build(file_));
    test::Counter stopped;
    std::atomic<int> codes{0};
    std::mutex idMutex;  // guards callbackId
    std::thread::id callbackId;
    g.graph.SetCompletionCallback([&](int code, Status) {
        {
            std::lock_guard lock(idMutex);
            callbackId = std::this_thread::get_id();
        }
        codes += code == EventCode::Complete ? 1 : 100;
        g.graph.Stop();
        stopped.Add();
    });
    test::Watchdog dog(kStepLimit);
    constexpr int kRuns = 40;
    for (int i = 0; i < kRuns; ++i) {
        dog.Step("run " + std::to_string(i) + " to its end");
        g.resetCounts();
        ASSERT_EQ(g.graph.Run(), Code::Ok);
        ASSERT_TRUE(stopped.WaitFor(i + 1, kWait)) << "no completion in run " << i;
        FilterState state;
        ASSERT_EQ(g.graph.GetState(0, state), Code::Ok);
        EXPECT_EQ(state, FilterState::Stopped);
        EXPECT_EQ(g.pictures.Value(), file_.frames);
        EXPECT_EQ(g.soundBytes.load(), file_.soundBytes);
    }
    EXPECT_EQ(codes.load(), kRuns);
    std::lock_guard lock(idMutex);
    EXPECT_FALSE(g.streamedOn(callbackId));
}

// A worker waiting for completion wakes as soon as another thread stops the graph (paused on
// its first frame here, so it cannot complete first).
TEST_P(GraphThreads, StopFromAnotherThreadWakesAWaiterForCompletion) {
    DvGraph g;
    ASSERT_NO_FATAL_FAILURE(g.build(file_));
    for (int i = 0; i < 20; ++i) {
        g.resetCounts();
        ASSERT_EQ(g.graph.Pause(), Code::Ok);
        auto waiter = std::async(std::launch::async, [&] {
            int code = 0;
            Status hr = Code::Ok;
            return g.graph.WaitForCompletion(static_cast<int>(kWait / 1ms), code, hr);
        });
        ASSERT_TRUE(g.pictures.WaitFor(1, kWait));
        EXPECT_EQ(g.graph.Stop(), Code::Ok);
        ASSERT_EQ(waiter.wait_for(kWait), std::future_status::ready) << "the waiter hangs";
        EXPECT_FALSE(waiter.get());
        EXPECT_EQ(g.pictures.Value(), 1);
    }
}

// The callback may drop the last owner of its graph: the graph goes without joining the
// thread the callback runs on.
TEST_P(GraphThreads, CompletionCallbackMayDestroyTheGraph) {
    for (int i = 0; i < 10; ++i) {
        auto g = std::make_unique<DvGraph>();
        ASSERT_NO_FATAL_FAILURE(g->build(file_));
        test::Counter gone;
        g->graph.SetCompletionCallback([&](int, Status) {
            g.reset();
            gone.Add();
        });
        ASSERT_EQ(g->graph.Run(), Code::Ok);
        ASSERT_TRUE(gone.WaitFor(1, kWait));
        EXPECT_EQ(g, nullptr);
    }
}

// The DV muxer (the sound back into the frames, video and sound meeting from two queue
// threads), AVI mux and file writer: the stages that pair streams under their own locks.
struct WriterGraph : DvSource {
    std::shared_ptr<DvMuxerFilter> dvmux = std::make_shared<DvMuxerFilter>();
    std::shared_ptr<AviMuxFilter> aviMux = std::make_shared<AviMuxFilter>();
    std::shared_ptr<FileWriterFilter> writer = std::make_shared<FileWriterFilter>();

    void build(const DvFile& file, const std::string& out) {
        Pin *v = nullptr, *a = nullptr;
        ASSERT_NO_FATAL_FAILURE(open(file, v, a));
        for (auto [f, n] : std::initializer_list<std::pair<FilterPtr, const char*>>{
                 {dvmux, "dvmux"}, {aviMux, "avimux"}, {writer, "writer"}})
            ASSERT_EQ(graph.AddFilter(f, n), Code::Ok);
        ASSERT_EQ(writer->SetFileName(out), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(*v, *dvmux->GetInputPin(0)), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(*a, *dvmux->GetInputPin(1)), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(*dvmux->GetOutputPin(0), *aviMux->GetInputPin(0)), Code::Ok);
        ASSERT_EQ(graph.ConnectDirect(aviMux->Output(), writer->Input()), Code::Ok);
    }
};

std::uint64_t framesIn(const std::string& path) {
    avi::AviDemuxer d;
    if (!d.open(path) || d.videoStream() < 0)
        return 0;
    return d.chunkCount(static_cast<std::size_t>(d.videoStream()));
}

// Stopped from another thread at any moment, the writer leaves a whole file with the frames
// it wrote; an undisturbed run writes them all.
TEST_P(GraphThreads, StoppingAWriterMidRunKeepsTheFramesWritten) {
    WriterGraph g;
    const std::string out = dir_.file("out.avi");
    ASSERT_NO_FATAL_FAILURE(g.build(file_, out));
    test::Watchdog dog(kStepLimit);
    std::mt19937 random(11);
    for (int i = 0; i < 30; ++i) {
        dog.Step("run " + std::to_string(i) + " and stop it from another thread");
        std::filesystem::remove(out);  // a run stopped before its first frame writes no file
        ASSERT_EQ(g.graph.Run(), Code::Ok);
        const auto after = static_cast<std::uint64_t>(random() % (file_.frames + 5));
        std::thread stopper([&] {
            // Waits for a few frames written, or the end, whichever comes first.
            int code = 0;
            Status hr = Code::Ok;
            while (g.aviMux->FramesWritten() < after && !g.graph.WaitForCompletion(1, code, hr)) {
            }
            EXPECT_EQ(g.graph.Stop(), Code::Ok);
        });
        stopper.join();
        EXPECT_EQ(framesIn(out), g.aviMux->FramesWritten()) << "run " << i;
    }
    dog.Step("complete run");
    ASSERT_EQ(g.graph.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Fail;
    ASSERT_TRUE(g.graph.WaitForCompletion(static_cast<int>(kWait / 1ms), code, hr));
    EXPECT_EQ(code, EventCode::Complete);
    EXPECT_EQ(g.graph.Stop(), Code::Ok);
    EXPECT_EQ(framesIn(out), static_cast<std::uint64_t>(file_.frames));
}

// Buffers come back from whichever thread lets them go last, reset for their next use, and
// the free list stays within its capacity.
TEST(SamplePool, BuffersComeBackFromAnyThreadResetAndBounded) {
    SamplePool pool(2);
    SamplePtr a = pool.Get(100);
    MediaSample* buffer = a.get();
    a->SetActualDataLength(50);
    a->SetTime(1, 2);
    a->SetPreroll(true);
    a->SetDiscontinuity(true);
    a->SetSyncPoint(false);
    a->SetMediaType(MediaType{});
    std::thread([s = std::move(a)]() mutable {
        s->GetPointer()[0] = 42;
        s.reset();
    }).join();
    EXPECT_EQ(pool.FreeCount(), 1u);
    SamplePtr b = pool.Get(200);
    EXPECT_EQ(b.get(), buffer);
    EXPECT_GE(b->GetSize(), 200u);
    EXPECT_EQ(b->GetActualDataLength(), 0);
    StreamTime t0 = 0, t1 = 0;
    EXPECT_EQ(b->GetTime(t0, t1), Code::Fail);
    EXPECT_FALSE(b->IsPreroll());
    EXPECT_FALSE(b->IsDiscontinuity());
    EXPECT_TRUE(b->IsSyncPoint());
    EXPECT_FALSE(b->GetMediaType().has_value());

    std::vector<SamplePtr> many;
    for (int i = 0; i < 5; ++i)
        many.push_back(pool.Get(10));
    many.clear();
    EXPECT_EQ(pool.FreeCount(), 2u);

    // Two threads taking and giving back at once, each sample checked for a stranger's bytes.
    std::atomic<int> mixed{0};
    auto worker = [&](std::uint8_t mark) {
        for (int i = 0; i < 2000; ++i) {
            SamplePtr s = pool.Get(64);
            std::fill_n(s->GetPointer(), 64, mark);
            s->SetActualDataLength(64);
            for (std::uint8_t byte : s->data())
                mixed += byte != mark;
        }
    };
    std::thread first(worker, std::uint8_t{1}), second(worker, std::uint8_t{2});
    first.join();
    second.join();
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_LE(pool.FreeCount(), 2u);

    // A sample outliving its pool is simply freed.
    SamplePtr orphan;
    {
        SamplePool gone;
        orphan = gone.Get(8);
    }
    orphan.reset();
}

}  // namespace
}  // namespace kelvor::media
