// RunReplay: brings a simulation to an iteration of its script as a run from the start would,
// from the nearest snapshot of the run taken before any change it would replay differently.
// Owns the snapshots (fields and settings) of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rdsimul/ReaDifSimulation.h"

class RunReplay {
public:
    enum class Result { Done = 1, Refused = 2 };
    // Memory all snapshots of a run may take; the spacing doubles when they would take more.
    static constexpr size_t BudgetBytes = size_t(256) << 20;
    // Iterations between two snapshots taken in passing, at first: a copy of the fields costs
    // several iterations' time on the thread that computes, so copies are kept sparse enough to
    // cost a run under 1 %; an undo replays from the copy made just before its change.
    static constexpr int32_t FirstSpacing = 1000;

    // A new run of sim: every snapshot forgotten.
    void Start();
    // Offers the state of sim after iteration CurrentTime, before any change of that time: kept
    // when a snapshot is due (or force) and the script makes no change at that time.
    void Offer(const ReaDifSimulation &sim, bool force);
    // Forgets the snapshots of time and later: a change of time alters what follows.
    void ForgetFrom(int32_t time);
    // sim set from script (as the file path would give it; not read or written), started with
    // seed, then run to iteration target: from the latest snapshot at or before target's changes
    // (at most keepBefore: no change before it differs from the run the snapshots were taken of),
    // else from the start. Images due on the way are written as the run writes them. Refused
    // when the script is not accepted or the run stops short.
    [[nodiscard]] Result Rebuild(ReaDifSimulation &sim, const char *path, std::string_view script,
                                 uint32_t seed, int32_t target, int32_t keepBefore);
    size_t SnapshotCount() const { return Snapshots.size(); }
    // The time of the snapshot a Rebuild resumed from last (-1: from the start).
    int32_t LastResumedFrom() const { return ResumedFrom; }

private:
    struct Snapshot {
        int32_t Time = 0;
        std::vector<std::vector<float>> Fields;  // per component, row after row
        std::vector<double> Parameters;          // value and variation per key
        int VaryParameters = 0;
        std::vector<double> Diffusion, DiffusionVariation, Strength;
        size_t Bytes() const;
    };
    static Snapshot Take(const ReaDifSimulation &sim);
    static bool Restore(ReaDifSimulation &sim, const Snapshot &snapshot);
    static bool ChangeAt(const ReaDifSimulation &sim, int32_t time);
    size_t TotalBytes() const;

    std::vector<Snapshot> Snapshots;  // in time order
    int32_t Spacing = FirstSpacing;
    int32_t ResumedFrom = -1;
};
