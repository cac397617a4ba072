// Shared set-up for the simulation tests: a bounded parameter set per model and the calls a
// parsed script would make.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/RandomGenerator.h"

struct NamedValue {
    const char *Name;
    double Value;
    double Variation;
};

struct ModelCase {
    const char *Name;
    int Components;
    std::vector<NamedValue> Parameters;
    double Strength[4];
    double Diffusion[4];
    double DiffusionVariation[4];
    double Mean[4];
    double Noise[4];
};

// Parameters that keep every model bounded for a few hundred iterations on a small domain. Some
// carry variations so that the drift is exercised too; Schloegl's A diffusion drifts into the
// clamp at 1, where the filter without centre takes over.
inline const std::vector<ModelCase> &BoundedModels() {
    static const std::vector<ModelCase> models = {
        {"diffusion", 1, {}, {0}, {0.4}, {0.0}, {0.5}, {0.5}},
        {"schlogl", 1, {}, {0.8}, {0.95}, {0.01}, {0.7}, {0.6}},
        {"ginzburglandau",
         2,
         {{"alpha", 0.5, 0.0}, {"gamma", 0.3, 0.0005}, {"delta", 0.2, 0.0}},
         {0.2, 0.25},
         {0.3, 0.2},
         {0.0, -0.0002},
         {0.0, 0.1},
         {0.5, 0.5}},
        {"gld1",
         3,
         {{"alpha", 0.6, 0.0}, {"gamma", 0.4, 0.0}, {"delta", -0.3, 0.0}},
         {0.2, 0.2, 0.1},
         {0.25, 0.2, 0.15},
         {0.0, 0.0, 0.0},
         {0.1, -0.1, 0.0},
         {0.5, 0.4, 0.3}},
        {"gld2",
         4,
         {{"a1", 0.3, 0.0},
          {"a2", 0.2, 0.0},
          {"b1", 1.0, 0.0},
          {"b2", 0.3, 0.0},
          {"c1", 0.25, 0.0},
          {"c2", 0.15, 0.0},
          {"d1", 1.0, 0.0},
          {"d2", 0.2, 0.0}},
         {0.2, 0.2, 0.15, 0.15},
         {0.3, 0.25, 0.2, 0.1},
         {0.0, 0.0, 0.0, 0.0},
         {0.0, 0.1, -0.1, 0.05},
         {0.5, 0.5, 0.5, 0.5}},
        {"maginu",
         2,
         {{"k", 0.8, 0.0}, {"c", 2.0, 0.001}},
         {0.2, 0.1},
         {0.2, 0.6},
         {0.0, 0.0},
         {0.0, 0.0},
         {1.0, 0.5}},
        {"magd1",
         2,
         {{"k", 0.8, 0.0}, {"c", 2.0, 0.0}, {"d", 0.3, 0.0}, {"e", 0.2, 0.0}, {"p", 2.0, 0.0}},
         {0.2, 0.1},
         {0.2, 0.6},
         {0.0, 0.0},
         {0.0, 0.0},
         {1.0, 0.5}},
        {"brusselator",
         2,
         {{"alpha", 1.0, 0.0}, {"beta", 2.5, 0.0}},
         {0.05, 0.05},
         {0.1, 0.4},
         {0.0, 0.0},
         {1.0, 2.5},
         {0.2, 0.2}},
        {"brd1",
         2,
         {{"alpha", 1.0, 0.0}, {"beta", 2.5, 0.0}, {"gamma", 0.05, 0.0}},
         {0.05, 0.05},
         {0.1, 0.4},
         {0.0, 0.0},
         {1.0, 2.5},
         {0.2, 0.2}},
    };
    return models;
}

inline const ModelCase &FindModel(const char *name) {
    for (const ModelCase &m : BoundedModels()) {
        if (std::strcmp(m.Name, name) == 0) return m;
    }
    return BoundedModels().front();
}

// What an accepted script does: reset, model, per-component values, parameters, size, end and
// seed; then the start of a run.
inline void PrepareRun(ReaDifSimulation &sim, const ModelCase &m, uint16_t width, uint16_t height,
                       int32_t endTime, uint32_t seed) {
    EXPECT_EQ(sim.ResetDefaultParameters(), ReaDifSimulation::ResetResult::Done);
    EXPECT_EQ(sim.SetReactionModel(m.Name), ReaDifSimulation::Done);
    for (int i = 0; i < m.Components; ++i) {
        const char letter = char('A' + i);
        EXPECT_EQ(sim.SetReactionStrength(letter, m.Strength[i]), ReaDifSimulation::Done);
        EXPECT_EQ(sim.SetDiffusionCoeff(letter, m.Diffusion[i], m.DiffusionVariation[i]),
                  ReaDifSimulation::Done);
        EXPECT_EQ(sim.SetInitConcentration(letter, m.Mean[i], m.Noise[i]), ReaDifSimulation::Done);
    }
    for (const NamedValue &p : m.Parameters) {
        EXPECT_EQ(sim.SetReactionParameter(p.Name, p.Value, p.Variation), ReaDifSimulation::Done);
        if (p.Variation != 0.0) sim.VaryParameters = 1;
    }
    EXPECT_EQ(sim.SetDomainSize(width, height, 1), ReaDifSimulation::Done);
    EXPECT_EQ(sim.SetEndTime(endTime), ReaDifSimulation::Done);
    MainRandom.Randomize(seed);
    EXPECT_EQ(sim.Initialize(), GenImage3D::Done);
}

// Interior of a component's field, line by line.
inline std::vector<float> Interior(const ReaDifSimulation &sim, int index) {
    const Image3DFloat &field = *sim.Components[index];
    std::vector<float> values;
    for (int y = 0; y < field.GetSizeY(); ++y) {
        const float *line = field.GetPtrFirstPixel() + y * field.GetLineOffset();
        values.insert(values.end(), line, line + field.GetSizeX());
    }
    return values;
}

// FNV-1a over the bits of every interior value of every component in use.
inline uint64_t FieldChecksum(const ReaDifSimulation &sim) {
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < sim.ComponentCount; ++i) {
        for (float v : Interior(sim, i)) {
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            for (int b = 0; b < 4; ++b) {
                hash ^= (bits >> (8 * b)) & 0xFFu;
                hash *= 1099511628211ull;
            }
        }
    }
    return hash;
}
