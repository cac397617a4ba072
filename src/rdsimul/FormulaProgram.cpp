#include "rdsimul/FormulaProgram.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "rdsimul/ReaDifSimulation.h"

namespace {

using Op = FormulaProgram::Op;
using Kind = FormulaProgram::Kind;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

struct Function {
    const char *Name;
    int Arguments;
    Op Code;  // clamp is max, then min
};
constexpr Function Functions[] = {
    {"sin", 1, Op::Sin}, {"cos", 1, Op::Cos},   {"tan", 1, Op::Tan}, {"exp", 1, Op::Exp},
    {"log", 1, Op::Log}, {"sqrt", 1, Op::Sqrt}, {"abs", 1, Op::Abs}, {"tanh", 1, Op::Tanh},
    {"pow", 2, Op::Pow}, {"min", 2, Op::Min},   {"max", 2, Op::Max}, {"clamp", 3, Op::Min}};

const Function *FindFunction(const std::string &name) {
    for (const Function &f : Functions) {
        if (name == f.Name) return &f;
    }
    return nullptr;
}

void CopyText(char (&to)[FormulaProgram::NameSize], const std::string &text) {
    std::snprintf(to, sizeof to, "%s", text.c_str());
}

// The plain writing of a number written with an exponent: "1e-3" gives "0.001".
std::string PlainWriting(const std::string &mantissa, int exponent) {
    std::string digits;
    int point = -1;
    for (char c : mantissa) {
        if (c == '.') {
            point = int(digits.size());
        } else {
            digits += c;
        }
    }
    if (point < 0) point = int(digits.size());
    point += exponent;
    while (point <= 0) {
        digits.insert(digits.begin(), '0');
        ++point;
    }
    while (int(digits.size()) < point) digits += '0';
    std::string whole = digits.substr(0, size_t(point));
    std::string fraction = digits.substr(size_t(point));
    while (whole.size() > 1 && whole[0] == '0') whole.erase(0, 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return fraction.empty() ? whole : whole + "." + fraction;
}

}  // namespace

// A precedence-climbing parser that emits the operations as it goes; every node's value is an
// operand: a leaf names its own value, an operation the node that computes it.
class FormulaProgram::Compiler {
public:
    Compiler(FormulaProgram &program, const char *text, int components, Error &error)
        : P(program), Text(text), Components(components), E(error) {}

    bool Run(int component) {
        SkipBlanks();
        if (IsEnd(Text[At])) return Fail(Result::Empty, At);
        uint16_t value;
        if (!Expression(value)) return false;
        SkipBlanks();
        if (!IsEnd(Text[At])) {
            return FailText(Result::Unexpected, At, CharacterAt(At));
        }
        P.Results[component] = value;
        P.Present[component] = true;
        return true;
    }

    // Where the text ends, for a fault of the whole program.
    int End() const {
        int at = At;
        while (!IsEnd(Text[at])) ++at;
        return at;
    }

private:
    // expression := term (('+' | '-') term)*
    bool Expression(uint16_t &out) {
        if (!Term(out)) return false;
        for (;;) {
            SkipBlanks();
            const char c = Text[At];
            if (c != '+' && c != '-') return true;
            ++At;
            uint16_t right;
            if (!Term(right) || !Emit(c == '+' ? Op::Add : Op::Sub, out, right, out)) {
                return false;
            }
        }
    }

    // term := unary (('*' | '/') unary)*
    bool Term(uint16_t &out) {
        if (!Unary(out)) return false;
        for (;;) {
            SkipBlanks();
            const char c = Text[At];
            if (c != '*' && c != '/') return true;
            ++At;
            uint16_t right;
            if (!Unary(right) || !Emit(c == '*' ? Op::Mul : Op::Div, out, right, out)) {
                return false;
            }
        }
    }

    // unary := '-' unary | power
    bool Unary(uint16_t &out) {
        SkipBlanks();
        if (Text[At] == '+') return Fail(Result::PlusSign, At);
        if (Text[At] != '-') return Power(out);
        ++At;
        uint16_t value;
        return Unary(value) && Emit(Op::Neg, value, value, out);
    }

