// kelvor-cli to-type1, to-type2, shift-time, extract-audio and cut-scenes in the light front end
// (see CopiesHere.h).
#include "cli/CopiesHere.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/FrontEnd.h"
#include "cli/Names.h"
#include "cli/VerbArgs.h"
#include "commands/CommandTexts.h"
#include "commands/FileList.h"
#include "core/files/FileRecord.h"
#include "core/files/Rounding.h"
#include "core/scenes/SceneList.h"
#include "core/scenes/ScnFile.h"
#include "core/settings/PreferencesStore.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/RawDvSink.h"
#include "media/engine/RawDvSource.h"
#include "media/engine/Renderer.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/filters/WavWriterFilter.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

using namespace media;

constexpr std::string_view kYesToAll = "--yes-to-all";
constexpr std::string_view kNoToAll = "--no-to-all";
constexpr std::string_view kOutputDir = "--output-dir";
constexpr std::string_view kBy = "--by";
// How often the wait for a graph looks at the interrupts.
constexpr int kWaitSliceMs = 50;

enum class Copy { ToType1, ToType2, ShiftTime, ExtractAudio, CutScenes };

std::optional<Copy> CopyOf(std::string_view verb) {
    if (verb == "to-type1")
        return Copy::ToType1;
    if (verb == "to-type2")
        return Copy::ToType2;
    if (verb == "shift-time")
        return Copy::ShiftTime;
    if (verb == "extract-audio")
        return Copy::ExtractAudio;
    if (verb == "cut-scenes")
        return Copy::CutScenes;
    return std::nullopt;
}

// What the signal handlers reach: atomics only. Ctrl+C stops the file being written, a second
// the whole run; SIGTERM and SIGHUP stop both at once, as in the media program.
std::atomic<int> gInterrupts{0};
std::atomic<int> gTerminatingSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnCopyInterrupt(int) {
    gInterrupts.fetch_add(1);
}

extern "C" void OnCopyTermination(int signal) {
    gTerminatingSignal.store(signal);
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(signal, &sa, nullptr);
}

// One file's identity and change time, to tell whether a run published its output.
struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.mtime = st.st_mtim;
    return s;
}

// One output file of a run: the whole copy, or one scene of a cut.
struct Pass {
    std::string output;
    scenes::SceneRange scene;  // a cut's frames
    FileStamp before;          // the output as it was before the pass
};

struct Item {
    std::string given;  // the name as given, for a hand-over
    std::unique_ptr<files::FileRecord> record;
    std::vector<Pass> passes;
};

// What the media program's sound wrapper takes, and passes unchanged at this rate (0: any).
bool PassesUnchanged(const MediaType& mt, int rate) {
    return IsResamplerInput(mt) &&
           (rate <= 0 || mt.waveFormat()->nSamplesPerSec == static_cast<std::uint32_t>(rate));
}

MediaType TypeOf(const OutputPin& pin) {
    MediaType mt;
    if (pin.IsConnected())
        return pin.CurrentMediaType();
    pin.Filter().GetMediaType(pin, 0, mt);
    return mt;
}

// One file's graph: the same filters, joined in the same order, as the media program's builder
// of the command, without the sound wrappers. No graph (and nothing written) when the run needs
// a stage this program does not link.
class CopyGraph {
  public:
    CopyGraph() : b_(graph_) {}

    bool Build(Copy copy, const files::FileRecord& f, const std::string& output, double days) {
        writer_ = b_.Add(std::make_shared<FileWriterFilter>(), "File writer");
        if (!writer_ || writer_->SetFileName(output).failed())
            return false;
        const auto opened = OpenAviFile(b_, f.FullName);
        if (!opened || opened->splitter->Outputs().empty())
            return false;
        splitter_ = opened->splitter;
        raw_ = dynamic_cast<RawDvSplitterFilter*>(splitter_.get()) != nullptr;
        rate_ = commands::AudioTextRate(f.AudioText);
        switch (copy) {
            case Copy::ToType1:
                return raw_ ? wrapType1() : toType1();
            case Copy::ToType2:
                return toType2();
            case Copy::ShiftTime:
                return shiftTime(days);
            case Copy::ExtractAudio:
                return extractAudio();
            case Copy::CutScenes:
                return f.DVType == 2 ? cutType2() : cutType1();
        }
        return false;
    }

    Graph& graph() { return graph_; }
    const AviMuxFilter* mux() const { return mux_.get(); }

