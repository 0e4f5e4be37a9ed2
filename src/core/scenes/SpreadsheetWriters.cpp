#include "core/scenes/SpreadsheetWriters.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/files/DatePattern.h"
#include "core/files/FormatTexts.h"
#include "core/files/OutputFile.h"
#include "core/scenes/SceneList.h"
#include "core/scenes/TextEncoding.h"
#include "core/shell/About.h"
#include "core/shell/LibraryMessages.h"

namespace kelvor::scenes {
namespace {

// Hands libxlsxwriter's lines among what was printed to the program's route, writes any other
// line back to standard error (another thread's, caught in the same time), and answers the
// system's reason the library named ("System error = No space left on device"), or empty.
std::string routeLibraryLines(const std::string& printed) {
    constexpr std::string_view kSystemError = "System error = ";
    std::string reason;
    std::size_t at = 0;
    while (at < printed.size()) {
        const std::size_t end = std::min(printed.find('\n', at), printed.size());
        const std::string_view line(printed.data() + at, end - at);
        at = end + 1;
        if (line.starts_with("[ERROR]") || line.starts_with("[WARNING]")) {
            shell::ReportLibraryMessage("libxlsxwriter", line);
            if (const auto found = line.find(kSystemError);
                found != std::string_view::npos && reason.empty()) {
                std::string_view why = line.substr(found + kSystemError.size());
                while (!why.empty() && (why.back() == '.' || why.back() == '\r'))
                    why.remove_suffix(1);
                reason = std::string(why);
            }
        } else if (!line.empty()) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        }
    }
    return reason;
}

// Rows and columns counted from 0, as the library counts them.
constexpr lxw_row_t kTitleRow = 2;
constexpr lxw_row_t kNameRow = 3;
constexpr lxw_row_t kExportedRow = 4;
constexpr lxw_row_t kColumnTitlesRow = 6;
constexpr lxw_row_t kFirstSceneRow = 7;
constexpr lxw_col_t kNumberColumn = 1;

constexpr lxw_color_t kBlue = 0x0000FF;
constexpr lxw_color_t kYellow = 0xFFFF00;
constexpr lxw_color_t kSilver = 0xC0C0C0;
constexpr lxw_color_t kWhite = 0xFFFFFF;
constexpr double kHeaderFontSize = 12;

constexpr std::string_view kFooterDatePattern = "dddddd 'at' hh:mm:ss";
constexpr double kMaxColumnWidth = 255;

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

}  // namespace

std::string SpreadsheetFileName(std::string_view name) {
    return ReplaceExtension(name, ".xlsx");
}

struct SpreadsheetSceneList::Book {
    lxw_workbook* workbook = nullptr;
    lxw_worksheet* sheet = nullptr;
    std::vector<lxw_format*> columnFormats;  // background of each title column's scene cells
    lxw_format* titleFormat = nullptr;
};

