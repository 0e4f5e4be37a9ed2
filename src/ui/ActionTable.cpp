#include "ui/ActionTable.h"

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
        {"Quit", "Quit", {K(Alt | Qt::Key_F4), K(Ctrl | Qt::Key_Q)}, kPermanent, "", kImgQuit, "Files", false, true},
        {"ToggleList", "Show the list", {K(Qt::Key_F6)}, kPermanent, "", kImgList, "Files", false, true},
        {"Abort", "Abort", {K(Qt::Key_Escape)}, kPermanent, "", kImgAbort, "Files", false, false},
        {"About", "About...", {K(Qt::Key_F1)}, kPermanent, "", kImgAbout, "?", true, false},
        {"Settings", "Settings", {K(Qt::Key_F10)}, kPermanent, "", kImgSettings, "?", true, false},
        {"AbortAll", "Abort all", {K(Shift | Qt::Key_Escape)}, kPermanent, "", kImgAbort, "Files", false, false},
        {"VolumeUp", "Increase the Volume", {K(Num | Qt::Key_Plus), K(Qt::Key_Plus)}, kPermanent, "", kImgVolumeUp, "Video", false, true},
        {"VolumeDown", "Reduce the Volume", {K(Num | Qt::Key_Minus)}, kPermanent, "", kImgVolumeDown, "Video", false, false},

        // File opening.
        {"PasteFiles", "Paste", {K(Ctrl | Qt::Key_V)}, kCategoryEmpty, "", kImgPaste, "Files", false, false},
        {"OpenFiles", "Open...", {K(Ctrl | Qt::Key_O)}, kCategoryEmpty, "", kImgOpen, "Files", false, false},
        {"OpenPreferredFolder", "Open the preferred folder", {K(Qt::Key_F7)}, kCategoryEmpty, "", kImgPreferred, "Files", false, false},
        {"OpenAllDisks", "Open all", {K(Ctrl | Qt::Key_F7)}, kCategoryEmpty, "", kImgDrives, "Files", false, false},
        {"OpenFolder", "Open a folder...", {K(Ctrl | Qt::Key_L)}, kCategoryEmpty, "", kImgFolder, "Files", false, false},
        {"OpenPlaylist", "Open a playlist...", {K(Ctrl | Qt::Key_U)}, kCategoryEmpty, "U", kImgPlaylist, "Files", false, true},
        {"OpenDefaultPlaylist", "Open the default playlist", {K(Shift | Qt::Key_F7)}, kCategoryEmpty, "", kImgDefaultPlaylist, "Files", false, false},
        {"RunScript", "Launch a script", {K(Ctrl | Shift | Qt::Key_L)}, kCategoryEmpty, "", kImgScript, "Files", false, false},

        // Two or more files and a visible list.
        {"SortByName", "Alphabetical order", {K(Alt | Qt::Key_A)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortByDatecode", "Sort by datecode", {K(Alt | Qt::Key_D)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortBySize", "Sort by size", {K(Alt | Qt::Key_S)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SortByFileDate", "Sort by filedate", {K(Alt | Qt::Key_F)}, kCategoryList, "", kImgSort, "Files/Sort the list", false, false},
        {"SelectAll", "Select All", {K(Ctrl | Qt::Key_A)}, kCategoryList, "", kImgSelectAll, "Files", false, false},
        {"EmptyList", "Empty the list", {K(Ctrl | Qt::Key_Delete)}, kCategoryList, "#", kImgEmpty, "Files", false, false},
        {"SavePlaylist", "Save the playlist as...", {K(Ctrl | Qt::Key_J)}, kCategoryList, "", kImgSavePlaylist, "Files", false, false},
        Commands("Files"),

        // The current file.
        {"PlayStop", "Play", {K(Qt::Key_Space)}, kMono, "", kImgPlay, "Video", false, false},
        {"FrameForward", "One frame forward", {K(Ctrl | Qt::Key_Right)}, kMono, "", kImgStep, "Video", false, true},
        {"FrameBackward", "One frame backward", {K(Ctrl | Qt::Key_Left)}, kMono, "", kImgStep, "Video", false, false},
        {"SecondForward", "One second forward", {K(Ctrl | Qt::Key_Down)}, kMono, "", kImgStep, "Video", false, false},
        {"SecondBackward", "One second backward", {K(Ctrl | Qt::Key_Up)}, kMono, "", kImgStep, "Video", false, false},
        {"MinuteForward", "One minute forward", {K(Ctrl | Qt::Key_PageDown)}, kMono, "", kImgStep, "Video", false, false},
        {"MinuteBackward", "One minute backward", {K(Ctrl | Qt::Key_PageUp)}, kMono, "", kImgStep, "Video", false, false},
        {"GoToEnd", "Go to End", {K(Ctrl | Qt::Key_End)}, kMono, "", kImgStep, "Video", false, false},
        {"GoToStart", "Go to Start", {K(Ctrl | Qt::Key_Home)}, kMono, "", kImgStep, "Video", false, false},
        {"NextScene", "Next scene", {K(Qt::Key_F9), K(Ctrl | Qt::Key_F9)}, kMono, "", kImgStep, "Video", false, true},
        {"PreviousScene", "Previous scene", {K(Qt::Key_F8), K(Ctrl | Qt::Key_F8)}, kMono, "", kImgStep, "Video", false, false},
        {"Fullscreen", "Fullscreen", {K(Alt | Qt::Key_Return), K(Qt::Key_F11)}, kMono, "", kImgFullscreen, "Video", false, true},
        {"Mute", "Sound off", {K(Ctrl | Qt::Key_M)}, kMono, "", kImgSoundOff, "Video", false, false},
        Commands("Video"),
        {"EditScenes", "Edit the scenes", {K(Ctrl | Qt::Key_F6)}, kMono, "", kImgEditScenes, "Scenes", true, true},

        // The commands on the selected files.
        Commands("Rename"),
        Commands("Convert"),
        Commands("Scenes"),

        // The scene editor's operations.
        {"InsertScene", "Insert a scene", {}, kEditScenes, "", kImgScenes, "Scenes", false, true},
        {"MergeScene", "Cut the scene", {}, kEditScenes, "", kImgScenes, "Scenes", false, false},
        {"FixRanks", "Fix ranks and durations", {}, kEditScenes, "", kImgScenes, "Scenes", false, false},
        {"SaveScenesScn", "Save Scenes as scn", {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
        {"SaveScenesText", "Save scenes as text", {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
        {"SaveScenesXlsx", "Export to excel", {}, kEditScenes, "", kImgSavePlaylist, "Scenes", false, false},
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

const ActionDef* FindActionDef(const std::string& name) {
    for (const ActionDef& d : ActionTable())
        if (name == d.Name)
            return &d;
    return nullptr;
}

const std::vector<const char*>& MenuNames() {
    static const std::vector<const char*> kMenus = {"Files",   "Video",  "Rename",
                                                    "Convert", "Scenes", "?"};
    return kMenus;
}

}  // namespace kelvor::ui
