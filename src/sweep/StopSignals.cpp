#include "sweep/StopSignals.h"

#include <csignal>

namespace StopSignals {

void Install(Handler onInterrupt, Handler onTermination) {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = onTermination;
    // The handler runs once; the signal it raises again then ends the process.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace StopSignals
