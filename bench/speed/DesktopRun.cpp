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
    (void)VornaMain(platform, path.c_str());
    if (!platform.Choose(MenuCommand::Run) || MainRDSim.CurrentTime != MainRDSim.EndTime) {
        ResetFrontEndGlobals();
        return 0.0;
    }
    const double rate = MainRDSim.AverageSpeed;
    ResetFrontEndGlobals();
    return rate;
}
