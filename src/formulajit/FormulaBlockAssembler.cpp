#include "formulajit/FormulaBlockAssembler.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

using Op = FormulaProgram::Op;
using Kind = FormulaProgram::Kind;

// Room for the longest program: MaxNodes instructions of a few vector instructions each.
constexpr size_t CodeBytes = 64 * 1024;

// The arithmetic, and the library's functions whose result is the one correctly rounded value
// (or exact), which the vector instructions give too.
bool Assemblable(Op code) {
    return code == Op::Copy || code == Op::Neg || code == Op::Add || code == Op::Sub ||
           code == Op::Mul || code == Op::Div || code == Op::Min || code == Op::Max ||
           code == Op::Sqrt || code == Op::Abs;
}

int32_t BlockOffset(size_t blockStart, int index) {
    return int32_t(blockStart + size_t(index) * FormulaBlock * sizeof(double));
}

}  // namespace

FormulaBlockAssembler::FormulaBlockAssembler(const FormulaProgram &program, int lanes)
    : Xbyak::CodeGenerator(CodeBytes, Xbyak::DontSetProtectRWE), Lanes(lanes) {
    // 16 vector registers below AVX-512, 32 with it.
    TemporaryRegisters = (lanes == 8 ? 32 : 16) - FirstTemporaryRegister;
    for (int &held : HeldSplat) held = Unheld;
    for (int &held : HeldComponent) held = Unheld;
    Xbyak::ClearError();
    const bool width = lanes == 1 || lanes == 4 || lanes == 8;
    if (!width || !Assembles(program) || !Assemble(program) || Xbyak::GetError() != 0) {
        Xbyak::ClearError();
        return;
    }
    // Written once, then executable and no longer writable.
    if (!setProtectModeRE(false)) {
        Xbyak::ClearError();
        return;
    }
    Made = getCode<FormulaBlockCode>();
}

bool FormulaBlockAssembler::Assembles(const FormulaProgram &program) {
    if (program.SinesAreMonotone()) return false;
    const FormulaProgram::Instruction *code = program.Instructions();
    for (int k = 0; k < program.InstructionCount(); ++k) {
        const FormulaProgram::Instruction &in = code[k];
        if (!Assemblable(in.Code) || !Assemblable(in.Then) || !Assemblable(in.Other)) return false;
    }
    return true;
}

Xbyak::Xmm FormulaBlockAssembler::Vector(int index) const {
    if (Lanes == 8) return Xbyak::Zmm(index);
    if (Lanes == 4) return Xbyak::Ymm(index);
    return Xbyak::Xmm(index);
}

Xbyak::Address FormulaBlockAssembler::Memory(const Place &place) {
    // rdi: the scratch; rax: the byte offset of the vector's first point in every block.
    if (place.Where == Place::Kind::Signs) return ptr[rip + Signs];
    if (place.Where == Place::Kind::Magnitudes) return ptr[rip + Magnitudes];
    return ptr[rdi + rax + place.Offset];
}

FormulaBlockAssembler::Place FormulaBlockAssembler::PlaceOf(uint16_t operand) const {
    const int i = FormulaProgram::IndexOf(operand);
    Place place;
    switch (FormulaProgram::KindOf(operand)) {
        case Kind::Component:
            if (HeldComponent[i] != Unheld) return InRegister(HeldComponent[i]);
            place.Offset = BlockOffset(offsetof(FormulaScratch, Components), i);
            break;
        case Kind::X:
            place.Offset = BlockOffset(offsetof(FormulaScratch, X), 0);
            break;
        case Kind::Map:
            place.Offset = BlockOffset(offsetof(FormulaScratch, Maps), i);
            break;
        case Kind::Splat:
            if (HeldSplat[i] != Unheld) return InRegister(HeldSplat[i]);
            place.Offset = BlockOffset(offsetof(FormulaScratch, Splats), i);
            break;
        default:  // Temporary: the block instructions read no other kind
            if (i < TemporaryRegisters) return InRegister(FirstTemporaryRegister + i);
            place.Offset = BlockOffset(offsetof(FormulaScratch, Temporaries), i);
            break;
    }
    return place;
}

void FormulaBlockAssembler::Move(int target, const Place &from) {
    if (from.Where == Place::Kind::Register) {
        if (from.Register == target) return;
        if (Lanes == 1) {
            movapd(Vector(target), Vector(from.Register));
        } else {
            vmovapd(Vector(target), Vector(from.Register));
        }
    } else if (Lanes == 1) {
        movapd(Vector(target), Memory(from));  // the blocks and rax keep 16-byte alignment
    } else {
        vmovupd(Vector(target), Memory(from));
    }
}

