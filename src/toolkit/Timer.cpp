#include "toolkit/Timer.h"

#include <cstdio>
#include <ctime>

namespace {
uint32_t SystemClock() { return uint32_t(std::time(nullptr)); }
}  // namespace

Timer::ClockFunction Timer::Clock = SystemClock;

void Timer::SetClock(ClockFunction clock) { Clock = clock != nullptr ? clock : SystemClock; }

uint32_t Timer::Now() { return Clock(); }

void Timer::Reset() {
    StartTime = 0;
    UsedTime = 0;
    IntermediateTime = 0;
}

void Timer::Start() {
    IntermediateTime = 0;
    StartTime = Now();
}

void Timer::Stop() {
    if (StartTime != 0) UsedTime += Now() - StartTime;
    StartTime = 0;
}

void Timer::IntermediateStop() {
    if (StartTime != 0) IntermediateTime = Now() - StartTime;
}

double Timer::ReadRunningTime() const { return double(uint32_t(Now() - StartTime + UsedTime)); }

double Timer::ReadIntermediateTime() const {
    return double(uint32_t(Now() - StartTime - IntermediateTime));
}

const char *Timer::GetUsedTimeStr(const char *format) const {
    static char buffer[32];
    // The format is the caller's; snprintf keeps any result inside the shared buffer.
    std::snprintf(buffer, sizeof buffer, format != nullptr ? format : "%.2f sec ",
                  double(UsedTime));
    return buffer;
}
