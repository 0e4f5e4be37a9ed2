#include "media/graphs/ProbeGraph.h"

#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/Renderer.h"
#include "media/filters/DateDetectorFilter.h"

namespace kelvor::media {
namespace {

constexpr int kPauseWaitMs = 1000;
// About a second of video: a file that starts with more dropouts than this shows no datecode
// rather than being read far into.
constexpr int kLeadingDamagedFrames = 30;

// The AVI splitter offering its first video stream as "dvsd": the second chance of a file whose
// DV stream carries another codec code, without touching the file.
class DvsdAviSplitter : public AviSplitterFilter {
  public:
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override {
        Status hr = AviSplitterFilter::GetMediaType(pin, position, mt);
        if (hr != Code::Ok || mt.majorType != MajorType::Video)
            return hr;
        if (!first_)
            first_ = &pin;
        if (first_ != &pin)
            return hr;
        if (auto vih = mt.videoInfo()) {
            vih->bmiHeader.biCompression = Subtype::Dvsd;
            const std::uint32_t sampleSize = mt.sampleSize;
            mt = MakeVideoType(Subtype::Dvsd, *vih);
            mt.sampleSize = sampleSize;
        }
        mt.subtype = Subtype::Dvsd;
        return hr;
    }

  private:
    const Pin* first_ = nullptr;
};

// The first video and the first audio format win; a block shorter than its structure is ignored.
void Classify(files::ProbeResult& r, const MediaType& mt, std::int64_t duration) {
    if (mt.majorType == MajorType::Video && !r.VideoFound) {
        if (const auto v = ParseVideoInfoHeader(mt.format)) {
            r.VideoFormat = {v->dwBitRate, v->AvgTimePerFrame, v->bmiHeader};
            r.VideoFound = true;
            r.VideoDuration = duration;
        }
    } else if (mt.majorType == MajorType::Audio && !r.AudioFound) {
        if (mt.format.size() >= WaveFormatEx::kSize) {
            r.AudioFormat = *ParseWaveFormatEx(mt.format);
            r.AudioFound = true;
            r.AudioDuration = duration;
        }
    }
}

void PauseAndWait(Graph& graph) {
    graph.Pause();
    FilterState state;
    graph.GetState(kPauseWaitMs, state);  // not checked: the probe goes on with what came
}

}  // namespace

ProbeGraph::ProbeGraph() : detector_(std::make_shared<DateDetectorFilter>()) {
    // A file whose first frames are dropouts still shows the datecode of its first good frame.
    detector_->SetHoldBackLeadingDamaged(kLeadingDamagedFrames);
}

ProbeGraph::~ProbeGraph() = default;

bool ProbeGraph::ProbeFile(const std::string& fileName, bool asDvsd) {
    // Every field is cleared, not only the three found flags: a file the source refuses must not
    // show the detector fields of the file probed before it.
    result_ = files::ProbeResult{};
    // A fresh graph per probe; it stops and empties itself when it goes, which also takes the
    // shared detector out of it.
    Graph graph;
    GraphBuilder b(graph);
    try {
        const auto opened =
            OpenAviFile(b, fileName, asDvsd ? std::make_shared<DvsdAviSplitter>() : nullptr);
        auto dvSplitter = b.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
        auto nullRenderer = b.Add(std::make_shared<NullRenderer>(), "Null Renderer");
        auto detector = b.Add(detector_, "SceneDetect");
        if (!opened || !dvSplitter || !nullRenderer || !detector) {
            result_.Error = b.Error();
            return false;
        }
        result_.PassedDetector = false;
        result_.StreamCount = opened->splitter->StreamCount();

        InputPin& rendererIn = nullRenderer->Input();
        for (OutputPin* p : opened->splitter->Outputs()) {
            const bool passed = b.Connect(*p, detector->Input());
            if (passed) {
                result_.PassedDetector = true;
                b.Connect(detector->Output(), rendererIn);
            } else {
                b.Connect(*p, rendererIn);
            }
            PauseAndWait(graph);
            MediaType mt;
            p->ConnectionMediaType(mt);
            if (passed) {
                // Read before stopping: stopping the detector resets it for the next run.
                // A stream that delivered nothing leaves the detector's record of an earlier file.
                const scenes::FrameInfo fi = detector->Detector().SampleCount() > 0
                                                 ? detector->Detector().Current()
                                                 : scenes::FrameInfo{};
                result_.DatecodeValid = fi.DateValid;
                result_.ProbeDatecode = fi.Date;
                result_.TimecodeValid = fi.TimecodeValid;
                result_.ProbeTimecode = fi.Timecode;
                result_.ProbeWide = fi.Widescreen == 1;
                result_.ProbeAspectFound = fi.AspectFound;
            }
            graph.Stop();
            std::int64_t duration = 0;
            graph.GetDuration(duration);
            b.Disconnect(rendererIn);
            b.Disconnect(detector->Output());
            b.Disconnect(detector->Input());
            b.Disconnect(*p);

            if (mt.majorType != MajorType::Interleaved || result_.InterleavedFound) {
                Classify(result_, mt, duration);
                continue;
            }
            if (const auto info = ParseDvInfo(mt.format)) {
                result_.DVInfo = *info;
                result_.InterleavedFound = true;
                result_.VideoDuration = result_.AudioDuration = duration;
            }
            if (!b.Connect(*p, dvSplitter->Input())) {
                result_.Error = fileName + ": the DV stream cannot be split";
                return false;
            }
            for (OutputPin* q : dvSplitter->OutputPins()) {
                if (!b.Connect(*q, rendererIn))
                    continue;
                PauseAndWait(graph);
                MediaType qt;
                q->ConnectionMediaType(qt);
                graph.Stop();
                Classify(result_, qt, duration);
                b.Disconnect(*q);
            }
            b.Disconnect(*p);
        }
        // DV outside AVI has no stream header with the aspect; the container may say it.
        if (result_.PassedDetector && !result_.ProbeAspectFound)
            result_.ContainerAspect = opened->splitter->ContainerAspect();
        return true;
    } catch (const std::exception& e) {
        // The list must go on with the next file; the reason stays with this one.
        result_.Error = fileName + ": " + e.what();
        return false;
    }
}

}  // namespace kelvor::media