SpreadsheetSceneList::SpreadsheetSceneList(std::string_view name, ExportContext context,
                                           std::vector<std::string> titles)
    : fileName_(SpreadsheetFileName(name)),
      source_(name),
      context_(std::move(context)),
      titles_(std::move(titles)),
      book_(std::make_unique<Book>()),
      widths_(titles_.size(), 0) {
    // A spreadsheet named like the video it describes must not replace it.
    if (error_ = files::RefusedTarget(fileName_, source_); !error_.empty())
        return;
    // The workbook is only written on close, by the library, into the file created here: a file
    // that cannot be created now would fail then, and the name is this run's alone.
    files::TemporaryFile created = files::CreateTemporaryFile(fileName_);
    if (created.Fd < 0) {
        error_ = std::move(created.Error);
        return;
    }
    ::close(created.Fd);
    tempName_ = std::move(created.Name);
    good_ = true;
    book_->workbook = workbook_new(tempName_.c_str());
    if (book_->workbook == nullptr) {
        good_ = false;
        removeTemporary();
        return;
    }
    book_->sheet = workbook_add_worksheet(book_->workbook, nullptr);
    if (book_->sheet == nullptr) {
        good_ = false;
        return;
    }
    lxw_workbook* wb = book_->workbook;
    lxw_worksheet* ws = book_->sheet;

    lxw_format* nameFormat = workbook_add_format(wb);
    format_set_font_color(nameFormat, kBlue);
    format_set_font_size(nameFormat, kHeaderFontSize);
    format_set_bold(nameFormat);
    book_->titleFormat = workbook_add_format(wb);
    format_set_font_color(book_->titleFormat, kBlue);
    format_set_font_size(book_->titleFormat, kHeaderFontSize);
    for (std::size_t i = 0; i < titles_.size(); ++i) {
        lxw_format* f = workbook_add_format(wb);
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, i == 0 ? kYellow : (i % 2 == 1 ? kSilver : kWhite));
        book_->columnFormats.push_back(f);
    }

    worksheet_write_string(ws, kTitleRow, 0, "List of scenes of the video file:", nullptr);
    worksheet_write_string(ws, kNameRow, 0, LowerCaseText(name).c_str(), nameFormat);
    const std::string exported = std::string("exported by ") + about::kProductName + " version " +
                                 about::VersionText() + " " + about::kLanguageTag;
    worksheet_write_string(ws, kExportedRow, 0, exported.c_str(), nullptr);
    worksheet_write_blank(ws, kColumnTitlesRow, 0, book_->titleFormat);
    for (std::size_t i = 0; i < titles_.size(); ++i) {
        const auto col = static_cast<lxw_col_t>(kNumberColumn + i);
        worksheet_write_string(ws, kColumnTitlesRow, col, titles_[i].c_str(), book_->titleFormat);
        widths_[i] = characterCount(titles_[i]);
    }
}

SpreadsheetSceneList::~SpreadsheetSceneList() {
    Close();
}

std::string SpreadsheetSceneList::position(std::int32_t frame) const {
    return FormatFramePosition(frame, context_.FrameRate);
}

void SpreadsheetSceneList::writeCell(int row, int column, const std::string& text,
                                     int formatIndex) {
    lxw_format* f = book_->columnFormats[static_cast<std::size_t>(formatIndex)];
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(column);
    if (text.empty())
        worksheet_write_blank(book_->sheet, r, c, f);
    else
        worksheet_write_string(book_->sheet, r, c, text.c_str(), f);
    auto& width = widths_[static_cast<std::size_t>(formatIndex)];
    width = std::max(width, characterCount(text));
}

void SpreadsheetSceneList::addRow(std::int32_t endFrame,
                                  const std::vector<std::string>& textsAfterNumber) {
    if (closed_ || book_->sheet == nullptr)
        return;
    // The sheet has about a million rows; scenes beyond them have nowhere to go.
    if (kFirstSceneRow + static_cast<lxw_row_t>(count_) + 3 >= LXW_ROW_MAX)
        return;
    ++count_;
    const int row = static_cast<int>(kFirstSceneRow) + count_ - 1;
    worksheet_write_number(book_->sheet, static_cast<lxw_row_t>(row), kNumberColumn, count_,
                           book_->columnFormats[0]);
    widths_[0] = std::max(widths_[0], std::to_string(count_).size());
    for (std::size_t i = 0; i < textsAfterNumber.size() && i + 1 < titles_.size(); ++i)
        writeCell(row, static_cast<int>(kNumberColumn + 1 + i), textsAfterNumber[i],
                  static_cast<int>(i + 1));
    lastEnd_ = endFrame;
}

void SpreadsheetSceneList::Discard() {
    if (closed_)
        return;
    closed_ = true;
    if (book_->workbook != nullptr) {
        lxw_workbook_free(book_->workbook);
        book_->workbook = nullptr;
    }
    removeTemporary();
}

