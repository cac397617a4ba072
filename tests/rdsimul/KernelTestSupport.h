// Shared by the kernel tests: fields with a border filled with noise, their comparison bit by
// bit, and formula programs that outlive the cases pointing at them.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "rdsimul/FormulaProgram.h"
#include "rdsimul/kernels/FastKernels.h"
#include "rdsimul/kernels/KernelSet.h"

namespace kerneltest {

// Single-plane fields with a one-pixel border in plain vectors, filled with noise.
struct Fields {
    Fields(int components, int32_t w, int32_t h) : Count(components) {
        Layout.SizeX = w;
        Layout.SizeY = h;
        Layout.SizeZ = 1;
        Layout.LineOffset = w + 2;
        Layout.PlaneOffset = (w + 2) * (h + 2);
        for (int c = 0; c < components; ++c) Store[c].assign(size_t(Layout.PlaneOffset), 0.0f);
    }
    float *First(int c) { return Store[c].data() + Layout.LineOffset + 1; }
    std::vector<float *> Pointers() {
        std::vector<float *> p;
        for (int c = 0; c < Count; ++c) p.push_back(First(c));
        return p;
    }
    // Uniform noise in [mean - noise, mean + noise] on the interior; the border keeps garbage so
    // that a kernel that reads it before refreshing it shows.
    void Fill(int c, double mean, double noise, uint32_t seed) {
        for (size_t i = 0; i < Store[c].size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            Store[c][i] = float(mean + noise * (double(seed >> 8) / 8388608.0 - 1.0));
        }
    }

    int Count;
    FieldLayout Layout;
    std::vector<float> Store[4];
};

// First store index where the two sets of fields differ in their bits, or -1. With anyNaN, any
// two NaNs count as equal: where NaNs of both signs meet in a sum, the one that comes out depends
// on the order of the addition's operands, which gives every number the same bits either way.
inline long FirstDifference(const Fields &a, const Fields &b, int &component, bool anyNaN = false) {
    for (int c = 0; c < a.Count; ++c) {
        for (size_t i = 0; i < a.Store[c].size(); ++i) {
            if (anyNaN && std::isnan(a.Store[c][i]) && std::isnan(b.Store[c][i])) continue;
            if (std::memcmp(&a.Store[c][i], &b.Store[c][i], sizeof(float)) != 0) {
                component = c;
                return long(i);
            }
        }
    }
    return -1;
}

// Compiles terms into program, one per component from A.
inline void CompileTerms(FormulaProgram &program, std::initializer_list<const char *> terms) {
    int c = 0;
    for (const char *term : terms) {
        FormulaProgram::Error error;
        EXPECT_EQ(program.Compile(c++, term, int(terms.size()), error),
                  FormulaProgram::Result::Done)
            << term << " column " << error.Column;
    }
}

// A formula program of static storage, for the constants of the cases that point at it.
inline FormulaProgram &StoredProgram() {
    static std::vector<std::unique_ptr<FormulaProgram>> programs;
    programs.push_back(std::make_unique<FormulaProgram>());
    return *programs.back();
}

inline const FormulaProgram *Program(std::initializer_list<const char *> terms) {
    FormulaProgram &program = StoredProgram();
    CompileTerms(program, terms);
    return &program;
}

// A formula program that reads two maps, "ink" (a 7 x 5 picture, narrower and shorter than
// the fields, with lopsided values) and "wide" (61 x 3: wider than most fields, shorter than
// all), stretched over the field.
inline const FormulaProgram *MapProgram(std::initializer_list<const char *> terms) {
    static std::vector<double> ink = [] {
        std::vector<double> values(7 * 5);
        for (size_t i = 0; i < values.size(); ++i) values[i] = double((i * 37) % 11) / 10.0;
        return values;
    }();
    static std::vector<double> wide = [] {
        std::vector<double> values(61 * 3);
        for (size_t i = 0; i < values.size(); ++i) values[i] = double((i * 13) % 17) / 16.0;
        return values;
    }();
    FormulaProgram &program = StoredProgram();
    EXPECT_EQ(program.DeclareMap("ink"), 0);
    EXPECT_EQ(program.DeclareMap("wide"), 1);
    program.BindMap(0, ink.data(), 7, 5);
    program.BindMap(1, wide.data(), 61, 3);
    CompileTerms(program, terms);
    return &program;
}

// A thread count and vector level of the fast kernels.
struct Setting {
    int Threads;
    int Level;
};

inline void PrintTo(const Setting &s, std::ostream *os) {
    *os << s.Threads << " threads, level " << s.Level;
}

// One and two threads at every vector level.
inline auto EverySetting() {
    return testing::Values(Setting{1, SimdPlain}, Setting{2, SimdPlain}, Setting{1, SimdAvx2},
                           Setting{2, SimdAvx2}, Setting{1, SimdAvx512}, Setting{2, SimdAvx512});
}

// The test name of a case (anything with a Name) at a setting.
template <class Case>
std::string CaseName(const testing::TestParamInfo<std::tuple<Case, Setting>> &info) {
    const Setting s = std::get<1>(info.param);
    static const char *const levels[] = {"plain", "avx2", "avx512"};
    return std::string(std::get<0>(info.param).Name) + "_" + std::to_string(s.Threads) +
           "threads_" + levels[s.Level];
}

// Restores the fast kernels' thread count and vector level after each test, and lets every
// thread take part however small the field, so that the bits of the threads' hand-offs are
// what small fields test.
template <class Param>
class SettingsTest : public testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        previousThreads = GetFastThreadCount();
        previousLevel = GetFastSimdLevel();
        SetFastSmallFieldRule(false);
    }
    void TearDown() override {
        SetFastThreadCount(previousThreads);
        SetFastSimdLevel(previousLevel);
        SetFastSmallFieldRule(true);
    }
    int previousThreads = 1;
    int previousLevel = 0;
};

}  // namespace kerneltest