  private:
    bool connect(OutputPin* out, InputPin* in) { return out && in && b_.Connect(*out, *in); }

    // The DV video and the first two sounds into the DV muxer (the sound wrappers of the media
    // program's graph pass it unchanged, as no rate is asked of them), its frames into the AVI
    // mux.
    bool toType1() {
        auto dvMux = b_.Add(std::make_shared<DvMuxerFilter>(), "DV Muxer");
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        if (!dvMux || !mux_)
            return false;
        bool video = false;
        for (OutputPin* out : splitter_->Outputs())
            if (TypeOf(*out).majorType == MajorType::Video) {
                video = connect(out, &dvMux->VideoInput());
                break;
            }
        if (!video)
            return false;
        int sounds = 0;
        for (OutputPin* out : splitter_->Outputs()) {
            if (sounds == 2 || out->IsConnected() || !PassesUnchanged(TypeOf(*out), 0))
                continue;
            if (!connect(out, dvMux->FreeAudioInput()))
                return false;
            ++sounds;
        }
        return connect(&dvMux->Output(), mux_->Input(0)) &&
               connect(&mux_->Output(), &writer_->Input());
    }

    // Raw DV already is what a type 1 file holds: its frames are wrapped, not remuxed.
    bool wrapType1() {
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        return mux_ && connect(splitter_->Outputs().front(), mux_->Input(0)) &&
               connect(&mux_->Output(), &writer_->Input());
    }

    bool toType2() {
        auto split = b_.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        if (!split || !mux_)
            return false;
        split->SetSerialDelivery(true);
        splitter_->SetSerialDelivery(true);
        OutputPin* first = splitter_->Outputs().front();
        if (TypeOf(*first).majorType != MajorType::Interleaved || !connect(first, &split->Input()))
            return false;
        for (OutputPin* out : split->OutputPins()) {
            const MediaType mt = TypeOf(*out);
            if (mt.majorType == MajorType::Audio && !PassesUnchanged(mt, rate_))
                return false;
            if (!connect(out, mux_->FreeInput()))
                return false;
        }
        return connect(&mux_->Output(), &writer_->Input());
    }

    bool shiftTime(double days) {
        auto header = std::make_shared<DvHeaderFilter>(std::make_shared<DateDetectorFilter>());
        header->SetTimeShift(days);
        header->SetRestore(false);
        // The media program's graph holds an AVI mux even for raw DV, where it stays unjoined.
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        if (!mux_ || !b_.Add(header, "dv_DVHeader"))
            return false;
        splitter_->SetSerialDelivery(true);
        if (!b_.ConnectFirstOutput(*splitter_, *header->GetInputPin(0)))
            return false;
        if (raw_) {
            auto rawMux = b_.Add(std::make_shared<RawDvMuxFilter>(), "DV Raw Mux");
            return rawMux && connect(header->GetOutputPin(0), &rawMux->Input()) &&
                   connect(&rawMux->Output(), &writer_->Input());
        }
        if (!connect(header->GetOutputPin(0), mux_->Input(0)))
            return false;
        // The first two sounds the wrappers would take, in stream order, into inputs 1 and 2.
        int next = 1;
        for (OutputPin* out : splitter_->Outputs()) {
            if (next > 2 || out->IsConnected())
                continue;
            const MediaType mt = TypeOf(*out);
            if (!PassesUnchanged(mt, 0))
                continue;
            if (!PassesUnchanged(mt, rate_) || !connect(out, mux_->Input(next)))
                return false;
            ++next;
        }
        return connect(&mux_->Output(), &writer_->Input());
    }

    bool extractAudio() {
        auto wav = std::make_shared<WavWriterFilter>();
        auto split = b_.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
        if (!split || !b_.Add(wav, "dv_WaveDest"))
            return false;
        splitter_->SetSerialDelivery(true);
        split->SetSerialDelivery(true);
        // The first video and the first sound, looking inside an interleaved DV stream too. The
        // pictures are left unread: the media program only drops them.
        bool video = false;
        OutputPin* audio = nullptr;
        const auto look = [&](OutputPin* out) {
            const FourCC major = TypeOf(*out).majorType;
            if (major == MajorType::Video)
                video = true;
            else if (major == MajorType::Audio && !audio)
                audio = out;
            return major;
        };
        for (OutputPin* out : splitter_->Outputs())
            if (look(out) == MajorType::Interleaved && !split->Input().IsConnected() &&
                connect(out, &split->Input()))
                for (OutputPin* inner : split->OutputPins())
                    look(inner);
        if (!video || !audio)
            return false;
        // The WAV header holds the format block the wrapper would give: the same bytes or none.
        const MediaType mt = TypeOf(*audio);
        if (!PassesUnchanged(mt, rate_))
            return false;
        const auto w = mt.waveFormat();
        if (mt.format !=
            MakeAudioType(MakePcmFormat(static_cast<int>(w->nSamplesPerSec), w->nChannels)).format)
            return false;
        return connect(audio, wav->GetInputPin(0)) &&
               connect(wav->GetOutputPin(0), &writer_->Input());
    }