    // power := primary ('^' unary)?, so that '^' groups to the right and takes a signed
    // exponent; an integer literal 0 .. 16 makes a product of that many factors from the left.
    bool Power(uint16_t &out) {
        if (!Primary(out)) return false;
        SkipBlanks();
        if (Text[At] != '^') return true;
        ++At;
        SkipBlanks();
        int n = -1;
        if (IsDigit(Text[At])) {
            int end = At;
            while (IsDigit(Text[end])) ++end;
            // A literal alone, not the start of a larger exponent such as 2.5 or 2^3.
            int after = end;
            while (IsBlank(Text[after])) ++after;
            if (Text[end] != '.' && !IsNameChar(Text[end]) && Text[after] != '^' && end - At <= 2) {
                n = std::atoi(std::string(Text + At, size_t(end - At)).c_str());
                if (n > 16) n = -1;
            }
        }
        if (n < 0) {
            uint16_t exponent;
            return Unary(exponent) && Emit(Op::Pow, out, exponent, out);
        }
        while (IsDigit(Text[At])) ++At;
        if (n == 0) return ConstantOperand(1.0, out);
        const uint16_t base = out;
        for (int i = 1; i < n; ++i) {
            if (!Emit(Op::Mul, out, base, out)) return false;
        }
        return true;
    }

    // primary := number | name | name '(' arguments ')' | '(' expression ')'
    bool Primary(uint16_t &out) {
        SkipBlanks();
        const char c = Text[At];
        if (IsEnd(c)) return Fail(Result::UnexpectedEnd, At);
        if (c == '(') {
            const int open = At++;
            if (!Expression(out)) return false;
            SkipBlanks();
            if (Text[At] != ')') return Fail(Result::MissingParen, IsEnd(Text[At]) ? open : At);
            ++At;
            return true;
        }
        if (IsDigit(c) || (c == '.' && IsDigit(Text[At + 1]))) return Number(out);
        if (IsLetter(c)) return Name(out);
        return FailText(Result::Unexpected, At, CharacterAt(At));
    }

