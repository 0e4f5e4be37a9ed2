#include "ui/FileListModel.h"

#include <algorithm>

namespace kelvor::ui {

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= Count())
        return {};
    const Entry& e = At(index.row());
    if (role == Qt::DisplayRole)
        return QString::fromStdString(e.item.Text);
    if (role == Qt::ToolTipRole)
        return QString::fromStdString(e.item.FullName());
    return {};
}

int FileListModel::InsertPosition(const std::string& key) const {
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), key,
                         [](const Entry& e, const std::string& k) { return e.key < k; });
    return static_cast<int>(it - entries_.begin());
}

bool FileListModel::KeyAt(int row, const std::string& key) const {
    return row >= 0 && row < Count() && At(row).key == key;
}

void FileListModel::Insert(int row, Entry entry) {
    beginInsertRows({}, row, row);
    entries_.insert(entries_.begin() + row, std::move(entry));
    endInsertRows();
}

void FileListModel::ReplaceRecord(int row, std::shared_ptr<const files::FileRecord> record) {
    entries_.at(static_cast<std::size_t>(row)).item.Record = std::move(record);
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void FileListModel::Remove(int row) {
    beginRemoveRows({}, row, row);
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
}

int FileListModel::Replace(int from, Entry entry) {
    // The place in the key list without the old key; a move keeps the view's selection and
    // focus on the item.
    int to = InsertPosition(entry.key);
    if (At(from).key < entry.key)
        --to;
    if (to != from) {
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
        Entry moved = std::move(entries_[static_cast<std::size_t>(from)]);
        entries_.erase(entries_.begin() + from);
        entries_.insert(entries_.begin() + to, std::move(moved));
        endMoveRows();
    }
    entries_[static_cast<std::size_t>(to)] = std::move(entry);
    const QModelIndex i = index(to);
    emit dataChanged(i, i);
    return to;
}

void FileListModel::Clear() {
    beginResetModel();
    entries_.clear();
    endResetModel();
}

void FileListModel::Reset(std::vector<Entry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int FileListModel::Find(const std::string& fullName) const {
    for (int i = 0; i < Count(); ++i)
        if (At(i).item.FullName() == fullName)
            return i;
    return -1;
}

}  // namespace kelvor::ui
