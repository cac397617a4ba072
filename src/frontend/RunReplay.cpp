// RunReplay: snapshots of a run and its replay from the nearest one.
#include "frontend/RunReplay.h"

#include <algorithm>
#include <cstring>

#include "rdsimul/ScriptParser.h"
#include "toolkit/RandomGenerator.h"

namespace {

// Visits the rows of a field: a row of SizeX floats at every line and plane.
template <typename Visit>
bool ForEachRow(const Image3DFloat &field, Visit visit) {
    float *first = field.GetPtrFirstPixel();
    if (first == nullptr) return false;
    const size_t width = field.GetSizeX();
    size_t row = 0;
    for (int z = 0; z < field.GetSizeZ(); ++z) {
        for (int y = 0; y < field.GetSizeY(); ++y) {
            visit(first + ptrdiff_t(z) * field.GetPlaneOffset() +
                      ptrdiff_t(y) * field.GetLineOffset(),
                  row * width, width);
            ++row;
        }
    }
    return true;
}

}  // namespace

size_t RunReplay::Snapshot::Bytes() const {
    size_t bytes = sizeof(Snapshot) + Parameters.size() * sizeof(double);
    for (const auto &field : Fields) bytes += field.size() * sizeof(float);
    return bytes;
}

void RunReplay::Start() {
    Snapshots.clear();
    Spacing = FirstSpacing;
    ResumedFrom = -1;
}

bool RunReplay::ChangeAt(const ReaDifSimulation &sim, int32_t time) {
    for (const ScheduledChange &change : sim.GetSchedule()) {
        if (change.Time == time) return true;
    }
    return false;
}

RunReplay::Snapshot RunReplay::Take(const ReaDifSimulation &sim) {
    Snapshot snapshot;
    snapshot.Time = sim.CurrentTime;
    for (int i = 0; i < sim.ComponentCount; ++i) {
        const Image3DFloat &field = *sim.Components[i];
        std::vector<float> copy(size_t(field.GetSizeX()) * field.GetSizeY() * field.GetSizeZ());
        ForEachRow(field, [&copy](const float *row, size_t at, size_t width) {
            std::memcpy(copy.data() + at, row, width * sizeof(float));
        });
        snapshot.Fields.push_back(std::move(copy));
        snapshot.Diffusion.push_back(sim.DiffusionCoeff[i]);
        snapshot.DiffusionVariation.push_back(sim.DiffusionCoeffVariation[i]);
        snapshot.Strength.push_back(sim.ReactionStrength[i]);
    }
    for (const auto &pair : sim.ReactionParameters) {
        snapshot.Parameters.push_back(pair[0]);
        snapshot.Parameters.push_back(pair[1]);
    }
    snapshot.VaryParameters = sim.VaryParameters;
    return snapshot;
}

bool RunReplay::Restore(ReaDifSimulation &sim, const Snapshot &snapshot) {
    if (int(snapshot.Fields.size()) != sim.ComponentCount) return false;
    for (int i = 0; i < sim.ComponentCount; ++i) {
        const Image3DFloat &field = *sim.Components[i];
        const std::vector<float> &copy = snapshot.Fields[size_t(i)];
        if (copy.size() != size_t(field.GetSizeX()) * field.GetSizeY() * field.GetSizeZ()) {
            return false;
        }
        ForEachRow(field, [&copy](float *row, size_t at, size_t width) {
            std::memcpy(row, copy.data() + at, width * sizeof(float));
        });
        sim.DiffusionCoeff[i] = snapshot.Diffusion[size_t(i)];
        sim.DiffusionCoeffVariation[i] = snapshot.DiffusionVariation[size_t(i)];
        sim.ReactionStrength[i] = snapshot.Strength[size_t(i)];
    }
    for (int key = 0; key < ReaDifSimulation::ParameterPairs; ++key) {
        sim.ReactionParameters[key][0] = snapshot.Parameters[size_t(2 * key)];
        sim.ReactionParameters[key][1] = snapshot.Parameters[size_t(2 * key + 1)];
    }
    sim.VaryParameters = snapshot.VaryParameters;
    sim.CurrentTime = snapshot.Time;
    sim.ResumeSchedule();
    return true;
}

size_t RunReplay::TotalBytes() const {
    size_t bytes = 0;
    for (const Snapshot &snapshot : Snapshots) bytes += snapshot.Bytes();
    return bytes;
}

void RunReplay::Offer(const ReaDifSimulation &sim, bool force) {
    if (sim.ComponentCount == 0 || sim.ErrorStatus != ReaDifSimulation::StatusUsable) return;
    const int32_t time = sim.CurrentTime;
    if (!Snapshots.empty() && Snapshots.back().Time >= time) return;
    const bool due = Snapshots.empty() || time - Snapshots.back().Time >= Spacing;
    if (!(due || force) || ChangeAt(sim, time)) return;
    Snapshots.push_back(Take(sim));
    // Over budget: every other snapshot in passing goes, and they are taken half as often.
    while (TotalBytes() > BudgetBytes && Snapshots.size() > 2) {
        std::vector<Snapshot> kept;
        for (size_t i = 0; i < Snapshots.size(); ++i) {
            if (i % 2 == 0 || i + 1 == Snapshots.size()) kept.push_back(std::move(Snapshots[i]));
        }
        Snapshots = std::move(kept);
        Spacing *= 2;
    }
}

void RunReplay::ForgetFrom(int32_t time) {
    while (!Snapshots.empty() && Snapshots.back().Time >= time) Snapshots.pop_back();
}

RunReplay::Result RunReplay::Rebuild(ReaDifSimulation &sim, const char *path,
                                     std::string_view script, uint32_t seed, int32_t target,
                                     int32_t keepBefore) {
    ResumedFrom = -1;
    ScriptParser parser;
    int position = 0;
    if (parser.ParseText(sim, path, script, position, 0) != ScriptParser::Accepted) {
        return Result::Refused;
    }
    MainRandom.Randomize(seed);
    if (sim.Initialize() != GenImage3D::Done) return Result::Refused;
    target = std::min(target, sim.EndTime);
    // A snapshot of time T holds the field before the changes of T: good while T <= keepBefore.
    const int32_t limit = std::min(target, keepBefore);
    for (auto it = Snapshots.rbegin(); it != Snapshots.rend(); ++it) {
        if (it->Time > limit || it->Time == 0) continue;
        if (!Restore(sim, *it)) return Result::Refused;
        ResumedFrom = it->Time;
        break;
    }
    ForgetFrom(keepBefore + 1);
    // On the way, snapshots of the replayed run replace those forgotten.
    while (sim.CurrentTime < target) {
        const int32_t step = std::min(Spacing, target - sim.CurrentTime);
        if (sim.RunSimulation(step) != ReaDifSimulation::RunResult::Ran) return Result::Refused;
        if (sim.ErrorStatus != ReaDifSimulation::StatusUsable) return Result::Refused;
        Offer(sim, false);
    }
    return Result::Done;
}