    bool Number(uint16_t &out) {
        const int start = At;
        while (IsDigit(Text[At])) ++At;
        if (Text[At] == '.') {
            ++At;
            while (IsDigit(Text[At])) ++At;
        }
        const std::string mantissa(Text + start, size_t(At - start));
        // An exponent: e or E, an optional sign and a digit (read no further than the text).
        const bool exponentLetter = Text[At] == 'e' || Text[At] == 'E';
        const char s = exponentLetter ? Text[At + 1] : '\0';
        if (exponentLetter && (IsDigit(s) || ((s == '-' || s == '+') && IsDigit(Text[At + 2])))) {
            int end = At + 1;
            if (s == '-' || s == '+') ++end;
            while (IsDigit(Text[end])) ++end;
            const std::string written(Text + start, size_t(end - start));
            const int exponent =
                std::atoi(std::string(Text + At + 1, size_t(end - At - 1)).c_str());
            if (exponent > 40 || exponent < -40) {
                CopyText(E.Text, "a plain number");
            } else {
                CopyText(E.Text, PlainWriting(mantissa, exponent));
            }
            CopyText(E.Other, written);
            return Fail(Result::Exponent, start);
        }
        if (IsNameChar(Text[At]) || Text[At] == '.') {
            return FailText(Result::Unexpected, At, CharacterAt(At));
        }
        double value = 0.0;
        std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), value);
        return ConstantOperand(value, out);
    }

    bool Name(uint16_t &out) {
        const int start = At;
        while (IsNameChar(Text[At])) ++At;
        const std::string name(Text + start, size_t(At - start));
        int after = At;
        while (IsBlank(Text[after])) ++after;
        const Function *function = FindFunction(name);
        if (Text[after] == '(') {
            if (function == nullptr) return FailText(Result::UnknownFunction, start, name);
            At = after;
            return Call(*function, name, start, out);
        }
        if (function != nullptr) return FailText(Result::FunctionWithoutCall, start, name);
        if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') {
            if (name[0] - 'A' >= Components) {
                E.Count = Components;
                return FailText(Result::NotAComponent, start, name);
            }
            out = Operand(Kind::Component, name[0] - 'A');
            return true;
        }
        if (name == "x") {
            out = Operand(Kind::X, 0);
            return true;
        }
        if (name == "y") {
            out = Operand(Kind::Y, 0);
            return true;
        }
        if (name == "pi") return ConstantOperand(3.14159265358979323846, out);
        const int map = P.MapIndex(name.c_str());
        if (map >= 0) {
            out = Operand(Kind::Map, map);
            return true;
        }
        return ParameterOperand(name, start, out);
    }

    bool Call(const Function &function, const std::string &name, int start, uint16_t &out) {
        const int open = At++;  // the '('
        uint16_t arguments[3] = {};
        int count = 0;
        SkipBlanks();
        if (Text[At] != ')') {
            for (;;) {
                uint16_t value;
                if (!Expression(value)) return false;
                if (count < 3) arguments[count] = value;
                ++count;
                SkipBlanks();
                if (Text[At] == ',') {
                    ++At;
                    continue;
                }
                if (Text[At] == ')') break;
                return Fail(Result::MissingParen, IsEnd(Text[At]) ? open : At);
            }
        }
        ++At;
        if (count != function.Arguments) {
            E.Count = function.Arguments;
            return FailText(Result::ArgumentCount, start, name);
        }
        if (function.Arguments == 1) return Emit(function.Code, arguments[0], arguments[0], out);
        if (function.Arguments == 2) return Emit(function.Code, arguments[0], arguments[1], out);
        // clamp(v, lo, hi) = min(max(v, lo), hi)
        uint16_t low;
        return Emit(Op::Max, arguments[0], arguments[1], low) &&
               Emit(Op::Min, low, arguments[2], out);
    }

    // The node of code on a and b: an existing one when the same operation on the same operands
    // was written before (it gives the same bits), else a new one.
    bool Emit(Op code, uint16_t a, uint16_t b, uint16_t &out) {
        for (int i = 0; i < P.Nodes; ++i) {
            const Instruction &node = P.NodeList[i];
            if (node.Code == code && node.A == a && node.B == b) {
                out = Operand(Kind::Node, i);
                return true;
            }
        }
        if (P.Nodes >= MaxNodes) return Fail(Result::TooLong, At);
        P.NodeList[P.Nodes] = {code, 0, a, b};
        out = Operand(Kind::Node, P.Nodes++);
        return true;
    }

    bool ConstantOperand(double value, uint16_t &out) {
        for (int i = 0; i < P.ConstantsUsed; ++i) {
            if (std::memcmp(&P.Constants[i], &value, sizeof value) == 0) {
                out = Operand(Kind::Constant, i);
                return true;
            }
        }
        if (P.ConstantsUsed >= MaxConstants) return Fail(Result::TooLong, At);
        P.Constants[P.ConstantsUsed] = value;
        out = Operand(Kind::Constant, P.ConstantsUsed++);
        return true;
    }

    bool ParameterOperand(const std::string &name, int start, uint16_t &out) {
        const int key = ReaDifSimulation::ParameterKey(name.c_str(), true);
        if (key < 0) return FailText(Result::BadName, start, name);
        for (int i = 0; i < P.Parameters; ++i) {
            if (P.Keys[i] != key) continue;
            if (name != P.Names[i] && P.SameKeys < MaxSameKeys) {
                bool known = false;
                for (int s = 0; s < P.SameKeys; ++s) known |= name == P.SameKeyNames[s];
                if (!known) {
                    P.SameKeyIndex[P.SameKeys] = i;
                    CopyText(P.SameKeyNames[P.SameKeys++], name);
                }
            }
            out = Operand(Kind::Parameter, i);
            return true;
        }
        if (P.Parameters >= MaxParameters) return Fail(Result::TooLong, start);
        P.Keys[P.Parameters] = key;
        CopyText(P.Names[P.Parameters], name);
        out = Operand(Kind::Parameter, P.Parameters++);
        return true;
    }

    void SkipBlanks() {
        while (IsBlank(Text[At])) ++At;
    }

    // The character at, whole when it is several bytes of UTF-8, for the messages.
    std::string CharacterAt(int at) const {
        int end = at + 1;
        if ((unsigned char)Text[at] >= 0xC0) {
            while (end < at + 4 && ((unsigned char)Text[end] & 0xC0) == 0x80) ++end;
        }
        return std::string(Text + at, size_t(end - at));
    }

    bool Fail(Result what, int at) {
        if (E.What == Result::Done) {
            E.What = what;
            E.Column = at + 1;
        }
        return false;
    }
    bool FailText(Result what, int at, const std::string &text) {
        if (E.What == Result::Done) CopyText(E.Text, text);
        return Fail(what, at);
    }

    FormulaProgram &P;
    const char *Text;
    int Components;
    Error &E;
    int At = 0;
};

