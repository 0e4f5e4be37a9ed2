#include "ui/panels/SettingsPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include "core/files/DisplayStyle.h"
#include "core/shell/About.h"
#include "ui/PreviewSlot.h"

namespace kelvor::ui {
namespace {

const QString kCrLf = "\r\n";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QPlainTextEdit* Memo(QWidget* parent, const QString& text) {
    auto* m = new QPlainTextEdit(parent);
    m->setReadOnly(true);
    m->setPlainText(QString(text).replace("\r\n", "\n"));
    m->setFrameShape(QFrame::NoFrame);
    QPalette pal = m->palette();
    pal.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    m->setPalette(pal);
    return m;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& text, const QString& hint) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setToolTip(hint);
    return c;
}

// A radio group: a titled box of buttons whose ids are the item indexes.
QButtonGroup* Radio(QWidget* parent, QLayout* into, const char* name, const QString& title,
                    const QStringList& items, const QString& hint, bool horizontal = false,
                    QGroupBox** box = nullptr) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(name);
    g->setToolTip(hint);
    QBoxLayout* l = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(g))
                               : static_cast<QBoxLayout*>(new QVBoxLayout(g));
    auto* group = new QButtonGroup(g);
    group->setObjectName(name);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], g);
        group->addButton(b, i);
        l->addWidget(b);
    }
    into->addWidget(g);
    if (box)
        *box = g;
    return group;
}

// Selects an item (or none, for an index out of range) as a user click would.
void SetIndex(QButtonGroup* g, int index) {
    if (QAbstractButton* b = g->button(index)) {
        b->setChecked(true);
        return;
    }
    g->setExclusive(false);
    for (QAbstractButton* b : g->buttons())
        b->setChecked(false);
    g->setExclusive(true);
}

ExitLineEdit* Edit(QWidget* parent, const char* name, const QString& hint) {
    auto* e = new ExitLineEdit(parent);
    e->setObjectName(name);
    e->setToolTip(hint);
    return e;
}

}  // namespace

void ExitLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit Exited();
}

