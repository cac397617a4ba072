// MenuResources: the English and French menu bars; texts are UTF-8, positions and identifiers
// are the same in both.
#include "frontend/MenuResources.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace {

using E = MenuEntry;

// One row of the menu bars: both languages side by side, so that positions and identifiers
// cannot drift apart.
enum class Checked { Never, InEnglish, InFrench, Always };
struct MenuRow {
    MenuEntry::Kind Type;
    int Level;
    const char *English;
    const char *French;
    int Identifier;
    bool Grayed;
    Checked Check;
};

// clang-format off
constexpr MenuRow Rows[] = {
    {E::Popup, 0, "&Parameters", "&Paramètres", 0, false, Checked::Never},
    {E::Command, 1, "&New", "&Nouveau", MenuCommand::New, false, Checked::Never},
    {E::Command, 1, "&Open...", "&Charger...", MenuCommand::Open, false, Checked::Never},
    {E::Command, 1, "&Save", "&Enregistrer", MenuCommand::Save, false, Checked::Never},
    {E::Command, 1, "Save &as...", "Enregistrer &sous...", MenuCommand::SaveAs, false, Checked::Never},
    {E::Popup, 0, "&Edit", "&Edition", 0, false, Checked::Never},
    {E::Command, 1, "&Undo\tCtrl+Z", "&Annuler\tCtrl+Z", MenuCommand::Undo, false, Checked::Never},
    {E::Separator, 1, "", "", 0, false, Checked::Never},
    {E::Command, 1, "Cu&t\tCtrl+X", "Co&uper\tCtrl+X", MenuCommand::Cut, false, Checked::Never},
    {E::Command, 1, "&Copy\tCtrl+C", "&Copier\tCtrl+C", MenuCommand::Copy, false, Checked::Never},
    {E::Command, 1, "&Paste\tCtrl+V", "Col&ler\tCtrl+V", MenuCommand::Paste, false, Checked::Never},
    {E::Popup, 0, "&Texture", "&Texture", 0, false, Checked::Never},
    {E::Command, 1, "&Run", "&Calculer", MenuCommand::Run, false, Checked::Never},
    {E::Command, 1, "&Loop randseed", "&Boucle randseed", MenuCommand::LoopRandSeed, false, Checked::Never},
    {E::Command, 1, "&Pause", "&Pause", MenuCommand::Pause, true, Checked::Never},
    {E::Command, 1, "&Break", "&Interrompre", MenuCommand::Break, true, Checked::Never},
    {E::Separator, 1, "", "", 0, false, Checked::Never},
    {E::Command, 1, "&Capture BMP", "Capturer &BMP", MenuCommand::CaptureBMP, true, Checked::Never},
    {E::Separator, 1, "", "", 0, false, Checked::Never},
    {E::Command, 1, "&Test colormap", "&Tester Palette", MenuCommand::TestColorMap, false, Checked::Never},
    {E::Separator, 1, "", "", 0, false, Checked::Never},
    {E::Label, 1, "Preview options", "Options pré-visualisation", 0, false, Checked::Never},
    {E::Command, 1, "   1 - &Inactive", "   1 - &Désactivée", MenuCommand::PreviewInactive, false, Checked::Never},
    {E::Command, 1, "   2 - &Normal", "   2 - &Normale", MenuCommand::PreviewNormal, false, Checked::Never},
    {E::Command, 1, "   3 - T&ile", "   3 - &Mosaïque", MenuCommand::PreviewTile, false, Checked::Never},
    {E::Command, 1, "   4 - &Album", "   4 - &Album", MenuCommand::PreviewAlbum, false, Checked::Never},
    {E::Label, 1, "   Refresh rate :", "   Rafraichissement :", 0, false, Checked::Never},
    {E::Command, 1, "      1/1 (fast)", "      1/1 (fluide)", MenuCommand::Refresh1, false, Checked::Never},
    {E::Command, 1, "      1/5", "      1/5", MenuCommand::Refresh5, false, Checked::Never},
    {E::Command, 1, "      1/30", "      1/30", MenuCommand::Refresh30, false, Checked::Never},
    {E::Command, 1, "      1/200", "      1/200", MenuCommand::Refresh200, false, Checked::Never},
    {E::Command, 1, "      1/1000 (slow)", "      1/1000 (lent)", MenuCommand::Refresh1000, false, Checked::Never},
    {E::Command, 1, "   &16M color mode", "   Mode 16M couleurs", MenuCommand::Colors16M, false, Checked::Never},
    {E::Command, 1, "   Show c&olormap", "   Palette", MenuCommand::ShowColorMap, false, Checked::Never},
    {E::Command, 1, "   Show co&unter", "   Compteur", MenuCommand::ShowCounter, false, Checked::Never},
    {E::Separator, 1, "", "", 0, false, Checked::Never},
    {E::Command, 1, "&Explorer\tCtrl+E", "&Explorateur\tCtrl+E", MenuCommand::Explorer, false, Checked::Never},
    {E::Command, 1, "Record &movie...", "&Filmer...", MenuCommand::RecordMovie, false, Checked::Never},
    {E::Separator, 0, "", "", 0, false, Checked::Never},
    {E::Popup, 0, "&Preferences", "&Préférences", 0, false, Checked::Never},
    {E::Label, 1, "Language", "Langue", 0, false, Checked::Never},
    {E::Command, 1, "    English", "    Anglais", MenuCommand::English, false, Checked::InEnglish},
    {E::Command, 1, "    French", "    Français", MenuCommand::French, false, Checked::InFrench},
    {E::Separator, 0, "", "", 0, false, Checked::Never},
    {E::Popup, 0, "&Help", "&Aide", 0, false, Checked::Never},
    {E::Command, 1, "&Parameters example...", "&Exemple de paramètres...", MenuCommand::ParametersExample, false, Checked::Never},
    {E::Command, 1, "&About Vorna...", "&A propos de Vorna...", MenuCommand::About, false, Checked::Never},
    {E::Separator, 0, "", "", 0, false, Checked::Never},
    {E::Command, 0, "&Quit", "&Quitter", MenuCommand::Quit, false, Checked::Never},
};
// clang-format on
constexpr size_t RowCount = sizeof Rows / sizeof Rows[0];

