// The conversion commands: their conditions, questions and executions through the conversion
// module's graphs, and the two in-place header repairs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "commands/InlaySettings.h"
#include "core/avi/AviHeaderPatcher.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ConversionGraphs.h"

namespace kelvor::commands {
namespace {

bool DvType2OrDvsd(const files::FileRecord& f) {
    return f.DVType == 2 || f.Codec == "dvsd";
}

bool IsRawDv(const files::FileRecord& f) {
    return f.IsDV && f.Container == files::ContainerKind::RawDv;
}

// The in-place repairs patch AVI headers, which no other container has; a file whose first bytes
// say nothing still gets the repair's own answer.
bool IsAvi(const files::FileRecord& f) {
    return !files::IsKnownOtherThanAvi(f.Container);
}

// Runs the write with the owner's write permission granted for its length when the file is
// read-only, and puts the former mode back exactly, whatever the write did. The failure text,
// empty when the write succeeded.
std::string WithWritePermission(const std::string& path,
                                const std::function<std::string()>& write) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Translate("kelvor::commands", "the file cannot be read: ") + std::strerror(errno);
    const mode_t former = st.st_mode & 07777;
    const bool readOnly = (former & S_IWUSR) == 0;
    if (readOnly && ::chmod(path.c_str(), former | S_IWUSR) != 0)
        return Translate("kelvor::commands", "the read-only file cannot be made writable: ") +
               std::strerror(errno);
    std::string failure;
    try {
        failure = write();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = Translate("kelvor::commands", "the header cannot be written");
    }
    if (readOnly && ::chmod(path.c_str(), former) != 0 && failure.empty())
        failure = Translate("kelvor::commands", "the file could not be made read-only again: ") +
                  std::strerror(errno);
    return failure;
}

// Why a file cannot be opened for writing, as ": reason", or empty when it can.
std::string whyNotWritable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string(": ") + std::strerror(errno);
    ::close(fd);
    return {};
}

// The characters of the code as a 32-bit code, the first in the lowest byte; a missing
// character gives byte 0.
std::uint32_t CodeOf(const std::string& text) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i)
        code |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    return code;
}

}  // namespace

int CommandModule::AudioTextRate(const std::string& audioText) {
    return commands::AudioTextRate(audioText);
}

void CommandModule::AudioRateStep(const files::FileRecord& video, bool both) {
    const int rate = AudioTextRate(video.AudioText);
    if (rate <= 0)
        return;
    s_.Graphs.SetAudioRate(s_.Graphs.resampler1, rate);
    if (both)
        s_.Graphs.SetAudioRate(s_.Graphs.resampler2, rate);
}

void CommandModule::convert(
    const files::FileRecord& f, const std::string& output,
    const std::function<bool(const std::string&, const std::string&)>& build,
    const std::function<void()>& prepare, ExecutionResult& result, ListUpdate update) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    GraphRun run;
    run.NewPath = output;
    run.Update = update;
    run.Build = [&] { return build(f.FullName, output); };
    run.Prepare = prepare;
    GraphCommandRun(result, run);
}

void CommandModule::toType1Execute(CommandParam&, const files::FileRecord& f,
                                   ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    // Raw DV already is what a type 1 file holds: its frames are wrapped, not remuxed.
    const bool raw = IsRawDv(f);
    convert(
        f, OutputPath(f, "_type1.avi"),
        [&graphs, raw](const std::string& v, const std::string& o) {
            return raw ? graphs.BuildWrapType1Graph(v, o) : graphs.BuildToType1Graph(v, o);
        },
        {}, result);
}

void CommandModule::toType2Execute(CommandParam&, const files::FileRecord& f,
                                   ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    convert(
        f, OutputPath(f, "_type2.avi"),
        [&graphs](const std::string& v, const std::string& o) {
            return graphs.BuildToType2Graph(v, o);
        },
        [&] { AudioRateStep(f, true); }, result);
}

