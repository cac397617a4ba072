// Window procedure of the main window: the messages of the window and every menu command
// (files, editing, texture commands, preview options, language, help, quit).
#pragma once

#include <cstdint>

// Handles one message of the main window; 0 for every message (nothing is left to a default).
int WndProc(int message, uint32_t wParam, uint32_t lParam);
// Sets the check marks of the preview options in a fresh Texture popup (base 10).
void UpdateCheckedOptions(int base);
// Replaces the menu bar by the given language's (0 English, 1 French) and selects the language.
void SwitchLanguage(int language);
// true when the editor's text may be replaced: it has no unsaved edits, or the user saved them
// (a save that fails keeps them) or chose to discard them.
bool ConfirmDiscard();
// Ends the colour-map test view (key released or left button pressed while it is shown).
void EndColorMapView();