QString SettingsPanel::WithDelimiter(const QString& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

QString SettingsPanel::ShiftText(double days, bool detailed) {
    const auto s = std::llround(days * 86400.0);
    if (detailed)
        return tr("%1 days %2h %3m %4s")
            .arg(s / 86400)
            .arg(s / 3600 % 24)
            .arg(s / 60 % 60)
            .arg(s % 60);
    const long long hours = std::llabs(s) / 3600 % 24;
    return (s < 0 ? "-" : "") + QString::number(hours) + "h";
}

namespace {

// How a control shows its preference's value.
enum class Convert : std::uint8_t {
    Same,      // the check state, button id, number or text as the preference holds it
    Inverted,  // a check box that shows the opposite of its flag
    FromOne,   // a radio group whose first button stands for 1
    Folder,    // a folder, read back with a trailing '/'
    Shift,     // the time difference, always in its detailed form
};

// When a control writes its preference.
enum class Apply : std::uint8_t {
    AtOnce,   // as soon as it changes, and at the read-back
    AtStore,  // only at the read-back before a store
    // As soon as it changes, and at every fill whatever the fill changed: the control is
    // filled without its signals, then written back and its reaction run.
    AtOnceAndEveryFill,
    Never,  // shown only: a button's handler writes the preference
};

template <class Member>
struct MemberOf;
template <class Value, class Owner>
struct MemberOf<Value Owner::*> {
    using Type = Value;
};

// A label shows the time difference; text fields hold texts and whole numbers; check boxes,
// radio groups and spin boxes hold flags and small numbers.
template <class Value, class Widget>
constexpr bool kFits = std::is_same_v<Widget, QLabel>
                           ? std::is_same_v<Value, double>
                           : (std::is_base_of_v<QLineEdit, Widget>
                                  ? std::is_same_v<Value, std::string> || std::is_same_v<Value, int>
                                  : std::is_integral_v<Value>);

}  // namespace

// One option: its preference, the member that holds its control, how the value converts,
// when the control writes it, and the control's own reaction after the write.
struct SettingsPanel::Option {
    using Prefs = settings::Preferences;
    using FieldPointer = std::variant<bool Prefs::*, std::uint8_t Prefs::*, int Prefs::*,
                                      double Prefs::*, std::string Prefs::*>;
    using ControlPointer =
        std::variant<QCheckBox * SettingsPanel::*, QButtonGroup * SettingsPanel::*,
                     QSpinBox * SettingsPanel::*, ExitLineEdit * SettingsPanel::*,
                     QLineEdit * SettingsPanel::*, QLabel * SettingsPanel::*>;
    using Reaction = void (SettingsPanel::*)();

    template <class Value, class Widget>
    constexpr Option(Value Prefs::*field, Widget* SettingsPanel::*control,
                     Convert convert = Convert::Same, Apply apply = Apply::AtOnce,
                     Reaction react = nullptr)
        : Field(field), Control(control), Converts(convert), Applies(apply), React(react) {
        static_assert(kFits<Value, Widget>, "this control cannot show this preference");
    }

    FieldPointer Field;
    ControlPointer Control;
    Convert Converts;
    Apply Applies;
    Reaction React;
};

std::span<const SettingsPanel::Option> SettingsPanel::options() {
    using P = settings::Preferences;
    using S = SettingsPanel;
    using enum Convert;
    using enum Apply;
    // Tab by tab, in the order of the controls.
    static constexpr Option table[] = {
        // Preferences
        {&P::SavePreferencesOnQuit, &S::savePrefsOnQuitBox},
        {&P::IniMode, &S::storeGroup, Same, AtOnce, &S::storeChosen},
        // At every fill the desktop entry is made to match the preference.
        {&P::OfferInOpenWith, &S::openWithBox, Same, AtOnceAndEveryFill, &S::openWithChanged},
        {&P::SelectOnOpen, &S::selectOnOpenBox},
        {&P::SaveListOnQuit, &S::saveListOnQuitBox, Same, AtOnce, &S::saveListChanged},
        {&P::PreviewDvAtHalfSize, &S::halfSizeBox, Same, AtOnce, &S::halfSizeChanged},
        {&P::DvAudioRate, &S::dvAudioRateGroup},
        {&P::DefaultStandard, &S::standardGroup, FromOne},
        {&P::ScnType, &S::scnTypeGroup, FromOne},
        // Shortcuts
        {&P::SortShortcutsByCaption, &S::sortShortcutsBox, Inverted, AtOnce, &S::sortChanged},
        // Formats
        {&P::RenameRoot, &S::renameRootEdit},
        {&P::RenameFormat, &S::renameFormatEdit},
        {&P::AddDatecodeFormat, &S::addDatecodeFormatEdit},
        {&P::DisplayDatecodeFormat, &S::displayFormatEdit, Same, AtOnce, &S::displayFormatChanged},
        {&P::AddBeforeName, &S::addBeforeNameBox},
        {&P::InlayFormat1, &S::inlayFormat1Edit, Same, AtOnce, &S::inlayFormatsChanged},
        {&P::InlayFormat2, &S::inlayFormat2Edit, Same, AtOnce, &S::inlayFormatsChanged},
        // Folders
        {&P::OpenFolder, &S::openFolderEdit, Folder},
        {&P::PreferredFolder, &S::preferredFolderEdit, Folder},
        {&P::PlaylistFolder, &S::playlistFolderEdit, Folder, AtStore},
        {&P::SaveInSameFolder, &S::sameFolderBox, Same, AtOnce, &S::enableDependents},
        {&P::SaveFolder, &S::saveFolderEdit, Folder},
        // Inlay
        {&P::StandardFontSize, &S::standardFontSizeBox, Same, AtOnce, &S::standardFontSizeChanged},
        {&P::BorderSize, &S::borderSpin},
        {&P::InlayAlignment, &S::alignGroup, Same, AtOnce, &S::alignmentChanged},
        {&P::InlayWhat, &S::inlayWhatGroup, Same, AtOnce, &S::inlayWhatChanged},
        {&P::InlayAuto, &S::inlayAutoBox, Same, AtOnce, &S::inlayAutoChanged},
        {&P::InlayWhen, &S::inlayWhenGroup, Same, AtOnce, &S::inlayWhenChanged},
        {&P::InlayDuration, &S::inlayDurationEdit, Same, AtOnce, &S::inlayDurationChanged},
        // The button beside it asks for the difference.
        {&P::TimeShift, &S::timeShiftLabel_, Shift, Never},
        // Files
        {&P::VarnoltProgram, &S::varnoltProgramEdit},
        {&P::F3Program, &S::f3ProgramEdit, Same, AtOnce, &S::f3ProgramChanged},
        {&P::F4Program, &S::f4ProgramEdit, Same, AtOnce, &S::f4ProgramChanged},
    };
    return table;
}

SettingsPanel::SettingsPanel(QWidget* parent, settings::Preferences& prefs)
    : QFrame(parent), p_(prefs) {
    setObjectName("SettingsPanel");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    setContextMenuPolicy(Qt::PreventContextMenu);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setObjectName("Icon");
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    head->addWidget(icon);
    title_ = new QLabel(this);
    title_->setObjectName("TitleLabel");
    QFont f = title_->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    title_->setFont(f);
    head->addWidget(title_, 1);
    auto* home =
        new QLabel(tr("<a href=\"%1\">Homepage of Kelvor</a>").arg(about::kWebAddress), this);
    home->setToolTip(tr("to get help or updates for %1").arg(about::kProductName));
    connect(home, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    head->addWidget(home);
    column->addLayout(head);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(buildPreferences(), tr("Preferences"));
    tabs_->addTab(buildShortcuts(), tr("Shortcuts"));
    tabs_->addTab(buildFormats(), tr("Formats"));
    tabs_->addTab(buildFolders(), tr("Folders"));
    tabs_->addTab(buildInlay(), tr("Inlay"));
    tabs_->addTab(buildFiles(), tr("Programs"));
    column->addWidget(tabs_, 1);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("CloseButton");
    close->setToolTip(
        tr("Close the Settings window.\r\n"
           "You may also type F10."));
    connect(close, &QPushButton::clicked, this, [this] {
        if (host_)
            host_->CloseSettings();
    });
    column->addWidget(close, 0, Qt::AlignRight);

    ChooseFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, tr("Choose a folder"), start);
    };
    ChooseFile = [this](const QString& start) {
        return QFileDialog::getOpenFileName(this, tr("Choose a program"), start);
    };
    ChooseFont = [this](settings::InlayFontSettings& font) {
        QFont initial(Q(font.Name), font.Size);
        initial.setBold(font.Bold);
        initial.setItalic(font.Italic);
        initial.setUnderline(font.Underline);
        initial.setStrikeOut(font.StrikeOut);
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, initial, this, tr("Font"));
        if (!ok)
            return false;
        // The colour is kept as 0x00BBGGRR.
        const QColor old(font.Color & 0xFF, (font.Color >> 8) & 0xFF, (font.Color >> 16) & 0xFF);
        const QColor c = QColorDialog::getColor(old, this, tr("Colour of the inlay"));
        font.Name = chosen.family().toStdString();
        font.Size = chosen.pointSize() > 0 ? chosen.pointSize() : font.Size;
        font.Bold = chosen.bold();
        font.Italic = chosen.italic();
        font.Underline = chosen.underline();
        font.StrikeOut = chosen.strikeOut();
        if (c.isValid())
            font.Color = c.red() | (c.green() << 8) | (c.blue() << 16);
        return true;
    };
    for (const Option& o : options())
        connectOption(o);
}