void CommandModule::standardConversion(const files::FileRecord& f, int standard,
                                       std::string_view suffix, ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    const bool type2 = f.DVType == 2;
    convert(
        f, OutputPath(f, suffix),
        [&graphs, type2, standard](const std::string& v, const std::string& o) {
            return type2 ? graphs.BuildStandardGraphType2(v, o, standard)
                         : graphs.BuildStandardGraphType1(v, o, standard);
        },
        [&] {
            AudioRateStep(f, true);
            // The new file carries the datecode shifted by the difference used for display.
            graphs.DvHeader().SetRestore(true);
            graphs.DvHeader().SetTimeShift(s_.Prefs.TimeShift);
        },
        result);
}

void CommandModule::toNtscExecute(CommandParam&, const files::FileRecord& f,
                                  ExecutionResult& result) {
    standardConversion(f, media::kStandardNtsc, "_ntsc.avi", result);
}

void CommandModule::toPalExecute(CommandParam&, const files::FileRecord& f,
                                 ExecutionResult& result) {
    standardConversion(f, media::kStandardPal, "_pal.avi", result);
}

void CommandModule::inlayDatecodeExecute(CommandParam&, const files::FileRecord& f,
                                         ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    const bool type2 = f.DVType == 2;
    const int standard = f.Standard;
    convert(
        f, OutputPath(f, "_in.avi"),
        [&graphs, type2, standard](const std::string& v, const std::string& o) {
            return type2 ? graphs.BuildInlayGraphType2(v, o, standard)
                         : graphs.BuildInlayGraphType1(v, o, standard);
        },
        [&] {
            AudioRateStep(f, true);
            // The frames keep their own header blocks; the datecode is drawn, not shifted.
            graphs.DvHeader().SetRestore(true);
            graphs.DvHeader().SetTimeShift(0);
            graphs.SetInlayBorderSize(s_.Prefs.BorderSize);
            // The display length counts the processed file's own frames.
            ConfigureInlay(graphs.Inlay(), s_.Prefs, f.Fps);
        },
        result);
}

void CommandModule::recompressToDvExecute(CommandParam&, const files::FileRecord& f,
                                          ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    const int standard = s_.Prefs.DefaultStandard;
    const int audioRate = s_.Prefs.DvAudioRate;
    convert(
        f, OutputPath(f, "_dvtype2.avi"),
        [&graphs, standard, audioRate](const std::string& v, const std::string& o) {
            return graphs.BuildRecompressGraph(v, o, standard, audioRate);
        },
        {}, result);
}

void CommandModule::extractAudioExecute(CommandParam&, const files::FileRecord& f,
                                        ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    // The list shows only ".avi" files: the WAV path is reported, the list does not change.
    convert(
        f, OutputPath(f, ".wav"),
        [&graphs](const std::string& v, const std::string& o) {
            return graphs.BuildExtractAudioGraph(v, o);
        },
        [&] { AudioRateStep(f, false); }, result, ListUpdate::None);
}

void CommandModule::fixType2Execute(CommandParam&, const files::FileRecord& f,
                                    ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    convert(
        f, OutputPath(f, "_fixed.avi"),
        [&graphs](const std::string& v, const std::string& o) {
            return graphs.BuildFixType2Graph(v, o);
        },
        {}, result);
}

void CommandModule::shiftTimeExecute(CommandParam&, const files::FileRecord& f,
                                     ExecutionResult& result) {
    media::ConversionGraphs& graphs = s_.Graphs;
    const double shift = CorrectionShift;
    convert(
        f, OutputPath(f, SameContainerSuffix(f, TimeDifferenceSuffix(shift))),
        [&graphs](const std::string& v, const std::string& o) {
            return graphs.BuildShiftTimeGraph(v, o);
        },
        [&graphs, &f, shift, this] {
            graphs.DvHeader().SetTimeShift(shift);
            graphs.DvHeader().SetRestore(false);
            AudioRateStep(f, true);
        },
        result);
}

void CommandModule::conversionConfirmation(const files::FileRecord& f, std::string_view suffix,
                                           std::string& msg) const {
    msg = ReplaceQuestion(OutputPath(f, suffix));
}

