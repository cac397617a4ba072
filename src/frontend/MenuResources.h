// MenuResources: the two menu bars of the main window, "MAINMENU_EN" and "MAINMENU_FR", with the
// same positions and command identifiers; static data owned by the program.
#pragma once

#include "platform/Platform.h"

// Command identifiers of the menus.
struct MenuCommand {
    static constexpr int New = 9100;
    static constexpr int Open = 9101;
    static constexpr int Save = 9102;
    static constexpr int SaveAs = 9103;
    static constexpr int Undo = 9200;
    static constexpr int Cut = 9201;
    static constexpr int Copy = 9202;
    static constexpr int Paste = 9203;
    static constexpr int Run = 9300;
    static constexpr int LoopRandSeed = 9301;
    static constexpr int Pause = 9310;
    static constexpr int Break = 9311;
    static constexpr int CaptureBMP = 9320;
    static constexpr int TestColorMap = 9330;
    static constexpr int Explorer = 9340;
    static constexpr int RecordMovie = 9341;
    static constexpr int PreviewInactive = 9400;
    static constexpr int PreviewNormal = 9401;
    static constexpr int PreviewTile = 9402;
    static constexpr int PreviewAlbum = 9403;
    static constexpr int Refresh1 = 9420;  // the refresh rates 1/1 to 1/1000, in order
    static constexpr int Refresh5 = 9421;
    static constexpr int Refresh30 = 9422;
    static constexpr int Refresh200 = 9423;
    static constexpr int Refresh1000 = 9424;
    static constexpr int Colors16M = 9440;
    static constexpr int ShowColorMap = 9441;
    static constexpr int ShowCounter = 9442;
    static constexpr int ParametersExample = 9500;
    static constexpr int About = 9501;
    static constexpr int French = 9600;
    static constexpr int English = 9601;
    static constexpr int Quit = 9700;
};

// Bar positions of the popups the program addresses.
struct MenuBar {
    static constexpr int Parameters = 0;
    static constexpr int Edition = 1;
    static constexpr int Texture = 2;
    static constexpr int Preferences = 4;
    static constexpr int Aide = 6;
    static constexpr int Quit = 8;
};

// Positions of the Texture popup's items that the program checks (separators and labels count).
struct TextureItem {
    static constexpr int Pause = 2;
    static constexpr int FirstMode = 10;     // the preview modes Inactive .. Album follow
    static constexpr int FirstRefresh = 15;  // the refresh rates 1/1 .. 1/1000 follow
    static constexpr int Colors16M = 20;
    static constexpr int ShowColorMap = 21;
    static constexpr int ShowCounter = 22;
    static constexpr int RecordMovie = 25;  // checked while the runs make a movie
};

extern const MenuResource MainMenuEn;  // "MAINMENU_EN"
extern const MenuResource MainMenuFr;  // "MAINMENU_FR"