void FormulaBlockAssembler::Arithmetic(Op code, int target, int first, const Place &second) {
    if (second.Where == Place::Kind::Register) {
        return Arithmetic(code, Vector(target), Vector(first), Vector(second.Register));
    }
    Arithmetic(code, Vector(target), Vector(first), Memory(second));
}

void FormulaBlockAssembler::Arithmetic(Op code, const Xbyak::Xmm &t, const Xbyak::Xmm &a,
                                       const Xbyak::Operand &b) {
    if (Lanes == 1) {
        // Two-operand SSE2: the first operand is the target.
        switch (code) {
            case Op::Neg:
                return xorpd(t, b);
            case Op::Abs:
                return andpd(t, b);
            case Op::Sqrt:
                return sqrtpd(t, t);
            case Op::Add:
                return addpd(t, b);
            case Op::Sub:
                return subpd(t, b);
            case Op::Mul:
                return mulpd(t, b);
            case Op::Div:
                return divpd(t, b);
            case Op::Min:
                return minpd(t, b);
            default:
                return maxpd(t, b);
        }
    }
    switch (code) {
        case Op::Neg:
            return Lanes == 8 ? vpxorq(t, a, b) : vxorpd(t, a, b);
        case Op::Abs:
            return Lanes == 8 ? vpandq(t, a, b) : vandpd(t, a, b);
        case Op::Sqrt:
            return vsqrtpd(t, a);
        case Op::Add:
            return vaddpd(t, a, b);
        case Op::Sub:
            return vsubpd(t, a, b);
        case Op::Mul:
            return vmulpd(t, a, b);
        case Op::Div:
            return vdivpd(t, a, b);
        case Op::Min:
            return vminpd(t, a, b);
        default:
            return vmaxpd(t, a, b);
    }
}

void FormulaBlockAssembler::Operation(Op code, int target, Place first, Place second, int spare) {
    if (code == Op::Copy) return Move(target, first);
    // The vector minimum of (b, a) is b < a ? b : a, which is min(a, b); the maximum likewise.
    if (code == Op::Min || code == Op::Max) std::swap(first, second);
    // Negation flips the sign bit, the absolute value clears it; a square root reads only its
    // first operand (the second repeats it).
    if (code == Op::Neg) second = Place{Place::Kind::Signs, 0, 0};
    if (code == Op::Abs) second = Place{Place::Kind::Magnitudes, 0, 0};
    if (code == Op::Sqrt) second = first;
    const bool firstIsTarget = first.Where == Place::Kind::Register && first.Register == target;
    const bool secondIsTarget = second.Where == Place::Kind::Register && second.Register == target;
    if (Lanes > 1 && first.Where == Place::Kind::Register) {
        return Arithmetic(code, target, first.Register, second);
    }
    if (firstIsTarget) return Arithmetic(code, target, target, second);
    if (secondIsTarget) {
        // The target holds the second operand: work in the spare register.
        Move(spare, first);
        Arithmetic(code, spare, spare, second);
        return Move(target, InRegister(spare));
    }
    Move(target, first);
    Arithmetic(code, target, target, second);
}

void FormulaBlockAssembler::Instruction(const FormulaProgram::Instruction &in) {
    const Place dst = PlaceOf(in.Dst);
    const int target = dst.Where == Place::Kind::Register ? dst.Register : 0;
    if (in.Other != Op::Copy) {
        // Then(Code(A, B), Other(C, D)).
        Operation(in.Code, 0, PlaceOf(in.A), PlaceOf(in.B), 2);
        Operation(in.Other, 1, PlaceOf(in.C), PlaceOf(in.D), 2);
        Operation(in.Then, target, InRegister(0), InRegister(1), 2);
    } else if (in.Then != Op::Copy) {
        // Then(value, C), or Then(C, value); a one-operand Then takes the value.
        Operation(in.Code, 0, PlaceOf(in.A), PlaceOf(in.B), 2);
        if (in.Then == Op::Neg || !in.ValueSecond) {
            Operation(in.Then, target, InRegister(0), PlaceOf(in.C), 2);
        } else {
            Operation(in.Then, target, PlaceOf(in.C), InRegister(0), 2);
        }
    } else {
        Operation(in.Code, target, PlaceOf(in.A), PlaceOf(in.B), 2);
    }
    if (dst.Where == Place::Kind::Block) {
        if (Lanes == 1) {
            movapd(Memory(dst), Vector(0));
        } else {
            vmovupd(Memory(dst), Vector(0));
        }
    }
}

