// The list and its key list: adding, removing, refreshing and replacing items in key order,
// the selection and the focused item, the counter texts and the sort modes.
#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>
#include <QTreeView>

#include "commands/FileList.h"
#include "ui/FileListModel.h"
#include "ui/MainWindow.h"
#include "ui/Panels.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"

namespace kelvor::ui {
namespace {

// The counter's sort text by sort mode.
QString SortText(int mode) {
    switch (mode) {
        case 1:
            return MainWindow::tr(" - sorted alphabetically");
        case 2:
            return MainWindow::tr(" - sorted by filesize");
        case 3:
            return MainWindow::tr(" - sorted by filedate");
        default:
            return MainWindow::tr(" - sorted by datecode");
    }
}

}  // namespace

std::shared_ptr<const files::FileRecord> MainWindow::makeRecord(const std::string& path) const {
    files::RecordSettings settings;
    settings.DisplayDatecodeFormat = s_.Prefs.DisplayDatecodeFormat;
    settings.Locale = s_.Env.Locale;
    return std::make_shared<const files::FileRecord>(path, *probe_, settings);
}

int MainWindow::SortMode() const {
    return s_.Prefs.ListOrder;
}

int MainWindow::AddFile(const std::string& path, bool select) {
    if (!probe_ || !commands::AcceptedFile(path))
        return -1;
    auto record = makeRecord(path);
    std::string key = commands::SortKey(*record, SortMode());
    const int at = model_->InsertPosition(key);
    if (model_->KeyAt(at, key)) {
        // The same file again: a fresh record, the item as it was.
        model_->ReplaceRecord(at, std::move(record));
    } else {
        const std::string text = record->Name;
        // The view's focus and selection follow their items, so a file inserted before the
        // focused one leaves the same file focused.
        model_->Insert(
            at, FileListModel::Entry{commands::FileItem{text, std::move(record)}, std::move(key)});
        if (select || s_.Prefs.SelectOnOpen)
            selectRow(at);
    }
    RefreshList();
    return at;
}

void MainWindow::RemoveItem(int index) {
    if (index < 0 || index >= model_->Count())
        return;
    const int focused = Focused();
    selectRow(index, false);
    model_->Remove(index);
    if (focused >= index) {
        if (focused > 0)
            focusRow(focused - 1);
        else
            focusRow(model_->Count() > 0 ? 0 : -1);
    } else {
        focusRow(focused);
    }
}

void MainWindow::RefreshItem(int index) {
    if (index < 0 || index >= model_->Count())
        return;
    auto record = makeRecord(model_->At(index).item.FullName());
    model_->ReplaceRecord(index, record);
    if (index == Focused()) {
        current_ = std::move(record);
        showCurrent();
    }
}

void MainWindow::ReplaceItem(int index, const std::string& path) {
    if (index < 0 || index >= model_->Count())
        return;
    const bool wasFocused = index == Focused();
    auto record = makeRecord(path);
    std::string key = commands::SortKey(*record, SortMode());
    const std::string text = record->Name;
    int to = model_->InsertPosition(key);
    if (model_->KeyAt(to, key) && to != index) {
        // The new name is a file the list already holds: that item takes the new record.
        model_->ReplaceRecord(to, std::move(record));
        const int kept = to > index ? to - 1 : to;
        RemoveItem(index);
        to = kept;
    } else {
        to = model_->Replace(
            index,
            FileListModel::Entry{commands::FileItem{text, std::move(record)}, std::move(key)});
    }
    selectRow(to);
    if (wasFocused)
        focusRow(to);
}

int MainWindow::FindItem(const std::string& fullName) const {
    return model_->Find(fullName);
}

// A row counts as selected when its name is: the ranges of one selection never overlap, so
// each selected row has its first column in exactly one of them.
std::vector<int> MainWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& r : lb_->selectionModel()->selection())
        if (r.left() == FileListModel::NameColumn)
            for (int row = r.top(); row <= r.bottom(); ++row)
                rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

int MainWindow::SelectedCount() const {
    // Counted by ranges: a list of a thousand selected files is not walked item by item.
    int n = 0;
    for (const QItemSelectionRange& r : lb_->selectionModel()->selection())
        if (r.left() == FileListModel::NameColumn)
            n += r.height();
    return n;
}

