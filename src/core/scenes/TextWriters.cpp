#include "core/scenes/TextWriters.h"

#include "core/files/DatePattern.h"
#include "core/files/FormatTexts.h"
#include "core/files/OutputFile.h"
#include "core/scenes/SceneList.h"
#include "core/scenes/TextEncoding.h"
#include "core/shell/About.h"

namespace kelvor::scenes {
namespace {

constexpr std::string_view kRule = "//--------------------------------------------------";
constexpr std::string_view kFooterDatePattern = "dddddd 'at' hh:mm:ss";

}  // namespace

TwriteFile::TwriteFile(std::string fileName, std::string_view source)
    : fileName_(std::move(fileName)),
      file_(std::make_unique<files::OutputFile>(fileName_, source)) {}

std::string TwriteFile::Error() const {
    return file_ ? file_->Error() : error_;
}

TwriteFile::~TwriteFile() = default;

bool TwriteFile::WriteLine(std::string_view text) {
    if (!file_)
        return false;
    std::string line(text);
    line += "\r\n";
    return file_->Write(line);
}

bool TwriteFile::Good() const {
    return file_ && file_->Good();
}

void TwriteFile::Discard() {
    if (!file_)
        return;
    file_->Discard();
    file_.reset();
}

bool TwriteFile::closeFile() {
    if (!file_)
        return false;
    const bool ok = file_->Commit();
    error_ = file_->Error();
    file_.reset();
    return ok;
}

TextSceneList::TextSceneList(std::string_view name, ExportContext context, bool extended)
    : TwriteFile(ReplaceExtension(name, "_scn.txt"), name), context_(std::move(context)) {
    WriteLine(kRule);
    WriteLine("// List of scenes of the video file:");
    WriteLine("//");
    WriteLine("// ***   " + LowerCaseText(name) + "   ***");
    WriteLine("//");
    WriteLine(std::string("// exported by ") + about::kProductName + " version " +
              about::VersionText() + " " + about::kLanguageTag);
    WriteLine("// with format:");
    WriteLine(extended ? "// scene number, start, end, datecode, timecode, duration, caption"
                       : "// scene number, start, end, duration, caption");
    WriteLine("//");
    WriteLine(kRule);
    WriteLine("");
}

TextSceneList::~TextSceneList() {
    Close();
}

std::string TextSceneList::position(std::int32_t frame) const {
    return FormatFramePosition(frame, context_.FrameRate);
}

void TextSceneList::addLine(std::int32_t endFrame, std::string_view middle,
                            std::string_view caption) {
    if (closed_)
        return;
    ++count_;
    const TSceneClass scene{lastEnd_, endFrame};
    WriteLine("  " + std::to_string(count_) + ", " + position(scene.StartFrame) + ", " +
              position(scene.EndFrame) + ", " + std::string(middle) + position(scene.Length()) +
              ", " + LinesToCaption(caption));
    lastEnd_ = endFrame;
}

bool TextSceneList::Close() {
    if (closed_)
        return false;
    closed_ = true;
    WriteLine("");
    WriteLine(kRule);
    WriteLine("// Terminated at " +
              FormatDateTime(kFooterDatePattern, context_.CurrentTime(), context_.Locale));
    WriteLine(std::string("// Visit my web site ") + about::kWebAddress);
    WriteLine("//");
    return closeFile();
}

TWriteScn_text::TWriteScn_text(std::string_view name, ExportContext context)
    : TextSceneList(name, std::move(context), false) {}

void TWriteScn_text::AddSceneLine(std::string_view caption, std::int32_t endFrame) {
    addLine(endFrame, {}, caption);
}

TWriteScn_text_ex::TWriteScn_text_ex(std::string_view name, ExportContext context)
    : TextSceneList(name, std::move(context), true) {}

void TWriteScn_text_ex::AddSceneLine(std::int32_t endFrame, std::string_view caption,
                                     std::string_view datecode, std::string_view timecode) {
    addLine(endFrame, std::string(datecode) + ", " + std::string(timecode) + ", ", caption);
}

TWriteSrt::TWriteSrt(std::string_view name, ExportContext context)
    : TwriteFile(ReplaceExtension(name, ".srt"), name), context_(std::move(context)) {}

TWriteSrt::~TWriteSrt() {
    Close();
}

void TWriteSrt::AddSubtitle(std::int32_t frame, std::string_view line1, std::string_view line2) {
    if (closed_)
        return;
    if (pending_) {
        ++count_;
        WriteLine(std::to_string(count_));
        WriteLine(
            FormatSubtitleTime(static_cast<std::uint32_t>(pendingStart_), context_.FrameRate) +
            " --> " + FormatSubtitleTime(static_cast<std::uint32_t>(frame), context_.FrameRate));
        WriteLine(pendingLine1_);
        WriteLine(pendingLine2_);
        WriteLine("");
    }
    pending_ = !line1.empty() || !line2.empty();
    if (pending_) {
        // A blank keeps an empty line from reading as the end of the entry.
        pendingStart_ = frame;
        pendingLine1_ = line1.empty() ? " " : std::string(line1);
        pendingLine2_ = line2.empty() ? " " : std::string(line2);
    }
}

bool TWriteSrt::Close() {
    if (closed_)
        return false;
    closed_ = true;
    return closeFile();
}

}  // namespace kelvor::scenes
