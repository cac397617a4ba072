// FastRowKernels: the vectorised inner loops of the fast kernel set, one row at a time, in a
// plain, an AVX2 and an AVX-512 version; the version is chosen once from what the processor has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rdsimul/FormulaProgram.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/kernels/FormulaCode.h"

// The reactions a row kernel knows: the models of ReactionModels.h. Void, plain diffusion, only
// converts and works on as many components as it is given.
using RowModel = ReactionModelId;

// Components a model reads and writes.
constexpr int RowModelComponents(RowModel model) { return ModelComponents(model); }

// The constants of one pass, in double, taken once per call.
struct RowConstants {
    double Strength[4] = {0.0, 0.0, 0.0, 0.0};
#define VORNA_PARAMETER_MEMBER(Field, name) double Field = 0.0;
    VORNA_REACTION_PARAMETERS(VORNA_PARAMETER_MEMBER)
#undef VORNA_PARAMETER_MEMBER
    double G = 0.0;  // Maginu models: strength of A divided by "c", formed once per call
    // The formula model: its terms (null: it reacts nothing), its parameters' values, and the
    // field's height, by which a row's index is divided to give y.
    const FormulaProgram *Formula = nullptr;
    double Named[FormulaProgram::MaxParameters] = {};
    int32_t Height = 1;
    // Machine code for the program's block instructions at the row kernels' width (null: they
    // run the instruction list).
    FormulaBlockCode FormulaCode = nullptr;
};

// How a diffusion pass treats one component.
struct RowDiffusion {
    static constexpr int Keep = 0;      // coefficient 0: values unchanged
    static constexpr int NoCentre = 1;  // coefficient 1: mean of the 8 neighbours
    static constexpr int Weighted = 2;  // neighbour x S9 + (centre - neighbour) x c
    int Mode = Keep;
    double Neighbour = 0.0;             // d x 0.125
    double CentreMinusNeighbour = 0.0;  // (1 - d) - d x 0.125
};

// Phase 2 of one band of a fused iteration (see RowKernels::DiffuseBand).
struct BandTask {
    RowModel Model = RowModel::Void;
    int Components = 1;
    float *Fields[4] = {};  // pixel (0, 0) of each field
    ptrdiff_t LineOffset = 0;
    int32_t SizeX = 0;
    int32_t Y0 = 0, Y1 = 0;        // the band's lines
    const double *Above[4] = {};   // reacted line Y0 - 1 (periodic), per component
    const double *First[4] = {};   // reacted line Y0
    const double *Last[4] = {};    // reacted line Y1 - 1
    const double *Below[4] = {};   // reacted line Y1 (periodic)
    double *Rolling[3][4] = {};    // scratch double rows
    double *ColumnSums = nullptr;  // scratch double row
    const RowConstants *K = nullptr;
    RowDiffusion How[4];
};

// A double row addresses element 0 and holds x = -1 .. sizeX: the two ends are the periodic
// copies of the opposite ends, so that the filter needs no wrap inside its loop.
struct RowKernels {
    const char *Name;
    int Lanes;  // doubles per vector
    // In place: the model's new values of x = 0 .. sizeX - 1 of rows[0 .. components - 1], which
    // are line y of their fields.
    void (*ReactInPlace)(RowModel model, int components, float *const *rows, int32_t sizeX,
                         int32_t y, const RowConstants &k);
    // The model's new values of the rows, rounded to float, stored as doubles in out[c][0 ..
    // sizeX - 1] with out[c][-1] = out[c][sizeX - 1] and out[c][sizeX] = out[c][0].
    void (*ReactToDouble)(RowModel model, int components, const float *const *rows,
                          double *const *out, int32_t sizeX, int32_t y, const RowConstants &k);
    // One line of the nine-point filter from three double rows (above, same, below; each with
    // the ends -1 and sizeX filled): out[x] for x = 0 .. sizeX - 1. columnSums: sizeX + 2
    // doubles of scratch, element -1 included (the pointer addresses element 0).
    void (*DiffuseRow)(const double *above, const double *same, const double *below,
                       double *columnSums, float *out, int32_t sizeX, const RowDiffusion &how);
    // Lines Y0 .. Y1 - 1 of the fields in place: each line reacted (the model) and filtered from
    // its reacted neighbours, the border columns set to the reacted line's periodic copy.
    void (*DiffuseBand)(const BandTask &task);
};

// Levels of vector support, from none to the widest.
constexpr int SimdPlain = 0;
constexpr int SimdAvx2 = 1;
constexpr int SimdAvx512 = 2;

// The widest level this processor and system support.
int SupportedSimdLevel();
// The row kernels of a level (clamped to the supported one).
const RowKernels &RowKernelsOfLevel(int level);
