#include "ui/FileListModel.h"

#include <QLocale>

#include <algorithm>

#include "core/dv/DvPacks.h"
#include "core/files/DisplayStyle.h"
#include "core/scenes/SceneList.h"
#include "core/scenes/ScnFile.h"

namespace kelvor::ui {

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileListModel::cellText(const Entry& e, int column) const {
    const files::FileRecord* r = e.item.Record.get();
    if (column == NameColumn || !r)
        return column == NameColumn ? QString::fromStdString(e.item.Text) : QString();
    switch (column) {
        case RecordedColumn:
            return QString::fromStdString(
                r->DatecodeValid ? files::DisplayDateTime(r->Datecode, displayFormat_, locale_)
                                 : r->DatecodeText);
        case DurationColumn:
            return QString::fromStdString(r->DurationText);
        case FormatColumn:
            if (!r->IsDV)
                return QString();
            return QString(r->Standard == dv::kStandardNtsc ? "NTSC" : "PAL") +
                   (r->Wide ? " 16:9" : " 4:3");
        case ScenesColumn:
            if (!r->HasScn)
                return QString();
            if (!e.scenes) {
                scenes::SceneList list;
                scenes::ReadScnFile(scenes::ReplaceExtension(r->FullName, ".scn"), list, r->Fps);
                e.scenes = static_cast<int>(list.size());
            }
            return QString::number(*e.scenes);
        case SizeColumn: {
            const qint64 size =
                static_cast<qint64>((std::uint64_t{r->SizeHigh} << 32) | r->SizeLow);
            return QLocale().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat);
        }
        default:
            return QString();
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= Count())
        return {};
    const Entry& e = At(index.row());
    if (role == Qt::DisplayRole)
        return cellText(e, index.column());
    if (role == Qt::ToolTipRole)
        return QString::fromStdString(e.item.FullName());
    if (role == Qt::TextAlignmentRole && index.column() >= DurationColumn &&
        index.column() != FormatColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case NameColumn:
            return tr("Name");
        case RecordedColumn:
            return tr("Recorded");
        case DurationColumn:
            return tr("Duration");
        case FormatColumn:
            return tr("Standard");
        case ScenesColumn:
            return tr("Scenes");
        case SizeColumn:
            return tr("Size");
        default:
            return {};
    }
}

void FileListModel::SetDateStyle(std::string displayFormat, LocaleInfo locale) {
    displayFormat_ = std::move(displayFormat);
    locale_ = std::move(locale);
    if (Count() > 0)
        emit dataChanged(index(0, RecordedColumn), index(Count() - 1, RecordedColumn));
}

int FileListModel::SortModeOf(int column) {
    // The list's orders: 0 datecode, 1 name, 2 size (a DV file's duration follows its size).
    switch (column) {
        case NameColumn:
            return 1;
        case RecordedColumn:
            return 0;
        case DurationColumn:
        case SizeColumn:
            return 2;
        default:
            return -1;
    }
}

int FileListModel::ColumnOf(int sortMode) {
    switch (sortMode) {
        case 0:
            return RecordedColumn;
        case 1:
            return NameColumn;
        case 2:
            return SizeColumn;
        default:
            return -1;
    }
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
    Entry& e = entries_.at(static_cast<std::size_t>(row));
    e.item.Record = std::move(record);
    e.scenes.reset();
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
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
    emit dataChanged(index(to, 0), index(to, ColumnCount - 1));
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
