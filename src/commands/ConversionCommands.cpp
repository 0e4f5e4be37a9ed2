// The conversion commands: their conditions, questions and executions through the conversion
// module's graphs, and the two in-place header repairs.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>

#include "commands/CommandTexts.h"
#include "commands/InlaySettings.h"
#include "commands/Tch.h"
#include "core/avi/AviHeaderPatcher.h"
#include "media/filters/Tdv_DVheader.h"
#include "media/filters/Tdv_Superposer.h"
#include "media/graphs/TCdm.h"

namespace kelvor::commands {
namespace {

bool DvType2OrDvsd(const files::TAfficherFichier& f) {
    return f.DVType == 2 || f.Codec == "dvsd";
}

// Runs the write with the owner's write permission granted for its length when the file is
// read-only, and puts the former mode back exactly, whatever the write did. The failure text,
// empty when the write succeeded.
std::string WithWritePermission(const std::string& path,
                                const std::function<std::string()>& write) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::string("the file cannot be read: ") + std::strerror(errno);
    const mode_t former = st.st_mode & 07777;
    const bool readOnly = (former & S_IWUSR) == 0;
    if (readOnly && ::chmod(path.c_str(), former | S_IWUSR) != 0)
        return std::string("the read-only file cannot be made writable: ") + std::strerror(errno);
    std::string failure;
    try {
        failure = write();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "the header cannot be written";
    }
    if (readOnly && ::chmod(path.c_str(), former) != 0 && failure.empty())
        failure =
            std::string("the file could not be made read-only again: ") + std::strerror(errno);
    return failure;
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

int Tch::AudioTextRate(const std::string& audioText) {
    std::string head = audioText.substr(0, 5);
    while (!head.empty() && head.front() == ' ')
        head.erase(head.begin());
    while (!head.empty() && head.back() == ' ')
        head.pop_back();
    if (head.empty())
        return 0;
    int rate = 0;
    for (char ch : head) {
        if (ch < '0' || ch > '9')
            return 0;
        rate = rate * 10 + (ch - '0');
    }
    return rate;
}

void Tch::AudioRateStep(const files::TAfficherFichier& video, bool both) {
    const int rate = AudioTextRate(video.AudioText);
    if (rate <= 0)
        return;
    s_.Cdm.SetAudioRate(s_.Cdm.acm1, rate);
    if (both)
        s_.Cdm.SetAudioRate(s_.Cdm.acm2, rate);
}

void Tch::convert(const files::TAfficherFichier& f, const std::string& output,
                  const std::function<bool(const std::string&, const std::string&)>& build,
                  const std::function<void()>& prepare, TExecutionResult& result,
                  TchUpdateType update) {
    result.newfichier.clear();
    result.update = utNone;
    GraphRun run;
    run.NewPath = output;
    run.Update = update;
    run.Build = [&] { return build(f.FullName, output); };
    run.Prepare = prepare;
    GraphCommandRun(result, run);
}

void Tch::DVtype1Execution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    convert(
        f, OutputPath(f, "_type1.avi"),
        [&cdm](const std::string& v, const std::string& o) { return cdm.BuildDVtype1Graph(v, o); },
        {}, result);
}

void Tch::DVType2Execution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    convert(
        f, OutputPath(f, "_type2.avi"),
        [&cdm](const std::string& v, const std::string& o) { return cdm.BuildDVType2Graph(v, o); },
        [&] { AudioRateStep(f, true); }, result);
}

void Tch::standardConversion(const files::TAfficherFichier& f, int standard,
                             std::string_view suffix, TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    const bool type2 = f.DVType == 2;
    convert(
        f, OutputPath(f, suffix),
        [&cdm, type2, standard](const std::string& v, const std::string& o) {
            return type2 ? cdm.BuildStandardGraphType2(v, o, standard)
                         : cdm.BuildStandardGraphType1(v, o, standard);
        },
        [&] {
            AudioRateStep(f, true);
            // The new file carries the datecode shifted by the difference used for display.
            cdm.DVHeader().SetRestore(true);
            cdm.DVHeader().SetTimeShift(s_.Prefs.DecalageHoraire);
        },
        result);
}

void Tch::NtscExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    standardConversion(f, media::kStandardNtsc, "_ntsc.avi", result);
}

void Tch::PalExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    standardConversion(f, media::kStandardPal, "_pal.avi", result);
}

void Tch::IncrusterDatecodeExecution(TParam&, const files::TAfficherFichier& f,
                                     TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    const bool type2 = f.DVType == 2;
    const int standard = f.Standard;
    convert(
        f, OutputPath(f, "_in.avi"),
        [&cdm, type2, standard](const std::string& v, const std::string& o) {
            return type2 ? cdm.BuildIncrusterGraphType2(v, o, standard)
                         : cdm.BuildIncrusterGraphType1(v, o, standard);
        },
        [&] {
            AudioRateStep(f, true);
            // The frames keep their own header blocks; the datecode is drawn, not shifted.
            cdm.DVHeader().SetRestore(true);
            cdm.DVHeader().SetTimeShift(0);
            cdm.SetInlayBorderSize(s_.Prefs.BorderSize);
            // The display length counts the processed file's own frames.
            ConfigureInlay(cdm.Superposer(), s_.Prefs, f.Fps);
        },
        result);
}

