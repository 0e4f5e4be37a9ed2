// The items of the main list and the key list beside them: item i shows the display name of its
// file record, and entry i of the key list is that record's sort key. Keys are kept in order, so
// the place where a new key lands is the place where its item goes, and a key found there
// already means the same file.
//
// UI thread only. The model owns its records through shared pointers, so a worker that was
// handed an item keeps reading its record after the item is removed.
#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

#include "commands/Command.h"

namespace kelvor::ui {

class FileListModel final : public QAbstractListModel {
    Q_OBJECT
  public:
    struct Entry {
        commands::FileItem item;
        std::string key;
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

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
    std::vector<Entry> entries_;
};

}  // namespace kelvor::ui
