// FormulaProgram: the reaction terms of the formula model, compiled from their script text into
// one instruction list; owns the instructions, the constants and the named parameters they read.
#pragma once

#include <cmath>
#include <cstdint>

#include "rdsimul/PictureMap.h"

class FormulaProgram {
public:
    static constexpr int MaxComponents = 4;
    static constexpr int MaxParameters = 32;
    static constexpr int MaxConstants = 64;
    static constexpr int MaxNodes = 512;       // operations of all the formulas together
    static constexpr int MaxTemporaries = 24;  // values a row holds at once, per block
    static constexpr int MaxUniforms = 64;     // values the same at every point of a row
    static constexpr int MaxSplats = 64;       // of them, those the block instructions read
    static constexpr int NameSize = 48;        // a parameter name as written, cut to 47 characters
    static constexpr int MaxMaps = 8;          // pictures the formulas read by name

    // The operations; each works on doubles, one point at a time, as the C library and IEEE
    // arithmetic define it. Min and Max: min(a, b) = b < a ? b : a, max(a, b) = a < b ? b : a.
    enum class Op : uint8_t {
        Copy,
        Neg,
        Add,
        Sub,
        Mul,
        Div,
        Pow,
        Min,
        Max,
        Sin,
        Cos,
        Tan,
        Exp,
        Log,
        Sqrt,
        Abs,
        Tanh
    };

    // Where an operand lives: the kind in the high 4 bits, the index in the low 12. Node is the
    // value of an operation of the compiled list; Temporary (a block of a row's points) and
    // Uniform (one value per row) are where the row kernels keep them.
    enum class Kind : uint8_t {
        Component,
        X,
        Y,
        Constant,
        Parameter,
        Node,
        Temporary,
        Uniform,
        Splat,  // a row value that block instructions read, spread over a block
        Map     // a map's value at the point
    };
    static constexpr uint16_t Operand(Kind kind, int index) {
        return uint16_t((unsigned(kind) << 12) | unsigned(index));
    }
    static constexpr Kind KindOf(uint16_t operand) { return Kind(operand >> 12); }
    static constexpr int IndexOf(uint16_t operand) { return operand & 0xFFF; }
    // The same value at every point of a row: constants, parameters, the row's y and what is
    // computed from them alone.
    static constexpr bool Uniform(uint16_t operand) {
        return KindOf(operand) == Kind::Constant || KindOf(operand) == Kind::Parameter ||
               KindOf(operand) == Kind::Y || KindOf(operand) == Kind::Uniform;
    }

    // Dst = Code(A, B); a one-operand operation repeats A. A block instruction may carry a
    // second operation that takes that value and C, without storing it in between:
    // Dst = Then(value, C), or Then(C, value) when ValueSecond (Then is Copy when there is none).
    struct Instruction {
        Op Code;
        uint16_t Dst;
        uint16_t A;
        uint16_t B;
        Op Then = Op::Copy;
        bool ValueSecond = false;
        uint16_t C = 0;
        // Or, when Other is not Copy: Dst = Then(value, Other(C, D)) (Code, Then and Other each
        // Add, Sub or Mul).
        Op Other = Op::Copy;
        uint16_t D = 0;
    };

    // What Compile answers: Done, or the fault found first (Error tells where and what).
    enum class Result {
        Done,
        Empty,            // no expression at all
        UnexpectedEnd,    // the expression stops where a term must follow
        Unexpected,       // a character or token that cannot stand there (Error.Text)
        PlusSign,         // '+' before a term
        Exponent,         // a number with an exponent (Error.Text: "0.001", Error.Other: "1e-3")
        MissingParen,     // '(' without its ')'
        UnknownFunction,  // name( with an unknown name (Error.Text)
        ArgumentCount,    // a function called with the wrong count (Error.Text, Error.Count)
        FunctionWithoutCall,  // a function's name without its arguments (Error.Text)
        NotAComponent,        // a capital letter beyond the components (Error.Text, Error.Count)
        BadName,              // a name no parameter key can be made of (Error.Text)
        TooLong,              // too many operations, constants, parameters or values at once
        Twice                 // the component has a formula already
    };
    struct Error {
        Result What = Result::Done;
        int Column = 0;  // from 1, in the text given to Compile
        char Text[NameSize] = {};
        char Other[NameSize] = {};
        int Count = 0;
    };

    FormulaProgram() = default;