void CommandModule::toType1AppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                     bool& enabled) {
    visible = enabled = (f.DVType == 2 && f.IsDV) || IsRawDv(f);
}

void CommandModule::toType2AppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                     bool& enabled) {
    // DV in another container (QuickTime, Matroska) is wrapped into AVI frame for frame.
    visible = enabled = (f.DVType == 1 && f.Codec == "dvsd") ||
                        (f.IsDV && (f.Container == files::ContainerKind::QuickTime ||
                                    f.Container == files::ContainerKind::Matroska));
}

void CommandModule::toNtscAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                    bool& enabled) {
    visible = enabled = f.IsDV && f.Standard == 1 && DvType2OrDvsd(f);
}

void CommandModule::toPalAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                   bool& enabled) {
    visible = enabled = f.IsDV && f.Standard == 2 && DvType2OrDvsd(f);
}

void CommandModule::inlayDatecodeAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                           bool& enabled) {
    visible = true;
    enabled = f.IsDV && DvType2OrDvsd(f);
}

void CommandModule::recompressToDvAppliesTo(CommandParam&, const files::FileRecord& f,
                                            bool& visible, bool& enabled) {
    visible = f.ImageText != "N/A";
    enabled = !f.IsDV;
}

void CommandModule::extractAudioAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                          bool& enabled) {
    visible = !(f.IsDV && f.DVType == 1 && f.Codec != "dvsd");
    enabled = f.AudioText != "N/A";
}

void CommandModule::fixType2AppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                      bool& enabled) {
    visible = enabled = f.DVType == 2 && f.IsDV && f.IavsType2 && IsAvi(f);
}

void CommandModule::shiftTimeAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                       bool& enabled) {
    visible = enabled = f.IsDV;
}

void CommandModule::fixFrameRateAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                          bool& enabled) {
    visible = true;
    enabled = !(f.IsDV && f.DVType == 1) && IsAvi(f);
}

void CommandModule::aviFileAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                     bool& enabled) {
    visible = true;
    enabled = IsAvi(f);
}

void CommandModule::fixFrameRateConfirm(CommandParam&, const files::FileRecord& f,
                                        std::string& msg) {
    msg = FormatText(
        Translate("kelvor::commands", "Do you really want to change the fps value from %s to %s?"),
        {FpsText(f.Fps), FpsText(TargetFps)});
}

void CommandModule::fixFrameRateExecute(CommandParam&, const files::FileRecord& f,
                                        ExecutionResult& result) {
    result.NewFile = f.FullName;
    result.update = ListUpdate::Modify;
    s_.Host.ReleasePreview(f.FullName);
    result.failure = WithWritePermission(f.FullName, [&] {
        s_.Patcher.WriteFrameRate(f.FullName, TargetFps);
        return s_.Patcher.lastOffsets().ScaleOffset < 0
                   ? Translate("kelvor::commands", "the file has no video stream header to patch")
                   : std::string();
    });
    s_.Host.TakeBackPreview(f.FullName, true);
}

void CommandModule::fixCodecConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = FormatText(
        Translate("kelvor::commands", "Do you really want to change the codec from %s to %s?"),
        {f.Codec, TargetCodec});
}

void CommandModule::fixCodecExecute(CommandParam&, const files::FileRecord& f,
                                    ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    s_.Host.ReleasePreview(f.FullName);
    result.failure = WithWritePermission(f.FullName, [&] {
        if (!s_.Patcher.WriteCodec(f.FullName, CodeOf(TargetCodec)))
            return Translate("kelvor::commands", "the codec cannot be written") +
                   whyNotWritable(f.FullName);
        const avi::HeaderFieldOffsets at = s_.Patcher.lastOffsets();
        return at.CodecOffset < 0 && at.CompressionOffset < 0
                   ? Translate("kelvor::commands", "the file has no video stream header to patch")
                   : std::string();
    });
    if (result.failure.empty()) {
        result.NewFile = f.FullName;
        result.update = ListUpdate::Modify;
    }
    s_.Host.TakeBackPreview(f.FullName, false);
}

}  // namespace kelvor::commands