    // The first stream unchanged (the tee that feeds the graph's position is left out): a type 1
    // file's interleaved stream, a raw DV file's frames back into a raw DV file.
    bool cutType1() {
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        if (!mux_)
            return false;
        OutputPin* first = splitter_->Outputs().front();
        if (raw_) {
            auto rawMux = b_.Add(std::make_shared<RawDvMuxFilter>(), "DV Raw Mux");
            return rawMux && connect(first, &rawMux->Input()) &&
                   connect(&rawMux->Output(), &writer_->Input());
        }
        return connect(first, mux_->Input(0)) && connect(&mux_->Output(), &writer_->Input());
    }

    // The streams through the DV muxer (the sound wrappers of the media program's graph pass it
    // unchanged, as no rate is asked of them), parted again for the AVI mux.
    bool cutType2() {
        mux_ = b_.Add(std::make_shared<AviMuxFilter>(), "AVI Mux");
        auto dvMux = b_.Add(std::make_shared<DvMuxerFilter>(), "DV Muxer");
        auto split = b_.Add(std::make_shared<DvSplitterFilter>(), "DV Splitter");
        if (!mux_ || !dvMux || !split)
            return false;
        const auto outputs = splitter_->Outputs();
        for (OutputPin* out : outputs) {
            const MediaType mt = TypeOf(*out);
            if (mt.majorType == MajorType::Audio && !PassesUnchanged(mt, 0))
                return false;
            InputPin* in =
                dvMux->VideoInput().IsConnected() ? dvMux->FreeAudioInput() : &dvMux->VideoInput();
            connect(out, in);
        }
        // A second stream the media program's tee would take from a video-only file, and
        // sound the muxer has no input for, are cases left to it.
        if (outputs.size() < 2)
            return false;
        for (OutputPin* out : outputs)
            if (!out->IsConnected())
                return false;
        if (!connect(&dvMux->Output(), &split->Input()))
            return false;
        split->SetSerialDelivery(true);
        for (OutputPin* out : split->OutputPins())
            connect(out, mux_->FreeInput());
        return connect(&mux_->Output(), &writer_->Input());
    }

    Graph graph_;
    GraphBuilder b_;
    std::shared_ptr<FileWriterFilter> writer_;
    std::shared_ptr<SplitterBase> splitter_;
    std::shared_ptr<AviMuxFilter> mux_;
    bool raw_ = false;
    int rate_ = 0;
};

enum class Outcome { Done, Failed, Stopped };

// Runs the graph to its end or to an interrupt after the `seen` ones.
Outcome RunGraph(Graph& g, int seen) {
    if (g.Run().failed())
        return Outcome::Failed;
    for (;;) {
        int code = 0;
        Status hr = Code::Ok;
        if (g.WaitForCompletion(kWaitSliceMs, code, hr)) {
            const bool ok = code == EventCode::Complete && !g.LastError().failed();
            g.Stop();
            return ok ? Outcome::Done : Outcome::Failed;
        }
        if (gInterrupts.load() > seen || gTerminatingSignal.load() != 0) {
            g.Stop();
            return Outcome::Stopped;
        }
    }
}

// The frames a stopped AVI run wrote and was due, as the media program counts them.
void WrittenFrames(const AviMuxFilter* mux, std::int64_t length, std::int64_t& written,
                   std::int64_t& due) {
    std::int64_t num = 0, den = 1;
    if (!mux)
        return;
    if (!mux->FrameRate(num, den)) {
        written = 0;
        due = -1;
        return;
    }
    constexpr std::int64_t kUnitsPerSecond = 10'000'000;
    written = static_cast<std::int64_t>(mux->FramesWritten());
    due = (std::max<std::int64_t>(length, 0) * num + den * kUnitsPerSecond / 2) /
          (den * kUnitsPerSecond);
    due = std::max(due, written);
}

