#include "toolkit/RandomGenerator.h"

#include <ctime>

namespace {
uint32_t State = 0;  // the one generator state of the process
}

RandomGenerator MainRandom(0);

RandomGenerator::RandomGenerator(uint32_t seed) { Randomize(seed); }

void RandomGenerator::Randomize(uint32_t seed) {
    Seed = seed != 0 ? seed : uint32_t(uint64_t(std::time(nullptr)) % 100000000u);
    State = Seed;
}

int32_t RandomGenerator::Rand() {
    State = State * 214013u + 2531011u;  // wraps modulo 2^32
    return int32_t((State >> 16) & 0x7FFF);
}

uint32_t RandomGenerator::SaveState() { return State; }

void RandomGenerator::RestoreState(uint32_t state) { State = state; }