void Tch::ConvertirDVExecution(TParam&, const files::TAfficherFichier& f,
                               TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    const int standard = s_.Prefs.StandardParDefaut;
    const int frequence = s_.Prefs.FrequenceDV;
    convert(
        f, OutputPath(f, "_dvtype2.avi"),
        [&cdm, standard, frequence](const std::string& v, const std::string& o) {
            return cdm.BuildConvertirDVGraph(v, o, standard, frequence);
        },
        {}, result);
}

void Tch::ExtraireAudioExecution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    // The list shows only ".avi" files: the WAV path is reported, the list does not change.
    convert(
        f, OutputPath(f, ".wav"),
        [&cdm](const std::string& v, const std::string& o) {
            return cdm.BuildExtraireAudioGraph(v, o);
        },
        [&] { AudioRateStep(f, false); }, result, utNone);
}

void Tch::CorrigerType2Execution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    convert(
        f, OutputPath(f, "_fixed.avi"),
        [&cdm](const std::string& v, const std::string& o) {
            return cdm.BuildCorrigerType2Graph(v, o);
        },
        {}, result);
}

void Tch::DecalerHoraireExecution(TParam&, const files::TAfficherFichier& f,
                                  TExecutionResult& result) {
    media::TCdm& cdm = s_.Cdm;
    const double shift = CorrectionShift;
    convert(
        f, OutputPath(f, TimeDifferenceSuffix(shift)),
        [&cdm](const std::string& v, const std::string& o) {
            return cdm.BuildDecalerHoraireGraph(v, o);
        },
        [&cdm, &f, shift, this] {
            cdm.DVHeader().SetTimeShift(shift);
            cdm.DVHeader().SetRestore(false);
            AudioRateStep(f, true);
        },
        result);
}

void Tch::conversionConfirmation(const files::TAfficherFichier& f, std::string_view suffix,
                                 std::string& msg) const {
    msg = ReplaceQuestion(OutputPath(f, suffix));
}

void Tch::DVtype1FileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                               bool& enabled) {
    visible = enabled = f.DVType == 2 && f.IsDV;
}

void Tch::DVType2FileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                               bool& enabled) {
    visible = enabled = f.DVType == 1 && f.Codec == "dvsd";
}

void Tch::NtscFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                            bool& enabled) {
    visible = enabled = f.IsDV && f.Standard == 1 && DvType2OrDvsd(f);
}

void Tch::PalFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                           bool& enabled) {
    visible = enabled = f.IsDV && f.Standard == 2 && DvType2OrDvsd(f);
}

void Tch::IncrusterDatecodeFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                         bool& enabled) {
    visible = true;
    enabled = f.IsDV && DvType2OrDvsd(f);
}

void Tch::ConvertirDVFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                   bool& enabled) {
    visible = f.ImageText != "N/A";
    enabled = !f.IsDV;
}

void Tch::ExtraireAudioFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                     bool& enabled) {
    visible = !(f.IsDV && f.DVType == 1 && f.Codec != "dvsd");
    enabled = f.AudioText != "N/A";
}

void Tch::CorrigerType2FileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                     bool& enabled) {
    visible = enabled = f.DVType == 2 && f.IsDV && f.IavsType2;
}

void Tch::DecalerHoraireFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                      bool& enabled) {
    visible = enabled = f.IsDV;
}

void Tch::CorrigerFpsFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                   bool& enabled) {
    visible = true;
    enabled = !(f.IsDV && f.DVType == 1);
}

void Tch::CorrigerFpsConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = FormatText("Do you really want to change the fps value from %s to %s?",
                     {FpsText(f.Fps), FpsText(TargetFps)});
}

void Tch::CorrigerFpsExecution(TParam&, const files::TAfficherFichier& f,
                               TExecutionResult& result) {
    result.newfichier = f.FullName;
    result.update = utModify;
    s_.Host.ReleasePreview(f.FullName);
    result.failure = WithWritePermission(f.FullName, [&] {
        s_.Patcher.WriteFrameRate(f.FullName, TargetFps);
        return s_.Patcher.lastOffsets().ScaleOffset < 0
                   ? std::string("the file has no video stream header to patch")
                   : std::string();
    });
    s_.Host.TakeBackPreview(f.FullName, true);
}

void Tch::CorrigerCodecConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg =
        FormatText("Do you really want to change the codec from %s to %s?", {f.Codec, TargetCodec});
}

void Tch::CorrigerCodecExecution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    s_.Host.ReleasePreview(f.FullName);
    result.failure = WithWritePermission(f.FullName, [&] {
        if (!s_.Patcher.WriteCodec(f.FullName, CodeOf(TargetCodec)))
            return std::string("the codec cannot be written");
        const avi::HeaderFieldOffsets at = s_.Patcher.lastOffsets();
        return at.CodecOffset < 0 && at.CompressionOffset < 0
                   ? std::string("the file has no video stream header to patch")
                   : std::string();
    });
    if (result.failure.empty()) {
        result.newfichier = f.FullName;
        result.update = utModify;
    }
    s_.Host.TakeBackPreview(f.FullName, false);
}

}  // namespace kelvor::commands
