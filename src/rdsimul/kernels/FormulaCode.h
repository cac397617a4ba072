// FormulaCode: machine code for a formula program's block instructions, made by a code maker that
// a program installs at start-up (none: the row kernels run the instruction list). The scratch
// the block instructions work in is laid out here, so that the code maker addresses the same
// blocks as the row kernels.
#pragma once

#include <cstdint>

#include "rdsimul/FormulaProgram.h"

// Points per block: a multiple of every vector width, and small enough that the block's values
// stay in the first-level cache.
constexpr int32_t FormulaBlock = 128;

// The values of one block of a row's points, each operand kind in blocks of FormulaBlock doubles.
struct FormulaScratch {
    alignas(64) double Components[FormulaProgram::MaxComponents][FormulaBlock];
    alignas(64) double X[FormulaBlock];
    alignas(64) double Maps[FormulaProgram::MaxMaps][FormulaBlock];
    alignas(64) double Temporaries[FormulaProgram::MaxTemporaries][FormulaBlock];
    alignas(64) double Splats[FormulaProgram::MaxSplats][FormulaBlock];
    // What each splat block holds: its value's bits over its first SplatLength points, so that
    // a row refills only the splats whose value changed (those of y, mostly).
    uint64_t SplatBits[FormulaProgram::MaxSplats];
    int32_t SplatLength[FormulaProgram::MaxSplats];
};

// Runs every block instruction of its program over the first n points of the scratch's blocks
// (n from 1 to FormulaBlock, a multiple of the vector width the code was made for), giving the
// instruction list's bits; the results' temporaries hold the terms afterwards. It may compute
// and write up to the next even point (never past the block).
using FormulaBlockCode = void (*)(FormulaScratch *scratch, int32_t n);

class FormulaCodeMaker {
public:
    virtual ~FormulaCodeMaker() = default;
    // Code for program's block instructions at lanes doubles per vector (1, 4 or 8), or null
    // when it cannot make one (the kernels then run the list). The code stays valid while the
    // fast kernels' lock is held; the maker may drop it at a later call.
    virtual FormulaBlockCode Make(const FormulaProgram &program, int lanes) = 0;
};

// Makes maker (not owned; null: none) the code maker of every formula run from now on.
void InstallFormulaCodeMaker(FormulaCodeMaker *maker);
// No code maker from now on, if maker is the one installed (a maker that goes away).
void UninstallFormulaCodeMaker(FormulaCodeMaker *maker);
// The installed maker's code for program at lanes, or null (no maker, no program, or no code).
FormulaBlockCode FormulaCodeFor(const FormulaProgram *program, int lanes);
