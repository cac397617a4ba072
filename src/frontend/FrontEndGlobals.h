// The front end's global state: path buffers and scratch texts, editor state, preview options
// and run flags, shared by start-up, window procedure, preview display, files and run sequence.
#pragma once

#include <cstdint>
#include <string>

#include "rdsimul/ScriptParser.h"

class Platform;
struct PreviewBitmapFormat;

// The window system the front end runs on (set by VornaMain).
extern Platform *ThePlatform;

// ----- start-up, settings and language
constexpr int PathBufferSize = 272;  // path buffers
constexpr int MaxPathLength = 259;   // characters used in a path buffer
constexpr int TmpStrSize = 344;
constexpr int WindowTitleSize = 260;
extern const char g_szClassName[12];  // "Vornawindow"
extern char RootDirectory[PathBufferSize];
extern char LocaleLanguage[16];
extern char CurParamFileName[PathBufferSize];
extern char CurWindowTitle[WindowTitleSize];
extern char TmpStr[TmpStrSize];
extern int TDisplayRefreshRates[5];
extern int DisplayRefreshRate;
// Format and palette of the preview bitmap, kept from one display to the next (set at start-up).
extern PreviewBitmapFormat *PtrDisplayInfo;

// ----- main window and editor
constexpr uint32_t EditorBackgroundIdle = 0xE8ECF0;  // red 240, green 236, blue 232
constexpr uint32_t EditorBackgroundRun = 0xA0A0A0;
extern int CarretTextIndex1;
extern int CarretTextIndex2;
extern int CheckColorMapFlag;
extern int TabVal;

// ----- preview display options
extern int DisplayMode;  // 0 inactive, 1 normal, 2 tile, 3 album
extern int DisplayRefreshLevel;
extern int DisplayColors16M;
extern int DisplayColorMap;
extern int DisplayCounter;
extern int DisplaySequencePosX;
extern int DisplaySequencePosY;
extern int InitDisplayDone;
// 1 while the last run's final preview is left drawn over the idle editor (until the next run,
// another script or the preview turned off).
extern int ResultShown;

// ----- run sequence
extern int RunFlag;
extern int StopFlag;
extern int CloseFlag;
extern int PauseFlag;
extern int MessageFlag;
extern int LoopFlag;  // 0 single run, 2 loop chosen (first round not running), 1 loop rounds
extern ScriptParser::Result ParamFlag;
extern int ErrorPosition;
extern int BasicRunSteps;
extern int CurrentRunSteps;
extern long LastDisplayPreview;
extern long LastDisplayInfoTime;
extern int TmpIntValue;
extern float TmpValue;
// 1 while a run sequence is inside its command handler (from storing the script to the end).
extern int SequenceActive;
// Record movie: the movie the next runs write (empty: none).
extern std::string RunMoviePath;

// Puts every global above back to its value at process start (tests start from there).
void ResetFrontEndGlobals();
