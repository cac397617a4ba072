// DesktopTexts: kept beside the front end rather than in the message table, whose numbering the
// scripts' annotations and the command line share.
#include "frontend/DesktopTexts.h"

#include "toolkit/StringTable.h"

namespace {

struct TextPair {
    const char *English;
    const char *French;
};

constexpr TextPair Texts[] = {
    {"The script has changes that are not saved.\n\nSave them before going on?",
     "Le script contient des modifications non enregistrées.\n\n"
     "Les enregistrer avant de continuer ?"},
    {"The script was not saved: the folder of the chosen name does not exist.",
     "Le script n'a pas été enregistré : le dossier du nom choisi n'existe pas."},
    {"Version %s", "Version %s"},
    {"The loop stops: the image names of its next round would be too long.",
     "La boucle s'arrête : les noms des images de son prochain tour seraient trop longs."},
    {"The path of the chosen file is too long.", "Le chemin du fichier choisi est trop long."},
    {"Movies", "Films"},
    {"The movie of the run could not be written.", "Le film du calcul n'a pas pu être écrit."},
};

}  // namespace

const char *GetDesktopText(DesktopText text) {
    const TextPair &pair = Texts[static_cast<int>(text)];
    return GST.GetCurrentLanguage() == 1 ? pair.French : pair.English;
}
