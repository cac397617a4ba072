// StopSignals: the one set-up of the signals that stop a command-line run or a sweep: Ctrl-C
// (SIGINT) asks for a clean stop and may come again; SIGTERM and SIGHUP are handled once, then
// take their default course. Owns nothing.
#pragma once

namespace StopSignals {

using Handler = void (*)(int signal);

// Installs onInterrupt for SIGINT and onTermination, once, for SIGTERM and SIGHUP.
void Install(Handler onInterrupt, Handler onTermination);

}  // namespace StopSignals