void FormulaProgram::Clear() { *this = FormulaProgram(); }

bool FormulaProgram::Reserved(const char *name) {
    const std::string text(name);
    if (text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z') return true;
    return text == "x" || text == "y" || text == "pi" || FindFunction(text) != nullptr;
}

int FormulaProgram::DeclareMap(const char *name) {
    if (name == nullptr || !IsLetter(name[0]) || Reserved(name) || MapIndex(name) >= 0 ||
        Maps >= MaxMaps) {
        return -1;
    }
    size_t length = 0;
    for (; name[length] != '\0'; ++length) {
        if (!IsNameChar(name[length]) || length + 1 >= size_t(NameSize)) return -1;
    }
    CopyText(MapNames[Maps], name);
    return Maps++;
}

int FormulaProgram::MapIndex(const char *name) const {
    for (int i = 0; i < Maps; ++i) {
        if (std::strcmp(MapNames[i], name) == 0) return i;
    }
    return -1;
}

void FormulaProgram::BindMap(int index, const double *values, uint32_t width, uint32_t height) {
    if (index < 0 || index >= Maps) return;
    MapPictures[index] = {values, width, height};
}

FormulaProgram::Result FormulaProgram::Compile(int component, const char *text, int components,
                                               Error &error) {
    error = Error();
    if (component < 0 || component >= MaxComponents || text == nullptr) {
        error.What = Result::Empty;
        return error.What;
    }
    if (Present[component]) {
        error.What = Result::Twice;
        return error.What;
    }
    // Compiled into a copy, kept only when the whole expression compiles.
    FormulaProgram work = *this;
    Compiler compiler(work, text, components, error);
    if (!compiler.Run(component)) return error.What;
    if (!work.LayOut()) {
        error.What = Result::TooLong;
        error.Column = compiler.End() + 1;
        return error.What;
    }
    *this = work;
    return Result::Done;
}

int FormulaProgram::ComponentCount() const {
    int count = 0;
    for (int c = 0; c < MaxComponents; ++c) {
        if (Present[c]) count = c + 1;
    }
    return count;
}

namespace {

// The operations the block loops do with the vector unit, and may join two at a time.
bool VectorOp(Op code) {
    return code == Op::Neg || code == Op::Add || code == Op::Sub || code == Op::Mul ||
           code == Op::Div || code == Op::Min || code == Op::Max;
}

// The operations of one operand (they repeat it as their second).
bool OneOperand(Op code) {
    return code == Op::Copy || code == Op::Neg || code == Op::Sin || code == Op::Cos ||
           code == Op::Tan || code == Op::Exp || code == Op::Log || code == Op::Sqrt ||
           code == Op::Abs || code == Op::Tanh;
}

}  // namespace

bool FormulaProgram::LayOut() {
    if (!LayOutWith(true)) return false;
    SinesMonotone = Monotone();
    // With sines to bracket, every block value in a temporary of its own where there are
    // enough: the second bracketing pass then runs only the instructions that read a sine, the
    // other values still standing from the first.
    SeparateTemporaries = SinesMonotone && LayOutWith(false);
    if (SinesMonotone && !SeparateTemporaries && !LayOutWith(true)) return false;
    bool fromSine[MaxTemporaries] = {};
    auto reads = [&](uint16_t operand) {
        return KindOf(operand) == Kind::Temporary && fromSine[IndexOf(operand)];
    };
    const Instruction *code = Instructions();
    for (int k = 0; k < BlockInstructions; ++k) {
        const Instruction &in = code[k];
        const bool sine =
            in.Code == Op::Sin || reads(in.A) || (!OneOperand(in.Code) && reads(in.B)) ||
            (in.Then != Op::Copy && reads(in.C)) || (in.Other != Op::Copy && reads(in.D));
        BlockFromSine[k] = sine;
        if (KindOf(in.Dst) == Kind::Temporary) fromSine[IndexOf(in.Dst)] = sine;
    }
    static std::atomic<uint64_t> serials{0};
    LayoutSerial = serials.fetch_add(1, std::memory_order_relaxed) + 1;
    return true;
}

bool FormulaProgram::LayOutWith(bool reuseTemporaries) {
    // Where each node's value goes: a uniform slot when all its operands are the same along a
    // row, else a temporary (or nowhere, when the next instruction takes it at once).
    uint16_t place[MaxNodes];
    auto placed = [&](uint16_t operand) {
        return KindOf(operand) == Kind::Node ? place[IndexOf(operand)] : operand;
    };
    int uniforms = 0;
    UniformInstructions = BlockInstructions = 0;
    int blockNodes[MaxNodes];
    int blockCount = 0;
    for (int i = 0; i < Nodes; ++i) {
        const Instruction &node = NodeList[i];
        if (Uniform(placed(node.A)) && Uniform(placed(node.B))) {
            if (uniforms >= MaxUniforms) return false;
            place[i] = Operand(Kind::Uniform, uniforms++);
            RowCode[UniformInstructions++] = {node.Code, place[i], placed(node.A), placed(node.B)};
        } else {
            place[i] = Operand(Kind::Node, i);  // laid out below
            blockNodes[blockCount++] = i;
        }
    }
    // How often each node is read (a result counts as two reads: it is never joined).
    int readers[MaxNodes] = {};
    for (int i = 0; i < Nodes; ++i) {
        const Instruction &node = NodeList[i];
        if (KindOf(node.A) == Kind::Node) ++readers[IndexOf(node.A)];
        if (!OneOperand(node.Code) && KindOf(node.B) == Kind::Node) ++readers[IndexOf(node.B)];
    }
    for (int c = 0; c < MaxComponents; ++c) {
        if (Present[c] && KindOf(Results[c]) == Kind::Node) readers[IndexOf(Results[c])] += 2;
    }
    // A node read once is joined to its reader, so that its value is never stored: it is
    // computed where the reader is, from operands the temporaries' lifetimes below keep alive
    // until then. An instruction holds two operations at most.
    int joinedInto[MaxNodes];   // the reader a node is joined to, or -1
    int joinedFirst[MaxNodes];  // the node joined to a reader as its value, or -1
    int joinedOther[MaxNodes];  // the node joined as its second operand (Other), or -1
    for (int i = 0; i < Nodes; ++i) joinedInto[i] = joinedFirst[i] = joinedOther[i] = -1;
    auto joinable = [&](uint16_t operand) {
        if (KindOf(operand) != Kind::Node) return false;
        const int i = IndexOf(operand);
        return readers[i] == 1 && VectorOp(NodeList[i].Code) && joinedFirst[i] < 0 &&
               KindOf(place[i]) == Kind::Node;
    };
    auto sum = [](Op code) { return code == Op::Add || code == Op::Sub || code == Op::Mul; };
    for (int k = 0; k < blockCount; ++k) {
        const int j = blockNodes[k];
        const Instruction &next = NodeList[j];
        if (!VectorOp(next.Code)) continue;
        // Both operands, when all three operations are sums, differences or products.
        if (sum(next.Code) && next.A != next.B && joinable(next.A) && joinable(next.B) &&
            sum(NodeList[IndexOf(next.A)].Code) && sum(NodeList[IndexOf(next.B)].Code)) {
            joinedFirst[j] = IndexOf(next.A);
            joinedOther[j] = IndexOf(next.B);
            joinedInto[IndexOf(next.A)] = joinedInto[IndexOf(next.B)] = j;
            continue;
        }
        for (uint16_t operand : {next.A, next.B}) {
            if (!joinable(operand)) continue;
            joinedInto[IndexOf(operand)] = j;
            joinedFirst[j] = IndexOf(operand);
            break;
        }
    }
    Instruction code[MaxNodes];
    int codeNode[MaxNodes];  // the node each instruction's value belongs to
    int count = 0;
    for (int k = 0; k < blockCount; ++k) {
        const int j = blockNodes[k];
        if (joinedInto[j] >= 0) continue;
        const Instruction &next = NodeList[j];
        codeNode[count] = j;
        if (joinedFirst[j] < 0) {
            code[count++] = {next.Code, 0, next.A, next.B};
            continue;
        }
        // The joined node's operation first, then the reader's with the value in its place.
        const Instruction &node = NodeList[joinedFirst[j]];
        const uint16_t self = Operand(Kind::Node, joinedFirst[j]);
        Instruction in = {node.Code, 0, node.A, node.B};
        in.Then = next.Code;
        if (joinedOther[j] >= 0) {
            const Instruction &other = NodeList[joinedOther[j]];
            in.Other = other.Code;
            in.C = other.A;
            in.D = other.B;
        } else {
            in.ValueSecond = next.A != self;
            in.C = OneOperand(next.Code) ? node.A : in.ValueSecond ? next.A : next.B;
        }
        code[count++] = in;
    }
    // The last instruction that reads each node; the results are read after all of them.
    int lastUse[MaxNodes];
    for (int i = 0; i < Nodes; ++i) lastUse[i] = -1;
    for (int e = 0; e < count; ++e) {
        const bool joined = code[e].Then != Op::Copy;
        const bool other = code[e].Other != Op::Copy;
        for (uint16_t operand : {code[e].A, code[e].B, joined ? code[e].C : code[e].A,
                                 other ? code[e].D : code[e].A}) {
            if (KindOf(operand) == Kind::Node) lastUse[IndexOf(operand)] = e;
        }
    }
    for (int c = 0; c < MaxComponents; ++c) {
        if (Present[c] && KindOf(Results[c]) == Kind::Node) lastUse[IndexOf(Results[c])] = count;
    }
    bool taken[MaxTemporaries] = {};
    int holder[MaxTemporaries] = {};  // the node whose value a taken temporary holds
    Splats = 0;
    ReadsX = false;
    for (bool &reads : ReadsMap) reads = false;
    // An operand as the block loops read it: a row value through the splat that holds it.
    auto operandOf = [&](uint16_t operand, uint16_t &out) {
        out = placed(operand);
        if (!Uniform(out)) {
            ReadsX |= KindOf(out) == Kind::X;
            if (KindOf(out) == Kind::Map) ReadsMap[IndexOf(out)] = true;
            return true;
        }
        for (int i = 0; i < Splats; ++i) {
            if (SplatSources[i] == out) {
                out = Operand(Kind::Splat, i);
                return true;
            }
        }
        if (Splats >= MaxSplats) return false;
        SplatSources[Splats] = out;
        out = Operand(Kind::Splat, Splats++);
        return true;
    };
    for (int e = 0; e < count; ++e) {
        Instruction in = code[e];
        if (!operandOf(in.A, in.A) || !operandOf(in.B, in.B) ||
            (in.Then != Op::Copy && !operandOf(in.C, in.C)) ||
            (in.Other != Op::Copy && !operandOf(in.D, in.D))) {
            return false;
        }
        // The temporaries whose last reader is this instruction are free for its value: the
        // block loops read each point's operands before they write its result.
        for (int t = 0; t < MaxTemporaries; ++t) {
            if (reuseTemporaries && taken[t] && lastUse[holder[t]] <= e) taken[t] = false;
        }
        int t = 0;
        while (t < MaxTemporaries && taken[t]) ++t;
        if (t == MaxTemporaries) return false;
        taken[t] = true;
        holder[t] = codeNode[e];
        place[codeNode[e]] = Operand(Kind::Temporary, t);
        in.Dst = place[codeNode[e]];
        RowCode[UniformInstructions + BlockInstructions++] = in;
    }
    for (int c = 0; c < MaxComponents; ++c) {
        RowResults[c] = Present[c] ? placed(Results[c]) : Operand(Kind::Constant, 0);
        ReadsX |= Present[c] && KindOf(RowResults[c]) == Kind::X;
        if (Present[c] && KindOf(RowResults[c]) == Kind::Map) {
            ReadsMap[IndexOf(RowResults[c])] = true;
        }
    }
    return true;
}

bool FormulaProgram::Monotone() {
    // Along a row, which nodes are the same at every point, and which take the value of a sine
    // of the points (directly or through other nodes).
    bool uniform[MaxNodes] = {};
    bool fromSine[MaxNodes] = {};
    int uses[MaxNodes] = {};
    auto isUniform = [&](uint16_t operand) {
        const Kind kind = KindOf(operand);
        if (kind == Kind::Node) return uniform[IndexOf(operand)];
        return kind == Kind::Constant || kind == Kind::Parameter || kind == Kind::Y;
    };
    auto isFromSine = [&](uint16_t operand) {
        return KindOf(operand) == Kind::Node && fromSine[IndexOf(operand)];
    };
    bool sines = false;
    for (bool &term : TermFromSine) term = false;
    for (int n = 0; n < Nodes; ++n) {
        const Instruction &in = NodeList[n];
        const bool one = OneOperand(in.Code);
        for (uint16_t operand : {in.A, in.B}) {
            if (KindOf(operand) == Kind::Node) ++uses[IndexOf(operand)];
            if (one) break;
        }
        uniform[n] = isUniform(in.A) && (one || isUniform(in.B));
        const bool first = isFromSine(in.A);
        const bool second = !one && isFromSine(in.B);
        if (in.Code == Op::Sin && !uniform[n]) {
            if (first) return false;  // a sine of a sine
            fromSine[n] = sines = true;
            continue;
        }
        if (!first && !second) continue;
        if (first && second) return false;
        switch (in.Code) {
            case Op::Copy:
            case Op::Neg:
            case Op::Add:
            case Op::Sub:
            case Op::Mul:
            case Op::Min:
            case Op::Max:
                break;
            case Op::Div:
                if (second) return false;  // 1 / s turns round at 0
                break;
            default:
                return false;
        }
        fromSine[n] = true;
    }
    for (int c = 0; c < MaxComponents; ++c) {
        if (Present[c] && KindOf(Results[c]) == Kind::Node) ++uses[IndexOf(Results[c])];
        TermFromSine[c] = Present[c] && isFromSine(Results[c]);
    }
    // Each such value read once: the path from a sine to a term never splits and joins again.
    for (int n = 0; n < Nodes; ++n) {
        if (fromSine[n] && uses[n] != 1) return false;
    }
    return sines;
}

void FormulaProgram::Evaluate(const double *components, double x, double y,
                              const double *parameters, double *results, const double *maps) const {
    double values[MaxNodes];
    auto value = [&](uint16_t operand) {
        const int i = IndexOf(operand);
        switch (KindOf(operand)) {
            case Kind::Component:
                return components[i];
            case Kind::X:
                return x;
            case Kind::Y:
                return y;
            case Kind::Constant:
                return Constants[i];
            case Kind::Parameter:
                return parameters[i];
            case Kind::Map:
                return maps != nullptr ? maps[i] : 0.0;
            default:
                return values[i];
        }
    };
    for (int i = 0; i < Nodes; ++i) {
        values[i] = Apply(NodeList[i].Code, value(NodeList[i].A), value(NodeList[i].B));
    }
    for (int c = 0; c < MaxComponents; ++c) results[c] = Present[c] ? value(Results[c]) : 0.0;
}
