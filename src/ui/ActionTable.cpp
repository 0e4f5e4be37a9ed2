#include "ui/ActionTable.h"

#include <QCoreApplication>

#include "commands/CommandModule.h"

namespace kelvor::ui {
namespace {

QKeySequence K(QKeyCombination k) {
    return QKeySequence(k);
}

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Alt = Qt::AltModifier;
constexpr auto Num = Qt::KeypadModifier;

// The place of a menu's commands among the window's own actions.
ActionDef Commands(const char* menu) {
    return ActionDef{"", "", {}, "", "", -1, menu, false, false};
}

int CommandImage(commands::CommandIcon icon) {
    using I = commands::CommandIcon;
    switch (icon) {
        case I::Command:
            return kImgCommand;
        case I::Parent:
            return kImgParent;
        case I::Riff:
            return kImgRiff;
        case I::Play:
            return kImgPlay;
        case I::DefaultPlayer:
            return kImgDefaultPlayer;
        case I::ShowInlay:
            return kImgShowInlay;
        case I::Remove:
            return kImgRemove;
        case I::Trash:
            return kImgTrash;
        case I::Rename:
            return kImgRename;
        case I::Convert:
            return kImgConvert;
        case I::Scenes:
            return kImgScenes;
    }
    return kImgCommand;
}

StartsAs CommandStart(commands::RunsAs runs) {
    switch (runs) {
        case commands::RunsAs::Mono:
            return StartsAs::Mono;
        case commands::RunsAs::File:
        case commands::RunsAs::InnerFile:
            return StartsAs::File;
        case commands::RunsAs::Graph:
        case commands::RunsAs::InnerGraph:
            return StartsAs::Graph;
    }
    return StartsAs::None;
}

// The window's own actions, with a Commands row where the commands of a menu go.
std::vector<ActionDef> WindowActions() {
    // clang-format off
    return {
        // Always available.
        {"Quit", QT_TRANSLATE_NOOP("Actions", "Quit"), {K(Alt | Qt::Key_F4), K(Ctrl | Qt::Key_Q)}, kPermanent, "", kImgQuit, "Files", false, true},
        {"ToggleList", QT_TRANSLATE_NOOP("Actions", "Show the list"), {K(Qt::Key_F6)}, kPermanent, "", kImgList, "Files", false, true},
        {"Abort", QT_TRANSLATE_NOOP("Actions", "Abort"), {K(Qt::Key_Escape)}, kPermanent, "", kImgAbort, "Files", false, false},
        {"About", QT_TRANSLATE_NOOP("Actions", "About..."), {K(Qt::Key_F1)}, kPermanent, "", kImgAbout, "?", true, false},
        {"Settings", QT_TRANSLATE_NOOP("Actions", "Settings"), {K(Qt::Key_F10)}, kPermanent, "", kImgSettings, "?", true, false},
        {"AbortAll", QT_TRANSLATE_NOOP("Actions", "Abort all"), {K(Shift | Qt::Key_Escape)}, kPermanent, "", kImgAbort, "Files", false, false},
        {"VolumeUp", QT_TRANSLATE_NOOP("Actions", "Increase the Volume"), {K(Qt::Key_Plus), K(Num | Qt::Key_Plus)}, kPermanent, "", kImgVolumeUp, "Video", false, true},
        {"VolumeDown", QT_TRANSLATE_NOOP("Actions", "Reduce the Volume"), {K(Qt::Key_Minus), K(Num | Qt::Key_Minus)}, kPermanent, "", kImgVolumeDown, "Video", false, false},

        // File opening.
        {"PasteFiles", QT_TRANSLATE_NOOP("Actions", "Paste"), {K(Ctrl | Qt::Key_V)}, kCategoryEmpty, "", kImgPaste, "Files", false, false},
        {"OpenFiles", QT_TRANSLATE_NOOP("Actions", "Open..."), {K(Ctrl | Qt::Key_O)}, kCategoryEmpty, "", kImgOpen, "Files", false, false},
        {"OpenPreferredFolder", QT_TRANSLATE_NOOP("Actions", "Open the preferred folder"), {K(Qt::Key_F7)}, kCategoryEmpty, "", kImgPreferred, "Files", false, false},
        {"OpenAllDisks", QT_TRANSLATE_NOOP("Actions", "Open all"), {K(Ctrl | Qt::Key_F7)}, kCategoryEmpty, "", kImgDrives, "Files", false, false},
        {"OpenFolder", QT_TRANSLATE_NOOP("Actions", "Open a folder..."), {K(Ctrl | Qt::Key_L)}, kCategoryEmpty, "", kImgFolder, "Files", false, false},
        {"OpenPlaylist", QT_TRANSLATE_NOOP("Actions", "Open a playlist..."), {K(Ctrl | Qt::Key_U)}, kCategoryEmpty, "U", kImgPlaylist, "Files", false, true},
        {"OpenDefaultPlaylist", QT_TRANSLATE_NOOP("Actions", "Open the default playlist"), {K(Shift | Qt::Key_F7)}, kCategoryEmpty, "", kImgDefaultPlaylist, "Files", false, false},
        {"RunScript", QT_TRANSLATE_NOOP("Actions", "Launch a script"), {K(Ctrl | Shift | Qt::Key_L)}, kCategoryEmpty, "", kImgScript, "Files", false, false},

        // Two or more files and a visible list.
        {"SortByName", QT_TRANSLATE_NOOP("Actions", "Alphabetical order"), {K(Alt | Qt::Key_A)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortByDatecode", QT_TRANSLATE_NOOP("Actions", "Sort by datecode"), {K(Alt | Qt::Key_D)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortBySize", QT_TRANSLATE_NOOP("Actions", "Sort by size"), {K(Alt | Qt::Key_S)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortByFileDate", QT_TRANSLATE_NOOP("Actions", "Sort by filedate"), {K(Alt | Qt::Key_F)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SelectAll", QT_TRANSLATE_NOOP("Actions", "Select All"), {K(Ctrl | Qt::Key_A)}, kCategoryList, "", kImgSelectAll, "Files", false, false},
        {"EmptyList", QT_TRANSLATE_NOOP("Actions", "Empty the list"), {K(Ctrl | Qt::Key_Delete)}, kCategoryList, "#", kImgEmpty, "Files", false, false},
        {"SavePlaylist", QT_TRANSLATE_NOOP("Actions", "Save the playlist as..."), {K(Ctrl | Qt::Key_J)}, kCategoryList, "", kImgSavePlaylist, "Files", false, false},
        Commands("Files"),

        // The current file.
        {"PlayStop", QT_TRANSLATE_NOOP("Actions", "Play"), {K(Qt::Key_Space)}, kMono, "", kImgPlay, "Video", false, false},
        {"FrameForward", QT_TRANSLATE_NOOP("Actions", "One frame forward"), {K(Ctrl | Qt::Key_Right)}, kMono, "", kImgFrameForward, "Video", false, true},
        {"FrameBackward", QT_TRANSLATE_NOOP("Actions", "One frame backward"), {K(Ctrl | Qt::Key_Left)}, kMono, "", kImgFrameBackward, "Video", false, false},
        {"SecondForward", QT_TRANSLATE_NOOP("Actions", "One second forward"), {K(Ctrl | Qt::Key_Down)}, kMono, "", kImgSecondForward, "Video", false, false},
        {"SecondBackward", QT_TRANSLATE_NOOP("Actions", "One second backward"), {K(Ctrl | Qt::Key_Up)}, kMono, "", kImgSecondBackward, "Video", false, false},
        {"MinuteForward", QT_TRANSLATE_NOOP("Actions", "One minute forward"), {K(Ctrl | Qt::Key_PageDown)}, kMono, "", kImgMinuteForward, "Video", false, false},
        {"MinuteBackward", QT_TRANSLATE_NOOP("Actions", "One minute backward"), {K(Ctrl | Qt::Key_PageUp)}, kMono, "", kImgMinuteBackward, "Video", false, false},
        {"GoToEnd", QT_TRANSLATE_NOOP("Actions", "Go to End"), {K(Ctrl | Qt::Key_End)}, kMono, "", kImgGoToEnd, "Video", false, false},
        {"GoToStart", QT_TRANSLATE_NOOP("Actions", "Go to Start"), {K(Ctrl | Qt::Key_Home)}, kMono, "", kImgGoToStart, "Video", false, false},
        {"NextScene", QT_TRANSLATE_NOOP("Actions", "Next scene"), {K(Qt::Key_F9), K(Ctrl | Qt::Key_F9)}, kMono, "", kImgNextScene, "Video", false, true},
        {"PreviousScene", QT_TRANSLATE_NOOP("Actions", "Previous scene"), {K(Qt::Key_F8), K(Ctrl | Qt::Key_F8)}, kMono, "", kImgPreviousScene, "Video", false, false},
        {"Fullscreen", QT_TRANSLATE_NOOP("Actions", "Fullscreen"), {K(Alt | Qt::Key_Return), K(Qt::Key_F11)}, kMono, "", kImgFullscreen, "Video", false, true},
        {"Mute", QT_TRANSLATE_NOOP("Actions", "Sound off"), {K(Ctrl | Qt::Key_M)}, kMono, "", kImgSoundOff, "Video", false, false},
        Commands("Video"),
        {"EditScenes", QT_TRANSLATE_NOOP("Actions", "Edit the scenes"), {K(Ctrl | Qt::Key_F6)}, kMono, "", kImgEditScenes, "Scenes", true, true},

        // The commands on the selected files.
        Commands("Rename"),
        Commands("Convert"),
        Commands("Scenes"),

        // The scene editor's operations.
        {"InsertScene", QT_TRANSLATE_NOOP("Actions", "Insert a scene"), {}, kEditScenes, "", kImgScenes, "Scenes", false, true},
        {"MergeScene", QT_TRANSLATE_NOOP("Actions", "Cut the scene"), {}, kEditScenes, "", kImgScenes, "Scenes", false, false},
        {"FixRanks", QT_TRANSLATE_NOOP("Actions", "Fix ranks and durations"), {}, kEditScenes, "", kImgScenes, "Scenes", false, false},
        {"SaveScenesScn", QT_TRANSLATE_NOOP("Actions", "Save Scenes as scn"), {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
        {"SaveScenesText", QT_TRANSLATE_NOOP("Actions", "Save scenes as text"), {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
        {"SaveScenesXlsx", QT_TRANSLATE_NOOP("Actions", "Export to excel"), {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
    };
    // clang-format on
}

// The window's own actions with each Commands row replaced by the actions of that menu's
// commands, in the command table's order.
std::vector<ActionDef> Build() {
    std::vector<ActionDef> out;
    for (const ActionDef& d : WindowActions()) {
        if (d.Name[0]) {
            out.push_back(d);
            continue;
        }
        for (const commands::CommandInfo& c : commands::CommandTable()) {
            if (std::string_view(c.Action.Menu) != d.Menu)
                continue;
            out.push_back(ActionDef{c.Name,
                                    c.Action.Caption,
                                    {QKeySequence::fromString(c.Action.Keys)},
                                    c.Runs == commands::RunsAs::Mono ? kMono : kMulti,
                                    c.Letters,
                                    CommandImage(c.Action.Icon),
                                    c.Action.Menu,
                                    false,
                                    c.Action.SeparatorBefore,
                                    c.Name,
                                    CommandStart(c.Runs)});
        }
    }
    return out;
}

}  // namespace

const std::vector<ActionDef>& ActionTable() {
    static const std::vector<ActionDef> kTable = Build();
    return kTable;
}

QString ActionCaption(const ActionDef& def) {
    // The captions of commands are marked in the command table's own context.
    return QCoreApplication::translate(def.Command[0] ? "kelvor::commands" : "Actions",
                                       def.Caption);
}

const ActionDef* FindActionDef(const std::string& name) {
    for (const ActionDef& d : ActionTable())
        if (name == d.Name)
            return &d;
    return nullptr;
}

const std::vector<const char*>& MenuNames() {
    static const std::vector<const char*> kMenus = {
        QT_TRANSLATE_NOOP("Actions", "Files"),  QT_TRANSLATE_NOOP("Actions", "Video"),
        QT_TRANSLATE_NOOP("Actions", "Rename"), QT_TRANSLATE_NOOP("Actions", "Convert"),
        QT_TRANSLATE_NOOP("Actions", "Scenes"), "?"};
    // The one submenu, named by the part of its path after the slash.
    static_cast<void>(QT_TRANSLATE_NOOP("Actions", "Sort the list"));
    return kMenus;
}

}  // namespace kelvor::ui
