// RandomGenerator: holds the seed of the process-wide pseudo-random generator from which the
// initial noise of the fields and the random colour maps are drawn.
#pragma once

#include <cstdint>

class RandomGenerator {
public:
    static constexpr int32_t RandMax = 32767;

    explicit RandomGenerator(uint32_t seed);
    // seed 0 takes the clock (seconds since the epoch modulo 100,000,000). Restarts the
    // process-wide sequence at Seed.
    void Randomize(uint32_t seed);
    uint32_t GetSeed() const { return Seed; }

    // Next draw of the process-wide sequence, 0 .. 32767. The same linear congruential
    // generator on every platform and compiler, so a seed always gives the same texture.
    static int32_t Rand();
    // Where the process-wide sequence stands, and back there: a run started again from the same
    // draws gets the same initial noise.
    static uint32_t SaveState();
    static void RestoreState(uint32_t state);

private:
    uint32_t Seed;
};

// Seeded by every accepted script; its seed is shown while a run is in progress.
extern RandomGenerator MainRandom;