void FormulaBlockAssembler::HoldOperands(const FormulaProgram &program) {
    // How often each splat and component is read, and how many temporaries there are.
    int splatReads[FormulaProgram::MaxSplats] = {};
    int componentReads[FormulaProgram::MaxComponents] = {};
    int temporaries = 0;
    auto read = [&](uint16_t operand) {
        const int i = FormulaProgram::IndexOf(operand);
        if (FormulaProgram::KindOf(operand) == Kind::Splat) ++splatReads[i];
        if (FormulaProgram::KindOf(operand) == Kind::Component) ++componentReads[i];
    };
    const FormulaProgram::Instruction *code = program.Instructions();
    for (int k = 0; k < program.InstructionCount(); ++k) {
        const FormulaProgram::Instruction &in = code[k];
        read(in.A);
        const bool oneOperand =
            in.Code == Op::Copy || in.Code == Op::Neg || in.Code == Op::Sqrt || in.Code == Op::Abs;
        if (!oneOperand) read(in.B);
        if (in.Other != Op::Copy) {
            read(in.C);
            read(in.D);
        } else if (in.Then != Op::Copy && in.Then != Op::Neg) {
            read(in.C);
        }
        if (FormulaProgram::KindOf(in.Dst) == Kind::Temporary) {
            temporaries = std::max(temporaries, FormulaProgram::IndexOf(in.Dst) + 1);
        }
    }
    int free = TemporaryRegisters - temporaries;
    int next = FirstTemporaryRegister + temporaries;
    // The most read first, and only values read twice or more: a value read once is a memory
    // operand of the instruction that reads it, nearly as cheap as a register.
    while (free > 0) {
        int best = 1, splat = -1, component = -1;
        for (int i = 0; i < program.SplatCount(); ++i) {
            if (HeldSplat[i] == Unheld && splatReads[i] > best) best = splatReads[i], splat = i;
        }
        for (int i = 0; i < FormulaProgram::MaxComponents; ++i) {
            if (HeldComponent[i] == Unheld && componentReads[i] > best) {
                best = componentReads[i], component = i, splat = -1;
            }
        }
        if (splat < 0 && component < 0) break;
        if (component >= 0) {
            HeldComponent[component] = next++;
        } else {
            HeldSplat[splat] = next++;
        }
        --free;
    }
}

bool FormulaBlockAssembler::Assemble(const FormulaProgram &program) {
    const int step = (Lanes == 1 ? 2 : Lanes) * int(sizeof(double));
    Xbyak::Label loop, done;
    // void (FormulaScratch *scratch = rdi, int32_t n = esi): rax runs over the byte offsets of
    // the vectors, rdx is where it stops (n rounded up to whole vectors).
    test(esi, esi);
    jle(done, T_NEAR);
    movsxd(rdx, esi);
    if (Lanes == 1) {
        add(rdx, 1);
        and_(rdx, -2);
    }
    shl(rdx, 3);
    xor_(eax, eax);
    // The splats held in registers once, from their blocks (every point holds the value); the
    // components held in registers at the start of each vector.
    HoldOperands(program);
    for (int i = 0; i < program.SplatCount(); ++i) {
        if (HeldSplat[i] == Unheld) continue;
        Move(HeldSplat[i],
             {Place::Kind::Block, 0, BlockOffset(offsetof(FormulaScratch, Splats), i)});
    }
    L(loop);
    for (int c = 0; c < FormulaProgram::MaxComponents; ++c) {
        if (HeldComponent[c] == Unheld) continue;
        Move(HeldComponent[c],
             {Place::Kind::Block, 0, BlockOffset(offsetof(FormulaScratch, Components), c)});
    }
    const FormulaProgram::Instruction *code = program.Instructions();
    for (int k = 0; k < program.InstructionCount(); ++k) Instruction(code[k]);
    // The terms kept in registers go to their blocks, where the row kernels read them.
    for (int c = 0; c < FormulaProgram::MaxComponents; ++c) {
        if (!program.Has(c)) continue;
        const uint16_t result = program.ResultOf(c);
        if (FormulaProgram::KindOf(result) != Kind::Temporary) continue;
        const Place held = PlaceOf(result);
        if (held.Where != Place::Kind::Register) continue;
        const Place block = {
            Place::Kind::Block, 0,
            BlockOffset(offsetof(FormulaScratch, Temporaries), FormulaProgram::IndexOf(result))};
        if (Lanes == 1) {
            movapd(Memory(block), Vector(held.Register));
        } else {
            vmovupd(Memory(block), Vector(held.Register));
        }
    }
    add(rax, step);
    cmp(rax, rdx);
    jb(loop, T_NEAR);
    L(done);
    if (Lanes > 1) vzeroupper();
    ret();
    // The sign bit of every lane, for negation by exclusive or, and every other bit, for the
    // absolute value by and.
    align(64);
    L(Signs);
    for (int i = 0; i < 8; ++i) dq(0x8000000000000000ull);
    L(Magnitudes);
    for (int i = 0; i < 8; ++i) dq(0x7fffffffffffffffull);
    return true;
}