int MainWindow::Focused() const {
    const QModelIndex i = lb_->selectionModel()->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void MainWindow::selectRow(int row, bool on) {
    if (row < 0 || row >= model_->Count())
        return;
    lb_->selectionModel()->select(
        model_->index(row), (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                QItemSelectionModel::Rows);
}

void MainWindow::focusRow(int row) {
    QItemSelectionModel* sm = lb_->selectionModel();
    if (row < 0 || row >= model_->Count())
        sm->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    else
        sm->setCurrentIndex(model_->index(row), QItemSelectionModel::NoUpdate);
}

void MainWindow::showCurrent() {
    player_->ShowFile(current_, s_.Prefs.DisplayDatecodeFormat, s_.Env.Locale);
    if (current_)
        preview_->Load(current_.get());
    else
        preview_->Clear();
}

void MainWindow::SelectionChanged() {
    RefreshList();
    showCurrent();
    UpdateActions();
}

void MainWindow::RefreshList() {
    const int count = model_->Count();
    const bool showList = count > 1 && panel_ == Panel::None && !listShown_;
    if (showList)
        setListShown(true);
    const bool welcome = count == 0;
    if (welcome != WelcomeShown()) {
        welcome_->setVisible(welcome);
        applyWidth();
    }
    if (welcome)
        welcome_->raise();

    allowed_.clear();
    if (panel_ == Panel::None && count == 1)
        allowed_ = {"mono", "multi"};
    else if (panel_ == Panel::None && count > 1)
        allowed_ = {"liste", "mono", "multi"};

    const int f = Focused();
    if (f >= 0) {
        selectRow(f);
        current_ = model_->At(f).item.Record;
    } else {
        current_.reset();
    }
    const int selected = SelectedCount();
    const bool many = selected >= 2;
    counterText_ = (many ? tr("%1 files of %2") : tr("%1 file of %2")).arg(selected).arg(count) +
                   SortText(SortMode());
    listHint_ = (many ? tr("%1 files selecteds of %2\r\nType F6 to hide the list.")
                      : tr("%1 file selected of %2\r\nType F6 to hide the list."))
                    .arg(selected)
                    .arg(count);
    if (!countersPending_) {
        countersPending_ = true;
        QTimer::singleShot(0, this, [this] {
            countersPending_ = false;
            counter_->setText(counterText_);
            lb_->setToolTip(listHint_);
        });
    }
    // Shown as F6 shows it, with the actions that come with the list.
    if (showList)
        UpdateActions();
}

QString MainWindow::CounterText() const {
    return counterText_;
}

QString MainWindow::ListHint() const {
    return listHint_;
}

void MainWindow::SortList(int mode) {
    if (mode < 0 || mode > 3)
        return;
    std::set<std::string> selected;
    for (int row : SelectedRows())
        selected.insert(model_->At(row).item.FullName());
    const std::string focused = Focused() >= 0 ? model_->At(Focused()).item.FullName() : "";
    std::vector<FileListModel::Entry> entries;
    entries.reserve(static_cast<std::size_t>(model_->Count()));
    for (int i = 0; i < model_->Count(); ++i) {
        FileListModel::Entry e = model_->At(i);
        e.key = commands::SortKey(*e.item.Record, mode);
        entries.push_back(std::move(e));
    }
    // Each item in its present order goes to the place its new key sorts to; keys end with the
    // path, so no two differ only in order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.key < b.key; });
    model_->Reset(std::move(entries));
    s_.Prefs.ListOrder = static_cast<std::uint8_t>(mode);
    showSortColumn();
    focusRow(focused.empty() ? -1 : FindItem(focused));
    for (int i = 0; i < model_->Count(); ++i)
        if (selected.count(model_->At(i).item.FullName()))
            selectRow(i);
    RefreshList();
}

void MainWindow::showSortColumn() {
    const int column = FileListModel::ColumnOf(SortMode());
    // The orders run one way only; a mode without a column shows no indicator.
    lb_->header()->setSortIndicatorShown(column >= 0);
    lb_->header()->setSortIndicator(std::max(column, 0), Qt::AscendingOrder);
}

void MainWindow::headerClicked(int column) {
    const int mode = FileListModel::SortModeOf(column);
    if (mode >= 0 && model_->Count() > 1)
        SortList(mode);
    // The header flips its indicator on a click after telling us; ours is set once it has.
    QTimer::singleShot(0, this, [this] { showSortColumn(); });
}

bool MainWindow::DetailsShown() const {
    return s_.Prefs.Window.DetailedList;
}

void MainWindow::SetDetailsShown(bool on) {
    s_.Prefs.Window.DetailedList = on;
    lb_->setHeaderHidden(!on);
    for (int c = FileListModel::NameColumn + 1; c < FileListModel::ColumnCount; ++c)
        lb_->setColumnHidden(c, !on);
    QHeaderView* header = lb_->header();
    if (on) {
        // Widths from sample texts rather than from the rows, so a long list is not read (nor
        // its scn files opened) to lay out its header.
        const QFontMetrics m = lb_->fontMetrics();
        const auto fit = [&](int column, const QString& sample) {
            const QString title =
                model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            header->setSectionResizeMode(column, QHeaderView::Interactive);
            header->resizeSection(
                column,
                std::max(m.horizontalAdvance(sample), m.horizontalAdvance(title) + 16) + 8);
        };
        fit(FileListModel::NameColumn, "Tape 2006-12 christmas.avi");
        fit(FileListModel::RecordedColumn, "12/28/2006 10:59:59 PM");
        fit(FileListModel::DurationColumn, "00:59:59");
        fit(FileListModel::FormatColumn, "NTSC 16:9");
        fit(FileListModel::ScenesColumn, "999");
        fit(FileListModel::SizeColumn, "999.9 MB");
        // The name takes what the other columns leave, so every column stays in view and a
        // long name is elided rather than pushing the size out of the window.
        header->setSectionResizeMode(FileListModel::NameColumn, QHeaderView::Stretch);
        header->setStretchLastSection(false);
    } else {
        header->setStretchLastSection(true);
    }
    showSortColumn();
    if (detailsAction_ && detailsAction_->isChecked() != on)
        detailsAction_->setChecked(on);
    applyWidth();
}

void MainWindow::EmptyList() {
    preview_->Stop();
    preview_->Clear();
    model_->Clear();
    RefreshList();
    showCurrent();
    UpdateActions();
}

void MainWindow::SelectAll() {
    lb_->selectAll();
    SelectionChanged();
}

}  // namespace kelvor::ui
