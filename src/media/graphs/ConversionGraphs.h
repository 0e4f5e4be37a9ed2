// The conversion graphs: the builders through which the program rewrites a video (DV type 1 and
// 2, PAL and NTSC, recompression into DV, datecode inlay, time shift, type 2 repair, sound into
// WAV, one file per scene) or plays it through the content detector. Each builder tears the last
// graph down, places the stages its graph needs, joins them and leaves the graph stopped; it
// never runs it. The caller then sets the program's filters (DV header restore and shift, inlay
// settings, detector callbacks), the sound rates (SetAudioRate), runs the graph free (unpaced)
// and waits for its completion, showing progress from ReadProgress.
//
// Everything works on a ConversionContext, which the conversion module owns: the graph (null
// while released), the program's own filters (created once, kept for the program's life, reused
// by every build), the stages of the last build under their holder names, and what the last
// build said (its progress source, or why it failed).
//
// Threads: the builders, SetAudioRate and ResetGraph run on the thread that drives the graph
// (the graph worker), while the graph is stopped. ReadProgress may be called from that thread
// while the graph runs. The program's filters run on the graph's streaming threads.
// Failure: a builder answers false at the failure points its description names, with the reason
// in context.Error; what it had built stays in the graph until the next build or release. Any
// other join that fails leaves that branch out and the build still succeeds (a conversion
// without sound when the sound cannot be brought to the muxer).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/files/DatePattern.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/Renderer.h"
#include "media/engine/Splitter.h"
#include "media/filters/TSceneDetectContenu.h"
#include "media/filters/Tdv_DVheader.h"
#include "media/filters/Tdv_MediaStamper.h"
#include "media/filters/Tdv_Superposer.h"
#include "media/filters/Tdv_WaveDest.h"
#include "media/filters/Tdv_deinter.h"
#include "media/filters/Tdv_sceneDetect.h"

namespace kelvor::media {

// The standard argument of the builders.
inline constexpr int kStandardPal = 1;   // 625 lines, 50 fields
inline constexpr int kStandardNtsc = 2;  // 525 lines, 60 fields

// The program's own filters of the conversion module, one instance each, in their creation order.
struct ConversionFilters {
    std::shared_ptr<Tdv_sceneDetect> SceneDetect;
    std::shared_ptr<Tdv_Superposer> Superposer;  // tied to SceneDetect
    std::shared_ptr<Tdv_DVheader> DvHeader;      // tied to SceneDetect
    std::shared_ptr<Tdv_deinter> Deinter;
    std::shared_ptr<Tdv_WaveDest> WaveDest;
    std::shared_ptr<TSceneDetectContenu> Contenu;
    std::shared_ptr<Tdv_MediaStamper> Stamper;

