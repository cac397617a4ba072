// The recorded changes of ReaDifSimulation: the schedule of a script's `at` lines, its place in
// the run loop, and the brush that paints on a component around the torus.
#include <algorithm>
#include <cmath>

#include "rdsimul/ReaDifSimulation.h"

bool ReaDifSimulation::ChangeValid(const ScheduledChange &change) const {
    if (!Built() || change.Time < 0) return false;
    if (change.What == ScheduledChange::Kind::Modpar) {
        return change.Key >= 0 && change.Key < ParameterPairs;
    }
    if (change.Key < 0 || change.Key >= ComponentCount || Components[change.Key] == nullptr) {
        return false;
    }
    if (!change.IsPaint()) return true;
    return !change.Centres.empty() && change.Radius >= 0.5;
}

ReaDifSimulation::Result ReaDifSimulation::ScheduleChange(const ScheduledChange &change) {
    if (!ChangeValid(change)) return Refused;
    // After every change of the same time or earlier: the file's order within a time.
    const auto at = std::upper_bound(
        Schedule.begin(), Schedule.end(), change.Time,
        [](int32_t time, const ScheduledChange &other) { return time < other.Time; });
    Schedule.insert(at, change);
    return Done;
}

void ReaDifSimulation::RescaleSchedule(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    if (fromX <= 0 || fromY <= 0 || toX <= 0 || toY <= 0) return;
    const double ratioX = double(toX) / double(fromX);
    const double ratioY = double(toY) / double(fromY);
    const double ratio = std::sqrt(ratioX * ratioY);
    for (ScheduledChange &change : Schedule) {
        if (!change.IsPaint()) continue;
        change.Radius = std::max(0.5, change.Radius * ratio);
        for (ScheduledChange::Point &centre : change.Centres) {
            centre.X = std::min(toX - 1, int32_t(std::floor((centre.X + 0.5) * ratioX)));
            centre.Y = std::min(toY - 1, int32_t(std::floor((centre.Y + 0.5) * ratioY)));
        }
    }
}

ReaDifSimulation::Result ReaDifSimulation::ApplyChange(const ScheduledChange &change) {
    if (!ChangeValid(change)) return Refused;
    switch (change.What) {
        case ScheduledChange::Kind::Modpar: {
            ReactionParameters[change.Key][0] = change.Value;
            ReactionParameters[change.Key][1] = change.Variation;
            VaryParameters = 0;
            for (const auto &pair : ReactionParameters) {
                if (pair[1] != 0.0) VaryParameters = 1;
            }
            break;
        }
        case ScheduledChange::Kind::Reaction:
            ReactionStrength[change.Key] = change.Value;
            break;
        case ScheduledChange::Kind::Diffusion:
            DiffusionCoeff[change.Key] = change.Value;
            DiffusionCoeffVariation[change.Key] = change.Variation;
            break;
        case ScheduledChange::Kind::PaintSet:
        case ScheduledChange::Kind::PaintAdd:
            Paint(change);
            break;
    }
    return Done;
}

void ReaDifSimulation::Paint(const ScheduledChange &change) {
    Image3DFloat &field = *Components[change.Key];
    const int64_t w = field.GetSizeX();
    const int64_t h = field.GetSizeY();
    float *first = field.GetPtrFirstPixel();
    if (w <= 0 || h <= 0 || first == nullptr) return;
    // Marked first, changed after: a point inside several discs is changed once.
    std::vector<unsigned char> marked(size_t(w * h), 0);
    const double r2 = change.Radius * change.Radius;
    const auto reach = int64_t(std::floor(change.Radius));
    for (const ScheduledChange::Point &centre : change.Centres) {
        // The disc's box, clipped to one turn of the torus on each axis.
        const int64_t spanX = std::min<int64_t>(reach, (w - 1) / 2 + 1);
        const int64_t spanY = std::min<int64_t>(reach, (h - 1) / 2 + 1);
        for (int64_t oy = -spanY; oy <= spanY; ++oy) {
            const int64_t y = ((centre.Y + oy) % h + h) % h;
            const int64_t ay = std::llabs(y - centre.Y);
            const double dy = double(std::min(ay, h - ay));
            for (int64_t ox = -spanX; ox <= spanX; ++ox) {
                const int64_t x = ((centre.X + ox) % w + w) % w;
                const int64_t ax = std::llabs(x - centre.X);
                const double dx = double(std::min(ax, w - ax));
                if (dx * dx + dy * dy <= r2) marked[size_t(y * w + x)] = 1;
            }
        }
    }
    const int64_t stride = field.GetLineOffset();
    for (int64_t y = 0; y < h; ++y) {
        float *row = first + y * stride;
        for (int64_t x = 0; x < w; ++x) {
            if (marked[size_t(y * w + x)] == 0) continue;
            row[x] = change.What == ScheduledChange::Kind::PaintSet
                         ? float(change.Value)
                         : float(double(row[x]) + change.Value);
        }
    }
}

bool ReaDifSimulation::ChangeDue(int64_t time) const {
    return NextChange < Schedule.size() && Schedule[NextChange].Time <= time;
}

void ReaDifSimulation::ResumeSchedule() {
    const auto first = std::lower_bound(
        Schedule.begin(), Schedule.end(), CurrentTime,
        [](const ScheduledChange &change, int32_t time) { return change.Time < time; });
    NextChange = size_t(first - Schedule.begin());
    ApplyDueChanges();
}

void ReaDifSimulation::ApplyDueChanges() {
    while (NextChange < Schedule.size() && Schedule[NextChange].Time <= CurrentTime) {
        (void)ApplyChange(Schedule[NextChange]);
        ++NextChange;
    }
}
