#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "KernelTestSupport.h"
#include "SimulationTestSupport.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/ReferenceKernels.h"

namespace {

using kerneltest::Fields;
using kerneltest::FirstDifference;
using kerneltest::MapProgram;
using kerneltest::Program;
using kerneltest::Setting;

struct KernelCase {
    const char *Name;
    RowModel Model;
    ReactionConstants K;
    // Per component: coefficient, its drift per iteration (clamped into [0, 1] as the run loop
    // does), and the initial noise.
    double Coefficient[4];
    double Drift[4];
    double Mean[4];
    double Noise[4];
    int Components = 0;  // the model's, from its table entry (plain diffusion: 1)
};

ReactionConstants Constants(std::initializer_list<double> strengths) {
    ReactionConstants k;
    int i = 0;
    for (double s : strengths) k.Strength[i++] = s;
    return k;
}

std::vector<KernelCase> Models() {
    std::vector<KernelCase> cases;
    auto add = [&](KernelCase m) {
        m.Components = RowModelComponents(m.Model);
        cases.push_back(m);
    };
    {
        // Diffusion alone; the coefficient drifts through 1 (the filter without centre).
        add({"diffusion", RowModel::Void, Constants({0.0}), {0.93}, {0.004}, {0.5}, {0.5}});
    }
    { add({"schlogl", RowModel::Schlogl, Constants({0.8}), {0.97}, {0.001}, {0.7}, {0.6}}); }
    {
        ReactionConstants k = Constants({0.2, 0.25});
        k.Alpha = 0.5, k.Gamma = 0.3, k.Delta = 0.2;
        // B's coefficient drifts down into the clamp at 0.
        add({"ginzburglandau",
             RowModel::GinzburgLandau,
             k,
             {0.3, 0.02},
             {0.0, -0.0002},
             {0.0, 0.1},
             {0.5, 0.5}});
    }
    {
        ReactionConstants k = Constants({0.2, 0.2, 0.1});
        k.Alpha = 0.6, k.Gamma = 0.4, k.Delta = -0.3;
        add({"gld1",
             RowModel::GinzburgLandauDer1,
             k,
             {0.25, 0.2, 0.0},
             {0.0, 0.0, 0.0},
             {0.1, -0.1, 0.0},
             {0.5, 0.4, 0.3}});
    }
    {
        ReactionConstants k = Constants({0.2, 0.2, 0.15, 0.15});
        k.A1 = 0.3, k.A2 = 0.2, k.B1 = 1.0, k.B2 = 0.3, k.C1 = 0.25, k.C2 = 0.15, k.D1 = 1.0,
        k.D2 = 0.2;
        add({"gld2",
             RowModel::GinzburgLandauDer2,
             k,
             {0.3, 0.25, 0.2, 1.0},
             {0.0, 0.0, 0.0, 0.0},
             {0.0, 0.1, -0.1, 0.05},
             {0.5, 0.5, 0.5, 0.5}});
    }
    {
        ReactionConstants k = Constants({0.2, 0.1});
        k.K = 0.8, k.C = 2.0;
        add({"maginu", RowModel::Maginu, k, {0.2, 0.6}, {0.0, 0.0}, {0.0, 0.0}, {1.0, 0.5}});
    }
    {
        ReactionConstants k = Constants({0.2, 0.1});
        k.K = 0.8, k.C = 2.0, k.D = 0.3, k.E = 0.2, k.P = 2.0;
        add({"magd1", RowModel::MaginuDer1, k, {0.2, 0.6}, {0.0, 0.0}, {0.0, 0.0}, {1.0, 0.5}});
    }
    {
        ReactionConstants k = Constants({0.05, 0.05});
        k.Alpha = 1.0, k.Beta = 2.5;
        add({"brusselator",
             RowModel::Brusselator,
             k,
             {0.1, 0.4},
             {0.0, 0.0},
             {1.0, 2.5},
             {0.2, 0.2}});
    }
    {
        ReactionConstants k = Constants({0.05, 0.05});
        k.Alpha = 1.0, k.Beta = 2.5, k.Gamma = 0.05;
        add({"brd1", RowModel::BrusselatorDer1, k, {0.1, 0.4}, {0.0, 0.0}, {1.0, 2.5}, {0.2, 0.2}});
    }
    {
        // Gray-Scott with a term that varies over the field through x and y.
        ReactionConstants k = Constants({0.9, 0.9});
        k.Formula = Program(
            {"feed*(1 - A) - A*B^2 + 0.002*sin(2*pi*x)*cos(2*pi*y)", "A*B^2 - (feed + kill)*B"});
        k.Named[0] = 0.037, k.Named[1] = 0.06;
        add({"formula", RowModel::Formula, k, {0.2, 0.1}, {0.0, 0.0}, {0.8, 0.2}, {0.2, 0.2}});
        cases.back().Components = 2;
    }
    {
        // Sines of the points, taken by the vector sine and bracketed: magd1 written as
        // formulas, and a third term whose sines pass the vector sine's limit (the library's,
        // point by point).
        ReactionConstants k = Constants({0.3, 0.2, 0.1});
        k.Formula = Program({"(A - A*A*A/3 - B + 0.6*sin(2.5*B))/0.7", "A - 0.9*B + 0.4*sin(2.5*A)",
                             "0.5*sin(3000000*A) - C"});
        add({"formulasines",
             RowModel::Formula,
             k,
             {0.2, 0.3, 0.1},
             {0.0, 0.0, 0.0},
             {0.5, 0.2, 0.0},
             {1.0, 1.0, 0.5}});
        cases.back().Components = 3;
    }
    {
        // Gray-Scott steered by maps: feed from one picture, a term that is a map alone.
        ReactionConstants k = Constants({0.9, 0.9});
        k.Formula =
            MapProgram({"(feed + 0.02*ink)*(1 - A) - A*B^2", "A*B^2 - (feed + kill)*B", "wide"});
        k.Named[0] = 0.037, k.Named[1] = 0.06;
        add({"formulamap",
             RowModel::Formula,
             k,
             {0.2, 0.1, 0.3},
             {0.0, 0.0, 0.0},
             {0.8, 0.2, 0.0},
             {0.2, 0.2, 0.1}});
        cases.back().Components = 3;
    }
    {
        // "c" = 0: infinite gain, the fields fill with infinities and NaNs.
        ReactionConstants k = Constants({0.2, 0.1});
        k.K = 0.8, k.C = 0.0;
        add({"maginuwithoutc",
             RowModel::Maginu,
             k,
             {0.2, 0.6},
             {0.0, 0.0},
             {0.0, 0.0},
             {1.0, 0.5}});
    }
    {
        // Too strong a reaction: the Brusselator blows up to infinity and NaN.
        ReactionConstants k = Constants({1.5, 1.5});
        k.Alpha = 1.0, k.Beta = 9.0;
        add({"brusselatoroverflow",
             RowModel::Brusselator,
             k,
             {0.1, 0.4},
             {0.0, 0.0},
             {1.0, 2.5},
             {0.5, 0.5}});
    }
    return cases;
}

void Prepare(Fields &f, const KernelCase &m) {
    for (int c = 0; c < m.Components; ++c) f.Fill(c, m.Mean[c], m.Noise[c], 12345u + 977u * c);
}

// A set's reaction kernel of a model; null for plain diffusion.
ReactionKernel KernelOf(const KernelSet &set, RowModel model) { return set.Reaction[int(model)]; }

void StepReference(Fields &f, const KernelCase &m, const double *coefficients) {
    std::vector<float *> p = f.Pointers();
    const ReactionKernel kernel = KernelOf(ReferenceKernels(), m.Model);
    if (kernel != nullptr) kernel(p.data(), f.Layout, m.K);
    for (int c = 0; c < m.Components; ++c) ReferenceDiffusion(p[c], f.Layout, coefficients[c]);
}

void StepFastSeparate(Fields &f, const KernelCase &m, const double *coefficients) {
    std::vector<float *> p = f.Pointers();
    const ReactionKernel kernel = KernelOf(FastKernels(), m.Model);
    if (kernel != nullptr) kernel(p.data(), f.Layout, m.K);
    for (int c = 0; c < m.Components; ++c) FastKernels().Diffusion(p[c], f.Layout, coefficients[c]);
}

bool StepFastFused(Fields &f, const KernelCase &m, const double *coefficients) {
    std::vector<float *> p = f.Pointers();
    return FastIteration(m.Model, p.data(), m.Components, f.Layout, m.K, coefficients);
}

void Drift(const KernelCase &m, double *coefficients) {
    for (int c = 0; c < m.Components; ++c) {
        double &d = coefficients[c];
        d = d + m.Drift[c];
        if (d < 0.0) {
            d = 0.0;
        } else if (d > 1.0) {
            d = 1.0;
        }
    }
}

// Runs the reference, the fast set's separate passes and the fused iteration side by side and
// expects the same bits in every store (borders included) after every iteration.
void ExpectSameBits(const KernelCase &m, int32_t w, int32_t h, int iterations) {
    Fields reference(m.Components, w, h), separate(m.Components, w, h), fused(m.Components, w, h);
    Prepare(reference, m);
    Prepare(separate, m);
    Prepare(fused, m);
    double coefficients[4];
    for (int c = 0; c < 4; ++c) coefficients[c] = m.Coefficient[c];
    for (int it = 0; it < iterations; ++it) {
        StepReference(reference, m, coefficients);
        StepFastSeparate(separate, m, coefficients);
        ASSERT_TRUE(StepFastFused(fused, m, coefficients));
        int component = 0;
        long at = FirstDifference(reference, separate, component);
        ASSERT_EQ(at, -1) << "separate passes, iteration " << it << ", component " << component;
        at = FirstDifference(reference, fused, component);
        ASSERT_EQ(at, -1) << "fused iteration " << it << ", component " << component;
        Drift(m, coefficients);
    }
    // Without drift, batches of 1 to 13 iterations in one call give the same bits.
    bool drifts = false;
    for (int c = 0; c < m.Components; ++c) drifts = drifts || m.Drift[c] != 0.0;
    if (!drifts) {
        Fields stepped(m.Components, w, h), batched(m.Components, w, h);
        Prepare(stepped, m);
        Prepare(batched, m);
        for (int32_t count = 1, done = 0; done + count <= iterations;
             done += count, count = count % 13 + 3) {
            for (int i = 0; i < count; ++i) StepReference(stepped, m, m.Coefficient);
            std::vector<float *> p = batched.Pointers();
            ASSERT_TRUE(FastIteration(m.Model, p.data(), m.Components, batched.Layout, m.K,
                                      m.Coefficient, count));
            int component = 0;
            ASSERT_EQ(FirstDifference(stepped, batched, component), -1)
                << "batch of " << count << " ending at iteration " << done + count;
        }
    }
    // The blow-up cases must really have reached NaN, or they test nothing.
    if (std::strstr(m.Name, "overflow") != nullptr || std::strstr(m.Name, "withoutc") != nullptr) {
        bool nan = false;
        for (float v : reference.Store[0]) nan = nan || std::isnan(v);
        EXPECT_TRUE(nan);
    }
}

// Readable parameters in the test listing.
void PrintTo(const KernelCase &m, std::ostream *os) { *os << m.Name; }

class FastKernelsIdentity : public kerneltest::SettingsTest<std::tuple<KernelCase, Setting>> {};

TEST_P(FastKernelsIdentity, GivesTheReferenceBitsOnAnOddFieldForHundredsOfIterations) {
    const KernelCase &m = std::get<0>(GetParam());
    const Setting s = std::get<1>(GetParam());
    if (s.Level > SupportedSimdLevel()) GTEST_SKIP() << "processor lacks this vector level";
    ASSERT_EQ(SetFastThreadCount(s.Threads), s.Threads);
    ASSERT_EQ(SetFastSimdLevel(s.Level), s.Level);
    ExpectSameBits(m, 37, 23, 300);
}

INSTANTIATE_TEST_SUITE_P(AllModels, FastKernelsIdentity,
                         testing::Combine(testing::ValuesIn(Models()), kerneltest::EverySetting()),
                         kerneltest::CaseName<KernelCase>);

// Every model of the table with its typical parameters, so that a model added to the table is
// held to its reference kernel without a test of its own: weak reactions and, among the
// components, the weighted filter, the filter without centre and no diffusion at all.
KernelCase TypicalCase(int model) {
    const ReactionModelInfo &info = ReactionModelTable[model];
    static constexpr double ReactionConstants::*members[] = {
#define VORNA_PARAMETER_MEMBER(Field, name) &ReactionConstants::Field,
        VORNA_REACTION_PARAMETERS(VORNA_PARAMETER_MEMBER)
#undef VORNA_PARAMETER_MEMBER
    };
    KernelCase m{info.Name, RowModel(model), ReactionConstants(), {}, {}, {}, {}};
    m.Components = info.Components;
    if (ModelIsFormula(RowModel(model))) {
        // Every operation of the language, on four components.
        m.K.Formula = Program({"rate*(1 - A) - A*B^2 + 0.01*sin(pi*x)*cos(2*pi*y)",
                               "A*B^2 - (rate + kill)*B + min(C, D)*0.01 - tan(B)/100",
                               "clamp(A - C, -1, 1)*0.5 + tanh(D) - abs(C)^3 / 3",
                               "sqrt(abs(A*B)) - exp(-D^2) + log(1 + C^2)*0.1 - "
                               "pow(abs(D), 1.5) + max(x, y) - -D"});
        m.K.Named[0] = 0.04, m.K.Named[1] = 0.06;
    }
    const double coefficients[4] = {0.3, 1.0, 0.6, 0.0};
    for (int c = 0; c < m.Components; ++c) {
        m.K.Strength[c] = 0.02;
        m.Coefficient[c] = coefficients[c];
        m.Mean[c] = 0.4;
        m.Noise[c] = 0.5;
    }
    for (int i = 0; i < info.ParameterCount(); ++i) {
        m.K.*members[int(info.Parameters[i].Field)] = info.Parameters[i].Typical;
    }
    return m;
}

class FastKernelsEveryModel : public FastKernelsIdentity {};

TEST_P(FastKernelsEveryModel, GivesTheReferenceBitsWithTypicalParameters) {
    const KernelCase &m = std::get<0>(GetParam());
    const Setting s = std::get<1>(GetParam());
    if (s.Level > SupportedSimdLevel()) GTEST_SKIP() << "processor lacks this vector level";
    ASSERT_EQ(SetFastThreadCount(s.Threads), s.Threads);
    ASSERT_EQ(SetFastSimdLevel(s.Level), s.Level);
    ExpectSameBits(m, 29, 17, 60);
    // Typical parameters keep the fields finite, so that the bits compared are not all NaN.
    Fields reference(m.Components, 29, 17);
    Prepare(reference, m);
    for (int it = 0; it < 60; ++it) StepReference(reference, m, m.Coefficient);
    for (int c = 0; c < m.Components; ++c) {
        for (float v : reference.Store[c]) ASSERT_TRUE(std::isfinite(v)) << "component " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ModelTable, FastKernelsEveryModel,
    testing::Combine(testing::ValuesIn([] {
                         std::vector<KernelCase> cases;
                         for (int m = 0; m < ReactionModelCount; ++m) {
                             cases.push_back(TypicalCase(m));
                         }
                         return cases;
                     }()),
                     testing::Values(Setting{1, SimdPlain}, Setting{3, SimdPlain},
                                     Setting{1, SimdAvx2}, Setting{3, SimdAvx2},
                                     Setting{1, SimdAvx512}, Setting{3, SimdAvx512})),
    kerneltest::CaseName<KernelCase>);

TEST(FastKernels, LargeFieldOnTwoThreadsGivesTheReferenceBits) {
    const int threads = GetFastThreadCount();
    SetFastThreadCount(2);
    for (const KernelCase &m : Models()) {
        if (std::strcmp(m.Name, "brusselator") != 0 && std::strcmp(m.Name, "gld2") != 0) continue;
        SCOPED_TRACE(m.Name);
        ExpectSameBits(m, 600, 600, 3);
    }
    // magd1's rows take their sines by stretches, and the formula model's rows are run in
    // blocks: a wide row crosses many, at every width.
    const int level = GetFastSimdLevel();
    for (const KernelCase &m : Models()) {
        if (std::strcmp(m.Name, "magd1") != 0 && std::strcmp(m.Name, "formula") != 0 &&
            std::strcmp(m.Name, "formulamap") != 0) {
            continue;
        }
        for (int simd = SimdPlain; simd <= SupportedSimdLevel(); ++simd) {
            SCOPED_TRACE(std::string(m.Name) + ", level " + std::to_string(simd));
            SetFastSimdLevel(simd);
            ExpectSameBits(m, 600, 600, 3);
        }
    }
    SetFastSimdLevel(level);
    SetFastThreadCount(threads);
}

TEST(FastKernels, FieldsThinnerThanTheBandsAndSingleColumnsWrapAsATorus) {
    const int threads = GetFastThreadCount();
    SetFastThreadCount(3);
    SetFastSmallFieldRule(false);
    const KernelCase m = Models()[7];  // brusselator
    for (auto size : {std::pair<int32_t, int32_t>{1, 1}, {1, 5}, {9, 1}, {2, 2}, {17, 3}}) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
        ExpectSameBits(m, size.first, size.second, 20);
    }
    SetFastSmallFieldRule(true);
    SetFastThreadCount(threads);
}

// The sine model keeps the library's bits for arguments far beyond one period, next to the
// multiples of pi / 2, at the argument limit of the vector sine and for the special values, with
// ordinary and infinite gain (c = 0), at every vector level.
TEST(FastKernels, SineModelGivesTheLibraryBitsOverWideArguments) {
    const int level = GetFastSimdLevel();
    const float specials[] = {0.0f,       -0.0f,      1e-30f,    -1e-30f,    1.5707964f,
                              3.1415927f, -4.712389f, 999999.9f, 1000000.1f, 1e7f,
                              -3e9f,      3.4e38f,    INFINITY,  -INFINITY,  NAN};
    for (int scenario = 0; scenario < 3; ++scenario) {
        ReactionConstants k = Constants({0.2, 0.1});
        k.K = 0.8, k.C = scenario == 2 ? 0.0 : 2.0, k.D = 0.3, k.E = -1.7;
        k.P = scenario == 0 ? 2.0 : 1000.0;
        Fields start(2, 401, 301);
        for (int c = 0; c < 2; ++c) {
            uint32_t seed = 99u + 7u * uint32_t(c) + uint32_t(scenario);
            for (float &v : start.Store[c]) {
                seed = seed * 1664525u + 1013904223u;
                // Magnitudes from 1e-6 to 1e4, either sign; every 97th value a special one.
                const double unit = double(seed >> 8) / 16777216.0;
                v = float((seed & 1 ? -1.0 : 1.0) * std::pow(10.0, unit * 10.0 - 6.0));
                const size_t special = (seed >> 9) % (sizeof specials / sizeof *specials);
                if (seed % 97 == 0) v = specials[special];
            }
        }
        for (int simd = SimdPlain; simd <= SupportedSimdLevel(); ++simd) {
            SCOPED_TRACE("scenario " + std::to_string(scenario) + ", level " +
                         std::to_string(simd));
            SetFastSimdLevel(simd);
            Fields reference = start, fast = start;
            std::vector<float *> pr = reference.Pointers(), pf = fast.Pointers();
            KernelOf(ReferenceKernels(), RowModel::MaginuDer1)(pr.data(), reference.Layout, k);
            KernelOf(FastKernels(), RowModel::MaginuDer1)(pf.data(), fast.Layout, k);
            int component = 0;
            EXPECT_EQ(FirstDifference(reference, fast, component), -1) << "component " << component;
        }
    }
    SetFastSimdLevel(level);
}

// Whether component 0 holds a NaN inside its border.
bool InteriorHoldsNaN(Fields &f) {
    const float *first = f.First(0);
    for (int32_t y = 0; y < f.Layout.SizeY; ++y) {
        for (int32_t x = 0; x < f.Layout.SizeX; ++x) {
            if (std::isnan(first[ptrdiff_t(y) * f.Layout.LineOffset + x])) return true;
        }
    }
    return false;
}

// Batches of several iterations run band by band, each band through the whole batch before its
// neighbours: the bits must not depend on the band height, the thread count, the vector level
// or how the iterations are cut into batches, down to bands as thin as a batch allows and fields
// one point wide or one line high. The NaN test the kernel makes on request agrees with a scan
// of the reference field after every batch.
TEST(FastKernels, BatchesGiveTheReferenceBitsForEveryBandHeightThreadCountAndBatchLength) {
    const int threads = GetFastThreadCount();
    const int level = GetFastSimdLevel();
    std::vector<KernelCase> cases = Models();
    for (int model = 0; model < ReactionModelCount; ++model) cases.push_back(TypicalCase(model));
    const std::pair<int32_t, int32_t> sizes[] = {{45, 41}, {1, 37}, {37, 1}, {19, 5}};
    SetFastSmallFieldRule(false);
    for (int t : {1, 2, 3}) {
        SetFastThreadCount(t);
        for (int lines : {0, 5, 12}) {
            SetFastBandLines(lines);
            for (int simd = SimdPlain; simd <= SupportedSimdLevel(); ++simd) {
                SetFastSimdLevel(simd);
                for (const KernelCase &m : cases) {
                    for (auto size : sizes) {
                        SCOPED_TRACE(
                            std::string(m.Name) + ", " + std::to_string(t) + " threads, bands of " +
                            std::to_string(lines) + " lines, level " + std::to_string(simd) + ", " +
                            std::to_string(size.first) + "x" + std::to_string(size.second));
                        Fields stepped(m.Components, size.first, size.second);
                        Fields batched = stepped;
                        Prepare(stepped, m);
                        Prepare(batched, m);
                        int32_t done = 0;
                        for (int32_t count : {1, 2, 7, 15, 16, 17}) {
                            for (int i = 0; i < count; ++i)
                                StepReference(stepped, m, m.Coefficient);
                            std::vector<float *> p = batched.Pointers();
                            int nan = -1;
                            ASSERT_TRUE(FastIteration(m.Model, p.data(), m.Components,
                                                      batched.Layout, m.K, m.Coefficient, count,
                                                      &nan));
                            done += count;
                            int component = 0;
                            ASSERT_EQ(FirstDifference(stepped, batched, component), -1)
                                << "batch of " << count << " ending at iteration " << done
                                << ", component " << component;
                            EXPECT_EQ(nan, InteriorHoldsNaN(stepped) ? 1 : 0)
                                << "NaN test after the batch ending at iteration " << done;
                        }
                    }
                }
            }
        }
    }
    SetFastBandLines(0);
    SetFastSmallFieldRule(true);
    SetFastSimdLevel(level);
    SetFastThreadCount(threads);
}

TEST(FastKernels, NaNTestSeesEveryLineAndOnlyTheInterior) {
    // Plain diffusion with coefficient 0 keeps every point: a NaN stays on its line, so each
    // line must be looked at by whichever phase finished it (band middles, the lines around
    // the boundaries, the wrap at line 0, single iterations). A NaN in the border is none.
    const int threads = GetFastThreadCount();
    SetFastSmallFieldRule(false);
    const double keep[1] = {0.0};
    const std::pair<int32_t, int32_t> sizes[] = {{45, 41}, {37, 1}, {1, 37}, {19, 5}};
    for (int t : {1, 2, 3}) {
        SetFastThreadCount(t);
        for (int lines : {0, 5, 12}) {
            SetFastBandLines(lines);
            for (auto size : sizes) {
                for (int32_t count : {1, 7, 15}) {
                    for (int32_t y = -1; y <= size.second; ++y) {
                        SCOPED_TRACE(std::to_string(t) + " threads, bands of " +
                                     std::to_string(lines) + " lines, " +
                                     std::to_string(size.first) + "x" +
                                     std::to_string(size.second) + ", " + std::to_string(count) +
                                     " iterations, NaN on line " + std::to_string(y));
                        Fields f(1, size.first, size.second);
                        f.Fill(0, 0.5, 0.1, 99u);
                        f.First(0)[ptrdiff_t(y) * f.Layout.LineOffset + size.first - 1] = NAN;
                        std::vector<float *> p = f.Pointers();
                        int nan = -1;
                        ASSERT_TRUE(FastIteration(RowModel::Void, p.data(), 1, f.Layout,
                                                  ReactionConstants(), keep, count, &nan));
                        const bool inside = y >= 0 && y < size.second;
                        EXPECT_EQ(nan, inside ? 1 : 0);
                    }
                }
            }
        }
    }
    SetFastBandLines(0);
    SetFastSmallFieldRule(true);
    SetFastThreadCount(threads);
}

TEST(FastKernels, RefusesWhatItCannotLayOut) {
    Fields f(2, 5, 4);
    std::vector<float *> p = f.Pointers();
    const double coefficients[2] = {0.1, 0.2};
    FieldLayout planes = f.Layout;
    planes.SizeZ = 2;
    EXPECT_FALSE(FastIteration(RowModel::Brusselator, p.data(), 2, planes, ReactionConstants(),
                               coefficients));
    FieldLayout empty = f.Layout;
    empty.SizeX = 0;
    EXPECT_FALSE(FastIteration(RowModel::Brusselator, p.data(), 2, empty, ReactionConstants(),
                               coefficients));
    // A model given fewer fields than it needs.
    EXPECT_FALSE(FastIteration(RowModel::GinzburgLandauDer2, p.data(), 2, f.Layout,
                               ReactionConstants(), coefficients));
}

}  // namespace

