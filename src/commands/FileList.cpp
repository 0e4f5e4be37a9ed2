#include "commands/FileList.h"

#include <algorithm>

#include "core/files/FileKinds.h"

namespace kelvor::commands {

bool AcceptedFile(const std::string& path) {
    return files::IsDvVideoCandidate(path);
}

FileList::FileList(files::MediaProbe& probe, files::RecordSettings settings, int sortMode,
                   bool selectOnAdd)
    : probe_(probe),
      settings_(std::move(settings)),
      sortMode_(sortMode),
      selectOnAdd_(selectOnAdd) {}

std::shared_ptr<const files::FileRecord> FileList::record(const std::string& path) {
    return std::make_shared<const files::FileRecord>(path, probe_, settings_);
}

namespace {

const std::string& recordKey(const files::FileRecord& r, int sortMode) {
    switch (sortMode) {
        case 1:
            return r.NameKey;
        case 2:
            return r.SizeKey;
        case 3:
            return r.DateKey;
        default:
            return r.DatecodeSortKey;
    }
}

}  // namespace

std::string SortKey(const files::FileRecord& r, int sortMode) {
    // No path holds a NUL, so the separator sorts every tie by the exact path.
    std::string key = recordKey(r, sortMode);
    key += '\0';
    key += r.FullName;
    return key;
}

std::string FileList::keyOf(const files::FileRecord& r) const {
    return SortKey(r, sortMode_);
}

int FileList::insertAt(const std::string& key) const {
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), key,
                         [](const Entry& e, const std::string& k) { return e.key < k; });
    return static_cast<int>(it - entries_.begin());
}

int FileList::AddFile(const std::string& path, bool select) {
    if (!AcceptedFile(path))
        return -1;
    auto r = record(path);
    const std::string key = keyOf(*r);
    const int at = insertAt(key);
    if (at < Count() && entries_[static_cast<std::size_t>(at)].key == key) {
        entries_[static_cast<std::size_t>(at)].item.Record = std::move(r);
        if (select || selectOnAdd_)
            entries_[static_cast<std::size_t>(at)].selected = true;
        return at;
    }
    const std::string text = r->Name;
    entries_.insert(entries_.begin() + at,
                    Entry{FileItem{text, std::move(r)}, key, select || selectOnAdd_});
    // The same file stays focused.
    if (focused_ != -1 && at <= focused_)
        ++focused_;
    return at;
}

void FileList::RemoveItem(int index) {
    if (index < 0 || index >= Count())
        return;
    entries_.erase(entries_.begin() + index);
    if (focused_ >= index) {
        if (focused_ > 0)
            --focused_;
        else
            focused_ = entries_.empty() ? -1 : 0;
    }
}

void FileList::RefreshItem(int index) {
    if (index < 0 || index >= Count())
        return;
    Entry& e = entries_[static_cast<std::size_t>(index)];
    e.item.Record = record(e.item.Record->FullName);
}

void FileList::ReplaceItem(int index, const std::string& path) {
    if (index < 0 || index >= Count())
        return;
    const bool wasFocused = focused_ == index;
    auto r = record(path);
    Entry moved{FileItem{r->Name, r}, keyOf(*r), true};
    entries_.erase(entries_.begin() + index);
    if (focused_ > index)
        --focused_;
    const int at = insertAt(moved.key);
    if (at < Count() && entries_[static_cast<std::size_t>(at)].key == moved.key) {
        entries_[static_cast<std::size_t>(at)] = std::move(moved);
    } else {
        entries_.insert(entries_.begin() + at, std::move(moved));
        if (!wasFocused && focused_ != -1 && at <= focused_)
            ++focused_;
    }
    if (wasFocused)
        focused_ = at;
}

int FileList::FindItem(const std::string& fullName) const {
    for (int i = 0; i < Count(); ++i)
        if (entries_[static_cast<std::size_t>(i)].item.Record->FullName == fullName)
            return i;
    return -1;
}

void FileList::Clear() {
    entries_.clear();
    focused_ = -1;
}

void FileList::ApplyUpdate(const std::string& processed, ListUpdate update,
                           const std::string& newPath) {
    switch (update) {
        case ListUpdate::None:
            break;
        case ListUpdate::Add:
            AddFile(newPath);
            break;
        case ListUpdate::Delete:
            RemoveItem(FindItem(processed));
            break;
        case ListUpdate::Modify:
            RefreshItem(FindItem(processed));
            break;
        case ListUpdate::Rename:
            ReplaceItem(FindItem(processed), newPath);
            break;
    }
}

void FileList::Select(int index, bool on) {
    if (index >= 0 && index < Count())
        entries_[static_cast<std::size_t>(index)].selected = on;
}

void FileList::SelectAll() {
    for (Entry& e : entries_)
        e.selected = true;
}

void FileList::UnselectAll() {
    for (Entry& e : entries_)
        e.selected = false;
}

std::vector<FileItem> FileList::SelectedFiles() const {
    std::vector<FileItem> out;
    for (const Entry& e : entries_)
        if (e.selected)
            out.push_back(e.item);
    return out;
}

void FileList::Focus(int index) {
    focused_ = index >= 0 && index < Count() ? index : -1;
}

std::optional<FileItem> FileList::CurrentFile() const {
    if (focused_ < 0 || focused_ >= Count())
        return std::nullopt;
    return entries_[static_cast<std::size_t>(focused_)].item;
}

}  // namespace kelvor::commands