void Say(std::string_view verb, const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "kelvor-cli %.*s: %s: %s\n", static_cast<int>(verb.size()), verb.data(),
                 ShownName(file).c_str(), ShownText(reason).c_str());
}

}  // namespace

bool RunCopiesHere(std::string_view verb, Args rest, int& status) {
    const std::optional<Copy> copy = CopyOf(verb);
    if (!copy)
        return false;
    const VerbArgs a = *copy == Copy::ShiftTime
                           ? ParseVerbArgs(rest, {kYesToAll, kNoToAll}, {kOutputDir, kBy})
                           : ParseVerbArgs(rest, {kYesToAll, kNoToAll}, {kOutputDir});
    if (!a.Error.empty() || a.Files.empty() || (a.Has(kYesToAll) && a.Has(kNoToAll)))
        return false;
    // A terminal gets the progress line and may be asked.
    if (::isatty(STDERR_FILENO) == 1)
        return false;
    double days = 0;
    if (*copy == Copy::ShiftTime) {
        const std::string* by = a.Value(kBy);
        const std::optional<double> d = by ? DurationDays(*by) : std::nullopt;
        if (!d || *d == 0)
            return false;
        days = *d;
    }

    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    if (const std::string* dir = a.Value(kOutputDir)) {
        std::error_code ec;
        if (dir->empty() || !std::filesystem::is_directory(*dir, ec))
            return false;
        std::string folder = std::filesystem::absolute(*dir, ec).lexically_normal().string();
        if (ec || folder.empty())
            return false;
        if (folder.back() != '/')
            folder += '/';
        prefs.SaveInSameFolder = false;
        prefs.SaveFolder = folder;
    }
    files::RecordSettings recordSettings;
    recordSettings.DisplayDatecodeFormat = prefs.DisplayDatecodeFormat;
    recordSettings.Locale = platform::UserLocaleInfo();

    // Every file must be one this program reads and the command applies to, and each output new
    // or to be replaced, before any is touched.
    std::vector<Item> items;
    std::set<std::string> names, outputs;
    ProbeGraph probe;
    for (const std::string& f : a.Files) {
        struct stat st {};
        if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(f.c_str(), R_OK) != 0)
            return false;
        if (!CreateOwnDvSplitter(f))
            return false;
        Item item;
        item.given = f;
        item.record = std::make_unique<files::FileRecord>(f, probe, recordSettings);
        const files::FileRecord& r = *item.record;
        bool applies = false;
        std::vector<std::string> suffixes;
        switch (*copy) {
            case Copy::ToType1:
                applies = r.IsDV && (r.DVType == 2 || r.Container == files::ContainerKind::RawDv);
                suffixes = {"_type1.avi"};
                break;
            case Copy::ToType2:
                applies = r.IsDV && r.DVType == 1 && r.Codec == "dvsd";
                suffixes = {"_type2.avi"};
                break;
            case Copy::ShiftTime:
                applies = r.IsDV;
                suffixes = {commands::SameContainerSuffix(r, commands::TimeDifferenceSuffix(days))};
                break;
            case Copy::ExtractAudio:
                applies = r.IsDV && r.AudioText != "N/A";
                suffixes = {".wav"};
                break;
            case Copy::CutScenes: {
                applies = r.IsDV && r.HasScn && r.Fps > 0;
                scenes::SceneList list;
                scenes::ReadScnFile(scenes::ReplaceExtension(r.FullName, ".scn"), list, r.Fps);
                for (std::size_t k = 0; k < list.size(); ++k) {
                    suffixes.push_back(
                        commands::SameContainerSuffix(r, "_scene_" + std::to_string(k) + ".avi"));
                    Pass pass;
                    pass.scene = list[k].Scene;
                    item.passes.push_back(pass);
                }
                // A file without scenes is named at the end of the media program's run.
                applies = applies && !list.empty();
                break;
            }
        }
        if (!r.Exists || !applies || !names.insert(r.FullName).second)
            return false;
        item.passes.resize(suffixes.size());
        for (std::size_t k = 0; k < suffixes.size(); ++k) {
            Pass& pass = item.passes[k];
            pass.output = commands::ConversionOutputPath(r, suffixes[k], prefs);
            std::error_code ec;
            if (!outputs.insert(pass.output).second ||
                (!a.Has(kYesToAll) && std::filesystem::exists(pass.output, ec)))
                return false;
        }
        items.push_back(std::move(item));
    }
    for (const std::string& o : outputs)
        if (names.contains(o))
            return false;
    // The media program's list keeps its files in the order of the list's preference.
    std::stable_sort(items.begin(), items.end(), [&](const Item& x, const Item& y) {
        return commands::SortKey(*x.record, prefs.ListOrder) <
               commands::SortKey(*y.record, prefs.ListOrder);
    });

    gInterrupts = 0;
    gTerminatingSignal = 0;
    Handle(SIGINT, OnCopyInterrupt);
    Handle(SIGTERM, OnCopyTermination);
    Handle(SIGHUP, OnCopyTermination);
    int failed = 0;
    int seen = 0;  // the interrupts that stopped a pass already
    bool ended = false;
    for (std::size_t i = 0; i < items.size() && !ended; ++i) {
        Item& item = items[i];
        const files::FileRecord& r = *item.record;
        for (std::size_t k = 0; k < item.passes.size() && !ended; ++k) {
            Pass& pass = item.passes[k];
            pass.before = StampOf(pass.output);
            CopyGraph copyGraph;
            Outcome outcome = Outcome::Failed;
            std::int64_t length = 0;
            if (copyGraph.Build(*copy, r, pass.output, days)) {
                Graph& g = copyGraph.graph();
                g.SetTimeFormat(TimeFormat::MediaTime);
                if (*copy == Copy::CutScenes) {
                    // The scene's frames as times of the file's own rate: from its start to just
                    // before its end.
                    const std::int64_t fd = RoundHalfEven(10000000.0 / r.Fps);
                    const std::int64_t start = pass.scene.StartFrame * fd;
                    if (g.SetPositions(start, pass.scene.EndFrame * fd - 1).ok())
                        length = (static_cast<std::int64_t>(pass.scene.EndFrame) -
                                  pass.scene.StartFrame) *
                                 fd;
                } else if (!g.GetDuration(length).ok()) {
                    length = 0;
                }
                if (length > 0)
                    outcome = RunGraph(g, seen);
            }
            if (outcome == Outcome::Failed) {
                // The media program says why in its own words, from this file on; the files done
                // stay done, what this run wrote of this one is taken away first.
                for (std::size_t j = 0; j <= k; ++j)
                    if (!(StampOf(item.passes[j].output) == item.passes[j].before))
                        std::filesystem::remove(item.passes[j].output);
                for (const int signal : {SIGINT, SIGTERM, SIGHUP})
                    Handle(signal, SIG_DFL);
                std::vector<std::string> args = {std::string(verb)};
                for (const std::string_view option : {kYesToAll, kNoToAll})
                    if (a.Has(option))
                        args.emplace_back(option);
                for (const std::string_view option : {kOutputDir, kBy})
                    if (const std::string* v = a.Value(option))
                        args.push_back(std::string(option) + "=" + *v);
                args.push_back("--");
                for (std::size_t j = i; j < items.size(); ++j)
                    args.push_back(items[j].given);
                RunMediaProgram(args);
            }
            if (outcome != Outcome::Stopped)
                continue;
            ++failed;
            std::string reason = "stopped";
            const FileStamp after = StampOf(pass.output);
            if (after.exists && !(after == pass.before)) {
                std::int64_t written = -1, due = -1;
                WrittenFrames(copyGraph.mux(), length, written, due);
                reason = "stopped; the part written so far stays in " + ShownName(pass.output) +
                         " (" + commands::IncompleteText(written, due) + ")";
            }
            Say(verb, r.FullName, reason);
            // The first Ctrl+C stops the pass; the next, or SIGTERM, the run: the files it never
            // reached are named, in the order of their names.
            if (gInterrupts.load() > 1 || gTerminatingSignal.load() != 0) {
                std::set<std::string> unreached;
                for (std::size_t j = i + 1; j < items.size(); ++j)
                    unreached.insert(items[j].record->FullName);
                for (const std::string& f : unreached) {
                    Say(verb, f, "not done: the run ended before this file");
                    ++failed;
                }
                ended = true;
            }
            seen = gInterrupts.load();
        }
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        Handle(signal, SIG_DFL);
    std::fflush(stdout);
    if (const int signal = gTerminatingSignal.load()) {
        std::fprintf(stderr, "kelvor-cli: stopped by %s\n", ::strsignal(signal));
        status = 128 + signal;
        return true;
    }
    status = failed > 0 ? kExitFailed : kExitDone;
    return true;
}

}  // namespace kelvor::cli
