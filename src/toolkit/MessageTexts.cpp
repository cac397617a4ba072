#include "toolkit/MessageTexts.h"

#include <cstring>

#include "toolkit/StringTable.h"

namespace {

struct MessageText {
    const char *english;
    const char *french;
};

// Index i of the table is message i + 1. Messages with arguments are formats: each text holds
// exactly the conversions of its arguments, in order. Texts 26 to 78 become annotation lines in
// scripts: single lines, short enough to fit the parser's 200-character message buffer; the
// warnings after them are held to the same limits.
constexpr MessageText Texts[MessageTextCount] = {
    // 1: title of a new, unnamed script
    {"Vorna - new parameter script", "Vorna - nouveau script de paramètres"},
    // 2: title during the colour-map test (string: the colour-map specification)
    {"Vorna - colormap test: %s", "Vorna - test de palette : %s"},
    // 3: title after loading the example script
    {"Vorna - parameters example (save it under a new name)",
     "Vorna - exemple de paramètres (à enregistrer sous un nouveau nom)"},
    // 4: caption of the About box
    {"About Vorna", "À propos de Vorna"},
    // 5: title after Break or close; caption of the numeric-overflow box
    {"Vorna - run stopped", "Vorna - calcul interrompu"},
    // 6: caption of the error and warning boxes
    {"Vorna - error", "Vorna - erreur"},
    // 7: title after a numeric overflow (integer: iteration)
    {"Vorna - numeric overflow at iteration %d", "Vorna - dépassement numérique à l'itération %d"},
    // 8: caption of the disk-space question
    {"Vorna - disk space", "Vorna - espace disque"},
    // 9: text of the About box
    {"Vorna grows textures by simulating reaction-diffusion systems.\n\n"
     "Write a parameter script in the editor and start it with Texture > Run. "
     "Help > Parameters example loads a complete script to start from.",
     "Vorna fait pousser des textures en simulant des systèmes de réaction-diffusion.\n\n"
     "Écrivez un script de paramètres dans l'éditeur et lancez-le avec Texture > Calculer. "
     "Aide > Exemple de paramètres charge un script complet pour commencer."},
    // 10: editor text during a run (unsigned integer: the seed)
    {"Simulation in progress, random seed %u.\n\n"
     "The script cannot be edited during the run. Use Texture > Break to stop it.",
     "Simulation en cours, graine aléatoire %u.\n\n"
     "Le script ne peut pas être modifié pendant le calcul. "
     "Texture > Interrompre l'arrête."},
    // 11: a run was stopped (integer: iteration)
    {"The run was stopped at iteration %d.", "Le calcul a été interrompu à l'itération %d."},
    // 12: a single run finished
    {"The run is finished: all iterations are done and the images are saved.",
     "Le calcul est terminé : toutes les itérations sont faites et les images enregistrées."},
    // 13: a captured image (integer: iteration; string: file name)
    {"The image of iteration %d was saved as\n%s",
     "L'image de l'itération %d a été enregistrée sous\n%s"},
    // 14: disk-space question (integer: megabytes)
    {"This run will write about %d MB of images.\n\n"
     "Press OK to start it, or Cancel to return to the script.",
     "Ce calcul va écrire environ %d Mo d'images.\n\n"
     "Choisissez OK pour le lancer, ou Annuler pour revenir au script."},
    // 15: the script has errors
    {"The parameter script has errors. A line starting with #ERR now stands above each faulty "
     "line and says what is wrong; the cursor is on the first error.",
     "Le script de paramètres contient des erreurs. Une ligne commençant par #ERR précède "
     "chaque ligne fautive et explique le problème ; le curseur est sur la première erreur."},
    // 16: numeric overflow
    {"The simulation was stopped: the concentrations overflowed. "
     "Try smaller diffusion coefficients or reaction strengths.",
     "La simulation a été arrêtée : les concentrations ont débordé. "
     "Essayez des coefficients de diffusion ou des forces de réaction plus petits."},
    // 17: the script could not be written
    {"The script could not be written to its file. Check that the folder exists, that you may "
     "write there and that the disk is not full.",
     "Le script n'a pas pu être écrit dans son fichier. Vérifiez que le dossier existe, qu'il "
     "est accessible en écriture et que le disque n'est pas plein."},
    // 18: the chosen file could not be loaded
    {"The chosen file could not be loaded.", "Le fichier choisi n'a pas pu être chargé."},
    // 19: the script file could not be reloaded after a parse or a run
    {"The script file could not be reloaded into the editor.",
     "Le fichier du script n'a pas pu être rechargé dans l'éditeur."},
    // 20: the example script could not be loaded
    {"The example script exemple.tpl could not be loaded from the program's folder.",
     "Le script d'exemple exemple.tpl n'a pas pu être chargé depuis le dossier du programme."},
    // 21: the parser could not read or rewrite the script file
    {"The script file could not be read, or could not be rewritten with its annotations.",
     "Le fichier du script n'a pas pu être lu, ou n'a pas pu être réécrit avec ses "
     "annotations."},
    // 22: caption of the colour-map error box
    {"Vorna - colormap error", "Vorna - erreur de palette"},
    // 23: the fields could not be allocated
    {"There is not enough memory for the fields of this script. Choose a smaller size.",
     "La mémoire ne suffit pas pour les champs de ce script. Choisissez une taille plus petite."},
    // 24: the editor library is missing
    {"The text editor component could not be loaded; Vorna cannot start.",
     "Le composant d'édition de texte n'a pas pu être chargé ; Vorna ne peut pas démarrer."},
    // 25: file type in the open and save dialogs (at most 48 bytes)
    {"Vorna parameter scripts", "Scripts de paramètres Vorna"},
    // 26: prefix of every annotation line; the parser drops the lines it starts (ScriptText)
    {"#ERR: ", "#ERR : "},
    // 27
    {"Unknown keyword. A line starts with model, modpar, reaction, diffusion, init, size, "
     "iterations, randseed, colormap, image256 or image16M, or // for a comment.",
     "Mot-clé inconnu. Une ligne commence par model, modpar, reaction, diffusion, init, size, "
     "iterations, randseed, colormap, image256 ou image16M, ou // pour un commentaire."},
    // 28
    {"This setting was already given on an earlier line; each setting may appear only once.",
     "Ce réglage a déjà été donné sur une ligne précédente ; chaque réglage n'apparaît qu'une "
     "fois."},
    // 29
    {"No model chosen yet: the model line must come before the reaction, diffusion, init and "
     "image lines.",
     "Aucun modèle choisi : la ligne model doit précéder les lignes reaction, diffusion, init "
     "et image."},
    // 30
    {"The script has no valid model line. Add \"model NAME\" with one of diffusion, schlogl, "
     "ginzburglandau, gld1, gld2, maginu, magd1, brusselator, brd1.",
     "Le script n'a pas de ligne model valide. Ajoutez \"model NOM\" avec diffusion, schlogl, "
     "ginzburglandau, gld1, gld2, maginu, magd1, brusselator ou brd1."},
    // 31-33: a component's setting is missing (letter, letter)
    {"Component %c has no diffusion coefficient. Add \"diffusion %c VALUE\" with a value from "
     "0.001 to 1.",
     "Le composant %c n'a pas de coefficient de diffusion. Ajoutez \"diffusion %c VALEUR\" avec "
     "une valeur de 0.001 à 1."},
    {"Component %c has no reaction strength. Add \"reaction %c VALUE\" with a value above "
     "0.00001, up to 100.",
     "Le composant %c n'a pas de force de réaction. Ajoutez \"reaction %c VALEUR\" avec une "
     "valeur supérieure à 0.00001, jusqu'à 100."},
    {"Component %c has no initial value. Add \"init %c MEAN NOISE\" with both from -10 to 10.",
     "Le composant %c n'a pas de valeur initiale. Ajoutez \"init %c MOYENNE BRUIT\", chacun de "
     "-10 à 10."},
    // 34-37: missing lines
    {"The script has no size line. Add \"size WIDTH HEIGHT\" with both from 10 to 600.",
     "Le script n'a pas de ligne size. Ajoutez \"size LARGEUR HAUTEUR\", chacune de 10 à 600."},
    {"The script has no iterations line. Add \"iterations N\" with N from 1 to 500000.",
     "Le script n'a pas de ligne iterations. Ajoutez \"iterations N\" avec N de 1 à 500000."},
    {"The script has no colormap line. Add one, for example \"colormap gray\".",
     "Le script n'a pas de ligne colormap. Ajoutez-en une, par exemple \"colormap gray\"."},
    {"The script has no valid image line. Add one, for example \"image256 A t+100 autoscale\".",
     "Le script n'a pas de ligne image valide. Ajoutez-en une, par exemple "
     "\"image256 A t+100 autoscale\"."},
    // 38-40: model line
    {"The model line has no model name. Write \"model NAME\", for example \"model brusselator\".",
     "La ligne model n'a pas de nom de modèle. Écrivez \"model NOM\", par exemple "
     "\"model brusselator\"."},
    {"Unexpected text after the model name; the model line takes one name only.",
     "Texte inattendu après le nom du modèle ; la ligne model ne prend qu'un nom."},
    {"Unknown model. The models are diffusion, schlogl, ginzburglandau, gld1, gld2, maginu, "
     "magd1, brusselator and brd1.",
     "Modèle inconnu. Les modèles sont diffusion, schlogl, ginzburglandau, gld1, gld2, maginu, "
     "magd1, brusselator et brd1."},
    // 41-43: modpar line
    {"The modpar line needs a parameter name and a value, for example \"modpar alpha 0.5\".",
     "La ligne modpar demande un nom de paramètre et une valeur, par exemple "
     "\"modpar alpha 0.5\"."},
    {"Unexpected text after the modpar value. Only a variation may follow, its sign written "
     "right before the number (+0.001).",
     "Texte inattendu après la valeur de modpar. Seule une variation peut suivre, son signe "
     "collé au nombre (+0.001)."},
    {"Invalid parameter name: it must start with a letter, and its second character must be a "
     "letter or a digit.",
     "Nom de paramètre invalide : il commence par une lettre, et son deuxième caractère est une "
     "lettre ou un chiffre."},
    // 44-46: reaction line
    {"The reaction line needs a component letter and a strength, for example "
     "\"reaction A 1.5\".",
     "La ligne reaction demande une lettre de composant et une force, par exemple "
     "\"reaction A 1.5\"."},
    {"Unexpected text after the reaction strength. Write numbers without a plus sign or "
     "exponent, for example 0.25.",
     "Texte inattendu après la force de réaction. Écrivez les nombres sans signe plus ni "
     "exposant, par exemple 0.25."},
    {"The reaction strength must be above 0.00001 and at most 100, for a component from A to %c.",
     "La force de réaction doit être supérieure à 0.00001 et au plus 100, pour un composant de A à "
     "%c."},
    // 47-49: diffusion line
    {"The diffusion line needs a component letter and a coefficient, for example "
     "\"diffusion A 0.2\".",
     "La ligne diffusion demande une lettre de composant et un coefficient, par exemple "
     "\"diffusion A 0.2\"."},
    {"Unexpected text after the diffusion coefficient. Only a variation may follow, its sign "
     "written right before the number (+0.001).",
     "Texte inattendu après le coefficient de diffusion. Seule une variation peut suivre, son "
     "signe collé au nombre (+0.001)."},
    {"The diffusion coefficient must be from 0.001 to 1, for a component from A to %c.",
     "Le coefficient de diffusion doit être compris entre 0.001 et 1, pour un composant de A à "
     "%c."},
    // 50-52: init line
    {"The init line needs a component letter, a mean and a noise, for example "
     "\"init A 0.5 0.1\".",
     "La ligne init demande une lettre de composant, une moyenne et un bruit, par exemple "
     "\"init A 0.5 0.1\"."},
    {"Unexpected text after the init values; the init line takes a letter and two numbers.",
     "Texte inattendu après les valeurs de init ; la ligne init prend une lettre et deux "
     "nombres."},
    {"The mean and the noise must be from -10 to 10, for a component from A to %c.",
     "La moyenne et le bruit doivent être compris entre -10 et 10, pour un composant de A à %c."},
    // 53-55: size line
    {"The size line needs two integers, the width and the height, for example \"size 200 200\".",
     "La ligne size demande deux entiers, la largeur et la hauteur, par exemple "
     "\"size 200 200\"."},
    {"Unexpected text after the size; the size line takes two integers only.",
     "Texte inattendu après la taille ; la ligne size ne prend que deux entiers."},
    {"The width and the height must be from 10 to 600.",
     "La largeur et la hauteur doivent être comprises entre 10 et 600."},
    // 56-58: iterations line
    {"The iterations line needs an integer, for example \"iterations 10000\".",
     "La ligne iterations demande un entier, par exemple \"iterations 10000\"."},
    {"Unexpected text after the number of iterations; the line takes one integer only.",
     "Texte inattendu après le nombre d'itérations ; la ligne ne prend qu'un entier."},
    {"The number of iterations must be from 1 to 500000.",
     "Le nombre d'itérations doit être compris entre 1 et 500000."},
    // 59-60: randseed line
    {"The randseed line needs an integer, for example \"randseed 1234\"; 0 takes the seed from "
     "the clock.",
     "La ligne randseed demande un entier, par exemple \"randseed 1234\" ; 0 prend la graine de "
     "l'horloge."},
    {"Unexpected text after the random seed; the line takes one integer only.",
     "Texte inattendu après la graine aléatoire ; la ligne ne prend qu'un entier."},
    // 61-73: colormap specification
    {"Unexpected text after gray; this colormap takes no numbers.",
     "Texte inattendu après gray ; cette palette ne prend aucun nombre."},
    {"rgb needs 6 integers: red, green and blue, each a start and an end from 0 to 255.",
     "rgb demande 6 entiers : rouge, vert et bleu, chacun un début et une fin de 0 à 255."},
    {"Unexpected text after the 6 numbers of rgb.", "Texte inattendu après les 6 nombres de rgb."},
    {"hsl needs 6 numbers: hue start and end (integers, degrees), saturation start and end "
     "(0 to 1), lightness start and end (integers, 0 to 255).",
     "hsl demande 6 nombres : teinte début et fin (entiers, degrés), saturation début et fin "
     "(0 à 1), luminosité début et fin (entiers, 0 à 255)."},
    {"Unexpected text after the 6 numbers of hsl.", "Texte inattendu après les 6 nombres de hsl."},
    {"xyz needs 6 numbers: X, Y and Z, each a start and an end from 0 to 1.",
     "xyz demande 6 nombres : X, Y et Z, chacun un début et une fin de 0 à 1."},
    {"Unexpected text after the 6 numbers of xyz.", "Texte inattendu après les 6 nombres de xyz."},
    {"cmyk needs 8 integers: cyan, magenta, yellow and black, each a start and an end from 0 "
     "to 255.",
     "cmyk demande 8 entiers : cyan, magenta, jaune et noir, chacun un début et une fin de 0 à "
     "255."},
    {"Unexpected text after the 8 numbers of cmyk.",
     "Texte inattendu après les 8 nombres de cmyk."},
    {"ycbcr needs 6 numbers: Y start and end (0 to 1), Cb and Cr start and end (-0.5 to 0.5).",
     "ycbcr demande 6 nombres : Y début et fin (0 à 1), Cb et Cr début et fin (-0.5 à 0.5)."},
    {"Unexpected text after the 6 numbers of ycbcr.",
     "Texte inattendu après les 6 nombres de ycbcr."},
    {"The colormap line names no colour space. Write gray, rgb, hsl, xyz, cmyk or ycbcr, "
     "followed by its numbers.",
     "La ligne colormap ne nomme aucun espace de couleurs. Écrivez gray, rgb, hsl, xyz, cmyk ou "
     "ycbcr, suivi de ses nombres."},
    {"Unknown colour space. Write gray, rgb, hsl, xyz, cmyk or ycbcr, in small letters.",
     "Espace de couleurs inconnu. Écrivez gray, rgb, hsl, xyz, cmyk ou ycbcr, en minuscules."},
    // 74-78: image line
    {"Invalid image line. Write a letter, [start<]t+period, then *scale offset or autoscale, "
     "for example \"image256 A 500<t+100 *2.5 -0.3\".",
     "Ligne image invalide. Écrivez une lettre, [début<]t+période, puis *échelle décalage ou "
     "autoscale, par exemple \"image256 A 500<t+100 *2.5 -0.3\"."},
    {"mosaic needs two integers, the width and the height, for example \"mosaic 400 300\".",
     "mosaic demande deux entiers, la largeur et la hauteur, par exemple \"mosaic 400 300\"."},
    {"The mosaic width must be from 10 to 800 and its height from 10 to 600.",
     "La largeur de la mosaïque doit être comprise entre 10 et 800, et sa hauteur entre 10 et "
     "600."},
    {"Unexpected text at the end of the image line. Only \"mosaic WIDTH HEIGHT\" and then TGA "
     "or BMP may follow.",
     "Texte inattendu à la fin de la ligne image. Seuls \"mosaic LARGEUR HAUTEUR\" puis TGA ou "
     "BMP peuvent suivre."},
    {"The image letter must name a component from A to %c, and the period after t+ must be "
     "above 0.",
     "La lettre de l'image doit désigner un composant de A à %c, et la période après t+ doit "
     "être supérieure à 0."},
    // 79: a file failed; the cause follows
    {"the file could not be written:", "le fichier n'a pas pu être écrit :"},
    // 80: images of a run failed (integer: their number); the last one's name and cause follow
    {"%d images of this run could not be written. The last one:",
     "%d images de ce calcul n'ont pas pu être écrites. La dernière :"},
    // 81-90: causes of file failures
    {"permission denied", "permission refusée"},
    {"no space left on the disk", "plus de place sur le disque"},
    {"the name is too long for the system", "le nom est trop long pour le système"},
    {"not a regular file (a folder, a device, a pipe or a socket); it was left alone",
     "ce n'est pas un fichier ordinaire (dossier, périphérique, tube ou socket) ; il n'a pas "
     "été touché"},
    {"not a text file: zero byte at offset %lld",
     "ce n'est pas un fichier texte : octet nul à la position %lld"},
    {"too long: %lld bytes, the limit is %lld bytes",
     "trop long : %lld octets, la limite est de %lld octets"},
    {"the disk or folder is read-only", "le disque ou le dossier est en lecture seule"},
    {"no such file or folder", "fichier ou dossier introuvable"},
    {"a part of the path is not a folder", "une partie du chemin n'est pas un dossier"},
    {"the system gave no cause", "le système n'a pas donné de cause"},
    // 91: a file could not be read; the cause follows
    {"the file could not be read:", "le fichier n'a pas pu être lu :"},
    // 92: a captured image could not be written; its name and cause follow
    {"The image could not be written.", "L'image n'a pas pu être écrite."},
    // 93: a modpar name the model does not read (model, name, the model's parameters)
    {"the model %s reads no parameter \"%s\" (its parameters: %s)",
     "le modèle %s ne lit aucun paramètre « %s » (ses paramètres : %s)"},
    // 94: the same for a model without parameters (model, name)
    {"the model %s reads no parameter \"%s\" (it reads none)",
     "le modèle %s ne lit aucun paramètre « %s » (il n'en lit aucun)"},
    // 95: a parameter no modpar line sets (model, parameter, meaning, typical value)
    {"%s reads %s (%s, typically %g), which no modpar line sets: it is 0",
     "%s lit %s (%s, typiquement %g), qu'aucune ligne modpar ne fixe : il vaut 0"},
    // 96: heading of the warnings in the run text
    {"Warnings about the script:", "Avertissements sur le script :"},
    // 97: one warning in the run text (integer: line; string: the warning)
    {"Line %d: %s", "Ligne %d : %s"},
};

constexpr int32_t LanguageCount = 2;

}  // namespace

