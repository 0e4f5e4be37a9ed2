#include "core/scenes/DetectionSinks.h"

#include "core/files/DatePattern.h"
#include "core/files/FormatTexts.h"
#include "core/files/Rounding.h"
#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/scenes/TextWriters.h"

namespace kelvor::scenes {
namespace {

template <typename Writer>
bool finish(std::unique_ptr<Writer>& writer, std::string& error) {
    if (!writer)
        return false;
    const bool ok = writer->Close();
    if (!ok && error.empty())
        error = writer->Error();
    writer.reset();
    return ok;
}

}  // namespace

DetectionSinks::DetectionSinks(SinkSettings settings) : settings_(std::move(settings)) {}

void DetectionSinks::DiscardAll() {
    auto discard = [](auto& writer) {
        if (writer)
            writer->Discard();
        writer.reset();
    };
    discard(scn_);
    discard(datedText_);
    discard(text_);
    discard(srt_);
    discard(datedSpreadsheet_);
    discard(excel_);
}

DetectionSinks::~DetectionSinks() {
    CloseScn();
    CloseTextByDate();
    CloseSpreadsheetByDate();
    CloseSubtitles();
    CloseTextByContent();
    CloseSpreadsheetByContent();
}

void DetectionSinks::OpenScnByDate(std::string_view videoPath, int typeScn) {
    CloseScn();
    scn_ = std::make_unique<ScnWriter>(videoPath, ScnVariantFromPreference(typeScn));
}

void DetectionSinks::ScnSceneEnd(const FrameInfo& s, const FrameInfo& r) {
    if (scn_)
        AddDateScene(*scn_, s, r, settings_);
}

bool DetectionSinks::CloseScn() {
    return finish(scn_, error_);
}

void DetectionSinks::OpenTextByDate(std::string_view videoPath) {
    CloseTextByDate();
    datedText_ = std::make_unique<DatedScnTextWriter>(videoPath, settings_.Export);
}

void DetectionSinks::TextSceneEnd(const FrameInfo& s, const FrameInfo& r) {
    if (!datedText_ || !IsSceneWithFrames(s, r))
        return;
    datedText_->AddSceneLine(r.FrameNumber, {}, SceneDatecodeText(s, settings_),
                             s.TimecodeValid ? TimecodeText(s.Timecode) : std::string());
}

bool DetectionSinks::CloseTextByDate() {
    return finish(datedText_, error_);
}

void DetectionSinks::OpenSpreadsheetByDate(std::string_view videoPath) {
    CloseSpreadsheetByDate();
    datedSpreadsheet_ = std::make_unique<DatedSpreadsheetWriter>(videoPath, settings_.Export);
}

void DetectionSinks::SpreadsheetSceneEnd(const FrameInfo& s, const FrameInfo& r) {
    if (!datedSpreadsheet_ || !IsSceneWithFrames(s, r))
        return;
    datedSpreadsheet_->AddSceneRow(r.FrameNumber, {}, SceneDatecodeText(s, settings_),
                                   s.TimecodeValid ? TimecodeText(s.Timecode) : std::string());
}

bool DetectionSinks::CloseSpreadsheetByDate() {
    return finish(datedSpreadsheet_, error_);
}

void DetectionSinks::OpenSubtitles(std::string_view videoPath) {
    CloseSubtitles();
    srt_ = std::make_unique<SrtWriter>(videoPath, settings_.Export);
}

void DetectionSinks::SubtitleLine(const FrameInfo& r, const std::string& line1,
                                  const std::string& line2) {
    if (srt_)
        srt_->AddSubtitle(r.FrameNumber, line1, line2);
}

bool DetectionSinks::CloseSubtitles() {
    return finish(srt_, error_);
}

void DetectionSinks::OpenScnByContent(std::string_view videoPath) {
    CloseScn();
    scn_ = std::make_unique<ScnWriter>(videoPath, ScnVariant::Narrow);
}

void DetectionSinks::ContentScnSceneEnd(std::int32_t endFrame) {
    // A change reported again at the end of the stream would add an empty scene.
    if (!scn_ || endFrame == 0 || endFrame <= scn_->LastEndFrame())
        return;
    const SceneRange scene{scn_->LastEndFrame(), endFrame};
    scn_->AddScene(
        DefaultSceneCaption(scn_->ScenesWritten() + 1, scene, settings_.Export.FrameRate),
        endFrame);
}

void DetectionSinks::OpenTextByContent(std::string_view videoPath) {
    CloseTextByContent();
    text_ = std::make_unique<ScnTextWriter>(videoPath, settings_.Export);
}

void DetectionSinks::ContentTextSceneEnd(std::int32_t endFrame) {
    if (text_ && endFrame != 0)
        text_->AddSceneLine({}, endFrame);
}

bool DetectionSinks::CloseTextByContent() {
    return finish(text_, error_);
}

void DetectionSinks::OpenSpreadsheetByContent(std::string_view videoPath) {
    CloseSpreadsheetByContent();
    excel_ = std::make_unique<SpreadsheetWriter>(videoPath, settings_.Export);
}

void DetectionSinks::ContentSpreadsheetSceneEnd(std::int32_t endFrame) {
    if (excel_ && endFrame != 0)
        excel_->AddSceneRow({}, endFrame);
}

bool DetectionSinks::CloseSpreadsheetByContent() {
    return finish(excel_, error_);
}

void DetectionSinks::ConnectScnByDate(DateSceneDetector& detector, std::string_view videoPath,
                                      int typeScn) {
    OpenScnByDate(videoPath, typeScn);
    detector.OnSceneEnd = [this](const FrameInfo& s, const FrameInfo& r) { ScnSceneEnd(s, r); };
    detector.OnStreamEnd = [this] { CloseScn(); };
}

void DetectionSinks::ConnectTextByDate(DateSceneDetector& detector, std::string_view videoPath) {
    OpenTextByDate(videoPath);
    detector.OnSceneEnd = [this](const FrameInfo& s, const FrameInfo& r) { TextSceneEnd(s, r); };
    detector.OnStreamEnd = [this] { CloseTextByDate(); };
}

void DetectionSinks::ConnectSpreadsheetByDate(DateSceneDetector& detector,
                                              std::string_view videoPath) {
    OpenSpreadsheetByDate(videoPath);
    detector.OnSceneEnd = [this](const FrameInfo& s, const FrameInfo& r) {
        SpreadsheetSceneEnd(s, r);
    };
    detector.OnStreamEnd = [this] { CloseSpreadsheetByDate(); };
}

void DetectionSinks::ConnectSubtitles(DateSceneDetector& detector, std::string_view videoPath,
                                      const SubtitleSettings& subtitles) {
    OpenSubtitles(videoPath);
    detector.SetSubtitleSink([this](const FrameInfo& r, const std::string& l1,
                                    const std::string& l2) { SubtitleLine(r, l1, l2); });
    detector.SetDisplayKind(subtitles.DisplayKind);
    detector.SetAutoMode(subtitles.AutoMode);
    detector.SetTrigger(subtitles.Trigger);
    detector.SetDisplayFrames(
        static_cast<int>(RoundHalfEven(subtitles.DisplaySeconds * settings_.Export.FrameRate)));
    detector.SetDateFormats(subtitles.DateFormat1, subtitles.DateFormat2);
    detector.SetTimeShift(subtitles.TimeShift);
    detector.OnStreamEnd = [this] { CloseSubtitles(); };
}

}  // namespace kelvor::scenes
