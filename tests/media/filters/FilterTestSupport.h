// Small graphs for the filter tests: a source that delivers ready-made samples on a thread of its
// own, a chain builder, and a run to the end of the stream.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"
#include "media/engine/Graph.h"
#include "media/engine/Renderer.h"
#include "support/TempDir.h"

namespace kelvor::media::test {

// Delivers its samples (with frame numbers from firstFrame as media times, unless firstFrame is
// negative, and 40 ms stream times), then the end of the stream.
class SampleSource : public BaseFilter {
  public:
    SampleSource(MediaType type, std::vector<std::vector<std::uint8_t>> samples,
                 std::int64_t firstFrame = 0)
        : BaseFilter("sample source", "{00000000-0000-0000-0000-000000000001}"),
          type_(std::move(type)),
          samples_(std::move(samples)),
          firstFrame_(firstFrame),
          out_(&AddOutputPin("Output")) {}
    ~SampleSource() override { StopThreads(); }

    OutputPin& Output() const { return *out_; }

    Status GetMediaType(const Pin&, int position, MediaType& mt) override {
        if (position > 0)
            return Code::NoMoreItems;
        mt = type_;
        return Code::Ok;
    }
    Status DecideBufferSize(const Pin&, AllocatorProperties& props) override {
        std::size_t most = 0;
        for (const auto& s : samples_)
            most = std::max(most, s.size());
        props.BufferCount = 4;
        props.BufferSize = static_cast<std::int32_t>(most);
        return Code::Ok;
    }
    void StartThreads() override {
        thread_ = std::thread([this] {
            std::int64_t n = 0;
            for (const auto& bytes : samples_) {
                SamplePtr s = out_->GetDeliveryBuffer();
                s->assign(bytes);
                s->SetTime(n * 400000, (n + 1) * 400000);
                if (firstFrame_ >= 0)
                    s->SetMediaTime(firstFrame_ + n, firstFrame_ + n + 1);
                ++n;
                if (out_->Deliver(s) != Code::Ok)
                    return;
            }
            out_->DeliverEndOfStream();
        });
    }
    void StopThreads() override {
        if (thread_.joinable())
            thread_.join();
    }

  private:
    MediaType type_;
    std::vector<std::vector<std::uint8_t>> samples_;
    std::int64_t firstFrame_;
    OutputPin* out_;
    std::thread thread_;
};

// Adds the filters under numbered names and joins each one's first output to the next one's
// first input.
inline void Chain(Graph& graph, const std::vector<FilterPtr>& filters) {
    for (std::size_t i = 0; i < filters.size(); ++i)
        ASSERT_EQ(graph.AddFilter(filters[i], "f" + std::to_string(i)), Code::Ok);
    for (std::size_t i = 0; i + 1 < filters.size(); ++i)
        ASSERT_EQ(
            graph.ConnectDirect(*filters[i]->GetOutputPin(0), *filters[i + 1]->GetInputPin(0)),
            Code::Ok)
            << "between " << filters[i]->DisplayName() << " and " << filters[i + 1]->DisplayName();
}

// Runs the graph to its end and stops it; the completion code (EventCode::Complete when all went
// well).
inline int RunToEnd(Graph& graph, Status* stopResult = nullptr) {
    EXPECT_EQ(graph.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    EXPECT_TRUE(graph.WaitForCompletion(60000, code, hr));
    const Status stopped = graph.Stop();
    if (stopResult)
        *stopResult = stopped;
    return code;
}

// A null renderer that keeps a copy of every sample it is shown.
struct Collector {
    std::shared_ptr<NullRenderer> renderer = std::make_shared<NullRenderer>();
    std::shared_ptr<std::vector<std::vector<std::uint8_t>>> samples =
        std::make_shared<std::vector<std::vector<std::uint8_t>>>();
    Collector() {
        renderer->SetSampleCallback([s = samples](const MediaSample& m) {
            s->emplace_back(m.data().begin(), m.data().end());
        });
    }
};

// A pin's type check, as the graph asks it when it connects.
inline Status CheckType(BaseFilter& filter, const Pin& pin, const MediaType& mt) {
    return filter.CheckMediaType(pin, mt);
}

// The DV frames of a test file made from its description (see fixtures/DvFixture.h).
inline std::vector<std::vector<std::uint8_t>> DvFramesFor(const std::string& description) {
    kelvor::test::TempDir dir;
    const std::string path = (dir / "in.avi").string();
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
    std::vector<std::vector<std::uint8_t>> frames;
    avi::AviDemuxer d;
    if (!d.open(path) || d.videoStream() < 0)
        return frames;
    const auto v = static_cast<std::size_t>(d.videoStream());
    for (std::uint64_t i = 0; i < d.chunkCount(v); ++i) {
        std::vector<std::uint8_t> buf(dv::kFrameSize625);
        const auto n = d.readChunk(v, i, buf);
        if (!n)
            break;
        buf.resize(*n);
        frames.push_back(std::move(buf));
    }
    return frames;
}

inline MediaType DvVideoType() {
    return MakeVideoType(Subtype::Dvsd, MakeDvsdInfo(true));
}

inline MediaType Rgb24Type(int width, int height) {
    return MakeVideoType(Subtype::Rgb24, MakeRgb24Info(width, height, 400000));
}

}  // namespace kelvor::media::test
