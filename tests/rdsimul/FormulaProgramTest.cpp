// The formula compiler and its reference evaluation: values against hand-computed ones, the
// order of evaluation, and the faults it finds with their columns.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "rdsimul/FormulaProgram.h"

namespace {

// A = 0.5, B = -2, C = 3 at x = 0.25, y = 0.75; the parameters take 0.04, 0.06, ... in the
// order the formula first names them.
double ValueOf(const std::string &text, FormulaProgram *keep = nullptr) {
    FormulaProgram program;
    FormulaProgram::Error error;
    EXPECT_EQ(program.Compile(0, text.c_str(), 3, error), FormulaProgram::Result::Done)
        << text << " column " << error.Column;
    const double components[4] = {0.5, -2.0, 3.0, 0.0};
    const double parameters[4] = {0.04, 0.06, 0.08, 0.1};
    double results[4] = {};
    program.Evaluate(components, 0.25, 0.75, parameters, results);
    if (keep != nullptr) *keep = program;
    return results[0];
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct ValueCase {
    const char *Text;
    double Expected;
};

TEST(FormulaProgram, ExpressionsGiveTheirHandComputedValues) {
    const double a = 0.5, b = -2.0, c = 3.0;
    const std::vector<ValueCase> cases = {
        // Precedence, grouping and blanks.
        {"1 + 2 * 3", 7.0},
        {"(1 + 2) * 3", 9.0},
        {"8 / 4 / 2", 1.0},
        {"8 - 4 - 2", 2.0},
        {"  A *B+C ", 2.0},
        {"A*(B+C)", 0.5},
        // Unary minus and '^': -A^2 is -(A^2); '^' groups to the right and takes a signed
        // exponent.
        {"-A^2", -0.25},
        {"(-A)^2", 0.25},
        {"--B", -2.0},
        {"2^3^2", 512.0},
        {"2^-1", 0.5},
        {"C*-B", 6.0},
        // Integer powers: products from the left; other exponents call pow.
        {"B^0", 1.0},
        {"B^1", -2.0},
        {"B^3", -8.0},
        {"B^16", 65536.0},
        {"C^17", std::pow(3.0, 17.0)},
        {"C^0.5", std::pow(3.0, 0.5)},
        {"(A+C)^2", 12.25},
        {"1.1^3", (1.1 * 1.1) * 1.1},
        // The point's position and pi.
        {"x + y", 1.0},
        {"x*4 - y", 0.25},
        {"pi", 3.14159265358979323846},
        // Every function.
        {"sin(A)", std::sin(a)},
        {"cos(A)", std::cos(a)},
        {"tan(A)", std::tan(a)},
        {"exp(B)", std::exp(b)},
        {"log(C)", std::log(c)},
        {"sqrt(C)", std::sqrt(c)},
        {"abs(B)", 2.0},
        {"tanh(A)", std::tanh(a)},
        {"pow(C, 2.5)", std::pow(c, 2.5)},
        {"min(A, B)", -2.0},
        {"max(A, B)", 0.5},
        {"clamp(C, 0, 1)", 1.0},
        {"clamp(B, 0, 1)", 0.0},
        {"clamp(A, 0, 1)", 0.5},
        {"clamp(x, y, C)", 0.75},
        {"max(min(A, C), sin(B*2) + 1)", std::sin(b * 2.0) + 1.0},
        // Named parameters, by their first two characters.
        {"feed*(1 - A)", 0.02},
        {"feed + kill", 0.04 + 0.06},
        {"Feed + fe", 0.08},
        // Numbers in double: 0.1 is not 0.1f.
        {"0.1", 0.1},
        {".5 + 1.", 1.5},
    };
    for (const ValueCase &v : cases) {
        EXPECT_TRUE(SameBits(ValueOf(v.Text), v.Expected))
            << v.Text << " gave " << ValueOf(v.Text) << ", not " << v.Expected;
    }
}

TEST(FormulaProgram, EvaluatesInTheOrderWrittenWithoutReassociating) {
    // (0.1 + 0.2) + 0.3 and 0.1 + (0.2 + 0.3) differ in their last bit.
    const double left = (0.1 + 0.2) + 0.3;
    const double right = 0.1 + (0.2 + 0.3);
    ASSERT_FALSE(SameBits(left, right));
    EXPECT_TRUE(SameBits(ValueOf("0.1 + 0.2 + 0.3"), left));
    EXPECT_TRUE(SameBits(ValueOf("0.1 + (0.2 + 0.3)"), right));
    // A product of three factors is ((v v) v), not v (v v), nor pow.
    const double v = 1.0000001;
    const double product = (v * v) * v;
    EXPECT_TRUE(SameBits(ValueOf("1.0000001^3"), product));
    EXPECT_TRUE(SameBits(ValueOf("1.0000001*1.0000001*1.0000001"), product));
}

TEST(FormulaProgram, FormulasOfSeveralComponentsReadTheOldValues) {
    FormulaProgram program;
    FormulaProgram::Error error;
    ASSERT_EQ(program.Compile(1, "A - B", 3, error), FormulaProgram::Result::Done);
    ASSERT_EQ(program.Compile(0, "A*B + rate", 3, error), FormulaProgram::Result::Done);
    EXPECT_EQ(program.Compile(0, "1", 3, error), FormulaProgram::Result::Twice);
    EXPECT_EQ(program.ComponentCount(), 2);
    EXPECT_TRUE(program.Has(0) && program.Has(1) && !program.Has(2));
    ASSERT_EQ(program.ParameterCount(), 1);
    EXPECT_STREQ(program.ParameterNameAt(0), "rate");
    const double components[4] = {3.0, 5.0, 0.0, 0.0};
    const double parameters[1] = {0.5};
    double results[4] = {};
    program.Evaluate(components, 0.0, 0.0, parameters, results);
    EXPECT_EQ(results[0], 15.5);
    EXPECT_EQ(results[1], -2.0);
}

TEST(FormulaProgram, TwoNamesOfOneKeyAreOneParameterAndAreTold) {
    FormulaProgram program;
    ValueOf("feed + Fe + feeding + kill", &program);
    ASSERT_EQ(program.ParameterCount(), 2);
    EXPECT_STREQ(program.ParameterNameAt(0), "feed");
    EXPECT_STREQ(program.ParameterNameAt(1), "kill");
    ASSERT_EQ(program.SameKeyCount(), 2);
    EXPECT_STREQ(program.SameKeyFirst(0), "feed");
    EXPECT_STREQ(program.SameKeyLater(0), "Fe");
    EXPECT_STREQ(program.SameKeyLater(1), "feeding");
}

struct FaultCase {
    const char *Text;
    FormulaProgram::Result What;
    int Column;
    const char *Name;  // Error.Text
    const char *Other;
    int Count;
};

TEST(FormulaProgram, FaultsNameTheProblemAndItsColumn) {
    using R = FormulaProgram::Result;
    const std::vector<FaultCase> cases = {
        {"", R::Empty, 1, "", "", 0},
        {"   ", R::Empty, 4, "", "", 0},
        {"sinh(A)", R::UnknownFunction, 1, "sinh", "", 0},
        {"1 + sin(A", R::MissingParen, 8, "", "", 0},
        {"(A + B", R::MissingParen, 1, "", "", 0},
        {"(A + B C)", R::MissingParen, 8, "", "", 0},
        {"2 * sin(A, B)", R::ArgumentCount, 5, "sin", "", 1},
        {"min(A)", R::ArgumentCount, 1, "min", "", 2},
        {"clamp(A, B)", R::ArgumentCount, 1, "clamp", "", 3},
        {"A + D", R::NotAComponent, 5, "D", "", 3},
        {"A * 1e-3", R::Exponent, 5, "0.001", "1e-3", 0},
        {"2.5E2", R::Exponent, 1, "250", "2.5E2", 0},
        {"+A", R::PlusSign, 1, "", "", 0},
        {"A * +2", R::PlusSign, 5, "", "", 0},
        {"A *", R::UnexpectedEnd, 4, "", "", 0},
        {"A B", R::Unexpected, 3, "B", "", 0},
        {"(A))", R::Unexpected, 4, ")", "", 0},
        {"2A", R::Unexpected, 2, "A", "", 0},
        {"A $ 2", R::Unexpected, 3, "$", "", 0},
        {"A \xc3\x97 B", R::Unexpected, 3, "\xc3\x97", "", 0},  // a multiplication sign
        {"1.2.3", R::Unexpected, 4, ".", "", 0},
        {"sqrt + 1", R::FunctionWithoutCall, 1, "sqrt", "", 0},
        {"k_ * A", R::BadName, 1, "k_", "", 0},
    };
    for (const FaultCase &c : cases) {
        FormulaProgram program;
        FormulaProgram::Error error;
        EXPECT_EQ(program.Compile(0, c.Text, 3, error), c.What) << c.Text;
        EXPECT_EQ(error.What, c.What) << c.Text;
        EXPECT_EQ(error.Column, c.Column) << c.Text;
        EXPECT_STREQ(error.Text, c.Name) << c.Text;
        EXPECT_STREQ(error.Other, c.Other) << c.Text;
        EXPECT_EQ(error.Count, c.Count) << c.Text;
        // A refused formula leaves the program as it was.
        EXPECT_FALSE(program.Has(0)) << c.Text;
        EXPECT_EQ(program.NodeCount(), 0) << c.Text;
    }
}

TEST(FormulaProgram, TooManyValuesAtOnceOrTooLongIsRefused) {
    FormulaProgram::Error error;
    // Left operands nested deep: each value is done before its right neighbour starts.
    std::string left = "A";
    for (int i = 1; i <= 40; ++i) left = "(" + left + " + A*" + std::to_string(i) + ")";
    FormulaProgram first;
    EXPECT_EQ(first.Compile(0, left.c_str(), 1, error), FormulaProgram::Result::Done);
    // Right operands nested as deep: every left value (a sine, which is stored) waits for the
    // innermost one.
    std::string right = "A";
    for (int i = 1; i <= 40; ++i) right = "sin(A*" + std::to_string(i) + ") - (" + right + ")";
    FormulaProgram second;
    EXPECT_EQ(second.Compile(0, right.c_str(), 1, error), FormulaProgram::Result::TooLong);
    EXPECT_EQ(error.Column, int(right.size()) + 1);
    std::string longSum = "A";
    for (int i = 0; i < 600; ++i) longSum += " + A*A";
    FormulaProgram third;
    EXPECT_EQ(third.Compile(0, longSum.c_str(), 1, error), FormulaProgram::Result::TooLong);
}

TEST(FormulaProgram, AnOperationWrittenTwiceIsComputedOnce) {
    FormulaProgram program;
    FormulaProgram::Error error;
    ASSERT_EQ(program.Compile(0, "alpha - A - A*(beta - A*B)", 2, error),
              FormulaProgram::Result::Done);
    ASSERT_EQ(program.Compile(1, "A*(beta - A*B)", 2, error), FormulaProgram::Result::Done);
    EXPECT_EQ(program.NodeCount(), 5);
    // An operation read once is joined to its reader and never stored: beta - A*B and
    // (alpha - A) - ... are one instruction each.
    ASSERT_EQ(program.InstructionCount(), 3);
    EXPECT_EQ(program.ResultOf(1), program.Instructions()[1].Dst);
    // Uniform operations are taken out of the blocks: (feed + kill) once per row.
    FormulaProgram uniform;
    ASSERT_EQ(uniform.Compile(0, "(feed + kill)*y*A + sin(y)", 1, error),
              FormulaProgram::Result::Done);
    EXPECT_EQ(uniform.UniformCount(), 3);
    EXPECT_EQ(uniform.InstructionCount(), 1);
    EXPECT_FALSE(uniform.UsesX());
}

}  // namespace

// The row kernels bracket a sine of the points only where each term is monotone in the one sine
// it reads: through +, -, x, min and max with values free of sines and division by them, each
// value from a sine read once. Sines of row values (y, parameters) are the library's anyway.
TEST(FormulaProgram, SinesAreBracketedOnlyWhereTheTermsAreMonotoneInThem) {
    const struct {
        const char *A;
        const char *B;
        bool Monotone;
    } cases[] = {
        {"(A - A*A*A/3 - B + d*sin(p*B))/c", "A - k*B + e*sin(p*A)", true},  // magd1
        {"A + sin(A)", "B", true},
        {"min(0.5*sin(A), B) - max(B, 0.2)", "-(sin(x)/3)", true},
        {"sin(A) - sin(x)", "B", false},  // two sines in one term
        {"sin(A)", "sin(A) - B", false},  // one sine read by two terms counts as read twice
        {"sin(y) + A", "B", false},       // a row value's sine: no sine of the points
        {"cos(A)", "B", false},
        {"sin(A)^2", "B", false},         // the value read twice
        {"sin(A) * sin(B)", "B", false},  // two sines in one term
        {"1/sin(A)", "B", false},         // turns round at 0
        {"exp(sin(A))", "B", false},
        {"sin(sin(A))", "B", false},
        {"sin(A)*A + sin(A)", "B", false},  // one sine read twice in one term
    };
    for (const auto &c : cases) {
        FormulaProgram program;
        FormulaProgram::Error error;
        ASSERT_EQ(program.Compile(0, c.A, 2, error), FormulaProgram::Result::Done) << c.A;
        ASSERT_EQ(program.Compile(1, c.B, 2, error), FormulaProgram::Result::Done) << c.B;
        EXPECT_EQ(program.SinesAreMonotone(), c.Monotone) << c.A << " ; " << c.B;
    }
    FormulaProgram magd1;
    FormulaProgram::Error error;
    ASSERT_EQ(magd1.Compile(0, "A + 0.1*sin(B)", 2, error), FormulaProgram::Result::Done);
    ASSERT_EQ(magd1.Compile(1, "B - A", 2, error), FormulaProgram::Result::Done);
    EXPECT_TRUE(magd1.TermReadsSine(0));
    EXPECT_FALSE(magd1.TermReadsSine(1));
}