// The menu bar of one language, ended by its End entry.
constexpr std::array<MenuEntry, RowCount + 1> Entries(bool french) {
    std::array<MenuEntry, RowCount + 1> entries{};
    for (size_t i = 0; i < RowCount; ++i) {
        const MenuRow &row = Rows[i];
        const bool checked = row.Check == Checked::Always ||
                             row.Check == (french ? Checked::InFrench : Checked::InEnglish);
        entries[i] = {row.Type,       row.Level,  french ? row.French : row.English,
                      row.Identifier, row.Grayed, checked};
    }
    entries[RowCount] = {E::End, 0, "", 0, false, false};
    return entries;
}

// The position of command in the Texture popup, counted as the menus count their items.
constexpr int TexturePosition(int command) {
    int position = -1;
    bool inTexture = false;
    for (const MenuRow &row : Rows) {
        if (row.Level == 0) {
            inTexture = row.Type == E::Popup && row.Identifier == 0 &&
                        std::string_view(row.English) == "&Texture";
            position = -1;
            continue;
        }
        if (!inTexture) continue;
        ++position;
        if (row.Identifier == command) return position;
    }
    return -1;
}
static_assert(TexturePosition(MenuCommand::Pause) == TextureItem::Pause);
static_assert(TexturePosition(MenuCommand::PreviewInactive) == TextureItem::FirstMode);
static_assert(TexturePosition(MenuCommand::PreviewAlbum) == TextureItem::FirstMode + 3);
static_assert(TexturePosition(MenuCommand::Refresh1) == TextureItem::FirstRefresh);
static_assert(TexturePosition(MenuCommand::Refresh1000) == TextureItem::FirstRefresh + 4);
static_assert(TexturePosition(MenuCommand::Colors16M) == TextureItem::Colors16M);
static_assert(TexturePosition(MenuCommand::ShowColorMap) == TextureItem::ShowColorMap);
static_assert(TexturePosition(MenuCommand::ShowCounter) == TextureItem::ShowCounter);

constexpr std::array<MenuEntry, RowCount + 1> EntriesEn = Entries(false);
constexpr std::array<MenuEntry, RowCount + 1> EntriesFr = Entries(true);

// The same keys in both languages. They also reach the commands whose access keys are shared
// within a menu (Parameters and Preferences, Loop randseed and Capture BMP in French, Inactive
// and Tile in English): the digits follow the numbers of the preview modes.
const MenuShortcut Shortcuts[] = {
    {MenuCommand::New, "Ctrl+N"},
    {MenuCommand::Open, "Ctrl+O"},
    {MenuCommand::Save, "Ctrl+S"},
    {MenuCommand::SaveAs, "Ctrl+Shift+S"},
    {MenuCommand::Run, "F5"},
    {MenuCommand::LoopRandSeed, "Shift+F5"},
    {MenuCommand::Break, "Escape"},
    {MenuCommand::Break, "Ctrl+."},
    {MenuCommand::CaptureBMP, "Ctrl+B"},
    {MenuCommand::Explorer, "Ctrl+E"},
    {MenuCommand::PreviewInactive, "Ctrl+1"},
    {MenuCommand::PreviewNormal, "Ctrl+2"},
    {MenuCommand::PreviewTile, "Ctrl+3"},
    {MenuCommand::PreviewAlbum, "Ctrl+4"},
    {MenuCommand::Quit, "Ctrl+Q"},
    {0, nullptr},
};

}  // namespace

const MenuResource MainMenuEn = {"MAINMENU_EN", EntriesEn.data(), Shortcuts};
const MenuResource MainMenuFr = {"MAINMENU_FR", EntriesFr.data(), Shortcuts};
