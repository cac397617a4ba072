#include "DesktopRun.h"

#include <chrono>

#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/StartUp.h"
#include "platform_headless/HeadlessPlatform.h"
#include "rdsimul/ReaDifSimulation.h"

double DesktopRunRate(const std::string &path) {
    ResetFrontEndGlobals();
    HeadlessPlatform platform;
    // Slices and previews paced by the real clock, as on a screen.
    platform.OnClock = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    // The run computes on its worker thread, as in the desktop program.
    platform.WorkerThread = true;
    (void)VornaMain(platform, path.c_str());
    const double start = platform.OnClock();
    const bool ran = platform.Choose(MenuCommand::Run);
    const double seconds = platform.OnClock() - start;
    double rate = 0.0;
    if (ran && MainRDSim.CurrentTime == MainRDSim.EndTime && seconds > 0.0) {
        rate = double(MainRDSim.Components[0]->GetPixelCount()) * double(MainRDSim.EndTime) /
               seconds / 1048576.0;
    }
    ResetFrontEndGlobals();
    return rate;
}