QWidget* SettingsPanel::buildPreferences() {
    auto* page = new QWidget(tabs_);
    auto* grid = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    grid->addLayout(left, 1);
    grid->addLayout(right, 1);

    auto* prefs = new QGroupBox(tr("Preferences"), page);
    auto* pl = new QVBoxLayout(prefs);
    savePrefsOnQuitBox = Check(prefs, "SavePrefsOnQuitBox", tr("Save the preferences when quit"),
                               tr("Save your preferences into your configuration folder\r\n"
                                  "each time you quit the application."));
    pl->addWidget(savePrefsOnQuitBox);
    saveNowButton = new QPushButton(tr("Save the preferences now"), prefs);
    saveNowButton->setObjectName("SaveNowButton");
    saveNowButton->setToolTip(tr("Save the preferences now into your configuration folder."));
    pl->addWidget(saveNowButton);
    deletePrefsButton = new QPushButton(tr("Delete the preferences"), prefs);
    deletePrefsButton->setObjectName("DeletePrefsButton");
    deletePrefsButton->setToolTip(
        tr("Delete the saved preferences.\r\n"
           "At next start, the application will load\r\n"
           "with default parameters."));
    pl->addWidget(deletePrefsButton);
    left->addWidget(prefs);
    storeGroup =
        Radio(page, left, "StoreGroup", tr("Where to save the preferences"),
              {tr("In your configuration folder"), tr("Beside the program (portable)")},
              tr("Indicate where the Preferences will be saved in order to retrieve them at "
                 "next start."));
    openWithBox = Check(page, "OpenWithBox", tr("Show Kelvor in Open With"),
                        tr("If this box is checked, then you can open one or several AVI files\r\n"
                           "with Kelvor from the file manager: Kelvor is offered\r\n"
                           "in the menu \"Open With\" of AVI files."));
    left->addWidget(openWithBox);
    selectOnOpenBox =
        Check(page, "SelectOnOpenBox", tr("Select when opening"),
              tr("Check to select automatically the files when they are added to the list."));
    left->addWidget(selectOnOpenBox);
    saveListOnQuitBox = Check(page, "SaveListOnQuitBox", tr("Save the playlist when quit"),
                              tr("Check in order to save the playlist whent quit\r\n"
                                 "and to restore it at next launch"));
    left->addWidget(saveListOnQuitBox);
    halfSizeBox = Check(
        page, "HalfSizeBox", tr("Preview DV in half size."),
        tr("If checked, the video DV will be previewed in half size. (Recommended)\r\n"
           "Useful to avoid interlacing, but the image will be less sharp in full screen mode."));
    left->addWidget(halfSizeBox);
    left->addStretch(1);
    dvAudioRateGroup =
        Radio(page, right, "DvAudioRateGroup", tr("DV Frequency"), {"32000", "44100", "48000"},
              tr("frequency of audio when converting an AVI file into DV type 2"), true);
    standardGroup = Radio(page, right, "StandardGroup", tr("Default Standard"), {"Pal", "Ntsc"},
                          tr("TV Standard used to convert non-DV avi files to DV type 2"), true);
    scnTypeGroup = Radio(page, right, "ScnTypeGroup", tr("Scene files (scn)"),
                         {tr("Type 1 (ANSI)"), tr("Type 2 (unicode)")}, {}, true);
    right->addWidget(Memo(page, tr("\r\nModify the settings \r\n     to manage the Preferences \r\n"
                                   "     to change the TV standard used for recompression into DV "
                                   "type 2, \r\n     and to change the behaviour of Kelvor.")),
                     1);

    connect(saveNowButton, &QPushButton::clicked, this, [this] {
        if (host_)
            host_->SavePreferencesNow();
        p_.SavePreferencesOnQuit = false;
    });
    connect(deletePrefsButton, &QPushButton::clicked, this, [this] {
        savePrefsOnQuitBox->setChecked(false);
        if (host_)
            host_->DeleteStoredPreferences();
        p_.SavePreferencesOnQuit = false;
        if (p_.OfferInOpenWith)
            openWithChanged();
    });
    return page;
}

