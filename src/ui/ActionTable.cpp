#include "ui/ActionTable.h"

namespace kelvor::ui {
namespace {

QKeySequence K(QKeyCombination k) {
    return QKeySequence(k);
}

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Alt = Qt::AltModifier;
constexpr auto Num = Qt::KeypadModifier;

std::vector<ActionDef> Build() {
    using S = StartsAs;
    // clang-format off
    return {
        // Always available.
        {"afQuitter", "Quit", {K(Alt | Qt::Key_F4), K(Ctrl | Qt::Key_Q)}, kPermanent, "", "", S::None, kImgQuit, "Files", false, true},
        {"afBasculerListe", "Show the list", {K(Qt::Key_F6)}, kPermanent, "", "", S::None, kImgList, "Files", false, true},
        {"afInterrompre", "Abort", {K(Qt::Key_Escape)}, kPermanent, "", "", S::None, kImgAbort, "Files", false, false},
        {"afApropos", "About...", {K(Qt::Key_F1)}, kPermanent, "", "", S::None, kImgAbout, "?", true, false},
        {"afOptions", "Settings", {K(Qt::Key_F10)}, kPermanent, "", "", S::None, kImgSettings, "?", true, false},
        {"afInterrompreTous", "Abort all", {K(Shift | Qt::Key_Escape)}, kPermanent, "", "", S::None, kImgAbort, "Files", false, false},
        {"afIncVolume", "Increase the Volume", {K(Num | Qt::Key_Plus), K(Qt::Key_Plus)}, kPermanent, "", "", S::None, kImgVolumeUp, "Video", false, true},
        {"afDecVolume", "Reduce the Volume", {K(Num | Qt::Key_Minus)}, kPermanent, "", "", S::None, kImgVolumeDown, "Video", false, false},

        // File opening.
        {"afCollerFichiers", "Paste", {K(Ctrl | Qt::Key_V)}, kCategoryEmpty, "", "", S::None, kImgPaste, "Files", false, false},
        {"afOuvrirFichiers", "Open...", {K(Ctrl | Qt::Key_O)}, kCategoryEmpty, "", "", S::None, kImgOpen, "Files", false, false},
        {"afOuvrirDossierPrefere", "Open the preferred folder", {K(Qt::Key_F7)}, kCategoryEmpty, "", "", S::None, kImgPreferred, "Files", false, false},
        {"afOuvrirTout", "Open all", {K(Ctrl | Qt::Key_F7)}, kCategoryEmpty, "", "", S::None, kImgDrives, "Files", false, false},
        {"afOuvrirunDossier", "Open a folder...", {K(Ctrl | Qt::Key_L)}, kCategoryEmpty, "", "", S::None, kImgFolder, "Files", false, false},
        {"afOuvrirPlayList", "Open a playlist...", {K(Ctrl | Qt::Key_U)}, kCategoryEmpty, "U", "", S::None, kImgPlaylist, "Files", false, true},
        {"afOuvrirDefaultPlayList", "Open the default playlist", {K(Shift | Qt::Key_F7)}, kCategoryEmpty, "", "", S::None, kImgDefaultPlaylist, "Files", false, false},
        {"afOuvrirScript", "Launch a script", {K(Ctrl | Shift | Qt::Key_L)}, kCategoryEmpty, "", "", S::None, kImgScript, "Files", false, false},

        // Two or more files and a visible list.
        {"afOrdreAlpha", "Alphabetical order", {K(Alt | Qt::Key_A)}, kCategoryList, "", "", S::None, kImgSort, "Files/Sort the list", false, false},
        {"alTriDatecode", "Sort by datecode", {K(Alt | Qt::Key_D)}, kCategoryList, "", "", S::None, kImgSort, "Files/Sort the list", false, false},
        {"alTriTaille", "Sort by size", {K(Alt | Qt::Key_S)}, kCategoryList, "", "", S::None, kImgSort, "Files/Sort the list", false, false},
        {"alTrierModify", "Sort by filedate", {K(Alt | Qt::Key_F)}, kCategoryList, "", "", S::None, kImgSort, "Files/Sort the list", false, false},
        {"afSelectionnerTout", "Select All", {K(Ctrl | Qt::Key_A)}, kCategoryList, "", "", S::None, kImgSelectAll, "Files", false, false},
        {"afViderListe", "Empty the list", {K(Ctrl | Qt::Key_Delete)}, kCategoryList, "#", "", S::None, kImgEmpty, "Files", false, false},
        {"afSauverListe", "Save the playlist as...", {K(Ctrl | Qt::Key_J)}, kCategoryList, "", "", S::None, kImgSavePlaylist, "Files", false, false},

        // The current file.
        {"amDossierParent", "Parent folder", {K(Ctrl | Qt::Key_F)}, kMono, "", "DossierParent", S::Mono, kImgParent, "Files", false, true},
        {"avPlayStop", "Play", {K(Qt::Key_Space)}, kMono, "", "", S::None, kImgPlay, "Video", false, false},
        {"avanceLow", "One frame forward", {K(Ctrl | Qt::Key_Right)}, kMono, "", "", S::None, kImgStep, "Video", false, true},
        {"reculeLow", "One frame backward", {K(Ctrl | Qt::Key_Left)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"avanceMedium", "One second forward", {K(Ctrl | Qt::Key_Down)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"ReculeMedium", "One second backward", {K(Ctrl | Qt::Key_Up)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"avanceHigh", "One minute forward", {K(Ctrl | Qt::Key_PageDown)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"ReculeHigh", "One minute backward", {K(Ctrl | Qt::Key_PageUp)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"avAvanceFin", "Go to End", {K(Ctrl | Qt::Key_End)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"avReculeDebut", "Go to Start", {K(Ctrl | Qt::Key_Home)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"AvanceScene", "Next scene", {K(Qt::Key_F9), K(Ctrl | Qt::Key_F9)}, kMono, "", "", S::None, kImgStep, "Video", false, true},
        {"ReculeScene", "Previous scene", {K(Qt::Key_F8), K(Ctrl | Qt::Key_F8)}, kMono, "", "", S::None, kImgStep, "Video", false, false},
        {"avFullscreen", "Fullscreen", {K(Alt | Qt::Key_Return), K(Qt::Key_F11)}, kMono, "", "", S::None, kImgFullscreen, "Video", false, true},
        {"avMute", "Sound off", {K(Ctrl | Qt::Key_M)}, kMono, "", "", S::None, kImgSoundOff, "Video", false, false},
        {"amRiffHeader", "Read the RIFF header", {K(Ctrl | Qt::Key_H)}, kMono, "", "RiffHeader", S::Mono, kImgRiff, "Files", false, false},
        {"amDefaultPlayer", "Play in the default media player", {K(Qt::Key_F5)}, kMono, "", "DefaultPlayer", S::Mono, kImgPlay, "Video", false, true},
        {"afVarnolt", "Open with ", {K(Qt::Key_F2)}, kMono, "", "Varnolt", S::Mono, kImgCommand, "Files", false, false},
        {"amAfficherIncrustation", "Display the inlay", {K(Qt::Key_F12)}, kMono, "", "AfficherIncrustation", S::Mono, kImgShowInlay, "Video", false, true},
        {"amAfficherSliders", "Modify the position of inlay", {K(Alt | Qt::Key_I)}, kMono, "", "AfficherSliders", S::Mono, kImgCommand, "Video", false, false},
        {"amEditScenes", "Edit the scenes", {K(Ctrl | Qt::Key_F6)}, kMono, "", "", S::None, kImgEditScenes, "Scenes", true, true},

        // The selected files.
        {"amOterFichier", "Remove the file from list", {K(Qt::Key_Delete)}, kMulti, "", "oterfichier", S::File, kImgRemove, "Files", false, true},
        {"amSupprimerFichier", "Delete the file", {K(Shift | Qt::Key_Delete)}, kMulti, "O", "SupprimerFichier", S::File, kImgTrash, "Files", false, false},
        {"amAjouterDatecode", "Add datecode", {K(Ctrl | Qt::Key_D)}, kMulti, "D", "AjouterDateCode", S::File, kImgRename, "Rename", false, false},
        {"amAjouterTimecode", "Add timecode", {K(Ctrl | Qt::Key_T)}, kMulti, "T", "AjouterTimecode", S::File, kImgRename, "Rename", false, false},
        {"amPurgerNom", "Shorten the name", {K(Ctrl | Qt::Key_Q)}, kMulti, "Q", "PurgerNom", S::File, kImgRename, "Rename", false, false},
        {"amFileDate", "Modify the date of file", {K(Ctrl | Qt::Key_B)}, kMulti, "B", "FileDate", S::File, kImgRename, "Rename", false, true},
        {"amRenameScAn", "Rename", {K(Ctrl | Qt::Key_R)}, kMulti, "R", "RenameScAn", S::File, kImgRename, "Rename", false, false},
        {"amDVType1", "Convert into DV type 1", {K(Ctrl | Num | Qt::Key_1)}, kMulti, "1", "DVtype1", S::Graph, kImgConvert, "Convert", false, false},
        {"amDVType2", "Convert into DV type 2", {K(Ctrl | Num | Qt::Key_2)}, kMulti, "2", "DVType2", S::Graph, kImgConvert, "Convert", false, false},
        {"amNTSC", "Convert into NTSC", {K(Ctrl | Qt::Key_N)}, kMulti, "N", "Ntsc", S::Graph, kImgConvert, "Convert", false, true},
        {"amPal", "Convert into Pal", {K(Ctrl | Qt::Key_P)}, kMulti, "P", "Pal", S::Graph, kImgConvert, "Convert", false, false},
        {"amIncrusterDatecode", "Inlay", {K(Ctrl | Qt::Key_I)}, kMulti, "I", "IncrusterDatecode", S::Graph, kImgShowInlay, "Convert", false, true},
        {"amConvertirDV", "Recompress into DV type 2", {K(Ctrl | Qt::Key_G)}, kMulti, "G", "ConvertirDV", S::Graph, kImgConvert, "Convert", false, false},
        {"amCorrigertype2", "Fix the DV type 2", {K(Ctrl | Shift | Qt::Key_2)}, kMulti, "", "CorrigerType2", S::Graph, kImgCommand, "Convert", false, true},
        {"amExtraireAudio", "Extract audio", {K(Ctrl | Qt::Key_W)}, kMulti, "W", "ExtraireAudio", S::Graph, kImgConvert, "Convert", false, false},
        {"amCreerScnFromDate", "Create a scn file by date", {K(Ctrl | Qt::Key_S)}, kMulti, "S", "CreerScnFromDate", S::Graph, kImgScenes, "Scenes", false, false},
        {"amCreerScnContenu", "Create a scn from the content", {K(Ctrl | Qt::Key_Semicolon)}, kMulti, "$", "CreerScnContenu", S::Graph, kImgScenes, "Scenes", false, false},
        {"amSupprimerScn", "Delete the scn file", {K(Ctrl | Qt::Key_Z)}, kMulti, "Z", "SupprimerScn", S::File, kImgTrash, "Scenes", false, false},
        {"amCreer_srt", "Create a subtitle file .srt", {K(Ctrl | Shift | Qt::Key_S)}, kMulti, "A", "Creer_srt", S::Graph, kImgScenes, "Scenes", false, true},
        {"amSupprimer_Srt", "Delete the subtitle file .srt", {K(Ctrl | Shift | Qt::Key_Z)}, kMulti, "J", "Supprimer_srt", S::File, kImgTrash, "Scenes", false, false},
        {"amScenesText", "Export the scenes as text", {K(Ctrl | Qt::Key_X)}, kMulti, "X", "ScenesText", S::Graph, kImgCommand, "Scenes", false, true},
        {"amScenesExcel", "Export the scenes to an excel file", {K(Ctrl | Shift | Qt::Key_X)}, kMulti, "V", "ScenesExcel", S::Graph, kImgCommand, "Scenes", false, false},
        {"amCutScenes", "Split in scenes", {K(Ctrl | Qt::Key_C)}, kMulti, "C", "CutScenes", S::Graph, kImgScenes, "Scenes", false, false},
        {"amCorrigerFps", "Fix the video framerate", {K(Ctrl | Qt::Key_Y)}, kMulti, "Y", "CorrigerFps", S::File, kImgCommand, "Convert", false, true},
        {"amCorrigerCodec", "Change the codec", {K(Ctrl | Qt::Key_K)}, kMulti, "K", "CorrigerCodec", S::File, kImgCommand, "Convert", false, false},
        {"amDecalerHoraire", "Fix a time difference", {K(Ctrl | Qt::Key_E)}, kMulti, "E", "DecalerHoraire", S::Graph, kImgCommand, "Convert", false, false},
        {"amOpenFichierF3", "Open with ", {K(Qt::Key_F3)}, kMulti, "", "OpenFichierF3", S::File, kImgCommand, "Files", false, false},
        {"amOpenFichierF4", "Open with ", {K(Qt::Key_F4)}, kMulti, "", "OpenFichierF4", S::File, kImgCommand, "Files", false, false},

        // The scene editor's operations.
        {"afInserer", "Insert a scene", {}, kEditScenes, "", "", S::None, kImgScenes, "Scenes", false, true},
        {"afCouper", "Cut the scene", {}, kEditScenes, "", "", S::None, kImgScenes, "Scenes", false, false},
        {"afCorriger", "Fix ranks and durations", {}, kEditScenes, "", "", S::None, kImgScenes, "Scenes", false, false},
        {"afEnregistrer", "Save Scenes as scn", {}, kEditScenes, "", "", S::None, kImgSavePlaylist, "Scenes", false, false},
        {"afEnregistrerScenesText", "Save scenes as text", {}, kEditScenes, "", "", S::None, kImgSavePlaylist, "Scenes", false, false},
        {"afExcel", "Export to excel", {}, kEditScenes, "", "", S::None, kImgSavePlaylist, "Scenes", false, false},
    };
    // clang-format on
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
