// The conversion commands' conditions and questions, and the two in-place header repairs.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>

#include "commands/CommandTexts.h"
#include "commands/Tch.h"
#include "core/avi/AviHeaderPatcher.h"

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
