#include "rdsimul/SlicePacer.h"

SlicePacer::SlicePacer(int32_t maxIterations) : Max(maxIterations < 1 ? 1 : maxIterations) {}

SlicePacer::SlicePacer(int32_t maxIterations, double target, int32_t firstIterations)
    : Max(maxIterations < 1 ? 1 : maxIterations), Target(target) {
    Size = firstIterations < 1 ? 1 : (firstIterations > Max ? Max : firstIterations);
}

int32_t SlicePacer::OnGrid(int64_t now, int32_t steps, int32_t limit, int64_t end, int32_t grid) {
    const int64_t stop = now + steps;
    if (grid <= 1 || steps < 1 || stop >= end || stop % grid == 0) return steps;
    const int64_t below = stop - stop % grid;
    if (below > now) return int32_t(below - now);
    const int64_t above = below + grid;
    return above - now <= limit && above <= end ? int32_t(above - now) : steps;
}

void SlicePacer::Record(int32_t iterations, double seconds) {
    // A slice too quick for the clock grows as fast as any other quick slice.
    double next = 2.0 * double(Size);
    if (seconds > 0.0 && iterations > 0) {
        const double fitting = double(iterations) * Target / seconds;
        if (fitting < next) next = fitting;
    }
    if (next > double(Max)) next = double(Max);
    Size = next < 1.0 ? 1 : int32_t(next);
}
