#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formulajit/FormulaJit.h"
#include "rdsimul/KernelTestSupport.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"

namespace {

using kerneltest::Fields;
using kerneltest::FirstDifference;
using kerneltest::Setting;

struct JitCase {
    const char *Name;
    const FormulaProgram *Program;
    int Components;
    double Strength;
    // Must reach NaN, or it tests nothing; NaNs are then compared as NaN alone.
    bool BlowsUp = false;
};

std::vector<JitCase> Cases() {
    using kerneltest::MapProgram;
    using kerneltest::Program;
    return {
        // x and y, parameters and constants as splats.
        {"grayscott",
         Program({"feed*(1 - A) - A*B^2 + 0.002*x*(1 - y)", "A*B^2 - (feed + kill)*B"}), 2, 0.9},
        // Every operation the code holds, joined two and three at a time, constants first.
        {"operations",
         Program({"-min(A, B)*max(A, 0.5) / (1 + A*A) + -A - (A - B)*(B + 0.1)",
                  "max(-A, B) - min(0.25, -B)*-(A - B) - 2/(3 + B*B)"}),
         2, 0.05},
        // min and max of +0 and -0, whose answer depends on the order of the operands: 1/+0
        // clamped to 1, 1/-0 to -1.
        {"signedzeros",
         Program({"0.01*max(-1, min(1, 1/min(A - A, -(A - A)))) - 0.1*A",
                  "0.01*max(-1, min(1, 1/max(-(B - B), B - B))) - 0.1*B"}),
         2, 0.5},
        // The functions whose library result the vector instructions give: square root and
        // absolute value.
        {"functions",
         Program(
             {"0.1*sqrt(abs(A)) - A + 0.05*abs(-B)", "0.5*abs(B - 0.3) - B + 0.1*sqrt(A*A + B*B)"}),
         2, 0.1},
        // Sixteen values alive at once: more than the registers below AVX-512 hold.
        {"manyvalues",
         Program(
             {"(A+0.01)*(A+0.02)*(A+0.03)*(A+0.04)*(A+0.05)*(A+0.06)*(A+0.07)*(A+0.08)*"
              "(B+0.01)*(B+0.02)*(B+0.03)*(B+0.04)*(B+0.05)*(B+0.06)*(B+0.07)*(B+0.08)",
              "(B+0.08)+(B+0.07)+(B+0.06)+(B+0.05)+(B+0.04)+(B+0.03)+(B+0.02)+(B+0.01)+"
              "(A+0.08)+(A+0.07)+(A+0.06)+(A+0.05)+(A+0.04)+(A+0.03)+(A+0.02)+(A+0.01) - 17*B"}),
         2, 0.05},
        // Maps, and a term that is a map alone.
        {"maps",
         MapProgram({"(feed + 0.02*ink)*(1 - A) - A*B^2", "A*B^2 - (feed + kill)*B", "wide"}), 3,
         0.9},
        // Four components; a term the same along a row.
        {"fourcomponents",
         Program({"A - A*A*A + 0.1*D", "0.01*y - 0.5*feed", "C*(1 - C) - C*A", "0.5*B - D"}), 4,
         0.2},
        // Infinities, NaN and divisions by zero.
        {"blowup", Program({"A*A*A*50 + 1/(B - B)", "B - A*B*3"}), 2, 1.5, true},
    };
}

void PrintTo(const JitCase &c, std::ostream *os) { *os << c.Name; }

class FormulaJitIdentity : public kerneltest::SettingsTest<std::tuple<JitCase, Setting>> {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        FormulaJit::Install();
    }
    void TearDown() override {
        InstallFormulaCodeMaker(nullptr);
        SettingsTest::TearDown();
    }
};