QWidget* SettingsPanel::buildShortcuts() {
    auto* page = new QWidget(tabs_);
    auto* column = new QVBoxLayout(page);
    auto* memo =
        Memo(page, tr("Command-line scripts are like: +switch or +switch=\"parameter\".\r\nPut "
                      "parameters between double quotes, and no blank before or after =. But put "
                      "a blank space between two commands on the same line.\r\nThe + may be "
                      "replaced by - or /."));
    memo->setMaximumHeight(80);
    column->addWidget(memo);
    table_ = new QTableWidget(0, 3, page);
    table_->setObjectName("ShortcutTable");
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(18);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    column->addWidget(table_, 1);
    sortShortcutsBox =
        Check(page, "SortShortcutsBox", tr("Sort by keyboard shortcuts"),
              tr("Toggle between the keys and command names to sort alphabetically"));
    column->addWidget(sortShortcutsBox);
    return page;
}

QWidget* SettingsPanel::buildFormats() {
    auto* page = new QWidget(tabs_);
    auto* column = new QVBoxLayout(page);
    auto* memo = Memo(
        page,
        tr("\r\n  * Choose the formats of datecode: For example\r\nyyyy mmmm dd hh:nn:ss gives "
           "'2006 "
           "march 12 15:46:37'\r\ndddddd gives 'sunday 2006 march 12' or ddddd gives "
           "'06/03/12'\r\nOne may add text in double quotes, for example:\r\n\"A \"dddd \" of "
           "\"mmmm gives 'A sunday of march'\r\n  * The format for renaming à la Scenalyser is by "
           "default\r\nyyyymmdd_hh.nn.ss   with a root like ClipDV'\r\n  * Inlay of datecode is "
           "similarly defined on 2 lines,\r\nbut one line may stay empty if you want all data on a "
           "single line."));
    column->addWidget(memo, 1);
    auto* rename = new QGroupBox(tr("Rename à la  Scenalyser"), page);
    auto* rl = new QFormLayout(rename);
    renameRootEdit = Edit(rename, "RenameRootEdit",
                          tr("Rootname used to build the video name\r\n"
                             "in Scenalyser style"));
    rl->addRow(tr("Rootname used to rename"), renameRootEdit);
    renameFormatEdit = Edit(rename, "RenameFormatEdit",
                            tr("Format used to add the datecode to the rootname\r\n"
                               "in Scenalyser style"));
    rl->addRow(tr("Format for renaming"), renameFormatEdit);
    column->addWidget(rename);
    auto* formats = new QGroupBox(tr("Formats of datecode"), page);
    auto* fl = new QFormLayout(formats);
    addDatecodeFormatEdit = Edit(formats, "AddDatecodeFormatEdit",
                                 tr("Format used by the command \"Add datecode\"\r\n"
                                    "for example   yyyy mmmm ddddd hh:nn:ss"));
    fl->addRow(tr("Format used to add the datecode"), addDatecodeFormatEdit);
    displayFormatEdit = Edit(formats, "DisplayFormatEdit",
                             tr("Format used to display the datecode among informations about\r\n"
                                "the selected file. \r\n"
                                "For example ddddd hh:nn:ss"));
    fl->addRow(tr("Format to display datecode"), displayFormatEdit);
    addBeforeNameBox =
        Check(formats, "AddBeforeNameBox", tr("Add before the filename"),
              tr("If checked, then the commands \"Add timecode\" and \"Add "
                 "datecode\"\r\nwill put this data before the filename, otherwise after "
                 "it."));
    fl->addRow(QString(), addBeforeNameBox);
    inlayFormat1Edit = Edit(formats, "InlayFormat1Edit",
                            tr("Format used to inlay the datecode on the first line.\r\n"
                               "For example \"dd-mm-yy\" to display only the date."));
    fl->addRow(tr("Inlay line 1"), inlayFormat1Edit);
    inlayFormat2Edit = Edit(formats, "InlayFormat2Edit",
                            tr("Format used to inlay the datecode on the second line.\r\n"
                               "For example \"hh:nn:ss\" to display only the time."));
    fl->addRow(tr("Inlay line 2"), inlayFormat2Edit);
    column->addWidget(formats);

    return page;
}

