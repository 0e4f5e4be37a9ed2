#include "media/graphs/TdmList.h"

#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/Renderer.h"
#include "media/filters/Tdv_sceneDetect.h"

namespace kelvor::media {
namespace {

constexpr int kPauseWaitMs = 1000;

// The AVI splitter offering its first video stream as "dvsd": the second chance of a file whose
// DV stream carries another codec code, without touching the file.
class DvsdAviSplitter : public AviSplitterFilter {
  public:
    HRESULT GetMediaType(const Pin& pin, int position, MediaType& mt) override {
        HRESULT hr = AviSplitterFilter::GetMediaType(pin, position, mt);
        if (hr != S_OK || mt.majorType != MEDIATYPE_Video)
            return hr;
        if (!first_)
            first_ = &pin;
        if (first_ != &pin)
            return hr;
        if (auto vih = mt.videoInfo()) {
            vih->bmiHeader.biCompression = MEDIASUBTYPE_dvsd;
            const std::uint32_t sampleSize = mt.sampleSize;
            mt = MakeVideoType(MEDIASUBTYPE_dvsd, *vih);
            mt.sampleSize = sampleSize;
        }
        mt.subtype = MEDIASUBTYPE_dvsd;
        mt.temporalCompression = false;
        return hr;
    }

  private:
    const Pin* first_ = nullptr;
};

// The first video and the first audio format win; a block shorter than its structure is ignored.
void Classify(files::ProbeResult& r, const MediaType& mt, std::int64_t duration) {
    if (mt.majorType == MEDIATYPE_Video && !r.VideoFound) {
        if (const auto v = ParseVideoInfoHeader(mt.format)) {
            r.VideoFormat = {v->dwBitRate, v->AvgTimePerFrame, v->bmiHeader};
            r.VideoFound = true;
            r.VideoDuration = duration;
        }
    } else if (mt.majorType == MEDIATYPE_Audio && !r.AudioFound) {
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

TdmList::TdmList() : detector_(std::make_shared<Tdv_sceneDetect>()) {}

TdmList::~TdmList() = default;

bool TdmList::ProbeFile(const std::string& fileName, bool asDvsd) {
    // Every field is cleared, not only the three found flags: a file the source refuses must not
    // show the detector fields of the file probed before it.
    result_ = files::ProbeResult{};
    bool ok = false;
    try {
        // A fresh graph per probe; it stops and empties itself when it goes.
        Graph graph;
        auto source = std::make_shared<FileSourceFilter>();
        std::shared_ptr<AviSplitterFilter> avisplitter =
            asDvsd ? std::make_shared<DvsdAviSplitter>() : std::make_shared<AviSplitterFilter>();
        auto dvsplitter = std::make_shared<DvSplitterFilter>();
        auto nullrender = std::make_shared<NullRenderer>();
        auto detector = detector_;
        graph.AddFilter(source, "File Source");
        graph.AddFilter(avisplitter, "AVI Splitter");
        graph.AddFilter(dvsplitter, "DV Splitter");
        graph.AddFilter(nullrender, "Null Renderer");
        graph.AddFilter(detector, "SceneDetect");
        const auto finish = [&](bool result) {
            graph.Stop();
            graph.RemoveAllFilters();
            return result;
        };

        if (source->Load(fileName) != S_OK)
            return finish(false);
        if (graph.ConnectDirect(source->Output(), avisplitter->Input()) != S_OK)
            return finish(false);
        result_.PassedDetector = false;
        result_.StreamCount = avisplitter->StreamCount();

        std::vector<Pin*> outputs;
        for (int i = 0; i < avisplitter->PinCount(); ++i) {
            Pin* p = avisplitter->GetPin(i);
            if (p && p->Direction() == PinDirection::Output)
                outputs.push_back(p);
        }
        InputPin& rendererIn = nullrender->Input();
        for (Pin* p : outputs) {
            bool passed = false;
            if (graph.ConnectDirect(*p, detector->Input()) == S_OK) {
                passed = true;
                result_.PassedDetector = true;
                graph.ConnectDirect(detector->Output(), rendererIn);
            } else {
                graph.ConnectDirect(*p, rendererIn);
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
            }
            graph.Stop();
            std::int64_t duration = 0;
            graph.GetDuration(duration);
            graph.Disconnect(rendererIn);
            graph.Disconnect(detector->Output());
            graph.Disconnect(detector->Input());
            graph.Disconnect(*p);

            if (mt.majorType == MEDIATYPE_Interleaved && !result_.InterleavedFound) {
                if (const auto info = ParseDvInfo(mt.format)) {
                    result_.DVInfo = *info;
                    result_.InterleavedFound = true;
                    result_.VideoDuration = result_.AudioDuration = duration;
                }
                if (graph.ConnectDirect(*p, dvsplitter->Input()) != S_OK)
                    return finish(false);
                std::vector<Pin*> dvOutputs;
                for (int i = 0; i < dvsplitter->PinCount(); ++i) {
                    Pin* q = dvsplitter->GetPin(i);
                    if (q && q->Direction() == PinDirection::Output)
                        dvOutputs.push_back(q);
                }
                for (Pin* q : dvOutputs) {
                    if (graph.ConnectDirect(*q, rendererIn) != S_OK)
                        continue;
                    PauseAndWait(graph);
                    MediaType qt;
                    q->ConnectionMediaType(qt);
                    graph.Stop();
                    Classify(result_, qt, duration);
                    graph.Disconnect(*q);
                    graph.Disconnect(rendererIn);
                }
                graph.Disconnect(*p);
            } else {
                Classify(result_, mt, duration);
            }
        }
        ok = finish(true);
    } catch (...) {
        ok = false;
    }
    return ok;
}

}  // namespace kelvor::media
