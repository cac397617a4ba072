// Timer: a stopwatch with one-second resolution; the run loop measures its speed with it.
// Owns nothing but three second counts.
#pragma once

#include <cstdint>

class Timer {
public:
    Timer() { Reset(); }
    void Reset();
    void Start();
    // Adds the running interval to UsedTime; does nothing on a stopped timer but clear StartTime.
    void Stop();
    // Marks the start of the next measuring interval; the timer keeps running.
    void IntermediateStop();
    double GetUsedTime() const { return double(UsedTime); }
    double GetIntermediateTime() const { return double(IntermediateTime); }
    // Seconds so far including the current interval (meaningful while running).
    double ReadRunningTime() const;
    // Seconds since the last intermediate stop, or since Start (meaningful while running).
    double ReadIntermediateTime() const;
    // UsedTime formatted with format ("%.2f sec " when null) into a buffer shared by all timers.
    const char *GetUsedTimeStr(const char *format) const;

    bool IsRunning() const { return StartTime != 0; }

    // The clock every timer reads, in whole seconds; tests replace it to step time by hand.
    using ClockFunction = uint32_t (*)();
    static void SetClock(ClockFunction clock);

private:
    static uint32_t Now();
    static ClockFunction Clock;

    uint32_t StartTime;
    uint32_t UsedTime;
    uint32_t IntermediateTime;
};