QWidget* SettingsPanel::buildFolders() {
    auto* page = new QWidget(tabs_);
    auto* column = new QVBoxLayout(page);
    auto* memo = Memo(page, tr("\r\nChoose the default folders for opening files with\r\nthe Open "
                               "command (CTRL+O) or for the preferred folder (F7).\r\n\r\nIndicate "
                               "also if the files created by conversion shall be\r\ncreated in the "
                               "same folder, or, if not, in which one."));
    column->addWidget(memo, 1);
    // A folder field: the text and a button that opens the folder dialog at it.
    const auto folderField = [this](QWidget* parent, QVBoxLayout* into, const char* name,
                                    const QString& label, const QString& hint,
                                    std::function<void(const QString&)> afterDialog) {
        into->addWidget(new QLabel(label, parent));
        auto* row = new QHBoxLayout;
        auto* edit = Edit(parent, name, hint);
        auto* browse = new QPushButton("...", parent);
        browse->setFixedWidth(32);
        row->addWidget(edit, 1);
        row->addWidget(browse);
        into->addLayout(row);
        connect(browse, &QPushButton::clicked, this, [this, edit, afterDialog] {
            QString start = edit->text();
            if (start.isEmpty() || !QFileInfo(start).isDir())
                start = "/";
            const QString chosen = ChooseFolder ? ChooseFolder(start) : QString();
            afterDialog(chosen.isEmpty() ? QString() : chosen);
        });
        return edit;
    };
    auto* open = new QGroupBox(tr("Folders for opening videos"), page);
    auto* ol = new QVBoxLayout(open);
    // The dialogs of the open and save folders always give a folder: a cancelled one gives
    // the folder it started at.
    openFolderEdit =
        folderField(open, ol, "OpenFolderEdit", tr("Default folder for opening videos"),
                    tr("Default folder to open files."), [this](const QString& f) {
                        const QString folder = f.isEmpty() ? openFolderEdit->text() : f;
                        if (folder.isEmpty())
                            return;
                        p_.OpenFolder = WithDelimiter(folder).toStdString();
                        openFolderEdit->setText(folder);
                    });
    preferredFolderEdit =
        folderField(open, ol, "PreferredFolderEdit", tr("Preferred folder ( to be opened with F7)"),
                    tr("\"Prefered\" Folder: it's a folder from which all AVI files\r\n"
                       "may be openend by F7 or by a clic on the button with "
                       "heart."),
                    [this](const QString& f) {
                        if (!f.isEmpty())
                            preferredFolderEdit->setText(f);
                    });
    playlistFolderEdit =
        folderField(open, ol, "PlaylistFolderEdit", tr("Default folder for the PlayLists "),
                    tr("Folder to save the playlist."), [this](const QString& f) {
                        if (!f.isEmpty())
                            playlistFolderEdit->setText(f);
                    });
    column->addWidget(open);
    auto* save = new QGroupBox(tr("Where to save the files created by conversion"), page);
    auto* sl = new QVBoxLayout(save);
    sameFolderBox = Check(save, "cbsameFolder", tr("Convert in the same folder"),
                          tr("If checked, then all files produced by conversion will be created in "
                             "the same folder\r\n"
                             "than the source file. If not, they will be created in the "
                             "folder below.\r\n"
                             "Note that scn files will always be in the same folder, even "
                             "if this box\r\n"
                             "is not checked."));
    sl->addWidget(sameFolderBox);
    saveFolderEdit = folderField(save, sl, "SaveFolderEdit", tr("Convert in the following folder:"),
                                 tr("Folder for storing the files."), [this](const QString& f) {
                                     const QString folder =
                                         f.isEmpty() ? saveFolderEdit->text() : f;
                                     if (folder.isEmpty())
                                         return;
                                     p_.SaveFolder = WithDelimiter(folder).toStdString();
                                     saveFolderEdit->setText(folder);
                                 });
    column->addWidget(save);

    return page;
}

