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

TextFileWriter::TextFileWriter(std::string fileName, std::string_view source)
    : fileName_(std::move(fileName)),
      file_(std::make_unique<files::OutputFile>(fileName_, source)) {}

std::string TextFileWriter::Error() const {
    return file_ ? file_->Error() : error_;
}

TextFileWriter::~TextFileWriter() = default;

bool TextFileWriter::WriteLine(std::string_view text) {
    if (!file_)
        return false;
    std::string line(text);
    line += "\r\n";
    return file_->Write(line);
}

bool TextFileWriter::Good() const {
    return file_ && file_->Good();
}

void TextFileWriter::Discard() {
    if (!file_)
        return;
    file_->Discard();
    file_.reset();
}

bool TextFileWriter::closeFile() {
    if (!file_)
        return false;
    const bool ok = file_->Commit();
    error_ = file_->Error();
    file_.reset();
    return ok;
}

TextSceneList::TextSceneList(std::string_view name, ExportContext context, bool extended)
    : TextFileWriter(ReplaceExtension(name, "_scn.txt"), name), context_(std::move(context)) {
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
    const SceneRange scene{lastEnd_, endFrame};
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

ScnTextWriter::ScnTextWriter(std::string_view name, ExportContext context)
    : TextSceneList(name, std::move(context), false) {}

void ScnTextWriter::AddSceneLine(std::string_view caption, std::int32_t endFrame) {
    addLine(endFrame, {}, caption);
}

DatedScnTextWriter::DatedScnTextWriter(std::string_view name, ExportContext context)
    : TextSceneList(name, std::move(context), true) {}

void DatedScnTextWriter::AddSceneLine(std::int32_t endFrame, std::string_view caption,
                                      std::string_view datecode, std::string_view timecode) {
    addLine(endFrame, std::string(datecode) + ", " + std::string(timecode) + ", ", caption);
}

SrtWriter::SrtWriter(std::string_view name, ExportContext context)
    : TextFileWriter(ReplaceExtension(name, ".srt"), name), context_(std::move(context)) {}

SrtWriter::~SrtWriter() {
    Close();
}

void SrtWriter::AddSubtitle(std::int32_t frame, std::string_view line1, std::string_view line2) {
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

bool SrtWriter::Close() {
    if (closed_)
        return false;
    closed_ = true;
    return closeFile();
}

}  // namespace kelvor::scenes
