#include "cli/ProgressDisplay.h"

namespace {

constexpr int BarWidth = 30;
constexpr double RedrawInterval = 0.1;  // seconds between two redraws of the bar
constexpr double MegaPoints = 1048576.0;

// "m:ss", or "h:mm:ss" from an hour on.
void FormatDuration(double seconds, char *text, size_t size) {
    long total = seconds > 0.0 ? long(seconds + 0.5) : 0;
    if (total >= 3600) {
        std::snprintf(text, size, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, size, "%ld:%02ld", total / 60, total % 60);
    }
}

}  // namespace

ProgressDisplay::ProgressDisplay(FILE *stream, bool terminal)
    : Stream(stream), Terminal(terminal) {}

void ProgressDisplay::Start(int32_t endTime, double pointsPerIteration) {
    EndTime = endTime;
    PointsPerIteration = pointsPerIteration;
    LastTenth = 0;
    LastDrawn = -1.0;
    LineOpen = false;
}

double ProgressDisplay::Speed(int32_t iteration, double seconds) const {
    if (seconds <= 0.0) return 0.0;
    return PointsPerIteration * iteration / seconds / MegaPoints;
}

void ProgressDisplay::Update(int32_t iteration, double seconds) {
    if (Stream == nullptr || EndTime <= 0) return;
    if (Terminal) {
        if (iteration < EndTime && LastDrawn >= 0.0 && seconds - LastDrawn < RedrawInterval) return;
        LastDrawn = seconds;
        DrawBar(iteration, seconds);
        return;
    }
    int tenth = int(int64_t(iteration) * 10 / EndTime);
    if (tenth <= LastTenth) return;
    LastTenth = tenth;
    std::fprintf(Stream, "%3d%%  iteration %d/%d  %.2f Mps\n", tenth * 10, iteration, EndTime,
                 Speed(iteration, seconds));
    std::fflush(Stream);
}

void ProgressDisplay::DrawBar(int32_t iteration, double seconds) {
    int percent = int(int64_t(iteration) * 100 / EndTime);
    int filled = int(int64_t(iteration) * BarWidth / EndTime);
    char bar[BarWidth + 1];
    for (int i = 0; i < BarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[BarWidth] = 0;
    char eta[32] = "?";
    if (iteration > 0 && seconds > 0.0) {
        FormatDuration(seconds * (EndTime - iteration) / iteration, eta, sizeof eta);
    }
    // \r returns to the start of the line, \033[K clears what a longer line left behind.
    std::fprintf(Stream, "\r[%s] %3d%%  iteration %d/%d  %.2f Mps  ETA %s\033[K", bar, percent,
                 iteration, EndTime, Speed(iteration, seconds), eta);
    std::fflush(Stream);
    LineOpen = true;
}

void ProgressDisplay::Finish() {
    if (Stream != nullptr && LineOpen) {
        std::fputc('\n', Stream);
        std::fflush(Stream);
    }
    LineOpen = false;
}
