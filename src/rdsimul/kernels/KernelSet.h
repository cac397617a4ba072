// KernelSet: the hot loops of one simulation iteration (a reaction pass per model and the
// diffusion pass) as a table of plain functions on raw float pointers, chosen once per simulation.
#pragma once

#include <cstdint>

#include "rdsimul/FormulaProgram.h"
#include "rdsimul/ReactionModels.h"

// Where the interior pixels of a float field lie. Sizes in pixels, strides in floats. Every
// field of a simulation has the same layout, so one layout serves all the fields of a pass.
// The diffusion pass needs a border of exactly one pixel around each plane.
struct FieldLayout {
    int32_t SizeX = 0;
    int32_t SizeY = 0;
    int32_t SizeZ = 1;
    int32_t LineOffset = 0;   // floats from one line to the next (SizeX + 2 with a border of 1)
    int32_t PlaneOffset = 0;  // floats from one plane to the next
};

// The constants one reaction pass reads, taken once at the start of the call: one member per
// named parameter (Alpha, Beta, ..., D2).
struct ReactionConstants {
    double Strength[4] = {0.0, 0.0, 0.0, 0.0};  // ReactionStrength of components A, B, C, D
#define VORNA_PARAMETER_MEMBER(Field, name) double Field = 0.0;
    VORNA_REACTION_PARAMETERS(VORNA_PARAMETER_MEMBER)
#undef VORNA_PARAMETER_MEMBER
    // The formula model: its terms (null: it reacts nothing) over its first components, and the
    // values of their named parameters in the program's order.
    const FormulaProgram *Formula = nullptr;
    double Named[FormulaProgram::MaxParameters] = {};
};

// One reaction pass over the interiors of fields[0 .. components - 1] (first pixels), all with
// the given layout. Every pixel is updated from its own old values only.
using ReactionKernel = void (*)(float *const *fields, const FieldLayout &layout,
                                const ReactionConstants &constants);

// One diffusion pass over one field: periodic border copy, then the in-place nine-point filter
// with the coefficient d (0: border copy only; 1: mean of the 8 neighbours; else
// (1 - d) x centre + d / 8 x the 8 neighbours). firstPixel is pixel (0, 0, 0).
using DiffusionKernel = void (*)(float *firstPixel, const FieldLayout &layout, double coefficient);

// count (1 or more) whole iterations with the same constants: each the reaction of model (an
// index of ReactionModelTable; plain diffusion reacts nothing) on fields[0 .. components - 1],
// then the diffusion pass of each field with coefficients[c], leaving the same bits as the two
// passes one after the other. false, with nothing changed, when it cannot: the caller then runs
// the passes itself. nanTest, when not null, asks whether fields[0] holds a NaN after the last
// iteration: the kernel sets it to 1 or 0 while the lines are at hand, or leaves it as it was
// when it did not look (the caller then looks itself).
using IterationKernel = bool (*)(int model, float *const *fields, int components,
                                 const FieldLayout &layout, const ReactionConstants &constants,
                                 const double *coefficients, int32_t count, int *nanTest);

struct KernelSet {
    const char *Name;
    // By index of ReactionModelTable; null for plain diffusion, which has no reaction pass.
    ReactionKernel Reaction[ReactionModelCount];
    DiffusionKernel Diffusion;
    IterationKernel Iteration;  // null: the reaction and diffusion kernels are called in turn
};
