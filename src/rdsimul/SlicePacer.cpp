#include "rdsimul/SlicePacer.h"

SlicePacer::SlicePacer(int32_t maxIterations) : Max(maxIterations < 1 ? 1 : maxIterations) {}

void SlicePacer::Record(double seconds) {
    // A slice too quick for the clock grows as fast as any other quick slice.
    double next = 2.0 * double(Size);
    if (seconds > 0.0) {
        const double fitting = double(Size) * TargetSeconds / seconds;
        if (fitting < next) next = fitting;
    }
    if (next > double(Max)) next = double(Max);
    Size = next < 1.0 ? 1 : int32_t(next);
}
