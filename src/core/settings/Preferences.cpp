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
    K{"Ordre de la Liste", PrefType::Byte, &P::OrdreDeLaListe},
    K{"Sauver préférences en quittant", PrefType::Bool, &P::SauverPreferencesEnQuittant},
    K{"Sélectionner à l'ouverture", PrefType::Bool, &P::SelectionnerALOuverture},
    K{"Sauver Liste en quittant", PrefType::Bool, &P::SauverListeEnQuittant},
    K{"Previsualiser DV en demi format", PrefType::Bool, &P::PrevisualiserDVEnDemiFormat},
    K{"Sauver dans le même dossier", PrefType::Bool, &P::SauverDansLeMemeDossier},
    K{"Dossier pour Ouvrir Fichiers", PrefType::Wide, &P::DossierPourOuvrirFichiers, kMarker},
    K{"Dossier à ouverture auto", PrefType::Wide, &P::DossierAOuvertureAuto, kMarker},
    K{"Dossier pour Sauver", PrefType::Wide, &P::DossierPourSauver, kMarker},
    K{"Dossier des PlayList", PrefType::Wide, &P::DossierDesPlayList, kMarker},
    K{"Fichier Varnolt", PrefType::Wide, &P::FichierVarnolt, kMarker},
    K{"Fichier F3", PrefType::Wide, &P::FichierF3, kMarker},
    K{"Fichier F4", PrefType::Wide, &P::FichierF4, kMarker},
    K{"Standard par défaut", PrefType::Byte, &P::StandardParDefaut},
    K{"Frequence DV", PrefType::Byte, &P::FrequenceDV},
    K{"Volume", PrefType::Int, &P::Volume},
    K{"Format pour Ajouter Datecode", PrefType::Text, &P::FormatPourAjouterDatecode, kMarker},
    K{"Format pour Afficher Datecode", PrefType::Text, &P::FormatPourAfficherDatecode, kMarker},
    K{"Format pour Incruster Datecode1", PrefType::Text, &P::FormatPourIncrusterDatecode1, kMarker},
    K{"Format pour Incruster Datecode2", PrefType::Text, &P::FormatPourIncrusterDatecode2, kMarker},
    K{"Format pour Renommer", PrefType::Text, &P::FormatPourRenommer, kMarker},
    K{"Racine pour Renommer", PrefType::Wide, &P::RacinePourRenommer, kMarker},
    K{"Standard FontSize", PrefType::Bool, &P::StandardFontSize},
    K{"When Incrust", PrefType::Byte, &P::WhenIncrust},
    K{"Auto Incrust", PrefType::Byte, &P::AutoIncrust},
    K{"What Incrust", PrefType::Byte, &P::WhatIncrust},
    K{"Alignement", PrefType::Byte, &P::Alignement},
    K{"Durée Incrustation", PrefType::Int, &P::DureeIncrustation},
    K{"Décalage Horaire", PrefType::DateTime, &P::DecalageHoraire},
    K{"Sendto", PrefType::Bool, &P::Sendto},
    K{"Incrust positionX", PrefType::Int, &P::IncrustPositionX},
    K{"Incrust positionY", PrefType::Int, &P::IncrustPositionY},
    K{"Border Size", PrefType::Int, &P::BorderSize},
    K{"type scn", PrefType::Int, &P::TypeScn},
    K{"is Mute on", PrefType::Bool, &P::IsMuteOn},
    K{"is Incrust On", PrefType::Bool, &P::IsIncrustOn},
    K{"Incrust Sliders Visible", PrefType::Bool, &P::IncrustSlidersVisible},
    K{"Decalage avancé", PrefType::Bool, &P::DecalageAvance},
    K{"Ajout Avant", PrefType::Bool, &P::AjoutAvant},
    K{"Classer raccourcis par titres", PrefType::Bool, &P::ClasserRaccourcisParTitres},
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