QWidget* SettingsPanel::buildInlay() {
    auto* page = new QWidget(tabs_);
    auto* grid = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    grid->addLayout(left, 1);
    const QString fontHint =
        tr("Choose the font for inlay of datecode. The default font\r\n"
           "with white color seems to give the best results.");
    auto* fontRow = new QHBoxLayout;
    inlayFontButton = new QPushButton("F", page);
    inlayFontButton->setObjectName("InlayFontButton");
    inlayFontButton->setToolTip(fontHint);
    inlayFontButton->setFixedWidth(32);
    auto* fontLabel = new QLabel(tr("Font"), page);
    fontLabel->setObjectName("FontLabel");
    fontLabel->setToolTip(fontHint);
    fontRow->addWidget(inlayFontButton);
    fontRow->addWidget(fontLabel, 1);
    left->addLayout(fontRow);
    standardFontSizeBox =
        Check(page, "StandardFontSizeBox", tr("Default size"),
              tr("Check if you want the Font size of inlay text to be set automatically,\r\n"
                 "according to the image size of video (Recommended)."));
    left->addWidget(standardFontSizeBox);
    auto* borderRow = new QHBoxLayout;
    const QString borderHint =
        tr("To sharpen the contrast of the inlay in front of the picture,\r\nset "
           "the size of a black border around the inlayed text.\r\nSet 0 if "
           "you don't want a border.");
    auto* borderLabel = new QLabel(tr("Border"), page);
    borderLabel->setObjectName("BorderLabel");
    borderLabel->setToolTip(borderHint);
    borderSpin = new QSpinBox(page);
    borderSpin->setObjectName("BorderSpin");
    borderSpin->setRange(0, 4);
    borderSpin->setToolTip(borderHint);
    borderRow->addWidget(borderLabel);
    borderRow->addWidget(borderSpin);
    borderRow->addStretch(1);
    left->addLayout(borderRow);
    alignGroup =
        Radio(page, left, "AlignGroup", tr("Alignment"), {tr("Left"), tr("Centered"), tr("Right")},
              tr("Set the alignment of the inlayed text.\r\nuseful when inserting the "
                 "datecode on two lines."),
              true);
    inlayWhatGroup =
        Radio(page, left, "InlayWhatGroup", tr("What?"), {tr("Datecode"), tr("Timecode")},
              tr("One may inlay datecode or timecode."), true);
    inlayAutoBox =
        Check(page, "InlayAutoBox", tr("automatic"),
              tr("If checked, then inlay is automatically activated for a given duration\r\n"
                 "each time when an event (set in \"Mode auto\") happens.\r\n"
                 "By default, 5 seconds at each new scene"));
    left->addWidget(inlayAutoBox);
    inlayWhenGroup =
        Radio(page, left, "InlayWhenGroup", tr("Mode Auto"), {tr("once"), tr("scene"), tr("daily")},
              tr("In Auto mode, inlay is made during a given duration\r\n"
                 "either once\r\n"
                 "or at each new scene\r\n"
                 "or at each new day"),
              true, &modeBox_);
    auto* durRow = new QFormLayout;
    inlayDurationEdit = Edit(page, "InlayDurationEdit",
                             tr("Duration in seconds of automatic inlay of datecode\r\n"
                                " each scene change (only for DV videos)"));
    durRow->addRow(tr("duration in seconds"), inlayDurationEdit);
    left->addLayout(durRow);
    auto* shiftRow = new QHBoxLayout;
    auto* timeShiftTitle = new QLabel(tr("Time difference"), page);
    timeShiftTitle->setObjectName("TimeShiftTitle");
    advancedShiftButton = new QPushButton("...", page);
    advancedShiftButton->setObjectName("TimeShiftButton");
    advancedShiftButton->setToolTip(tr("Click to change the time difference"));
    advancedShiftButton->setFixedWidth(32);
    timeShiftLabel_ = new QLabel(page);
    timeShiftLabel_->setObjectName("TimeShiftLabel");
    shiftRow->addWidget(timeShiftTitle);
    shiftRow->addWidget(advancedShiftButton);
    shiftRow->addWidget(timeShiftLabel_, 1);
    left->addLayout(shiftRow);
    left->addStretch(1);
    grid->addWidget(
        Memo(
            page,
            tr("\r\nSet the parameters of inlay\r\nwhile playing the DV videos or\r\nwhile "
               "creating "
               "video files by conversion\r\nwith the Inlay command (CTRL+I) of the\r\n menu "
               "Convert.\r\n\r\nTo modify the position of\r\ninlay, click on the corner at the "
               "bottom\r\nright of the video, or click on the video\r\nwith the right mouse "
               "button, or type ALT+I.\r\nThis will display sliders for changing\r\nthe "
               "position.\r\n\r\nTo modify the format of dates and\r\ntimes, (that can be put on "
               "two lines)\r\ngo to the tab Formats, and set the\r\nformats in \"Inlay line 1\" or "
               "\"Inlay line 2\"")),
        1);

    connect(inlayFontButton, &QPushButton::clicked, this, &SettingsPanel::inlayFontClicked);
    connect(advancedShiftButton, &QPushButton::clicked, this, &SettingsPanel::advancedShiftClicked);
    return page;
}

QWidget* SettingsPanel::buildFiles() {
    auto* page = new QWidget(tabs_);
    auto* column = new QVBoxLayout(page);
    const auto fileField = [this, page, column](const char* name, const QString& label,
                                                const QString& hint) {
        column->addWidget(new QLabel(label, page));
        auto* row = new QHBoxLayout;
        auto* edit = new QLineEdit(page);
        edit->setObjectName(name);
        edit->setToolTip(hint);
        auto* browse = new QPushButton("...", page);
        browse->setFixedWidth(32);
        row->addWidget(edit, 1);
        row->addWidget(browse);
        column->addLayout(row);
        connect(browse, &QPushButton::clicked, this, [this, edit] {
            const QString chosen = ChooseFile ? ChooseFile(edit->text()) : QString();
            if (!chosen.isEmpty())
                edit->setText(chosen);
        });
        return edit;
    };
    varnoltProgramEdit = fileField("VarnoltProgramEdit", tr("Varnolt file to be launched with F2"),
                                   tr("Select the program file for Varnolt\r\n"
                                      "to be launched with F2 to extract images from the selected "
                                      "video."));
    const QString appHint =
        tr("Choose a program \r\n"
           "to be launched by F%1 with the selected AVI files.\r\n"
           "For example a media player, or a video editor...");
    f3ProgramEdit = fileField("F3ProgramEdit", tr("Application launched with F3"), appHint.arg(3));
    f4ProgramEdit = fileField("F4ProgramEdit", tr("Application launched with F4"), appHint.arg(4));
    column->addWidget(
        Memo(page,
             tr("\r\nOpen quickly the selected avi files in your favorite video "
                "applications:\r\nSet the path and filename of the Varnolt file to be launched "
                "with F2 as well as two applications to be launched with F3 and F4.")),
        1);
    return page;
}

void SettingsPanel::redraw() {
    if (preview_)
        preview_->Redraw();
}

void SettingsPanel::passFont() {
    if (!preview_)
        return;
    const auto& f = p_.InlayFont;
    preview_->SetInlayFont(f.Name.substr(0, 255), f.Size, f.Color, f.Bold, f.Italic, f.Underline,
                           f.StrikeOut);
}