// ---- Through the run loop: the fused iteration, the NaN test, drift and clamping ------------

namespace {

struct RunCase {
    const char *Model;
    int Threads;
    bool Drift;  // B's coefficient drifts (one iteration at a time), else fixed (in batches)
};

void PrintTo(const RunCase &c, std::ostream *os) {
    *os << c.Model << ", " << c.Threads << " threads" << (c.Drift ? ", drift" : "");
}

class FastKernelsRunLoop : public testing::TestWithParam<RunCase> {
protected:
    void SetUp() override {
        previousThreads = GetFastThreadCount();
        SetFastSmallFieldRule(false);
    }
    void TearDown() override {
        SetFastThreadCount(previousThreads);
        SetFastSmallFieldRule(true);
    }
    int previousThreads = 1;
};

bool SameStores(const ReaDifSimulation &a, const ReaDifSimulation &b) {
    for (int c = 0; c < a.ComponentCount; ++c) {
        const Image3DFloat &fa = *a.Components[c];
        const Image3DFloat &fb = *b.Components[c];
        // The whole plane, border included.
        const float *pa = fa.GetPtrFirstPixel() - fa.GetLineOffset() - 1;
        const float *pb = fb.GetPtrFirstPixel() - fb.GetLineOffset() - 1;
        const size_t n = size_t(fa.GetLineOffset()) * size_t(fa.GetSizeY() + 2);
        if (std::memcmp(pa, pb, n * sizeof(float)) != 0) return false;
    }
    return true;
}

// Both simulations as an accepted script leaves them; with drift, B's coefficient, where there
// is a B, drifts down into the clamp at 0 within the run.
void PrepareBoth(ReaDifSimulation &reference, ReaDifSimulation &fast, const ModelCase &m,
                 int32_t endTime, bool drift) {
    reference.SetKernelSet(ReferenceKernels());
    fast.SetKernelSet(FastKernels());
    for (ReaDifSimulation *sim : {&reference, &fast}) {
        PrepareRun(*sim, m, 37, 23, endTime, 4242);
        if (drift && sim->ComponentCount >= 2) {
            sim->DiffusionCoeffVariation[1] = -sim->DiffusionCoeff[1] / 150.0;
        }
    }
}

TEST_P(FastKernelsRunLoop, RunSimulationGivesTheReferenceBitsSliceBySlice) {
    const RunCase param = GetParam();
    ASSERT_EQ(SetFastThreadCount(param.Threads), param.Threads);
    const ModelCase &m = FindModel(param.Model);
    ASSERT_STREQ(m.Name, param.Model);
    ReaDifSimulation reference(4), fast(4);
    PrepareBoth(reference, fast, m, 300, param.Drift);
    // Slices of 1 to 29 iterations, as a front end with a preview makes them.
    for (int32_t slice = 1; reference.CurrentTime < 300; slice = slice % 29 + 4) {
        ASSERT_EQ(fast.RunSimulation(slice), reference.RunSimulation(slice));
        ASSERT_EQ(fast.CurrentTime, reference.CurrentTime);
        ASSERT_EQ(fast.ErrorStatus, reference.ErrorStatus);
        ASSERT_TRUE(SameStores(reference, fast)) << "after iteration " << reference.CurrentTime;
        for (int c = 0; c < m.Components; ++c) {
            ASSERT_EQ(fast.DiffusionCoeff[c], reference.DiffusionCoeff[c]);
        }
    }
    if (param.Drift && m.Components >= 2) {
        EXPECT_EQ(reference.DiffusionCoeff[1], 0.0);  // the clamp was reached
    }
}

std::string RunCaseName(const testing::TestParamInfo<RunCase> &info) {
    return std::string(info.param.Model) + "_" + std::to_string(info.param.Threads) + "threads" +
           (info.param.Drift ? "_drift" : "");
}

INSTANTIATE_TEST_SUITE_P(AllModels, FastKernelsRunLoop, testing::ValuesIn([] {
                             std::vector<RunCase> cases;
                             for (const ModelCase &m : BoundedModels()) {
                                 cases.push_back({m.Name, 1, true});
                                 cases.push_back({m.Name, 2, true});
                                 cases.push_back({m.Name, 2, false});
                                 // More threads than most machines here have cores: workers
                                 // join late and take each other's pieces.
                                 cases.push_back({m.Name, 5, false});
                             }
                             return cases;
                         }()),
                         RunCaseName);

TEST(FastKernelsRunLoopOverflow, StopsAtTheSameIterationAsTheReference) {
    // A Brusselator far too strong for explicit steps: it reaches NaN after some iterations.
    ModelCase m = FindModel("brusselator");
    m.Strength[0] = m.Strength[1] = 1.2;
    m.Parameters = {{"alpha", 1.0, 0.0}, {"beta", 9.0, 0.0}};
    const int threads = GetFastThreadCount();
    SetFastThreadCount(2);
    SetFastSmallFieldRule(false);
    ReaDifSimulation reference(4), fast(4);
    PrepareBoth(reference, fast, m, 1000, false);
    EXPECT_EQ(reference.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(fast.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    EXPECT_EQ(reference.ErrorStatus, ReaDifSimulation::StatusOverflow);
    EXPECT_EQ(fast.ErrorStatus, ReaDifSimulation::StatusOverflow);
    EXPECT_GT(reference.CurrentTime, 0);
    EXPECT_EQ(fast.CurrentTime, reference.CurrentTime);
    EXPECT_TRUE(SameStores(reference, fast));
    SetFastSmallFieldRule(true);
    SetFastThreadCount(threads);
}

}  // namespace