void SpreadsheetSceneList::removeTemporary() {
    if (!tempName_.empty())
        std::remove(tempName_.c_str());
    tempName_.clear();
}

bool SpreadsheetSceneList::Close() {
    if (closed_)
        return false;
    closed_ = true;
    if (book_->workbook == nullptr) {
        removeTemporary();
        return false;
    }
    if (!good_) {
        // Saving would only fail again; free the workbook without writing.
        lxw_workbook_free(book_->workbook);
        book_->workbook = nullptr;
        removeTemporary();
        return false;
    }
    lxw_worksheet* ws = book_->sheet;
    if (ws != nullptr) {
        const auto footerRow = static_cast<lxw_row_t>(kFirstSceneRow + count_ + 1);
        const std::string terminated =
            "Terminated at " +
            FormatDateTime(kFooterDatePattern, context_.CurrentTime(), context_.Locale);
        const std::string visit = std::string("Visit my web site ") + about::kWebAddress;
        worksheet_write_string(ws, footerRow, 0, terminated.c_str(), nullptr);
        worksheet_write_string(ws, footerRow + 1, 0, visit.c_str(), nullptr);
        worksheet_set_selection(ws, 0, 0, 0, 0);
        // The library cannot measure text; a character and a little margin per character
        // stands in for the application's fit to contents.
        for (std::size_t i = 0; i < widths_.size(); ++i) {
            const double width =
                std::min(kMaxColumnWidth, static_cast<double>(widths_[i]) * 1.2 + 2.0);
            const auto col = static_cast<lxw_col_t>(kNumberColumn + i);
            worksheet_set_column(ws, col, col, width, nullptr);
        }
    }
    // The library prints its reasons to standard error itself: they go through the program's
    // route, and the system's reason among them joins the error.
    lxw_error saved = LXW_NO_ERROR;
    const std::string printed =
        shell::CaptureStandardError([&] { saved = workbook_close(book_->workbook); });
    book_->workbook = nullptr;
    const std::string systemReason = routeLibraryLines(printed);
    if (saved != LXW_NO_ERROR) {
        std::string why = lxw_strerror(saved);
        if (!why.empty() && why.back() == '.')
            why.pop_back();
        error_ = "cannot save " + fileName_ + ": " + why +
                 (systemReason.empty() ? "" : ": " + systemReason);
    } else if (std::string why = files::RefusedTarget(fileName_, source_); !why.empty())
        error_ = why;
    else if (std::rename(tempName_.c_str(), fileName_.c_str()) != 0)
        error_ = "cannot replace " + fileName_ + ": " + std::strerror(errno);
    if (!error_.empty()) {
        removeTemporary();
        return false;
    }
    tempName_.clear();
    return true;
}

SpreadsheetWriter::SpreadsheetWriter(std::string_view name, ExportContext context)
    : SpreadsheetSceneList(name, std::move(context),
                           {"Number", "Start", "End", "Duration", "Caption"}) {}

void SpreadsheetWriter::AddSceneRow(std::string_view caption, std::int32_t endFrame) {
    const SceneRange scene{lastEnd(), endFrame};
    addRow(endFrame, {position(scene.StartFrame), position(scene.EndFrame),
                      position(scene.Length()), LinesToCaption(caption)});
}

DatedSpreadsheetWriter::DatedSpreadsheetWriter(std::string_view name, ExportContext context)
    : SpreadsheetSceneList(
          name, std::move(context),
          {"Number", "Start", "End", "Datecode", "Timecode", "Duration", "Caption"}) {}

void DatedSpreadsheetWriter::AddSceneRow(std::int32_t endFrame, std::string_view caption,
                                         std::string_view datecode, std::string_view timecode) {
    const SceneRange scene{lastEnd(), endFrame};
    addRow(endFrame, {position(scene.StartFrame), position(scene.EndFrame), std::string(datecode),
                      std::string(timecode), position(scene.Length()), LinesToCaption(caption)});
}

}  // namespace kelvor::scenes