void SettingsPanel::inlayFontClicked() {
    settings::InlayFontSettings font = p_.InlayFont;
    if (ChooseFont && ChooseFont(font))
        p_.InlayFont = font;
    // Confirmed or not, the filter gets the font and the frame is drawn again.
    passFont();
    redraw();
}

void SettingsPanel::inlayFormatsChanged() {
    if (preview_) {
        const files::OverlayPatterns overlay = files::PreviewOverlayPatterns(
            p_.DisplayDatecodeFormat, p_.InlayFormat1, p_.InlayFormat2);
        preview_->SetInlayDateFormats(overlay.First, overlay.Second);
    }
    redraw();
}

void SettingsPanel::displayFormatChanged() {
    // The preview's overlay follows the display format while the inlay keeps its shipped lines.
    inlayFormatsChanged();
    if (host_)
        host_->DateStyleChanged();
}

void SettingsPanel::inlayDurationChanged() {
    const double fps = host_ ? host_->CurrentFrameRate() : 0;
    if (preview_)
        preview_->SetInlayDisplayFrames(static_cast<int>(std::lround(p_.InlayDuration * fps)));
    redraw();
}

void SettingsPanel::standardFontSizeChanged() {
    if (preview_)
        preview_->SetInlayStandardFontSize(p_.StandardFontSize);
    redraw();
}

void SettingsPanel::alignmentChanged() {
    if (preview_)
        preview_->SetInlayAlignment(p_.InlayAlignment);
    redraw();
}

void SettingsPanel::inlayWhatChanged() {
    if (preview_)
        preview_->SetInlayDisplayKind(p_.InlayWhat);
    redraw();
}

void SettingsPanel::inlayAutoChanged() {
    enableDependents();
    if (preview_)
        preview_->SetInlayAutoMode(p_.InlayAuto);
    redraw();
}

void SettingsPanel::inlayWhenChanged() {
    if (preview_)
        preview_->SetInlayTrigger(p_.InlayWhen);
    redraw();
}

void SettingsPanel::advancedShiftClicked() {
    double difference = p_.TimeShift;
    if (host_ && host_->AskTimeDifference(p_.TimeShift, difference)) {
        p_.TimeShift = difference;
        if (preview_)
            preview_->SetInlayTimeShift(difference);
        redraw();
    }
    timeShiftLabel_->setText(ShiftText(p_.TimeShift, true));
}

void SettingsPanel::openWithChanged() {
    if (host_)
        host_->SendTo(openWithBox->isChecked());
}

void SettingsPanel::saveListChanged() {
    if (saveListOnQuitBox->isChecked())
        savePrefsOnQuitBox->setChecked(true);
}

void SettingsPanel::halfSizeChanged() {
    if (host_ && !filling_)
        host_->ShowCurrentFileAgain();
}

void SettingsPanel::sortChanged() {
    if (host_ && !filling_)
        host_->RefillShortcutTable();
}

void SettingsPanel::f3ProgramChanged() {
    if (host_)
        host_->ProgramChanged(3, f3ProgramEdit->text());
}

void SettingsPanel::f4ProgramChanged() {
    if (host_)
        host_->ProgramChanged(4, f4ProgramEdit->text());
}

// The save folder waits for its box to be unchecked, the auto mode for the automatic inlay.
void SettingsPanel::enableDependents() {
    saveFolderEdit->setEnabled(!sameFolderBox->isChecked());
    modeBox_->setEnabled(inlayAutoBox->isChecked());
}

