// The front end's globals with their values at process start.
#include "frontend/FrontEndGlobals.h"

#include <cstring>

Platform *ThePlatform = nullptr;

const char g_szClassName[12] = "Vornawindow";
char RootDirectory[PathBufferSize];
char LocaleLanguage[16];
char CurParamFileName[PathBufferSize];
char CurWindowTitle[WindowTitleSize] = "Vorna";
char TmpStr[TmpStrSize];
int TDisplayRefreshRates[5];
int DisplayRefreshRate = 1;
PreviewBitmapFormat *PtrDisplayInfo = nullptr;

int CarretTextIndex1 = 0;
int CarretTextIndex2 = 0;
int CheckColorMapFlag = 0;
int TabVal = 32;

int DisplayMode = 1;
int DisplayRefreshLevel = 0;
int DisplayColors16M = 0;
int DisplayColorMap = 0;
int DisplayCounter = 1;
int DisplaySequencePosX = 0;
int DisplaySequencePosY = 0;
int InitDisplayDone = 0;
int ResultShown = 0;

int RunFlag = 0;
int StopFlag = 0;
int CloseFlag = 0;
int PauseFlag = 0;
int MessageFlag = 0;
int LoopFlag = 0;
ScriptParser::Result ParamFlag = ScriptParser::Rejected;
int ErrorPosition = 0;
int BasicRunSteps = 0;
int CurrentRunSteps = 0;
long LastDisplayPreview = 0;
long LastDisplayInfoTime = 0;
int TmpIntValue = 0;
float TmpValue = 0.0f;
int SequenceActive = 0;
std::string RunMoviePath;

void ResetFrontEndGlobals() {
    ThePlatform = nullptr;
    RunMoviePath.clear();
    std::memset(RootDirectory, 0, sizeof RootDirectory);
    std::memset(LocaleLanguage, 0, sizeof LocaleLanguage);
    std::memset(CurParamFileName, 0, sizeof CurParamFileName);
    std::strcpy(CurWindowTitle, "Vorna");
    std::memset(TmpStr, 0, sizeof TmpStr);
    std::memset(TDisplayRefreshRates, 0, sizeof TDisplayRefreshRates);
    DisplayRefreshRate = 1;
    PtrDisplayInfo = nullptr;
    CarretTextIndex1 = CarretTextIndex2 = 0;
    CheckColorMapFlag = 0;
    TabVal = 32;
    DisplayMode = 1;
    DisplayRefreshLevel = 0;
    DisplayColors16M = 0;
    DisplayColorMap = 0;
    DisplayCounter = 1;
    DisplaySequencePosX = DisplaySequencePosY = 0;
    InitDisplayDone = 0;
    ResultShown = 0;
    RunFlag = StopFlag = CloseFlag = PauseFlag = MessageFlag = LoopFlag = 0;
    ParamFlag = ScriptParser::Rejected;
    ErrorPosition = 0;
    BasicRunSteps = CurrentRunSteps = 0;
    LastDisplayPreview = LastDisplayInfoTime = 0;
    TmpIntValue = 0;
    TmpValue = 0.0f;
    SequenceActive = 0;
}
