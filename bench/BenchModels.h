// The models the benchmarks run: parameters that keep each model bounded over long runs, and the
// setting of a simulation the way an accepted script of the model would leave it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// Each reacting model written as formulas, as examples/formulas writes them: the Brusselator, brd1
// and the Ginzburg-Landau models with the built-in models' arithmetic in its order (the same
// bits); Schloegl rounds its increment (other bits, the same work); the Maginu models step A by
// (strength / c) x term, so their formulas leave c out and take strength / c as the strength of
// A (FormulaStrength), as a script writes them.
inline std::vector<const char *> FormulaTerms(const char *model) {
    const std::string name = model;
    if (name == "schlogl") return {"((-0.030625*A + 0.07125)*A - 0.039)*A + 0.002"};
    if (name == "ginzburglandau") {
        return {"alpha*A - gamma*B + (A^2 + B^2)*(delta*B - A)",
                "alpha*B + gamma*A - (A^2 + B^2)*(B + delta*A)"};
    }
    if (name == "gld1") {
        return {"alpha*A - gamma*B + (A^2 + B^2 + C^2)*(delta*B - A)",
                "alpha*B + gamma*A - (A^2 + B^2 + C^2)*(B + delta*A)", "2*A - B - C"};
    }
    if (name == "gld2") {
        return {"a1*B - a2*D + (A^2 + B^2 + C^2 + D^2)*(b2*B - b1*A)",
                "a1*A + a2*C - (A^2 + B^2 + C^2 + D^2)*(b1*B + b2*A)",
                "c1*A - c2*D + (A^2 + B^2 + C^2 + D^2)*(d2*D - d1*C)",
                "c1*C + c2*B - (A^2 + B^2 + C^2 + D^2)*(d1*D + d2*C)"};
    }
    if (name == "maginu") return {"A - A*A*A/3 - B", "A - k*B"};
    if (name == "magd1") return {"A - A*A*A/3 - B + d*sin(p*B)", "A - k*B + e*sin(p*A)"};
    if (name == "brusselator") return {"alpha - A - A*(beta - A*B)", "A*(beta - A*B)"};
    if (name == "brd1") {
        return {"alpha - A*(beta - A*B) - A*(gamma*A*A*A + 1)", "A*(beta - A*B)"};
    }
    return {};
}

// The reaction strength of component i in the model's FormulaTerms: the model's, but for A of
// the Maginu models, whose terms leave out the division by c.
inline double FormulaStrength(const BenchModel &m, int i) {
    const std::string name = m.Name;
    if (i != 0 || (name != "maginu" && name != "magd1")) return m.Strength[i];
    for (const Parameter &p : m.Parameters) {
        if (std::string(p.Name) == "c") return m.Strength[0] / p.Value;
    }
    return m.Strength[0];
}

// As an accepted script of the model leaves the simulation; asFormula: the formula model with
// the model's FormulaTerms instead.
inline void Prepare(ReaDifSimulation &sim, const BenchModel &m, uint16_t size,
                    bool asFormula = false) {
    Require(sim.ResetDefaultParameters() == ReaDifSimulation::ResetResult::Done, "reset");
    if (asFormula) {
        const std::vector<const char *> terms = FormulaTerms(m.Name);
        Require(!terms.empty() && sim.SetReactionModel("formula") == ReaDifSimulation::Done &&
                    sim.SetComponentCount(int(terms.size())) == ReaDifSimulation::Done,
                "formula model");
        for (size_t c = 0; c < terms.size(); ++c) {
            FormulaProgram::Error error;
            Require(sim.Formula.Compile(int(c), terms[c], int(terms.size()), error) ==
                        FormulaProgram::Result::Done,
                    terms[c]);
        }
    } else {
        Require(sim.SetReactionModel(m.Name), m.Name);
    }
    for (int i = 0; i < m.Components; ++i) {
        const char letter = char('A' + i);
        Require(sim.SetReactionStrength(letter, asFormula ? FormulaStrength(m, i) : m.Strength[i]),
                "reaction strength");
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