// The code's fields against the reference kernels', iteration by iteration and in batches (the
// bands of several iterations), on an odd field whose rows end inside a vector.
TEST_P(FormulaJitIdentity, MachineCodeGivesTheReferenceBits) {
    const JitCase &m = std::get<0>(GetParam());
    const Setting s = std::get<1>(GetParam());
    if (s.Level > SupportedSimdLevel()) GTEST_SKIP() << "processor lacks this vector level";
    ASSERT_EQ(SetFastThreadCount(s.Threads), s.Threads);
    ASSERT_EQ(SetFastSimdLevel(s.Level), s.Level);
    static const int lanes[] = {1, 4, 8};
    ASSERT_NE(FormulaCodeFor(m.Program, lanes[s.Level]), nullptr) << "no code was made";

    ReactionConstants k;
    for (int c = 0; c < m.Components; ++c) k.Strength[c] = m.Strength;
    k.Formula = m.Program;
    k.Named[0] = 0.037, k.Named[1] = 0.06;
    const double coefficients[4] = {0.2, 0.1, 0.3, 1.0};
    const int32_t w = 37, h = 23;
    Fields reference(m.Components, w, h), stepped(m.Components, w, h), batched(m.Components, w, h);
    for (Fields *f : {&reference, &stepped, &batched}) {
        for (int c = 0; c < m.Components; ++c) f->Fill(c, 0.3, 0.25, 12345u + 977u * c);
    }
    int done = 0;
    for (int32_t count = 1; done + count <= 200; done += count, count = count % 13 + 3) {
        for (int i = 0; i < count; ++i) {
            std::vector<float *> p = reference.Pointers();
            ReferenceKernels().Reaction[int(RowModel::Formula)](p.data(), reference.Layout, k);
            for (int c = 0; c < m.Components; ++c) {
                ReferenceDiffusion(p[c], reference.Layout, coefficients[c]);
            }
            p = stepped.Pointers();
            ASSERT_TRUE(FastIteration(RowModel::Formula, p.data(), m.Components, stepped.Layout, k,
                                      coefficients));
        }
        std::vector<float *> p = batched.Pointers();
        ASSERT_TRUE(FastIteration(RowModel::Formula, p.data(), m.Components, batched.Layout, k,
                                  coefficients, count));
        int component = 0;
        ASSERT_EQ(FirstDifference(reference, stepped, component, m.BlowsUp), -1)
            << "iteration " << done + count << ", component " << component;
        ASSERT_EQ(FirstDifference(reference, batched, component, m.BlowsUp), -1)
            << "batch of " << count << " ending at iteration " << done + count << ", component "
            << component;
    }
    // The finite cases stay finite, so that every bit of them is compared.
    bool nan = false;
    for (float v : reference.Store[0]) nan = nan || std::isnan(v);
    EXPECT_EQ(nan, m.BlowsUp);
}

INSTANTIATE_TEST_SUITE_P(Formulas, FormulaJitIdentity,
                         testing::Combine(testing::ValuesIn(Cases()), kerneltest::EverySetting()),
                         kerneltest::CaseName<JitCase>);

// The library's other functions stay with the instruction list; a program without them is made once
// per width and kept, however many others come between.
TEST(FormulaJit, MakesCodeForArithmeticOnlyAndKeepsTheProgramsRunLately) {
    FormulaJit jit;
    EXPECT_EQ(jit.Make(*kerneltest::Program({"sin(A) - A"}), 4), nullptr);
    EXPECT_EQ(jit.Make(*kerneltest::Program({"exp(A)*A - A"}), 8), nullptr);
    EXPECT_EQ(jit.Make(*kerneltest::Program({"A^1.5 - A"}), 1), nullptr);
    const FormulaProgram &kept = *kerneltest::Program({"A*(1 - A) - 0.5*A"});
    const FormulaBlockCode first = jit.Make(kept, 4);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(jit.Make(kept, 8), first);
    EXPECT_EQ(jit.Make(kept, 4), first);
    // Others run since, fewer than are kept: the code is the same.
    for (int i = 0; i < 10; ++i) jit.Make(*kerneltest::Program({"A*A - 0.25"}), 4);
    EXPECT_EQ(jit.Make(kept, 4), first);
}

}  // namespace
