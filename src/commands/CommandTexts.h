// The texts and names every command shares: the message limit and its fallback forms, the
// printf-like formats of the captions and messages, the output path of a command that writes a
// new file, the replacement question, the dialog's text and the error shown for a file.
//
// Pure functions (ConversionOutputPath and ReplaceQuestion look at the file system), callable
// from any thread; none throws.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/files/FileRecord.h"
#include "core/settings/Preferences.h"

namespace kelvor::commands {

// A question or progress message holds at most this many characters.
inline constexpr std::size_t kMessageLimit = 255;

// The text in the window's language, from the translators QCoreApplication holds (lupdate
// collects the calls; the context is "kelvor::commands" for every command text). kelvor-cli
// installs none, so there it is the English text itself, byte for byte. Any thread.
std::string Translate(const char* context, const char* text);

// Characters (Unicode code points) of a UTF-8 text.
std::size_t TextLength(std::string_view utf8);
// True when the text stays below the limit (a text that reaches 255 characters does not fit).
bool FitsMessage(std::string_view text);
// The first form that fits; the last form is taken whatever its length.
std::string FirstFitting(std::initializer_list<std::string> forms);

// Format with "%s" and "%d" taking the arguments in order (already texts) and "%%" giving "%".
// A specifier without an argument stays as written.
std::string FormatText(std::string_view format, std::initializer_list<std::string> args);

// The name of a new file written from the video: the suffix replaces the video's extension (the
// last "." of the name and what follows). With "Sauver dans le même dossier" the result lies
// beside the video; otherwise it is the video's name with the suffix, in the folder
// "Dossier pour Sauver" (stored with or without its closing slash).
std::string ConversionOutputPath(const files::FileRecordMedia& video, std::string_view suffix,
                                 const settings::Preferences& prefs);

// The suffix of a command that writes the video's own container: a raw DV video's new file ends
// in ".dv" where an AVI one's ends in ".avi" ("_scene_1.avi" gives "_scene_1.dv").
// The sample rate an audio text such as "48000 Hz stereo" begins with; 0 when it begins with none.
int AudioTextRate(const std::string& audioText);
// The suffix of a copy whose datecode is shifted by `days`: "_(+1h30mn).avi".
std::string TimeDifferenceSuffix(double days);
std::string SameContainerSuffix(const files::FileRecordMedia& video, std::string_view aviSuffix);

// "Do you want to replace the existing file <path> ?" when the file exists (the short form when
// that does not fit; "Do you want to replace the existing file ?" when none is given), empty
// when it does not exist. Both in the window's language.
std::string ReplaceQuestion(const std::string& outputPath, std::string_view shortForm = {});

// The confirmation dialog's text: the message, and with several files the hint on the two
// "to All" answers.
std::string ConfirmationDialogText(const std::string& message, bool severalFiles);

// What the window shows when an exception escapes a graph command's execution.
std::string FileErrorText(std::string_view progressMessage, const std::string& fullPath);

// A frame rate in its shortest decimal form: 25, 29.97.
std::string FpsText(double fps);

// "incomplete: 1234 of 5000 frames" for what a stopped conversion left, "incomplete: 0 frames"
// when the frames due are not known, "incomplete" when its frames are not known either.
std::string IncompleteText(std::int64_t framesWritten, std::int64_t framesDue);

// The text with every CR LF (or lone CR or LF) replaced by `with`, for one-line reports.
std::string OneLine(std::string_view text, std::string_view with = " ");

}  // namespace kelvor::commands