void SettingsPanel::storeChosen() {
    if (p_.IniMode || ini_.empty())
        return;
    // Back to the user store: the ini file beside the program goes, read-only or not.
    std::error_code ec;
    if (std::filesystem::exists(ini_, ec)) {
        std::filesystem::permissions(ini_, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove(ini_, ec);
    }
}

void SettingsPanel::UpdateTitle() {
    title_->setText(QString("%1 %2").arg(about::kProductName, version_));
}

void SettingsPanel::fillOption(const Option& o) {
    std::visit(
        [&](auto field, auto control) {
            using Value = typename MemberOf<decltype(field)>::Type;
            using Widget = std::remove_pointer_t<typename MemberOf<decltype(control)>::Type>;
            if constexpr (kFits<Value, Widget>) {
                Widget* w = this->*control;
                const Value& v = p_.*field;
                const QSignalBlocker quiet(o.Applies == Apply::AtOnceAndEveryFill ? w : nullptr);
                if constexpr (std::is_same_v<Widget, QCheckBox>)
                    w->setChecked((static_cast<int>(v) == 1) != (o.Converts == Convert::Inverted));
                else if constexpr (std::is_same_v<Widget, QButtonGroup>)
                    SetIndex(w, static_cast<int>(v) - (o.Converts == Convert::FromOne ? 1 : 0));
                else if constexpr (std::is_same_v<Widget, QSpinBox>)
                    w->setValue(v);
                else if constexpr (std::is_same_v<Widget, QLabel>)
                    w->setText(ShiftText(v, true));
                else if constexpr (std::is_same_v<Value, std::string>)
                    w->setText(Q(v));
                else
                    w->setText(QString::number(v));
            }
        },
        o.Field, o.Control);
    if (o.Applies == Apply::AtOnceAndEveryFill)
        optionChanged(o);
}

void SettingsPanel::readOption(const Option& o) {
    std::visit(
        [&](auto field, auto control) {
            using Value = typename MemberOf<decltype(field)>::Type;
            using Widget = std::remove_pointer_t<typename MemberOf<decltype(control)>::Type>;
            if constexpr (kFits<Value, Widget> && !std::is_same_v<Widget, QLabel>) {
                const Widget* w = this->*control;
                Value& v = p_.*field;
                if constexpr (std::is_same_v<Widget, QCheckBox>) {
                    v = static_cast<Value>(w->isChecked() != (o.Converts == Convert::Inverted));
                } else if constexpr (std::is_same_v<Widget, QButtonGroup>) {
                    // No button chosen (the fill met a value without one) reads as 0.
                    const int id = w->checkedId();
                    v = static_cast<Value>(id < 0 ? 0
                                                  : id + (o.Converts == Convert::FromOne ? 1 : 0));
                } else if constexpr (std::is_same_v<Widget, QSpinBox>) {
                    v = static_cast<Value>(w->value());
                } else if constexpr (std::is_same_v<Value, std::string>) {
                    const QString text = w->text();
                    v = (o.Converts == Convert::Folder ? WithDelimiter(text) : text).toStdString();
                } else {
                    // A whole number, or the preference's default for any other text.
                    bool ok = false;
                    const int number = w->text().trimmed().toInt(&ok);
                    v = ok ? number : settings::Preferences{}.*field;
                }
            }
        },
        o.Field, o.Control);
}

void SettingsPanel::optionChanged(const Option& o) {
    readOption(o);
    if (o.React)
        (this->*o.React)();
}

void SettingsPanel::connectOption(const Option& o) {
    if (o.Applies != Apply::AtOnce && o.Applies != Apply::AtOnceAndEveryFill)
        return;
    std::visit(
        [&](auto control) {
            using Widget = std::remove_pointer_t<typename MemberOf<decltype(control)>::Type>;
            Widget* w = this->*control;
            const auto changed = [this, &o] { optionChanged(o); };
            if constexpr (std::is_same_v<Widget, QCheckBox>)
                connect(w, &QCheckBox::toggled, this, changed);
            else if constexpr (std::is_same_v<Widget, QButtonGroup>)
                connect(w, &QButtonGroup::idToggled, this, [this, &o](int, bool on) {
                    if (on)
                        optionChanged(o);
                });
            else if constexpr (std::is_same_v<Widget, QSpinBox>)
                connect(w, &QSpinBox::valueChanged, this, changed);
            // A field with an exit writes when the user leaves it, a program's at every change.
            else if constexpr (std::is_same_v<Widget, ExitLineEdit>)
                connect(w, &ExitLineEdit::Exited, this, changed);
            else if constexpr (std::is_same_v<Widget, QLineEdit>)
                connect(w, &QLineEdit::textChanged, this, changed);
        },
        o.Control);
}

void SettingsPanel::Fill() {
    filling_ = true;
    for (const Option& o : options())
        fillOption(o);
    enableDependents();
    // A save folder that is gone sends conversions beside their sources; the box still shows
    // what was stored, and the next store writes the box.
    std::error_code ec;
    if (!std::filesystem::is_directory(p_.SaveFolder, ec))
        p_.SaveInSameFolder = true;
    filling_ = false;
}

void SettingsPanel::ReadBack() {
    for (const Option& o : options())
        if (o.Applies != Apply::Never)
            readOption(o);
    // The store's choice is kept a second time, as the "Portable" key.
    p_.Portable = p_.IniMode;
}

void SettingsPanel::FillShortcuts(const std::vector<CommandKeyRow>& actions) {
    const bool byTitles = p_.SortShortcutsByCaption;
    std::vector<std::pair<QString, const CommandKeyRow*>> entries;
    const auto less = [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a.toLower(), b.toLower()) < 0;
    };
    for (const CommandKeyRow& a : actions) {
        if (a.Caption.isEmpty() || a.Keys.isEmpty())
            continue;
        const QString key = byTitles ? a.Caption : a.Keys;
        auto at =
            std::lower_bound(entries.begin(), entries.end(), key,
                             [&](const auto& e, const QString& k) { return less(e.first, k); });
        // The first action with a key keeps it.
        if (at != entries.end() && !less(key, at->first))
            continue;
        entries.insert(at, {key, &a});
    }
    table_->clear();
    table_->setColumnCount(3);
    table_->setRowCount(static_cast<int>(entries.size()));
    const int caption = byTitles ? 0 : 1, keys = byTitles ? 1 : 0;
    QStringList titles(3);
    titles[caption] = tr("Functions");
    titles[keys] = tr("Keys");
    titles[2] = tr("Switch");
    table_->setHorizontalHeaderLabels(titles);
    // The names take what the keys and switches leave, so the table fills its width.
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(caption, QHeaderView::Stretch);
    header->setSectionResizeMode(keys, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        const CommandKeyRow& a = *entries[static_cast<std::size_t>(i)].second;
        table_->setItem(i, caption, new QTableWidgetItem(a.Caption));
        table_->setItem(i, keys, new QTableWidgetItem(a.Keys));
        table_->setItem(i, 2, new QTableWidgetItem(a.Tag > 0 ? QString(QChar(a.Tag)) : QString()));
    }
}

}  // namespace kelvor::ui
