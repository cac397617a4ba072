// Throughput of ReaDifSimulation::RunSimulation for every model and three domain sizes, in the
// unit the window title shows: M points per second, a point being one pixel of component A in
// one iteration and M being 2^20.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "BenchModels.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"
#include "toolkit/RandomGenerator.h"

namespace {

using benchmodels::BenchModel;
using benchmodels::Models;
using benchmodels::Prepare;

void RunSimulationThroughput(benchmark::State &state, const BenchModel *model,
                             const KernelSet *kernels) {
    const uint16_t size = uint16_t(state.range(0));
    ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    sim.SetKernelSet(*kernels);
    Prepare(sim, *model, size);
    const int64_t pixels = int64_t(size) * size;
    // Slices of about 200,000 component-point updates, as the front end makes them.
    const int32_t slice = int32_t(std::max<int64_t>(1, 200000 / (pixels * model->Components)));
    int64_t points = 0;
    for (auto _ : state) {
        const int32_t before = sim.CurrentTime;
        if (sim.RunSimulation(slice) != ReaDifSimulation::RunResult::Ran ||
            sim.ErrorStatus != ReaDifSimulation::StatusUsable) {
            state.SkipWithError("the run stopped");
            break;
        }
        points += int64_t(sim.CurrentTime - before) * pixels;
    }
    state.counters["Mpoints/s"] =
        benchmark::Counter(double(points) / 1048576.0, benchmark::Counter::kIsRate);
    state.counters["components"] = model->Components;
}

// Both kernel sets; wall-clock time, since the fast set also computes on the pool's threads.
const int Registered = [] {
    for (const KernelSet *kernels : {&ReferenceKernels(), &FastKernels()}) {
        for (const BenchModel &m : Models()) {
            benchmark::RegisterBenchmark(
                (std::string("RunSimulation/") + kernels->Name + "/" + m.Name).c_str(),
                RunSimulationThroughput, &m, kernels)
                ->Arg(600)
                ->Arg(200)
                ->Arg(100)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
