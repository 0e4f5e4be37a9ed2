// The program-wide preference values, one field per stored key, and the table that names every
// key with its type, field and place in the store.
//
// The program entry owns one Preferences object for the whole run and hands it on by reference;
// every module reads and writes its fields directly, on the main thread only. The field comment
// gives the stored key; the key table below gives its order, type and whether an empty value is
// stored as EmptyMarker.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kelvor::settings {

inline constexpr std::string_view MainSection = "\\Software\\Quennel\\Kelvor";
inline constexpr std::string_view FontSection = "\\Software\\Quennel\\Kelvor\\IncrustFont";
inline constexpr std::string_view WindowSection = "\\Software\\Quennel\\Kelvor\\Fenetre";
// The window section's key: 1 for the details view, 0 for the names alone.
inline constexpr std::string_view kDetailedListKey = "Liste détaillée";
// The settings of the shared exports, in their own section so the main one keeps its keys.
inline constexpr std::string_view ExportSection = "\\Software\\Quennel\\Kelvor\\Export";
// Written in place of an empty text so that "stored empty" and "never stored" differ.
inline constexpr std::string_view EmptyMarker = "#@vide§#";

// The font of the datecode inlay.
struct InlayFontSettings {
    int Size = 48;               // "Size", points
    int Color = 0xFFFFFF;        // "Color", 0x00BBGGRR
    std::string Name = "Arial";  // "Name"
    bool Bold = true;            // "Bold"
    bool Italic = false;         // "Italic"
    bool Underline = false;      // "Underline"
    bool StrikeOut = false;      // "StrikeOut"
    friend bool operator==(const InlayFontSettings&, const InlayFontSettings&) = default;
};

// How the main window shows its list, kept in a section of its own.
struct WindowSettings {
    bool DetailedList = true;  // "Liste détaillée": columns rather than names alone
    friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

// The MP4 export's choices, kept in the export section.
struct ExportSettings {
    std::string Mp4NameFormat = "yyyy-mm-dd hh.nn.ss";  // "Format pour Exporter MP4"
    std::string Mp4Preset = "medium";                   // "Preset MP4": x264's preset
    int Mp4Quality = 20;                                // "Qualité MP4": x264's CRF
    int Mp4InlaySeconds = 0;  // "Durée Incrustation MP4": seconds of burnt date per scene
    friend bool operator==(const ExportSettings&, const ExportSettings&) = default;
};

// Values as a default-constructed object holds them: the defaults of the keys, except the
// screen-dependent window place and the folders, which the load fills from its environment.
struct Preferences {
    int Top = 0;                         // "Top"
    int Left = 0;                        // "Left"
    std::uint8_t ListOrder = 0;          // "Ordre de la Liste"
    bool SavePreferencesOnQuit = false;  // "Sauver préférences en quittant"
    bool SelectOnOpen = false;           // "Sélectionner à l'ouverture"
    bool SaveListOnQuit = false;         // "Sauver Liste en quittant"
    bool PreviewDvAtHalfSize = true;     // "Previsualiser DV en demi format"
    bool SaveInSameFolder = true;        // "Sauver dans le même dossier"
    std::string OpenFolder;              // "Dossier pour Ouvrir Fichiers"
    std::string PreferredFolder;         // "Dossier à ouverture auto"
    std::string SaveFolder;              // "Dossier pour Sauver"
    std::string PlaylistFolder;          // "Dossier des PlayList"
    std::string VarnoltProgram;          // "Fichier Varnolt"
    std::string F3Program;               // "Fichier F3"
    std::string F4Program;               // "Fichier F4"
    std::uint8_t DefaultStandard = 1;    // "Standard par défaut": 1 PAL, 2 NTSC
    std::uint8_t DvAudioRate = 2;        // "Frequence DV": 0 32000, 1 44100, 2 48000 Hz
    int Volume = 10000;                  // "Volume"
    std::string AddDatecodeFormat = "yyyy.mm.dd_hh.nn.ss_am/pm";  // "Format pour Ajouter Datecode"
    std::string DisplayDatecodeFormat = "ddddd hh:nn:ss";         // "Format pour Afficher Datecode"
    std::string InlayFormat1 = "ddddd";                    // "Format pour Incruster Datecode1"
    std::string InlayFormat2 = "tt";                       // "Format pour Incruster Datecode2"
    std::string RenameFormat = "yyyymmdd_hh.nn.ss_am/pm";  // "Format pour Renommer"
    std::string RenameRoot = "ClipDV_";                    // "Racine pour Renommer"
    bool StandardFontSize = true;                          // "Standard FontSize"
    std::uint8_t InlayWhen = 1;                            // "When Incrust": 0 once, 1 scene, 2 day
    std::uint8_t InlayAuto = 0;                            // "Auto Incrust"
    std::uint8_t InlayWhat = 0;                            // "What Incrust": 0 datecode, 1 timecode
    std::uint8_t InlayAlignment = 2;      // "InlayAlignment": 0 left, 1 centre, 2 right
    int InlayDuration = 5;                // "Durée Incrustation", seconds
    double TimeShift = 0.0;               // "Décalage Horaire", days
    bool OfferInOpenWith = false;         // "OfferInOpenWith"
    int InlayPositionX = 920;             // "Incrust positionX", 0-1000
    int InlayPositionY = 920;             // "Incrust positionY", 0-1000
    int BorderSize = 1;                   // "Border Size"
    int ScnType = 1;                      // "type scn": 1 narrow, 2 wide
    bool IsMuteOn = false;                // "is Mute on"
    bool IsInlayOn = false;               // "is Incrust On"
    bool InlaySlidersVisible = false;     // "Incrust Sliders Visible"
    bool AdvancedTimeShift = false;       // "Decalage avancé"
    bool AddBeforeName = false;           // "Ajout Avant"
    bool SortShortcutsByCaption = false;  // "Classer raccourcis par titres"
    bool Portable = false;                // "Portable"
    // "POrtable Drive": the mount point of the file system that held the program at the last
    // store (the key keeps its historic spelling).
    std::string PortableDrive;

    // The font of the inlay, kept in the font section.
    InlayFontSettings InlayFont;
    // The main window's list, kept in the window section.
    WindowSettings Window;
    // The exports' settings, kept in the export section.
    ExportSettings Export;
    // The preferences live in Kelvor.ini beside the program rather than in the user store.
    // Set by the load from the presence of that file; not a stored key.
    bool IniMode = false;

    friend bool operator==(const Preferences&, const Preferences&) = default;
};

enum class PrefType { Int, Byte, Bool, Text, Wide, DateTime };

template <class Owner>
struct KeyDef {
    using Field = std::variant<int Owner::*, std::uint8_t Owner::*, bool Owner::*,
                               std::string Owner::*, double Owner::*>;
    std::string_view Key;
    PrefType Type;
    Field Member;
    // Empty values of these texts are stored as EmptyMarker and read back as empty.
    bool MarkerWhenEmpty = false;
};

// Every key of the main section, in the order they are read and written.
std::span<const KeyDef<Preferences>> MainKeys();
// The seven keys of the font section, over Preferences::InlayFont.
std::span<const KeyDef<InlayFontSettings>> FontKeys();
// The keys of the export section, over Preferences::Export.
std::span<const KeyDef<ExportSettings>> ExportKeys();
// The main-section key of that name (exact spelling), or nothing.
const KeyDef<Preferences>* FindMainKey(std::string_view key);

}  // namespace kelvor::settings
