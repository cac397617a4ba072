#include "rdsimul/FormulaProgram.h"

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

// A precedence-climbing parser that emits the instructions as it goes. Every node's value ends
// in an operand: a leaf names its own slot, an operation a temporary at or above the first free
// one, so that the operands of a node's later children never overwrite those of its earlier ones.
class FormulaProgram::Compiler {
public:
    Compiler(FormulaProgram &program, const char *text, int components, Error &error)
        : P(program), Text(text), Components(components), E(error) {}

    bool Run(int component) {
        SkipBlanks();
        if (IsEnd(Text[At])) return Fail(Result::Empty, At);
        uint16_t value;
        if (!Expression(0, value)) return false;
        SkipBlanks();
        if (!IsEnd(Text[At])) {
            if (Text[At] == ')') return FailText(Result::Unexpected, At, ")");
            return FailText(Result::Unexpected, At, std::string(1, Text[At]));
        }
        const uint16_t result = Operand(Kind::Result, component);
        // The last instruction writes the result directly when it made the value.
        if (KindOf(value) == Kind::Temporary && P.Count > 0 && P.Code[P.Count - 1].Dst == value) {
            P.Code[P.Count - 1].Dst = result;
        } else if (!Emit(Op::Copy, result, value, 0)) {
            return false;
        }
        P.Results[component] = result;
        P.Present[component] = true;
        return true;
    }

private:
    // expression := term (('+' | '-') term)*
    bool Expression(int free, uint16_t &out) {
        if (!Term(free, out)) return false;
        for (;;) {
            SkipBlanks();
            const char c = Text[At];
            if (c != '+' && c != '-') return true;
            ++At;
            uint16_t right;
            if (!Term(Next(out, free), right)) return false;
            if (!Binary(c == '+' ? Op::Add : Op::Sub, free, out, right, out)) return false;
        }
    }

    // term := unary (('*' | '/') unary)*
    bool Term(int free, uint16_t &out) {
        if (!Unary(free, out)) return false;
        for (;;) {
            SkipBlanks();
            const char c = Text[At];
            if (c != '*' && c != '/') return true;
            ++At;
            uint16_t right;
            if (!Unary(Next(out, free), right)) return false;
            if (!Binary(c == '*' ? Op::Mul : Op::Div, free, out, right, out)) return false;
        }
    }

    // unary := '-' unary | power
    bool Unary(int free, uint16_t &out) {
        SkipBlanks();
        if (Text[At] == '+') return Fail(Result::PlusSign, At);
        if (Text[At] != '-') return Power(free, out);
        ++At;
        uint16_t value;
        if (!Unary(free, value)) return false;
        out = Operand(Kind::Temporary, free);
        return Temporary(free) && Emit(Op::Neg, out, value, 0);
    }

    // power := primary ('^' unary)?, so that '^' groups to the right and takes a signed
    // exponent; an integer literal 0 .. 16 makes a product of that many factors.
    bool Power(int free, uint16_t &out) {
        if (!Primary(free, out)) return false;
        SkipBlanks();
        if (Text[At] != '^') return true;
        ++At;
        SkipBlanks();
        int n = -1;
        const int start = At;
        if (IsDigit(Text[At])) {
            int end = At;
            while (IsDigit(Text[end])) ++end;
            // A literal alone, not the start of a larger exponent such as 2.5 or 2^3.
            int after = end;
            while (IsBlank(Text[after])) ++after;
            const bool whole =
                Text[end] != '.' && !IsLetter(Text[end]) && Text[after] != '^' && end - At <= 2;
            if (whole) {
                n = std::atoi(std::string(Text + At, size_t(end - At)).c_str());
                if (n > 16) n = -1;
            }
        }
        if (n < 0) {
            At = start;
            uint16_t exponent;
            if (!Unary(Next(out, free), exponent)) return false;
            return Binary(Op::Pow, free, out, exponent, out);
        }
        while (IsDigit(Text[At])) ++At;
        if (n == 0) return ConstantOperand(1.0, out);
        if (n == 1) return true;
        // ((v x v) x v) ...: the product goes above v when v is a temporary it must not clobber.
        const uint16_t base = out;
        const int slot = Next(base, free);
        if (!Temporary(slot)) return false;
        const uint16_t product = Operand(Kind::Temporary, slot);
        if (!Emit(Op::Mul, product, base, base)) return false;
        for (int i = 2; i < n; ++i) {
            if (!Emit(Op::Mul, product, product, base)) return false;
        }
        out = product;
        return true;
    }

