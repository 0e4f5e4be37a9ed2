// Every action of the main window's action list, in its order: name, English caption, keys,
// category, script letter, the command it starts and how, its image and its menu. The window's
// own actions are listed here; the actions of the commands come from the command table (an
// action is named after its command), placed where their menu's commands go. The window builds
// its QActions from this list; the handlers of the actions that start no command are the
// window's own, found by the action's name.
//
// Pure data, built once on first use; any thread may read it.
#pragma once

#include <QKeySequence>
#include <QList>

#include <string>
#include <vector>

namespace kelvor::ui {

// The category texts of the actions.
inline constexpr const char* kPermanent = "permanent";
inline constexpr const char* kCategoryEmpty = "vide";
inline constexpr const char* kCategoryList = "liste";
inline constexpr const char* kMono = "mono";
inline constexpr const char* kMulti = "multi";
inline constexpr const char* kEditScenes = "editscenes";

// How an action starts its command; None for the window's own handlers.
enum class StartsAs { None, Mono, File, Graph };

struct ActionDef {
    const char* Name;
    const char* Caption;
    QList<QKeySequence> Keys;
    const char* Category;
    const char* Switch;  // the script letter, or ""
    int Image;           // -1 for none
    const char* Menu;    // "Files", "Files/Sort the list", ... or "" for none
    bool Checkable;
    bool SeparatorBefore;      // in its menu
    const char* Command = "";  // the command it starts, or "" for the window's own handler
    StartsAs Starts = StartsAs::None;
};

const std::vector<ActionDef>& ActionTable();
// The caption in the interface's language (the translation installed in the application).
QString ActionCaption(const ActionDef& def);
const ActionDef* FindActionDef(const std::string& name);

// The top-level menus in their order.
const std::vector<const char*>& MenuNames();

// The images by index; 15 is the image of an action bound to a command without one.
enum Image : int {
    kImgOpen = 0,
    kImgPaste = 1,
    kImgFolder = 2,
    kImgPreferred = 3,
    kImgDrives = 4,
    kImgPlaylist = 5,
    kImgSavePlaylist = 6,
    kImgQuit = 7,
    kImgList = 8,
    kImgAbout = 9,
    kImgSettings = 10,
    kImgAbort = 11,
    kImgPlay = 12,
    kImgTrash = 13,
    kImgRemove = 14,
    kImgCommand = 15,
    kImgRename = 16,
    kImgConvert = 17,
    kImgShowInlay = 18,
    kImgSoundOn = 19,   // shown while the sound is off: a click turns it on
    kImgSoundOff = 20,  // shown while the sound is on
    kImgHideInlay = 21,
    kImgScenes = 22,
    kImgEditScenes = 23,
    kImgScript = 24,
    kImgParent = 25,
    kImgRiff = 26,
    kImgFullscreen = 27,
    kImgVolumeUp = 28,
    kImgVolumeDown = 29,
    kImgSort = 30,
    kImgDefaultPlaylist = 31,
    kImgSelectAll = 32,
    kImgEmpty = 33,
    kImgFrameForward = 34,
    kImgFrameBackward = 35,
    kImgSecondForward = 36,
    kImgSecondBackward = 37,
    kImgMinuteForward = 38,
    kImgMinuteBackward = 39,
    kImgGoToEnd = 40,
    kImgGoToStart = 41,
    kImgNextScene = 42,
    kImgPreviousScene = 43,
    kImgDefaultPlayer = 44,
    kImageCount = 45,
};

}  // namespace kelvor::ui
