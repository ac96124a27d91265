// The main window's own texts (UTF-8), in one place.
#pragma once

namespace tamovox {

inline constexpr const char* kLogoText = "TAMO-VOX";
inline constexpr const char* kCreditLine = "Par l'équipe Tamo-Vox";
inline constexpr const char* kWelcomeText = "Bienvenue sur le réseau Tamo-Vox de téléphonie de loisir";

// Mouse-over help line texts.
inline constexpr const char* kHelpNetworkRing = "Cliquez sur NETWORK pour voir les correspondants";
inline constexpr const char* kHelpChannelFrame = "Cliquez dans ce cadre pour voir tous les groupes";
inline constexpr const char* kHelpDocumentation = "Cliquez sur cette icon pour ouvrir la documentation";
inline constexpr const char* kHelpAnimation = "Cliquez sur cette animation pour ouvrir l'image partagée";
inline constexpr const char* kHelpSpeech = "Cliquez ici pour activer l'aide vocale";
inline constexpr const char* kHelpCredit = "Cliquez ici pour plus d'information sur le concepteur";
inline constexpr const char* kHelpDragStrip = "Cliquez ici pour déplacer la fenêtre Tamo-Vox";

// Keys without a function.
inline constexpr const char* kInactiveKeyText = "Désolé.\nCette touche est inactive !";
inline constexpr const char* kInactiveKeyCaption = "Info Clavier";

// Speech companion status texts.
inline constexpr const char* kCompanionNoFolder = "Impossible de trouver Program Files";
inline constexpr const char* kCompanionClosing = "Le synthétiseur est fermé ou va se fermer";
inline constexpr const char* kCompanionLoaded = "Le synthétiseur est chargé";
inline constexpr const char* kCompanionNotStarted = "Impossible de lancer le synthétiseur";

// The about box.
inline constexpr const char* kAboutTitle = "À propos de Tamo-Vox";
inline constexpr const char* kAboutProduct = "Tamo-Vox, Réseau social d'échange";
inline constexpr const char* kAboutCredit = "Conçu par l'équipe Tamo-Vox";
inline constexpr const char* kAboutParagraph =
    "Tamo-Vox relie des amateurs de téléphonie de loisir sur onze salons en alternat. "
    "L'équipe l'entretient sur son temps libre ; vos remarques sont les bienvenues.";

inline constexpr const char* kDocumentationPath = "/FR-Tamo-Vox.php";

}  // namespace tamovox
