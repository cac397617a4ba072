#include "DesktopRun.h"

#include <chrono>

#include "frontend/ExplorerSession.h"
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

ChangeLatency DesktopChangeLatency(const std::string &path, int key, double first, double second,
                                   int changes) {
    ResetFrontEndGlobals();
    HeadlessPlatform platform;
    platform.OnClock = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    platform.WorkerThread = true;
    (void)VornaMain(platform, path.c_str());
    TheExplorer.Reset();
    TheExplorer.SetOpen(true);
    ChangeLatency latency;
    // One change at a time, each asked once the last one is shown and a few frames have passed.
    int asked = 0;
    int32_t revision = 0;
    double askedAt = 0.0;
    double appliedAt = 0.0;
    size_t framesBefore = 0;
    size_t settle = 0;
    platform.OnPump = [&](int) {
        const double now = platform.OnClock();
        if (askedAt > 0.0) {
            if (appliedAt == 0.0 && TheExplorer.Revision() != revision) appliedAt = now;
            if (appliedAt > 0.0 && platform.Blits.size() > framesBefore) {
                latency.Applied.push_back(appliedAt - askedAt);
                latency.Shown.push_back(now - askedAt);
                askedAt = appliedAt = 0.0;
                settle = platform.Blits.size() + 3;
            }
            return;
        }
        if (asked >= changes || platform.Blits.size() < settle || RunFlag != 1) return;
        ScheduledChange change;
        change.What = ScheduledChange::Kind::Modpar;
        change.Key = key;
        change.Value = asked % 2 == 0 ? first : second;
        revision = TheExplorer.Revision();
        framesBefore = platform.Blits.size();
        askedAt = platform.OnClock();
        if (!TheExplorer.ChangeSetting(change)) askedAt = 0.0;
        ++asked;
    };
    (void)platform.Choose(MenuCommand::Run);
    TheExplorer.Reset();
    ResetFrontEndGlobals();
    return latency;
}
