// vorna-speed: one table of whole-run throughput for every model and three domain sizes, the
// fast kernels beside the reference kernels and, for the Brusselator, beside two independent
// yardsticks (naive scalar C++ and numpy) run in the same session; then, for every vector level
// the processor has, the Brusselator against its compute bound and every model against its
// reference; the cost of a slice of one iteration, of the per-image work and of building the
// colour maps.
//
// usage: vorna-speed [--naive PROGRAM] [--numpy SCRIPT] [--python PROGRAM] [--cli PROGRAM]
//                    [--seconds S] [--sizes 600,200,100] [--models NAME,NAME]
//                    [--simd plain|avx2|avx512] [--band-lines N] [--batches only]
//                    [--cpu-time on]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../BenchModels.h"
#include "ComputeBound.h"
#include "DesktopRun.h"
#include "formulajit/FormulaJit.h"
#include "image3d/ColorMapRGBA8.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"
#include "rdsimul/kernels/ThreadPool.h"
#include "toolkit/RandomGenerator.h"

namespace {

// --cpu-time: the timings count the process's processor time instead of wall-clock time, which
// on a machine busy with other work measures one thread's own pace (with several threads it
// counts their waits too).
bool CpuTime = false;

double Now() {
    if (CpuTime) {
        timespec now;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

using benchmodels::BenchModel;
using benchmodels::Models;
using benchmodels::Prepare;

// M points (2^20) per second of RunSimulation in slices of slice iterations: the best of five
// stretches of seconds / 5 of wall-clock time each, after a short warm-up (the machine is shared:
// other work only ever slows a stretch down); 0 when the run stopped.
double RunThroughput(const BenchModel &m, uint16_t size, const KernelSet &set, int32_t slice,
                     double seconds, bool asFormula = false) {
    static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    sim.SetKernelSet(set);
    Prepare(sim, m, size, asFormula);
    if (sim.RunSimulation(std::max<int32_t>(slice, 2)) != ReaDifSimulation::RunResult::Ran)
        return 0.0;
    double best = 0.0;
    for (int stretch = 0; stretch < 5; ++stretch) {
        const int32_t start = sim.CurrentTime;
        const double t0 = Now();
        double t1 = t0;
        while (t1 - t0 < seconds / 5) {
            if (sim.RunSimulation(slice) != ReaDifSimulation::RunResult::Ran ||
                sim.ErrorStatus != ReaDifSimulation::StatusUsable) {
                return 0.0;
            }
            t1 = Now();
        }
        best =
            std::max(best, double(sim.CurrentTime - start) * size * size / (t1 - t0) / 1048576.0);
    }
    return best;
}

// Iterations that make a yardstick run about as long as seconds at rate M points per second.
int YardstickIterations(int size, double rate, double seconds) {
    const double n = rate * 1048576.0 * seconds / (double(size) * size);
    return std::max(5, int(n));
}

// Runs a yardstick command and takes mpts= from its RESULT line; 0 when it could not run.
double RunYardstick(const std::string &command) {
    FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return 0.0;
    char line[1024];
    double rate = 0.0;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const char *at = std::strstr(line, "mpts=");
        if (std::strncmp(line, "RESULT", 6) == 0 && at != nullptr) rate = std::atof(at + 5);
    }
    pclose(pipe);
    return rate;
}

// The yardsticks' work as a script: 600 x 600 Brusselator, their parameters, one image at the end.
std::string YardstickScript(int iterations, const char *colormap) {
    return "model brusselator\nmodpar alpha 3\nmodpar beta 9\nreaction A 0.02\nreaction B 0.02\n"
           "diffusion A 0.3\ndiffusion B 0.9\ninit A 3 0.1\ninit B 3 0.1\nsize 600 600\n"
           "iterations " +
           std::to_string(iterations) + "\nrandseed 7\ncolormap " + colormap +
           "\nimage256 A t+10000000 autoscale\n";
}

bool WriteText(const std::string &path, const std::string &text) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// The "Mps average" of a whole vorna-cli run (its own measure, start-up excluded); 0 on failure.
double RunCli(const std::string &cli, const std::string &script) {
    FILE *pipe = popen((cli + " -q " + script + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return 0.0;
    char line[1024];
    double rate = 0.0;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const char *at = std::strstr(line, "Mps average");
        const char *comma = std::strrchr(line, ',');
        if (at != nullptr && comma != nullptr && comma < at) rate = std::atof(comma + 1);
    }
    pclose(pipe);
    return rate;
}

std::string Cell(double value, const char *format) {
    if (value <= 0.0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Microseconds per call of work, best of a few rounds.
template <typename Work>
double Microseconds(Work work, int calls) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double t0 = Now();
        for (int i = 0; i < calls; ++i) work();
        best = std::min(best, (Now() - t0) / calls * 1e6);
    }
    return best;
}

// M points per second of the fused kernel alone on the Brusselator (the yardsticks' work) in
// calls of batch iterations, from the fastest call over about seconds: on a shared machine the
// fastest call is the one that ran undisturbed.
double BatchThroughput(int size, int32_t batch, double seconds) {
    static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    sim.SetKernelSet(FastKernels());
    Prepare(sim, Models()[7], uint16_t(size));
    float *fields[2];
    FieldLayout layout;
    for (int c = 0; c < 2; ++c) fields[c] = sim.Components[c]->GetPtrFirstPixel();
    layout.SizeX = size;
    layout.SizeY = size;
    layout.LineOffset = sim.Components[0]->GetLineOffset();
    layout.PlaneOffset = layout.LineOffset * (size + 2);
    ReactionConstants k;
    k.Strength[0] = k.Strength[1] = 0.02;
    k.Alpha = 3.0;
    k.Beta = 9.0;
    const double coefficients[2] = {0.3, 0.9};
    double fastest = 1e30;
    const double start = Now();
    for (int calls = 0; calls < 10 || Now() - start < seconds; ++calls) {
        const double t0 = Now();
        if (!FastIteration(RowModel::Brusselator, fields, 2, layout, k, coefficients, batch)) {
            return 0.0;
        }
        fastest = std::min(fastest, Now() - t0);
    }
    return double(batch) * size * size / fastest / 1048576.0;
}

// The fused kernel alone by batch length and band height, per field size and thread count (a
// measurement of what limits each size: the bits are the same in every cell).
void BatchTable(const std::vector<int> &sizes, const std::vector<int> &bandLines, double seconds) {
    const int threads = GetFastThreadCount();
    const int top = std::min(8, std::max(2, ThreadPool::DefaultThreadCount()));
    std::printf(
        "\nthe fused kernel alone, Brusselator, by band height (lines; 0: sized to the "
        "cache; -1: no batches, one iteration after the other) and batch length (iterations per "
        "call): M points per second\n\n");
    double core = 0.0;
    for (int turn = 0; turn < 3; ++turn) {
        core = std::max(core, BrusselatorCoreBound(GetFastSimdLevel(), seconds));
    }
    std::printf("compute bound of one undisturbed core: %.0f Mp/s\n\n", core);
    std::printf(
        "| size | threads | band lines | batch 1 | batch 2 | batch 4 | batch 8 | batch 15 | "
        "batch 15 / (threads x bound) |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int size : sizes) {
        for (int t = 1; t <= top; ++t) {
            SetFastThreadCount(t);
            for (int lines : bandLines) {
                if (lines > size) continue;
                SetFastBandLines(lines);
                std::printf("| %dx%d | %d | %d |", size, size, t, lines);
                double rate = 0.0;
                for (int32_t batch : {1, 2, 4, 8, 15}) {
                    rate = BatchThroughput(size, batch, seconds);
                    std::printf(" %s |", Cell(rate, "%.0f").c_str());
                }
                std::printf(" %s |\n",
                            Cell(core > 0 ? rate / (t * core) * 100.0 : 0, "%.0f%%").c_str());
                std::fflush(stdout);
            }
        }
    }
    SetFastBandLines(0);
    SetFastThreadCount(threads);
}

// M points per second of RunSimulation in slices of 30 iterations from the fastest slice over
// about seconds: on a shared machine, the pace of a slice that ran undisturbed.
double FastestSliceThroughput(const BenchModel &m, uint16_t size, double seconds) {
    static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    sim.SetKernelSet(FastKernels());
    Prepare(sim, m, size);
    if (sim.RunSimulation(31) != ReaDifSimulation::RunResult::Ran) return 0.0;
    double fastest = 1e30;
    const double start = Now();
    for (int slices = 0; slices < 10 || Now() - start < seconds; ++slices) {
        const double t0 = Now();
        if (sim.RunSimulation(30) != ReaDifSimulation::RunResult::Ran ||
            sim.ErrorStatus != ReaDifSimulation::StatusUsable) {
            return 0.0;
        }
        fastest = std::min(fastest, Now() - t0);
    }
    return 30.0 * size * size / fastest / 1048576.0;
}

// Every model's whole runs on 1 .. 8 threads (up to what the machine has, 2 at least) per field
// size: the best stretch of wall-clock time and the fastest slice, each against the model's
// 600 x 600 rate on as many threads, and for the Brusselator the share of the compute bound on as
// many threads (measured over stretches of wall-clock time like the runs; for the fastest
// slices, as many undisturbed cores).
void ThreadTable(const std::vector<int> &sizes, const std::string &only, double seconds) {
    const int threads = GetFastThreadCount();
    const int top = std::min(8, std::max(2, ThreadPool::DefaultThreadCount()));
    double core = 0.0;
    for (int turn = 0; turn < 3; ++turn) {
        core = std::max(core, BrusselatorCoreBound(GetFastSimdLevel(), seconds / 2));
    }
    std::printf(
        "\nby thread count and field size (%s rows): M points per second of whole runs (the best "
        "stretch of wall-clock time, and the fastest slice of 30 iterations), each against the "
        "600x600 rate on as many threads, and for the Brusselator the share of the compute "
        "bound on as many threads (one undisturbed core: %.0f Mp/s)\n\n",
        GetFastSimdLevel() == SimdAvx512 ? "AVX-512"
        : GetFastSimdLevel() == SimdAvx2 ? "AVX2"
                                         : "plain",
        core);
    std::printf(
        "| model | threads | size | Mp/s | of 600x600 | share of bound | fastest slice | of "
        "600x600 | share of bound |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int t = 1; t <= top; ++t) {
        SetFastThreadCount(t);
        double bound = 0.0;
        for (int turn = 0; turn < 2; ++turn) {
            bound = std::max(bound, BrusselatorComputeBound(GetFastSimdLevel(), t, seconds));
        }
        for (const BenchModel &m : Models()) {
            if (!only.empty() && only.find(std::string(",") + m.Name + ",") == std::string::npos) {
                continue;
            }
            const bool brusselator = std::strcmp(m.Name, "brusselator") == 0;
            double at600 = 0.0, fastest600 = 0.0;
            std::vector<double> rates(sizes.size(), 0.0), fastest(sizes.size(), 0.0);
            // Two turns over the sizes, each figure the best of its turns.
            for (int turn = 0; turn < 2; ++turn) {
                for (size_t i = 0; i < sizes.size(); ++i) {
                    rates[i] = std::max(rates[i], RunThroughput(m, uint16_t(sizes[i]),
                                                                FastKernels(), 100, seconds));
                    fastest[i] = std::max(fastest[i],
                                          FastestSliceThroughput(m, uint16_t(sizes[i]), seconds));
                    if (sizes[i] == 600) {
                        at600 = rates[i];
                        fastest600 = fastest[i];
                    }
                }
            }
            auto share = [](double part, double whole) {
                return Cell(whole > 0 ? part / whole * 100.0 : 0, "%.0f%%");
            };
            for (size_t i = 0; i < sizes.size(); ++i) {
                std::printf("| %s | %d | %dx%d | %s | %s | %s | %s | %s | %s |\n", m.Name, t,
                            sizes[i], sizes[i], Cell(rates[i], "%.0f").c_str(),
                            share(rates[i], at600).c_str(),
                            brusselator ? share(rates[i], bound).c_str() : "",
                            Cell(fastest[i], "%.0f").c_str(), share(fastest[i], fastest600).c_str(),
                            brusselator ? share(fastest[i], t * core).c_str() : "");
            }
            std::fflush(stdout);
        }
    }
    SetFastThreadCount(threads);
}

}  // namespace

// Every reacting model written as formulas against the model itself, at 600 x 600 with the fast
// kernels, for every vector level the processor has: the formulas as machine code (what the
// programs run) and as the instruction list (without a code maker); the levels in turns, twice,
// each figure the best of its turns.
void FormulaTable(const std::string &only, double seconds) {
    static const char *const levels[] = {"plain", "AVX2", "AVX-512"};
    const int chosen = GetFastSimdLevel();
    const int top = SupportedSimdLevel();
    std::printf(
        "\nthe models written as formulas (the formula model) against the models themselves, "
        "600x600, %d thread(s): M points per second and their ratio; the formulas as machine "
        "code, and as the instruction list\n\n",
        GetFastThreadCount());
    std::printf(
        "| model | level | built-in | formula | formula / built-in | instruction list | "
        "list / built-in |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|\n");
    std::vector<const BenchModel *> models;
    for (const BenchModel &m : Models()) {
        if (benchmodels::FormulaTerms(m.Name).empty()) continue;
        if (!only.empty() && only.find(std::string(",") + m.Name + ",") == std::string::npos) {
            continue;
        }
        models.push_back(&m);
    }
    std::vector<std::vector<double>> builtIn(models.size(), std::vector<double>(top + 1, 0.0));
    std::vector<std::vector<double>> formula = builtIn, list = builtIn;
    auto best = [&](double &figure, const BenchModel &m, bool asFormula) {
        figure = std::max(figure, RunThroughput(m, 600, FastKernels(), 100, seconds, asFormula));
    };
    for (int turn = 0; turn < 2; ++turn) {
        for (int level = SimdPlain; level <= top; ++level) {
            SetFastSimdLevel(level);
            for (size_t i = 0; i < models.size(); ++i) {
                best(builtIn[i][level], *models[i], false);
                FormulaJit::Install();
                best(formula[i][level], *models[i], true);
                InstallFormulaCodeMaker(nullptr);
                best(list[i][level], *models[i], true);
                FormulaJit::Install();
            }
        }
    }
    SetFastSimdLevel(chosen);
    for (size_t i = 0; i < models.size(); ++i) {
        for (int level = SimdPlain; level <= top; ++level) {
            const double b = builtIn[i][level], f = formula[i][level], l = list[i][level];
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", models[i]->Name, levels[level],
                        Cell(b, "%.0f").c_str(), Cell(f, "%.0f").c_str(),
                        Cell(b > 0 ? f / b : 0, "%.2f").c_str(), Cell(l, "%.0f").c_str(),
                        Cell(b > 0 ? l / b : 0, "%.2f").c_str());
        }
    }
    std::fflush(stdout);
}

int main(int argc, char **argv) {
    // Formula models as machine code, as the programs run them.
    FormulaJit::Install();
    std::string naive, numpy, cli, python = "/usr/bin/python3";
    std::string only;  // ",name,name," when only some models are timed
    double seconds = 1.0;
    std::vector<int> sizes = {600, 200, 100};
    bool formulasOnly = false;  // --formulas only: the table of the formula model alone
    bool batchesOnly = false;   // --batches only: the tables by batch, band and thread count
    std::vector<int> bandLines = {-1, 0, 25, 50, 100, 200, 400};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--naive") {
            naive = argv[i + 1];
        } else if (option == "--numpy") {
            numpy = argv[i + 1];
        } else if (option == "--cli") {
            cli = argv[i + 1];
        } else if (option == "--python") {
            python = argv[i + 1];
        } else if (option == "--seconds") {
            seconds = std::atof(argv[i + 1]);
        } else if (option == "--simd") {
            const std::string level = argv[i + 1];
            SetFastSimdLevel(level == "plain"  ? SimdPlain
                             : level == "avx2" ? SimdAvx2
                                               : SimdAvx512);
        } else if (option == "--cpu-time") {
            CpuTime = std::string(argv[i + 1]) == "on";
        } else if (option == "--band-lines") {
            // The batches table compares these bands with no batches at all.
            SetFastBandLines(std::atoi(argv[i + 1]));
            bandLines = {-1, std::atoi(argv[i + 1])};
        } else if (option == "--batches") {
            batchesOnly = std::string(argv[i + 1]) == "only";
        } else if (option == "--formulas") {
            formulasOnly = std::string(argv[i + 1]) == "only";
        } else if (option == "--models") {
            only = std::string(",") + argv[i + 1] + ",";
        } else if (option == "--sizes") {
            sizes.clear();
            for (const char *p = argv[i + 1]; *p != '\0';) {
                sizes.push_back(std::atoi(p));
                while (*p != '\0' && *p != ',') ++p;
                if (*p == ',') ++p;
            }
        } else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    static const char *const levels[] = {"plain", "AVX2", "AVX-512"};
    if (formulasOnly) {
        FormulaTable(only, seconds);
        return 0;
    }
    if (batchesOnly) {
        BatchTable(sizes, bandLines, seconds);
        ThreadTable(sizes, only, seconds);
        return 0;
    }
    std::printf(
        "vorna-speed: fast kernels with %d thread(s), %s rows; throughput in M points "
        "(2^20) per second of wall-clock time, a point being one pixel of component A in "
        "one iteration\n\n",
        GetFastThreadCount(), levels[GetFastSimdLevel()]);
    std::printf(
        "| model | size | fast | reference | x reference | naive | numpy | x naive | "
        "x numpy |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    double naive600 = 0.0, numpy600 = 0.0;
    // The reference kernels at 600 x 600, per model, for the table of vector levels below.
    std::vector<double> reference600(Models().size(), 0.0);
    for (int size : sizes) {
        double naiveRate = 0.0, numpyRate = 0.0;
        if (!naive.empty()) {
            const int iterations = YardstickIterations(size, 90.0, seconds * 2);
            naiveRate = RunYardstick(naive + " " + std::to_string(size) + " " +
                                     std::to_string(size) + " " + std::to_string(iterations));
        }
        if (!numpy.empty()) {
            const int iterations =
                YardstickIterations(size, size >= 400 ? 70.0 : 30.0, seconds * 2);
            numpyRate = RunYardstick(python + " " + numpy + " roll " + std::to_string(size) + " " +
                                     std::to_string(size) + " " + std::to_string(iterations));
        }
        if (size == 600) {
            naive600 = naiveRate;
            numpy600 = numpyRate;
        }
        for (const BenchModel &m : Models()) {
            if (!only.empty() && only.find(std::string(",") + m.Name + ",") == std::string::npos) {
                continue;
            }
            // A long slice: the whole run as vorna-cli makes it.
            const double fast = RunThroughput(m, uint16_t(size), FastKernels(), 100, seconds);
            const double reference =
                RunThroughput(m, uint16_t(size), ReferenceKernels(), 10, seconds);
            const bool yardstick = std::strcmp(m.Name, "brusselator") == 0;
            if (size == 600) reference600[size_t(&m - Models().data())] = reference;
            std::printf(
                "| %s | %dx%d | %s | %s | %s | %s | %s | %s | %s |\n", m.Name, size, size,
                Cell(fast, "%.0f").c_str(), Cell(reference, "%.0f").c_str(),
                Cell(reference > 0 ? fast / reference : 0, "%.1f").c_str(),
                yardstick ? Cell(naiveRate, "%.0f").c_str() : "",
                yardstick ? Cell(numpyRate, "%.0f").c_str() : "",
                yardstick ? Cell(naiveRate > 0 ? fast / naiveRate : 0, "%.1f").c_str() : "",
                yardstick ? Cell(numpyRate > 0 ? fast / numpyRate : 0, "%.1f").c_str() : "");
            std::fflush(stdout);
        }
    }

    // Every vector level the processor has: the Brusselator against the compute bound of its
    // arithmetic at that level (on as many threads as the fast kernels use), and every model's
    // fast kernels against its reference at 600 x 600.
    {
        const int chosen = GetFastSimdLevel();
        const int threads = GetFastThreadCount();
        std::printf(
            "\nper vector level at 600x600 on %d thread(s): the Brusselator against the compute "
            "bound of its arithmetic at that level, and every model's fast kernels against its "
            "reference\n\n",
            threads);
        std::printf("| level | brusselator | compute bound | share |");
        for (const BenchModel &m : Models()) {
            if (only.empty() || only.find(std::string(",") + m.Name + ",") != std::string::npos) {
                std::printf(" %s x ref |", m.Name);
            }
        }
        std::printf("\n|---|---:|---:|---:|");
        for (const BenchModel &m : Models()) {
            if (only.empty() || only.find(std::string(",") + m.Name + ",") != std::string::npos) {
                std::printf("---:|");
            }
        }
        std::printf("\n");
        // The levels in turns, twice, each figure (the reference kernels' too) the best of its
        // turns: the load of a shared machine changes within a minute and would otherwise favour
        // one level.
        const int top = SupportedSimdLevel();
        std::vector<double> bound(size_t(top) + 1, 0.0);
        std::vector<std::vector<double>> fast(size_t(top) + 1,
                                              std::vector<double>(Models().size(), 0.0));
        for (int turn = 0; turn < 2; ++turn) {
            for (int level = SimdPlain; level <= top; ++level) {
                SetFastSimdLevel(level);
                bound[level] =
                    std::max(bound[level], BrusselatorComputeBound(level, threads, seconds));
                for (size_t i = 0; i < Models().size(); ++i) {
                    const BenchModel &m = Models()[i];
                    if (!only.empty() &&
                        only.find(std::string(",") + m.Name + ",") == std::string::npos) {
                        continue;
                    }
                    if (level == SimdPlain) {
                        reference600[i] =
                            std::max(reference600[i],
                                     RunThroughput(m, 600, ReferenceKernels(), 10, seconds));
                    }
                    fast[level][i] = std::max(fast[level][i],
                                              RunThroughput(m, 600, FastKernels(), 100, seconds));
                }
            }
        }
        SetFastSimdLevel(chosen);
        for (int level = SimdPlain; level <= top; ++level) {
            std::string cells;
            double brusselator = 0.0;
            for (size_t i = 0; i < Models().size(); ++i) {
                const BenchModel &m = Models()[i];
                if (!only.empty() &&
                    only.find(std::string(",") + m.Name + ",") == std::string::npos) {
                    continue;
                }
                if (std::strcmp(m.Name, "brusselator") == 0) brusselator = fast[level][i];
                cells.append(" ");
                cells.append(
                    Cell(reference600[i] > 0 ? fast[level][i] / reference600[i] : 0, "%.1f"));
                cells.append(" |");
            }
            std::printf(
                "| %s | %s | %s | %s |%s\n", levels[level], Cell(brusselator, "%.0f").c_str(),
                Cell(bound[level], "%.0f").c_str(),
                Cell(bound[level] > 0 ? brusselator / bound[level] * 100.0 : 0, "%.0f%%").c_str(),
                cells.c_str());
        }
        if (bound[chosen] > 0 && naive600 > 0) {
            std::printf("\n%s rows: 17 x naive would be %.0f%% of their compute bound\n",
                        levels[chosen], 17.0 * naive600 / bound[chosen] * 100.0);
        }
        std::fflush(stdout);
    }

    ThreadTable(sizes, only, seconds);
    FormulaTable(only, seconds);

    // A slice of one iteration (the desktop program's slices at 600 x 600) against one
    // iteration of a long slice, measured in turns.
    {
        const BenchModel &m = Models()[7];
        double longSlice = 0.0, oneSlice = 0.0;
        for (int turn = 0; turn < 4; ++turn) {
            longSlice = std::max(longSlice, RunThroughput(m, 600, FastKernels(), 100, seconds));
            oneSlice = std::max(oneSlice, RunThroughput(m, 600, FastKernels(), 1, seconds));
        }
        if (longSlice > 0 && oneSlice > 0) {
            const double perLong = 600.0 * 600.0 / (longSlice * 1048576.0) * 1e6;
            const double perOne = 600.0 * 600.0 / (oneSlice * 1048576.0) * 1e6;
            std::printf(
                "\nbrusselator 600x600: %.1f us per iteration in slices of 100, %.1f us in "
                "slices of 1 (%+.1f%%)\n",
                perLong, perOne, (perOne / perLong - 1.0) * 100.0);
        }
    }

    // A scratch directory for the scripts of the whole-run and parse measurements.
    char folder[] = "/tmp/vorna-speed-XXXXXX";
    const bool haveFolder = mkdtemp(folder) != nullptr;
    const std::string script = std::string(folder) + "/yardstick.vna";

    // The whole run as vorna-cli makes it (its slices of one or two iterations at 600 x 600), the
    // best of three runs of about three seconds each, so that the one image written at the end
    // (and its flush to the disk) does not weigh as much as in a short run.
    if (!cli.empty() && haveFolder && WriteText(script, YardstickScript(12000, "gray"))) {
        double rate = 0.0;
        for (int run = 0; run < 3; ++run) rate = std::max(rate, RunCli(cli, script));
        std::printf("\nvorna-cli, whole run of the yardsticks' Brusselator at 600x600: %s Mp/s",
                    Cell(rate, "%.0f").c_str());
        if (naive600 > 0 && numpy600 > 0 && rate > 0) {
            std::printf(" = %.1f x naive, %.1f x numpy", rate / naive600, rate / numpy600);
        }
        std::printf("\n");
        // The same run in the desktop program's run sequence, previews and pumps included.
        double desktop = 0.0;
        for (int run = 0; run < 3; ++run) desktop = std::max(desktop, DesktopRunRate(script));
        std::printf(
            "desktop program, same run (headless platform, preview every iteration): %s "
            "Mp/s",
            Cell(desktop, "%.0f").c_str());
        if (desktop > 0 && rate > 0) std::printf(" = %.2f x vorna-cli", desktop / rate);
        std::printf("\n");
        // A slider change in the explorer during that run: asked on the window's thread, taken at
        // the next slice boundary, drawn with the next frame.
        ChangeLatency latency = DesktopChangeLatency(
            script, ReaDifSimulation::ParameterKey("beta", true), 8.9, 9.0, 12);
        if (!latency.Applied.empty()) {
            std::sort(latency.Applied.begin(), latency.Applied.end());
            std::sort(latency.Shown.begin(), latency.Shown.end());
            const size_t n = latency.Applied.size();
            std::printf(
                "explorer slider change at 600x600 during that run (%zu changes): taken at a "
                "slice boundary after %.1f ms (median; most %.1f ms), first frame after it drawn "
                "%.1f ms (median; most %.1f ms) after the change\n",
                n, 1000.0 * latency.Applied[n / 2], 1000.0 * latency.Applied.back(),
                1000.0 * latency.Shown[n / 2], 1000.0 * latency.Shown.back());
        }
    }

    // A parse of a script (both colour maps built), best of a few.
    if (haveFolder) {
        // XYZ and YCbCr walks run to 2,530,000 micro-steps when conversions fail on the way.
        for (const char *colormap : {"gray", "hsl 20 55 0.9 0.5 25 255", "xyz 0 1 0 1 1 0",
                                     "ycbcr 0 1 -0.5 0.5 0.5 -0.5", "cmyk 0 255 255 0 0 255 0 0"}) {
            static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
            double best = 1e30;
            for (int round = 0; round < 5; ++round) {
                if (!WriteText(script, YardstickScript(3000, colormap))) break;
                int32_t errorPosition = 0;
                const double t0 = Now();
                const ScriptParser::Result result =
                    sim.SetParametersFromFile(script.c_str(), errorPosition, 0);
                const double t1 = Now();
                if (result != ScriptParser::Accepted) break;
                best = std::min(best, (t1 - t0) * 1e3);
            }
            if (best < 1e30) {
                std::printf("parse of a script with colormap %s: %.2f ms\n", colormap, best);
            } else {
                std::printf("parse of a script with colormap %s: refused\n", colormap);
            }
        }
        std::remove(script.c_str());
        std::remove((std::string(folder) + "/yardstick_A012000.bmp").c_str());
        rmdir(folder);
    }

    // Per-image work at 600 x 600 and the colour maps a parse builds.
    {
        Image3DFloat field("bench field", 600, 600, 1, 1);
        MainRandom.Randomize(99);
        (void)field.InitRandomNoise(0.5f, 0.5f);
        Image3D8 picture8("bench 8", 0, 0, 1, 0);
        Image3D24 picture24("bench 24", 0, 0, 1, 0);
        ColorMapRGBA8 map256(256), map24(25303);
        (void)map24.SetLinearHSLColorMap(0, 360, 1, 1, 0, 255);
        double lo = 0, hi = 0;
        std::printf(
            "\nper image at 600x600: FindMinMax %.0f us, NaN test %.0f us, 8-bit "
            "conversion %.0f us, 24-bit conversion %.0f us\n",
            Microseconds([&] { (void)field.FindMinMax(lo, hi); }, 20),
            Microseconds([&] { (void)field.NumericOverflowDetected(1000.0); }, 20),
            Microseconds([&] { (void)field.ConvertAutoScaleTo(picture8); }, 20),
            Microseconds([&] { (void)field.ConvertAutoScaleTo(picture24, map24); }, 20));
        std::printf(
            "colour maps (256 + 25303 entries): gray %.0f us, RGB %.0f us, HSL %.0f us, "
            "XYZ %.0f us, CMYK %.0f us, YCbCr %.0f us, random %.0f us\n",
            Microseconds(
                [&] {
                    (void)map256.SetGrayColorMap();
                    (void)map24.SetGrayColorMap();
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetLinearRGBColorMap(0, 255, 0, 128, 255, 0);
                    (void)map24.SetLinearRGBColorMap(0, 255, 0, 128, 255, 0);
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetLinearHSLColorMap(0, 720, 1, 0.5, 0, 255);
                    (void)map24.SetLinearHSLColorMap(0, 720, 1, 0.5, 0, 255);
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetLinearXYZColorMap(0, 1, 0, 1, 1, 0);
                    (void)map24.SetLinearXYZColorMap(0, 1, 0, 1, 1, 0);
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetLinearCMYKColorMap(0, 255, 255, 0, 0, 255, 0, 0);
                    (void)map24.SetLinearCMYKColorMap(0, 255, 255, 0, 0, 255, 0, 0);
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetLinearYCBCRColorMap(0, 1, -0.5, 0.5, 0.5, -0.5);
                    (void)map24.SetLinearYCBCRColorMap(0, 1, -0.5, 0.5, 0.5, -0.5);
                },
                5),
            Microseconds(
                [&] {
                    (void)map256.SetRandomColorMap(0, 255, 0, 255, 0, 255);
                    (void)map24.SetRandomColorMap(0, 255, 0, 255, 0, 255);
                },
                5));
    }
    return 0;
}
