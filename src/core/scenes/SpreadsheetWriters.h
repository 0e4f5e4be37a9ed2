// The spreadsheet exports of a scene list, written as an Office Open XML workbook (".xlsx" in
// place of the name's extension) with libxlsxwriter: a header naming the video, the column
// titles in row 7, one row per scene from row 8, coloured columns and a footer.
//
// Each writer owns its workbook and is used by one thread at a time. The workbook is assembled
// in memory and saved by Close() (or the destructor) under a temporary name, then moved into
// place, so an existing file is replaced only by a complete one. Nothing here opens the saved
// file; the window does that. Failures never throw: Good() and Close() report them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/scenes/ExportContext.h"
#include "core/scenes/SceneWriters.h"

namespace kelvor::scenes {

// What the two spreadsheet forms share.
class SpreadsheetSceneList {
  public:
    virtual ~SpreadsheetSceneList();
    SpreadsheetSceneList(const SpreadsheetSceneList&) = delete;
    SpreadsheetSceneList& operator=(const SpreadsheetSceneList&) = delete;

    // Colours the scene rows, writes the footer, fits the columns and saves. Later calls do
    // nothing and return false. True when the workbook was saved.
    bool Close();
    // Drops the workbook unsaved and keeps the old file (a run that failed).
    void Discard();
    // False when the workbook cannot be saved where it should go.
    bool Good() const { return good_; }
    // Why the workbook could not be saved; empty while all is well.
    const std::string& Error() const { return error_; }
    const std::string& FileName() const { return fileName_; }
    int ScenesWritten() const { return count_; }

  protected:
    SpreadsheetSceneList(std::string_view name, ExportContext context,
                         std::vector<std::string> titles);
    // Writes the row of the next scene: its number, then the texts in the title order after
    // "Number", the start, end and duration placed by the caller.
    void addRow(std::int32_t endFrame, const std::vector<std::string>& textsAfterNumber);
    std::string position(std::int32_t frame) const;
    std::int32_t lastEnd() const { return lastEnd_; }

  private:
    struct Book;

    void writeCell(int row, int column, const std::string& text, int formatIndex);
    void removeTemporary();

    std::string fileName_;
    std::string tempName_;  // the file the library saves into; empty once moved or removed
    std::string source_;    // the file described, never replaced
    std::string error_;
    ExportContext context_;
    std::vector<std::string> titles_;
    std::unique_ptr<Book> book_;
    std::vector<std::size_t> widths_;  // widest text of each title column, in characters
    int count_ = 0;
    std::int32_t lastEnd_ = 0;
    bool good_ = false;
    bool closed_ = false;
};

// Number, Start, End, Duration, Caption.
class SpreadsheetWriter : public SpreadsheetSceneList, public PlainSceneWriter {
  public:
    SpreadsheetWriter(std::string_view name, ExportContext context);
    void AddSceneRow(std::string_view caption, std::int32_t endFrame);

    void AddPlainScene(std::string_view caption, std::int32_t endFrame) override {
        AddSceneRow(caption, endFrame);
    }
    bool Finish() override { return Close(); }
};

// Number, Start, End, Datecode, Timecode, Duration, Caption.
class DatedSpreadsheetWriter : public SpreadsheetSceneList, public DatedSceneWriter {
  public:
    DatedSpreadsheetWriter(std::string_view name, ExportContext context);
    void AddSceneRow(std::int32_t endFrame, std::string_view caption, std::string_view datecode,
                     std::string_view timecode);

    void AddDatedScene(std::int32_t endFrame, std::string_view caption, std::string_view datecode,
                       std::string_view timecode) override {
        AddSceneRow(endFrame, caption, datecode, timecode);
    }
    bool Finish() override { return Close(); }
};

// The file name a spreadsheet export of this name is saved under.
std::string SpreadsheetFileName(std::string_view name);

}  // namespace kelvor::scenes