    // DataModuleCreate. The border source is the inlay's (the preference "Border Size").
    static ConversionFilters Create(Tdv_Superposer::BorderSizeSource borderSize = {},
                                    LocaleInfo locale = EnglishLocale());
};

// The platform stages of the last build, each under its holder's name; null while detached.
struct ConversionHolders {
    std::shared_ptr<FileSourceFilter> source;
    std::shared_ptr<FileWriterFilter> destination;
    std::shared_ptr<SplitterBase> avisplitter;
    std::shared_ptr<DvSplitterFilter> dvsplitter;
    std::shared_ptr<DvSplitterFilter> dvsplitter2;
    std::shared_ptr<DvMuxerFilter> dvmuxer;
    std::shared_ptr<AviMuxFilter> avimux;
    std::shared_ptr<AudioResamplerFilter> acm1;
    std::shared_ptr<AudioResamplerFilter> acm2;
    std::shared_ptr<DvVideoDecoderFilter> DVdecoder;
    std::shared_ptr<DvVideoEncoderFilter> DVenc;
    std::shared_ptr<NullRenderer> nullrender;
    std::shared_ptr<InfiniteTeeFilter> infinite;
};

// Where the progress of a run is read (the framework's ProgressSeeking).
enum class ProgressSource {
    None,    // not set: the cut builders leave it to the cut command (PositionCut)
    Graph,   // the stream time the graph's renderers present
    AviMux,  // how far the AVI mux has written the video
};

struct ConversionContext {
    ConversionFilters Filters;
    std::unique_ptr<Graph> graph;  // null while released
    ConversionHolders Holders;
    ProgressSource Progress = ProgressSource::None;
    std::string Error;  // why the last build failed; empty after a build that succeeded
};

// Makes the graph live (a new, empty graph) unless it is.
void MakeLive(ConversionContext& context);
// Takes the stages of the last build out of the graph (the file source stays, and so do the
// content detector and the media stamper) and clears the date detector's OnSceneEnd and
// OnStreamEnd. Stages that a rendering inserted go too.
void ResetGraph(ConversionContext& context);

enum class AudioWrapper { Acm1, Acm2 };
// Gives the wrapper an output rate (Hz): its input's sound format at that rate. False only when
// the wrapper is not in the graph; a rate its output connection refuses is not reported (the
// connection keeps its rate). An unconnected wrapper keeps the rate for its next connection.
bool SetAudioRate(ConversionContext& context, AudioWrapper wrapper, int rate);

// The sound rate of the preference "Frequence DV": 0 gives 32000, 1 44100, 2 48000, any other
// value 0 (the wrapper keeps its input's rate).
int FrequenceDvRate(int frequenceDv);

// --- Builders (paths in UTF-8) ---

// Content detection: source, splitter, the first stream that can be decoded into RGB24 pictures,
// the media stamper right in front of the content detector (same thread, so its frame number is
// the detector's picture), a null renderer. Fails when the file cannot be opened or no picture
// reaches the detector.
bool BuildSceneContenuGraph(ConversionContext& context, const std::string& video);

// PAL/NTSC conversion, DV type 2 and type 1: date detector on the DV stream, DV decoder to RGB24,
// deinterlace filter, frame-rate converter to the target standard, DV encoder (PAL for standard
// 1, NTSC otherwise, 16:9 when the source is), DV header filter, DV muxer with the sound (type 2:
// through acm1 and acm2; type 1: the DV splitter's sound straight), then DV type 2 through a DV
// splitter into the AVI mux, or DV type 1 straight into it. Fails when the file has no stream or
// no DV stream (type 1: no interleaved DV stream whose video the detector and decoder take).
bool BuildStandardGraphType2(ConversionContext& context, const std::string& video,
                             const std::string& output, int standard);
bool BuildStandardGraphType1(ConversionContext& context, const std::string& video,
                             const std::string& output, int standard);
// The datecode inlay: as the standard conversions with the inlay filter where the deinterlace
// filter stands and the DV encoder PAL for standard 1, NTSC otherwise (the file's standard).
bool BuildIncrusterGraphType2(ConversionContext& context, const std::string& video,
                              const std::string& output, int standard);
bool BuildIncrusterGraphType1(ConversionContext& context, const std::string& video,
                              const std::string& output, int standard);
// The time shift: the DV stream through the DV header filter into the AVI mux, the sound through
// acm1 and acm2; the output keeps the video's type. Fails when the file has no stream or no
// stream reaches the DV header filter.
bool BuildDecalerHoraireGraph(ConversionContext& context, const std::string& video,
                              const std::string& output);
// The type 2 repair: the first two streams into the AVI mux, an interleaved one through a DV
// splitter (its video). Fails only when the file cannot be loaded; a file without streams gives
// a graph with nothing to write (duration 0).
bool BuildCorrigerType2Graph(ConversionContext& context, const std::string& video,
                             const std::string& output);
// Type 2 into type 1: the DV video into the DV muxer, two sound streams through acm1 and acm2.
// Fails when the file has no stream.
bool BuildDVtype1Graph(ConversionContext& context, const std::string& video,
                       const std::string& output);
// Type 1 into type 2: the first stream through a DV splitter, its video straight into the AVI
// mux, its first two sound pairs through acm1 and acm2. Fails when the file has no stream or its
// first stream is not interleaved DV.
bool BuildDVType2Graph(ConversionContext& context, const std::string& video,
                       const std::string& output);
// Recompression of any AVI into DV type 2: the picture rendered to the DV encoder (decoded,
// brought to the DV frame rate, scaled with its display aspect kept, 16:9 when it is 1.5 or
// wider), the sound rendered to the DV muxer through acm1 (and a second stream through acm2),
// both wrappers at the rate of frequenceDv (see FrequenceDvRate). Fails when the file has no
// stream or no picture can be brought to the encoder.
bool BuildConvertirDVGraph(ConversionContext& context, const std::string& video,
                           const std::string& output, int standard, int frequenceDv);
// The sound into a WAV file: the first sound (a DV stream's through a DV splitter) through acm1
// into the WAV writer while the video goes to a null renderer; without video through the tee.
// Fails when the file has no sound or its sound cannot be read.
bool BuildExtraireAudioGraph(ConversionContext& context, const std::string& video,
                             const std::string& output);
// One scene, DV type 2: the streams into the DV muxer (sound through acm1, acm2), a DV splitter,
// the AVI mux; the second stream through the tee, whose other output feeds a null renderer. A
// file whose only stream is video has no second stream: it is cut without the tee. Fails when
// the file has no stream. Position the graph with PositionCut before running it.
bool BuildCutSceneGraphType2(ConversionContext& context, const std::string& video,
                             const std::string& output);
// One scene, DV type 1 or other: the first stream, unchanged, through the tee into the AVI mux.
bool BuildCutSceneGraphType1(ConversionContext& context, const std::string& video,
                             const std::string& output);

// The cut command's positioning: the next run streams the frames whose times lie in
// [start, stop] (100 ns, absolute; a frame is in when its start rounds below stop); progress is
// then read from the AVI mux. False when the graph cannot seek.
bool PositionCut(ConversionContext& context, REFERENCE_TIME start, REFERENCE_TIME stop);

// The progress of the running conversion in 100 ns units: the position from the source named by
// context.Progress and the graph's duration. False when there is none to read.
bool ReadProgress(const ConversionContext& context, std::int64_t& position,
                  std::int64_t& duration);

}  // namespace kelvor::media
