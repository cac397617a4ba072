// The models the benchmarks run: parameters that keep each model bounded over long runs, and the
// setting of a simulation the way an accepted script of the model would leave it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/RandomGenerator.h"

namespace benchmodels {

struct Parameter {
    const char *Name;
    double Value;
};

struct BenchModel {
    const char *Name;
    int Components;
    std::vector<Parameter> Parameters;
    double Strength[4];
    double Diffusion[4];
    double Mean[4];
    double Noise[4];
};

// Parameters that keep each model bounded over long runs. The Brusselator does exactly the work
// of the yardsticks (their parameters, their initial state's mean and noise).
inline const std::vector<BenchModel> &Models() {
    static const std::vector<BenchModel> models = {
        {"diffusion", 1, {}, {0}, {0.4}, {0.5}, {0.5}},
        {"schlogl", 1, {}, {0.8}, {0.5}, {0.7}, {0.6}},
        {"ginzburglandau",
         2,
         {{"alpha", 0.5}, {"gamma", 0.3}, {"delta", 0.2}},
         {0.2, 0.25},
         {0.3, 0.2},
         {0.0, 0.1},
         {0.5, 0.5}},
        {"gld1",
         3,
         {{"alpha", 0.6}, {"gamma", 0.4}, {"delta", -0.3}},
         {0.2, 0.2, 0.1},
         {0.25, 0.2, 0.15},
         {0.1, -0.1, 0.0},
         {0.5, 0.4, 0.3}},
        {"gld2",
         4,
         {{"a1", 0.3},
          {"a2", 0.2},
          {"b1", 1.0},
          {"b2", 0.3},
          {"c1", 0.25},
          {"c2", 0.15},
          {"d1", 1.0},
          {"d2", 0.2}},
         {0.2, 0.2, 0.15, 0.15},
         {0.3, 0.25, 0.2, 0.1},
         {0.0, 0.1, -0.1, 0.05},
         {0.5, 0.5, 0.5, 0.5}},
        {"maginu", 2, {{"k", 0.8}, {"c", 2.0}}, {0.2, 0.1}, {0.2, 0.6}, {0.0, 0.0}, {1.0, 0.5}},
        {"magd1",
         2,
         {{"k", 0.8}, {"c", 2.0}, {"d", 0.3}, {"e", 0.2}, {"p", 2.0}},
         {0.2, 0.1},
         {0.2, 0.6},
         {0.0, 0.0},
         {1.0, 0.5}},
        {"brusselator",
         2,
         {{"alpha", 3.0}, {"beta", 9.0}},
         {0.02, 0.02},
         {0.3, 0.9},
         {3.0, 3.0},
         {0.1, 0.1}},
        {"brd1",
         2,
         {{"alpha", 1.0}, {"beta", 2.5}, {"gamma", 0.05}},
         {0.05, 0.05},
         {0.1, 0.4},
         {1.0, 2.5},
         {0.2, 0.2}},
    };
    return models;
}

// Stops the program when a set-up step is refused: a timing of a half-built run means nothing.
inline void Require(bool done, const char *what) {
    if (done) return;
    std::fprintf(stderr, "benchmark set-up refused: %s\n", what);
    std::exit(1);
}
inline void Require(ReaDifSimulation::Result result, const char *what) {
    Require(result == ReaDifSimulation::Done, what);
}

inline void Prepare(ReaDifSimulation &sim, const BenchModel &m, uint16_t size) {
    Require(sim.ResetDefaultParameters() == ReaDifSimulation::ResetResult::Done, "reset");
    Require(sim.SetReactionModel(m.Name), m.Name);
    for (int i = 0; i < m.Components; ++i) {
        const char letter = char('A' + i);
        Require(sim.SetReactionStrength(letter, m.Strength[i]), "reaction strength");
        Require(sim.SetDiffusionCoeff(letter, m.Diffusion[i], 0.0), "diffusion coefficient");
        Require(sim.SetInitConcentration(letter, m.Mean[i], m.Noise[i]), "initial concentration");
    }
    for (const Parameter &p : m.Parameters) {
        Require(sim.SetReactionParameter(p.Name, p.Value, 0.0), p.Name);
    }
    Require(sim.SetDomainSize(size, size, 1), "domain size");
    Require(sim.SetEndTime(ReaDifSimulation::MaxEndTime), "end time");
    MainRandom.Randomize(1234);
    Require(sim.Initialize() == GenImage3D::Done, "initialize");
}

}  // namespace benchmodels
