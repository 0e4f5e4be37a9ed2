// The items of the main list and the key list beside them: item i shows the display name of its
// file record, and entry i of the key list is that record's sort key. Keys are kept in order, so
// the place where a new key lands is the place where its item goes, and a key found there
// already means the same file. The columns after the name are the details view's: recording
// date and time, duration, standard and aspect, scenes and size, read from the record.
//
// UI thread only. The model owns its records through shared pointers, so a worker that was
// handed an item keeps reading its record after the item is removed.
#pragma once

#include <QAbstractTableModel>

#include <optional>
#include <string>
#include <vector>

#include "commands/Command.h"
#include "core/files/DatePattern.h"

namespace kelvor::ui {

class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        NameColumn,
        RecordedColumn,
        DurationColumn,
        FormatColumn,
        ScenesColumn,
        SizeColumn,
        ColumnCount
    };

    struct Entry {
        commands::FileItem item;
        std::string key;
        // The scenes of the file's scn, counted when the row is first shown.
        mutable std::optional<int> scenes = std::nullopt;
    };

    using QAbstractTableModel::index;
    using QAbstractTableModel::QAbstractTableModel;
    // The row's first column, which stands for the row in the selection.
    QModelIndex index(int row) const { return QAbstractTableModel::index(row, NameColumn); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The preference's display format and the user's locale, for the recording column.
    void SetDateStyle(std::string displayFormat, LocaleInfo locale);
    // The list's sort mode that a click on the column's header asks for; -1 when none.
    static int SortModeOf(int column);
    // The column that shows a sort mode's order; -1 when no column does.
    static int ColumnOf(int sortMode);

    int Count() const { return static_cast<int>(entries_.size()); }
    const Entry& At(int row) const { return entries_.at(static_cast<std::size_t>(row)); }
    // Where the key goes: the first entry whose key is not less.
    int InsertPosition(const std::string& key) const;
    bool KeyAt(int row, const std::string& key) const;
    void Insert(int row, Entry entry);
    // The item keeps its text; only its record changes.
    void ReplaceRecord(int row, std::shared_ptr<const files::FileRecord> record);
    void Remove(int row);
    // Moves the entry at `from` to the place its (new) key sorts to, with a new text and record;
    // returns the new row.
    int Replace(int from, Entry entry);
    void Clear();
    // All entries at once (a new sort order).
    void Reset(std::vector<Entry> entries);
    int Find(const std::string& fullName) const;

  private:
    QString cellText(const Entry& e, int column) const;

    std::vector<Entry> entries_;
    std::string displayFormat_;
    LocaleInfo locale_ = EnglishLocale();
};

}  // namespace kelvor::ui
