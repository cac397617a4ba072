// FormulaBlockAssembler: machine code for a formula program's block instructions at one vector
// width, made with Xbyak; owns the code. The values of an instruction stay in vector registers
// for the next ones instead of passing through the scratch blocks; every operation is the one
// vector instruction the instruction list's loops use, in the same order, so the bits are the
// same.
#pragma once

#define XBYAK_NO_EXCEPTION
#include <xbyak/xbyak.h>

#include "rdsimul/FormulaProgram.h"
#include "rdsimul/kernels/FormulaCode.h"

class FormulaBlockAssembler : public Xbyak::CodeGenerator {
public:
    // Assembles program's block instructions for lanes doubles per vector: 8 (AVX-512), 4 (AVX2)
    // or 1 (the plain level: SSE2, two points at a time).
    FormulaBlockAssembler(const FormulaProgram &program, int lanes);
    // The code, or null when the program holds an operation it does not assemble (the library's
    // functions but sqrt and abs) or the assembler failed.
    FormulaBlockCode Code() const { return Made; }
    // Whether code can be made for program at all.
    static bool Assembles(const FormulaProgram &program);

private:
    // Where an operand is: a vector register, a block of the scratch (its byte offset), or the
    // constants that negate and take the absolute value.
    struct Place {
        enum class Kind { Register, Block, Signs, Magnitudes } Where = Kind::Block;
        int Register = 0;
        int32_t Offset = 0;
    };
    static constexpr int FirstTemporaryRegister = 3;  // 0 .. 2: the instructions' scratch

    bool Assemble(const FormulaProgram &program);
    Place PlaceOf(uint16_t operand) const;
    static Place InRegister(int index) { return {Place::Kind::Register, index, 0}; }
    // The vector register index at this width, and a place as an instruction operand.
    Xbyak::Xmm Vector(int index) const;
    Xbyak::Address Memory(const Place &place);
    // target = code(first, second); spare is a register no operand lives in.
    void Operation(FormulaProgram::Op code, int target, Place first, Place second, int spare);
    void Move(int target, const Place &from);
    // target = code(first, second) in one vector instruction (below AVX: target is first).
    void Arithmetic(FormulaProgram::Op code, int target, int first, const Place &second);
    void Arithmetic(FormulaProgram::Op code, const Xbyak::Xmm &target, const Xbyak::Xmm &first,
                    const Xbyak::Operand &second);
    // One block instruction of the program, its value in its temporary.
    void Instruction(const FormulaProgram::Instruction &in);

    // Gives the registers the temporaries leave free to the operands read most: the splats
    // (loaded once, before the loop) and the components (loaded once per vector).
    void HoldOperands(const FormulaProgram &program);

    int Lanes;
    int TemporaryRegisters;  // temporaries 0 .. this - 1 live in registers, the others in blocks
    // Operands held in registers: the splats for the whole block, the components per vector.
    static constexpr int Unheld = -1;
    int HeldSplat[FormulaProgram::MaxSplats];
    int HeldComponent[FormulaProgram::MaxComponents];
    Xbyak::Label Signs;
    Xbyak::Label Magnitudes;
    FormulaBlockCode Made = nullptr;
};