    // Forgets every formula.
    void Clear();
    // Compiles the reaction term of component (0 = A) from text, which ends at its zero byte or
    // line end; components: how many components the expression may name (A ..). Done; on a
    // fault the program is left as before and error says what and where.
    Result Compile(int component, const char *text, int components, Error &error);
    // Makes name a map the formulas read (before they are compiled): its index; -1 when name is
    // no name a map may have (Reserved, or not a letter followed by letters, digits or '_'), is
    // a map already, or there are MaxMaps. Clear forgets the maps too.
    int DeclareMap(const char *name);
    // The index of the map named name, or -1.
    int MapIndex(const char *name) const;
    int MapCount() const { return Maps; }
    const char *MapNameAt(int index) const { return MapNames[index]; }
    // Names a formula reads otherwise: a single capital letter, x, y, pi and the functions.
    static bool Reserved(const char *name);
    // Gives map index its picture's values (not owned: they must outlive every use of the
    // program), width x height of them, top row first.
    void BindMap(int index, const double *values, uint32_t width, uint32_t height);
    bool MapBound(int index) const { return MapPictures[index].Values != nullptr; }
    // The value of map index at point (x, y) of a sizeX x sizeY field: the picture stretched
    // over the field (PictureMap::SourceIndex); 0 for a map without its picture.
    double MapValueAt(int index, int32_t x, int32_t y, int32_t sizeX, int32_t sizeY) const {
        const MapPicture &m = MapPictures[index];
        if (m.Values == nullptr) return 0.0;
        return m.Values[size_t(PictureMap::SourceIndex(y, m.Height, sizeY)) * m.Width +
                        size_t(PictureMap::SourceIndex(x, m.Width, sizeX))];
    }
    // The row of map index that field row y of a field sizeY high reads (null without picture),
    // and the picture's width.
    const double *MapRow(int index, int32_t y, int32_t sizeY) const {
        const MapPicture &m = MapPictures[index];
        if (m.Values == nullptr) return nullptr;
        return m.Values + size_t(PictureMap::SourceIndex(y, m.Height, sizeY)) * m.Width;
    }
    uint32_t MapWidth(int index) const { return MapPictures[index].Width; }
    // Whether a block instruction or a result reads map index.
    bool UsesMap(int index) const { return ReadsMap[index]; }

    // Whether component has a formula; the components in use: one past the last that has one.
    bool Has(int component) const {
        return component >= 0 && component < MaxComponents && Present[component];
    }
    int ComponentCount() const;

    // The named parameters the formulas read, in the order first written: their key
    // (ReaDifSimulation::ParameterKey, case folded) and the name as first written.
    int ParameterCount() const { return Parameters; }
    int ParameterKeyAt(int index) const { return Keys[index]; }
    const char *ParameterNameAt(int index) const { return Names[index]; }
    // Two different names that share one key: the first and the later name of the pairs, for
    // the warnings (count, then each pair).
    int SameKeyCount() const { return SameKeys; }
    const char *SameKeyFirst(int index) const { return Names[SameKeyIndex[index]]; }
    const char *SameKeyLater(int index) const { return SameKeyNames[index]; }
    double ConstantAt(int index) const { return Constants[index]; }

    // The operations in the order written, each once: an operation written twice with the same
    // operands (within a formula or across them) is computed once, which gives the same bits.
    // Their operands are leaves or earlier nodes.
    int NodeCount() const { return Nodes; }

    // The same operations for the row kernels: first those whose operands are the same at every
    // point of a row, computed once per row into Uniform slots, then the others over blocks of
    // points in Temporary slots, reused once their value is no longer read.
    int UniformCount() const { return UniformInstructions; }
    const Instruction *UniformCode() const { return RowCode; }
    int InstructionCount() const { return BlockInstructions; }
    const Instruction *Instructions() const { return RowCode + UniformInstructions; }
    // The row values the block instructions read as blocks (Splat operands), by splat index.
    int SplatCount() const { return Splats; }
    uint16_t SplatSource(int index) const { return SplatSources[index]; }
    // Where the row kernels find component's term once the instructions have run.
    uint16_t ResultOf(int component) const { return RowResults[component]; }
    // Whether a block instruction or a result reads x.
    bool UsesX() const { return ReadsX; }
    // Whether the block instructions take sines of the points, and every term is a monotone
    // function of the one sine it reads, if any (through +, -, x, min and max with values free
    // of sines, and division by them), each value from a sine read once: then a term computed
    // with a sine a little too low and with one a little too high brackets the term of the
    // library's sine, and where both round to the same float so does that term.
    bool SinesAreMonotone() const { return SinesMonotone; }
    // Whether component's term reads a sine of the points (meaningful when SinesAreMonotone).
    bool TermReadsSine(int component) const { return TermFromSine[component]; }
    // Whether every block value has a temporary of its own (only with SinesAreMonotone), and
    // whether block instruction index reads a sine of the points (or is one).
    bool SinesApart() const { return SeparateTemporaries; }
    bool InstructionReadsSine(int index) const { return BlockFromSine[index]; }