int LoadMessageTexts(StringTable &table) {
    // Layout: word 0 the message count, word 1 the language count, then one byte offset per
    // message and language (message by message), then the zero-terminated texts.
    const uint32_t headerWords = 2 + uint32_t(MessageTextCount) * LanguageCount;
    uint32_t byteCount = headerWords * 4;
    for (const MessageText &text : Texts) {
        byteCount += uint32_t(std::strlen(text.english) + 1 + std::strlen(text.french) + 1);
    }
    if (table.SetNewDataSize(byteCount, 1) == MemoryTable::Failed || table.HasAllocationError() ||
        table.GetData() == nullptr || table.RawInit(0) != MemoryTable::Done) {
        return MemoryTable::NoData;
    }

    int32_t *words = table.GetData();
    auto *bytes = reinterpret_cast<char *>(words);
    words[0] = MessageTextCount;
    words[1] = LanguageCount;
    uint32_t offset = headerWords * 4;
    for (int32_t i = 0; i < MessageTextCount; ++i) {
        const char *languages[LanguageCount] = {Texts[i].english, Texts[i].french};
        for (int32_t l = 0; l < LanguageCount; ++l) {
            const size_t length = std::strlen(languages[l]) + 1;
            words[2 + i * LanguageCount + l] = int32_t(offset);
            std::memcpy(bytes + offset, languages[l], length);
            offset += uint32_t(length);
        }
    }
    return 1;
}

int LoadGST() { return LoadMessageTexts(GST); }
