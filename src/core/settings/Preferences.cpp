#include "core/settings/Preferences.h"

#include <array>

namespace kelvor::settings {
namespace {

using P = Preferences;
using K = KeyDef<Preferences>;
constexpr bool kMarker = true;

const std::array kMain = {
    K{"Top", PrefType::Int, &P::Top},
    K{"Left", PrefType::Int, &P::Left},
    K{"Ordre de la Liste", PrefType::Byte, &P::ListOrder},
    K{"Sauver préférences en quittant", PrefType::Bool, &P::SavePreferencesOnQuit},
    K{"Sélectionner à l'ouverture", PrefType::Bool, &P::SelectOnOpen},
    K{"Sauver Liste en quittant", PrefType::Bool, &P::SaveListOnQuit},
    K{"Previsualiser DV en demi format", PrefType::Bool, &P::PreviewDvAtHalfSize},
    K{"Sauver dans le même dossier", PrefType::Bool, &P::SaveInSameFolder},
    K{"Dossier pour Ouvrir Fichiers", PrefType::Wide, &P::OpenFolder, kMarker},
    K{"Dossier à ouverture auto", PrefType::Wide, &P::PreferredFolder, kMarker},
    K{"Dossier pour Sauver", PrefType::Wide, &P::SaveFolder, kMarker},
    K{"Dossier des PlayList", PrefType::Wide, &P::PlaylistFolder, kMarker},
    K{"Fichier Varnolt", PrefType::Wide, &P::VarnoltProgram, kMarker},
    K{"Fichier F3", PrefType::Wide, &P::F3Program, kMarker},
    K{"Fichier F4", PrefType::Wide, &P::F4Program, kMarker},
    K{"Standard par défaut", PrefType::Byte, &P::DefaultStandard},
    K{"Frequence DV", PrefType::Byte, &P::DvAudioRate},
    K{"Volume", PrefType::Int, &P::Volume},
    K{"Format pour Ajouter Datecode", PrefType::Text, &P::AddDatecodeFormat, kMarker},
    K{"Format pour Afficher Datecode", PrefType::Text, &P::DisplayDatecodeFormat, kMarker},
    K{"Format pour Incruster Datecode1", PrefType::Text, &P::InlayFormat1, kMarker},
    K{"Format pour Incruster Datecode2", PrefType::Text, &P::InlayFormat2, kMarker},
    K{"Format pour Renommer", PrefType::Text, &P::RenameFormat, kMarker},
    K{"Racine pour Renommer", PrefType::Wide, &P::RenameRoot, kMarker},
    K{"Standard FontSize", PrefType::Bool, &P::StandardFontSize},
    K{"When Incrust", PrefType::Byte, &P::InlayWhen},
    K{"Auto Incrust", PrefType::Byte, &P::InlayAuto},
    K{"What Incrust", PrefType::Byte, &P::InlayWhat},
    K{"Alignement", PrefType::Byte, &P::InlayAlignment},
    K{"Durée Incrustation", PrefType::Int, &P::InlayDuration},
    K{"Décalage Horaire", PrefType::DateTime, &P::TimeShift},
    K{"Sendto", PrefType::Bool, &P::OfferInOpenWith},
    K{"Incrust positionX", PrefType::Int, &P::InlayPositionX},
    K{"Incrust positionY", PrefType::Int, &P::InlayPositionY},
    K{"Border Size", PrefType::Int, &P::BorderSize},
    K{"type scn", PrefType::Int, &P::ScnType},
    K{"is Mute on", PrefType::Bool, &P::IsMuteOn},
    K{"is Incrust On", PrefType::Bool, &P::IsInlayOn},
    K{"Incrust Sliders Visible", PrefType::Bool, &P::InlaySlidersVisible},
    K{"Decalage avancé", PrefType::Bool, &P::AdvancedTimeShift},
    K{"Ajout Avant", PrefType::Bool, &P::AddBeforeName},
    K{"Classer raccourcis par titres", PrefType::Bool, &P::SortShortcutsByCaption},
    K{"Portable", PrefType::Bool, &P::Portable},
    K{"POrtable Drive", PrefType::Text, &P::PortableDrive},
};

using F = InlayFontSettings;
using FK = KeyDef<InlayFontSettings>;
const std::array kFont = {
    FK{"Size", PrefType::Int, &F::Size},
    FK{"Color", PrefType::Int, &F::Color},
    FK{"Name", PrefType::Text, &F::Name},
    FK{"Bold", PrefType::Bool, &F::Bold},
    FK{"Italic", PrefType::Bool, &F::Italic},
    FK{"Underline", PrefType::Bool, &F::Underline},
    FK{"StrikeOut", PrefType::Bool, &F::StrikeOut},
};

}  // namespace

std::span<const KeyDef<Preferences>> MainKeys() {
    return kMain;
}
using E = ExportSettings;
using EK = KeyDef<ExportSettings>;
const std::array kExport = {
    EK{"Format pour Exporter MP4", PrefType::Text, &E::Mp4NameFormat},
    EK{"Preset MP4", PrefType::Text, &E::Mp4Preset},
    EK{"Qualité MP4", PrefType::Int, &E::Mp4Quality},
    EK{"Durée Incrustation MP4", PrefType::Int, &E::Mp4InlaySeconds},
};

std::span<const KeyDef<ExportSettings>> ExportKeys() {
    return kExport;
}

std::span<const KeyDef<InlayFontSettings>> FontKeys() {
    return kFont;
}

const KeyDef<Preferences>* FindMainKey(std::string_view key) {
    for (const K& k : kMain)
        if (k.Key == key)
            return &k;
    return nullptr;
}

}  // namespace kelvor::settings