    // Names the program's laid-out instructions: two programs with the same serial (a program
    // and its copies) hold the same ones; a program without formulas has serial 0.
    uint64_t Serial() const { return LayoutSerial; }

    // The reference evaluation of one point, node by node: components, x, y, the parameters'
    // values (by ParameterKeyAt order) and the maps' values at the point (by index; null when
    // there are none) in, the terms out (by component).
    void Evaluate(const double *components, double x, double y, const double *parameters,
                  double *results, const double *maps = nullptr) const;
    // The same at point (column, row) of a sizeX x sizeY field: its x, y and maps' values there.
    void EvaluateAt(const double *components, int32_t column, int32_t row, int32_t sizeX,
                    int32_t sizeY, const double *parameters, double *results) const {
        double maps[MaxMaps] = {};
        for (int m = 0; m < Maps; ++m) maps[m] = MapValueAt(m, column, row, sizeX, sizeY);
        Evaluate(components, double(column) / double(sizeX), double(row) / double(sizeY),
                 parameters, results, maps);
    }

    // One operation on one point.
    static inline double Apply(Op code, double a, double b) {
        switch (code) {
            case Op::Copy:
                return a;
            case Op::Neg:
                return -a;
            case Op::Add:
                return a + b;
            case Op::Sub:
                return a - b;
            case Op::Mul:
                return a * b;
            case Op::Div:
                return a / b;
            case Op::Pow:
                return std::pow(a, b);
            case Op::Min:
                return b < a ? b : a;
            case Op::Max:
                return a < b ? b : a;
            case Op::Sin:
                return std::sin(a);
            case Op::Cos:
                return std::cos(a);
            case Op::Tan:
                return std::tan(a);
            case Op::Exp:
                return std::exp(a);
            case Op::Log:
                return std::log(a);
            case Op::Sqrt:
                return std::sqrt(a);
            case Op::Abs:
                return std::fabs(a);
            case Op::Tanh:
                return std::tanh(a);
        }
        return a;
    }

private:
    class Compiler;
    friend class Compiler;

    // Lays the nodes out as RowCode: false when a row would hold more values at once than
    // there are temporaries or uniform slots.
    bool LayOut();
    // The layout, with temporaries reused once their value is no longer read or not.
    bool LayOutWith(bool reuseTemporaries);
    // What SinesAreMonotone answers, from the nodes; sets TermFromSine.
    bool Monotone();

    uint64_t LayoutSerial = 0;
    bool Present[MaxComponents] = {};
    uint16_t Results[MaxComponents] = {};  // a leaf or a node, per component
    Instruction NodeList[MaxNodes] = {};   // Dst unused
    int Nodes = 0;
    Instruction RowCode[MaxNodes] = {};
    int UniformInstructions = 0;
    int BlockInstructions = 0;
    uint16_t RowResults[MaxComponents] = {};
    bool ReadsX = false;
    bool SinesMonotone = false;
    bool TermFromSine[MaxComponents] = {};
    bool SeparateTemporaries = false;
    bool BlockFromSine[MaxNodes] = {};
    bool ReadsMap[MaxMaps] = {};
    uint16_t SplatSources[MaxSplats] = {};
    int Splats = 0;
    double Constants[MaxConstants] = {};
    int ConstantsUsed = 0;
    int Keys[MaxParameters] = {};
    char Names[MaxParameters][NameSize] = {};
    int Parameters = 0;
    static constexpr int MaxSameKeys = 8;
    int SameKeyIndex[MaxSameKeys] = {};
    char SameKeyNames[MaxSameKeys][NameSize] = {};
    int SameKeys = 0;
    struct MapPicture {
        const double *Values = nullptr;
        uint32_t Width = 0;
        uint32_t Height = 0;
    };
    char MapNames[MaxMaps][NameSize] = {};
    MapPicture MapPictures[MaxMaps] = {};
    int Maps = 0;
};
