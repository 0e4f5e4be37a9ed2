// The list of video files as the runs see it, without widgets: items kept in the order of one of
// the four ordering keys of their records, a selection, the focused item, and the list
// operations and list updates of the main window (add, remove, refresh, replace, find). The
// window may keep its own list; kelvor-cli and the tests use this one.
//
// Owned by its front end; one thread at a time (the front end's, or a worker's while the front
// end waits for it). Records are built through the probe on the calling thread. Nothing throws.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/Command.h"
#include "core/files/FileRecord.h"

namespace kelvor::commands {

// True when the list takes the path: an existing regular file named like DV video (.avi, .dv,
// .dif, .mov, .mkv in any case) or whose first bytes are those of one of these containers.
bool AcceptedFile(const std::string& path);

// The key that orders a record in a list of the given sort mode (0 datecode, 1 name, 2 size,
// 3 file date; any other value orders by datecode). The record's key orders without regard to
// case; the exact path after it keeps two names that differ only by case two items, since on
// Linux they are two files.
std::string SortKey(const files::FileRecord& record, int sortMode);

class FileList {
  public:
    // sortMode: the preference "Ordre de la Liste" (0 datecode, 1 name, 2 size, 3 file date);
    // selectOnAdd: "Sélectionner à l'ouverture".
    FileList(files::MediaProbe& probe, files::RecordSettings settings, int sortMode,
             bool selectOnAdd);

    // The item index, or -1 when the file is refused. The same file again replaces its record.
    int AddFile(const std::string& path, bool select = false);
    void RemoveItem(int index);
    // Re-creates the record from the item's path.
    void RefreshItem(int index);
    // The item becomes the file at path (new record, new place by its key), selected.
    void ReplaceItem(int index, const std::string& path);
    int FindItem(const std::string& fullName) const;
    void Clear();

    // The list update of an execution on the processed file.
    void ApplyUpdate(const std::string& processed, ListUpdate update, const std::string& newPath);

    int Count() const { return static_cast<int>(entries_.size()); }
    const FileItem& Item(int index) const { return entries_.at(index).item; }
    bool IsSelected(int index) const { return entries_.at(index).selected; }
    void Select(int index, bool on = true);
    void SelectAll();
    void UnselectAll();
    std::vector<FileItem> SelectedFiles() const;
    int Focused() const { return focused_; }
    void Focus(int index);
    std::optional<FileItem> CurrentFile() const;

  private:
    struct Entry {
        FileItem item;
        std::string key;
        bool selected = false;
    };
    std::shared_ptr<const files::FileRecord> record(const std::string& path);
    std::string keyOf(const files::FileRecord& r) const;
    int insertAt(const std::string& key) const;

    files::MediaProbe& probe_;
    files::RecordSettings settings_;
    int sortMode_;
    bool selectOnAdd_;
    std::vector<Entry> entries_;
    int focused_ = -1;
};

}  // namespace kelvor::commands
