// The RIFF structure report of an AVI file as a model the report window shows: it walks the
// chunk tree with its own fixed-size reads and lists every chunk with its size, the main header,
// the stream headers and formats, the DV format block and the index headers field by field,
// flagging chunk lengths that pass the end of the file and bytes after the last RIFF chunk. The
// "movi" lists are skipped with one seek, so only headers and indexes are read.
//
// Threads: one thread runs RunReport at a time; Cancel() may be called from any thread and is
// seen at the next chunk. The callbacks run on the thread of RunReport. Ownership: the model
// owns its lines and, during a report, the open file. Failure: a missing file gives no lines
// and leaves saving disabled; a file that cannot be opened raises FileError from RunReport;
// short reads end the report with "Unexpected end".
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/avi/ClampedChunkWalk.h"
#include "core/avi/PositionedFile.h"
#include "core/files/DatePattern.h"

namespace kelvor::avi {

using ReportStreamKind = StreamKind;

// Lists nested deeper than this are listed but not walked, with a ">>>" line saying so.
inline constexpr int kMaxReportDepth = kMaxChunkDepth;
// A report stops after this many lines (a hostile file of tiny chunks could make millions).
inline constexpr std::size_t kMaxReportLines = 1000000;

class RiffReport {
  public:
    // Window state, kept between reports.
    std::string ReportFileName;
    std::atomic<bool> ReportCancelled{false};
    bool ReportEndOfData = false;
    ReportStreamKind StreamKind = ReportStreamKind::Video;

    // Hooks the window sets; each may be empty.
    std::function<void()> pumpMessages;  // start of every chunk: let pending messages run
    std::function<void()> showWindow;    // ShowReport: show the window (not modal)
    std::function<void()> closeWindow;   // a cancelled report closes the window
    // Local time now as a date-time value (tests fix it).
    std::function<double()> now;
    // The locale of the date line (the user's; tests keep English).
    LocaleInfo Locale = EnglishLocale();

    RiffReport();

    // Disables saving, keeps the path, sets the caption, shows the window and runs the report.
    void ShowReport(const std::string& fullPath);
    // Clears the flags and the lines and writes the report; nothing more when the file does not
    // exist.
    void RunReport(const std::string& fullPath);
    // The same over a file already open; fullPath names it in the lines.
    void RunReport(const std::string& fullPath, PositionedFile& file);

    // Sets ReportCancelled (the Close button, any closing of the window).
    void Cancel() { ReportCancelled = true; }

    const std::vector<std::string>& lines() const { return lines_; }
    const std::string& caption() const { return caption_; }
    bool saveEnabled() const { return saveEnabled_; }
    // Bytes read from the file by the last report.
    std::uint64_t bytesRead() const { return bytesRead_; }

    // The name the save dialog proposes: ReportFileName with its extension changed to ".log".
    std::string SuggestedLogName() const;
    // Writes the lines, each ended by CR LF, in UTF-8, beside the target and moved into place.
    // False (with the reason in why) when the file cannot be written or is the analysed file
    // itself.
    bool Save(const std::string& path, std::string* why = nullptr) const;

    void AddLine(std::string text);
    void AddCenteredLine(std::string_view prefix, std::string_view fill, std::string_view text);
    // prefix + fill x n + text + fill x n, n = (50 - length(prefix) - length(text)) / 2.
    static std::string CenteredLine(std::string_view prefix, std::string_view fill,
                                    std::string_view text);

    static constexpr const char* kRestingCaption = "Analyse an AVI file";

  private:
    class Walk;

    std::vector<std::string> lines_;
    std::string caption_ = kRestingCaption;
    bool saveEnabled_ = false;
    std::uint64_t bytesRead_ = 0;
    std::string analysedPath_;  // the file of the last report, never saved over
};

}  // namespace kelvor::avi