    // primary := number | name | name '(' arguments ')' | '(' expression ')'
    bool Primary(int free, uint16_t &out) {
        SkipBlanks();
        const char c = Text[At];
        if (IsEnd(c)) return Fail(Result::UnexpectedEnd, At);
        if (c == '(') {
            const int open = At++;
            if (!Expression(free, out)) return false;
            SkipBlanks();
            if (Text[At] != ')') return Fail(Result::MissingParen, IsEnd(Text[At]) ? open : At);
            ++At;
            return true;
        }
        if (IsDigit(c) || (c == '.' && IsDigit(Text[At + 1]))) return Number(out);
        if (IsLetter(c)) return Name(free, out);
        return FailText(Result::Unexpected, At, std::string(1, c));
    }

    bool Number(uint16_t &out) {
        const int start = At;
        while (IsDigit(Text[At])) ++At;
        if (Text[At] == '.') {
            ++At;
            while (IsDigit(Text[At])) ++At;
        }
        const std::string mantissa(Text + start, size_t(At - start));
        const char e = Text[At];
        const char s = Text[At + 1];
        if ((e == 'e' || e == 'E') &&
            (IsDigit(s) || ((s == '-' || s == '+') && IsDigit(Text[At + 2])))) {
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
        if (IsLetter(Text[At]) || Text[At] == '.' || Text[At] == '_') {
            return FailText(Result::Unexpected, At, std::string(1, Text[At]));
        }
        double value = 0.0;
        std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), value);
        return ConstantOperand(value, out);
    }

    bool Name(int free, uint16_t &out) {
        const int start = At;
        while (IsNameChar(Text[At])) ++At;
        const std::string name(Text + start, size_t(At - start));
        int after = At;
        while (IsBlank(Text[after])) ++after;
        const Function *function = FindFunction(name);
        if (Text[after] == '(') {
            if (function == nullptr) return FailText(Result::UnknownFunction, start, name);
            At = after;
            return Call(*function, name, start, free, out);
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
        if (name == "x") return (out = Operand(Kind::X, 0)), true;
        if (name == "y") return (out = Operand(Kind::Y, 0)), true;
        if (name == "pi") return ConstantOperand(3.14159265358979323846, out);
        return ParameterOperand(name, start, out);
    }

    bool Call(const Function &function, const std::string &name, int start, int free,
              uint16_t &out) {
        const int open = At++;  // the '('
        uint16_t arguments[3] = {};
        int count = 0;
        int slot = free;
        SkipBlanks();
        if (Text[At] != ')') {
            for (;;) {
                uint16_t value;
                if (!Expression(slot, value)) return false;
                if (count < 3) arguments[count] = value;
                ++count;
                slot = Next(value, slot);
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
        if (function.Arguments < 3) {
            if (!Temporary(free)) return false;
            out = Operand(Kind::Temporary, free);
            return Emit(function.Code, out, arguments[0],
                        function.Arguments == 2 ? arguments[1] : arguments[0]);
        }
        // clamp(v, lo, hi) = min(max(v, lo), hi), above the arguments: writing the first
        // operation's value must not overwrite hi.
        if (!Temporary(slot)) return false;
        out = Operand(Kind::Temporary, slot);
        return Emit(Op::Max, out, arguments[0], arguments[1]) &&
               Emit(Op::Min, out, out, arguments[2]);
    }

    // A two-operand operation whose value goes to the temporary free.
    bool Binary(Op code, int free, uint16_t a, uint16_t b, uint16_t &out) {
        if (!Temporary(free)) return false;
        out = Operand(Kind::Temporary, free);
        return Emit(code, out, a, b);
    }

    // The first temporary after value's, or free when value is no temporary.
    static int Next(uint16_t value, int free) {
        return KindOf(value) == Kind::Temporary ? IndexOf(value) + 1 : free;
    }

    bool Temporary(int index) { return index < MaxTemporaries || Fail(Result::TooLong, At); }

    bool Emit(Op code, uint16_t dst, uint16_t a, uint16_t b) {
        if (P.Count >= MaxInstructions) return Fail(Result::TooLong, At);
        P.Code[P.Count++] = {code, dst, a, b};
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

void FormulaProgram::Evaluate(const double *components, double x, double y,
                              const double *parameters, double *results) const {
    double temporaries[MaxTemporaries] = {};
    double out[MaxComponents] = {};
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
            case Kind::Temporary:
                return temporaries[i];
            case Kind::Result:
                return out[i];
        }
        return 0.0;
    };
    for (int i = 0; i < Count; ++i) {
        const Instruction &in = Code[i];
        const double v = Apply(in.Code, value(in.A), value(in.B));
        if (KindOf(in.Dst) == Kind::Result) {
            out[IndexOf(in.Dst)] = v;
        } else {
            temporaries[IndexOf(in.Dst)] = v;
        }
    }
    for (int c = 0; c < MaxComponents; ++c) results[c] = Present[c] ? value(Results[c]) : 0.0;
}
