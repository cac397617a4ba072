// Runs every model through the simulation object and, side by side, through a second
// implementation written here from the model formulas: fields without borders, an out-of-place
// 3 x 3 stencil with wrapped indexes, parameters looked up by their full names. After hundreds of
// iterations both must hold the same bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "SimulationTestSupport.h"

namespace {

struct PlainRun {
    int W = 0, H = 0;
    std::vector<float> Field[4];
    std::map<std::string, double> Value, Variation;
    double Strength[4] = {};
    double Diffusion[4] = {}, DiffusionVariation[4] = {};

    double P(const char *name) const {
        auto it = Value.find(name);
        return it == Value.end() ? 0.0 : it->second;
    }
};

// The initial noise, drawn pixel by pixel, all of A before B.
void PlainInitialize(PlainRun &run, const ModelCase &m, uint32_t seed) {
    MainRandom.Randomize(seed);
    for (int c = 0; c < m.Components; ++c) {
        const float mean = float(m.Mean[c]), noise = float(m.Noise[c]);
        const double low = double(mean) - double(noise), width = 2.0 * double(noise);
        run.Field[c].assign(size_t(run.W * run.H), 0.0f);
        for (float &v : run.Field[c]) v = float(RandomGenerator::Rand() * width / 32767.0 + low);
    }
}

void PlainReaction(PlainRun &run, const std::string &model) {
    const size_t n = size_t(run.W * run.H);
    const double kA = run.Strength[0], kB = run.Strength[1], kC = run.Strength[2],
                 kD = run.Strength[3];
    std::vector<float> *f = run.Field;
    for (size_t i = 0; i < n; ++i) {
        const double A = f[0][i];
        const double B = f[1].empty() ? 0.0 : double(f[1][i]);
        const double C = f[2].empty() ? 0.0 : double(f[2][i]);
        const double D = f[3].empty() ? 0.0 : double(f[3][i]);
        if (model == "schlogl") {
            const double rate = ((-0.030625 * A + 0.07125) * A - 0.039) * A + 0.002;
            f[0][i] = f[0][i] + float(kA * rate);
        } else if (model == "ginzburglandau" || model == "gld1") {
            const double R = model == "gld1" ? A * A + B * B + C * C : A * A + B * B;
            const double alpha = run.P("alpha"), gamma = run.P("gamma"), delta = run.P("delta");
            f[0][i] = float(A + kA * (alpha * A - gamma * B + R * (delta * B - A)));
            f[1][i] = float(B + kB * (alpha * B + gamma * A - R * (B + delta * A)));
            if (model == "gld1") f[2][i] = float(C + kC * (2 * A - B - C));
        } else if (model == "gld2") {
            const double R = A * A + B * B + C * C + D * D;
            const double a1 = run.P("a1"), a2 = run.P("a2"), b1 = run.P("b1"), b2 = run.P("b2");
            const double c1 = run.P("c1"), c2 = run.P("c2"), d1 = run.P("d1"), d2 = run.P("d2");
            f[0][i] = float(A + kA * (a1 * B - a2 * D + R * (b2 * B - b1 * A)));
            f[1][i] = float(B + kB * (a1 * A + a2 * C - R * (b1 * B + b2 * A)));
            f[2][i] = float(C + kC * (c1 * A - c2 * D + R * (d2 * D - d1 * C)));
            f[3][i] = float(D + kD * (c1 * C + c2 * B - R * (d1 * D + d2 * C)));
        } else if (model == "maginu" || model == "magd1") {
            const double g = kA / run.P("c");
            const double k = run.P("k");
            const double cube = (A * A) * A;
            if (model == "maginu") {
                f[0][i] = float(A + g * (A - cube / 3 - B));
                f[1][i] = float(B + kB * (A - k * B));
            } else {
                const double d = run.P("d"), e = run.P("e"), p = run.P("p");
                f[0][i] = float(A + g * (A - cube / 3 - B + d * std::sin(p * B)));
                f[1][i] = float(B + kB * (A - k * B + e * std::sin(p * A)));
            }
        } else if (model == "brusselator" || model == "brd1") {
            const double alpha = run.P("alpha"), beta = run.P("beta"), gamma = run.P("gamma");
            const double X = A * (beta - A * B);
            if (model == "brusselator") {
                f[0][i] = float(A + kA * (alpha - A - X));
            } else {
                f[0][i] = float(A + kA * (alpha - X - A * (((gamma * A) * A) * A + 1)));
            }
            f[1][i] = float(B + kB * X);
        }
    }
}

void PlainDiffusion(std::vector<float> &field, int W, int H, double d) {
    if (d == 0.0) return;
    const std::vector<float> old = field;
    auto at = [&](int x, int y) { return double(old[size_t(((y + H) % H) * W + (x + W) % W)]); };
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            auto column = [&](int cx) { return (at(cx, y - 1) + at(cx, y)) + at(cx, y + 1); };
            const double s9 = (column(x - 1) + column(x)) + column(x + 1);
            const double c = at(x, y);
            double v;
            if (d == 1.0) {
                v = (s9 - c) * 0.125;
            } else {
                const double centre = 1.0 - d, neighbour = d * 0.125;
                v = neighbour * s9 + (centre - neighbour) * c;
            }
            field[size_t(y * W + x)] = float(v);
        }
    }
}

void PlainIteration(PlainRun &run, const ModelCase &m) {
    PlainReaction(run, m.Name);
    for (int c = 0; c < m.Components; ++c) {
        PlainDiffusion(run.Field[c], run.W, run.H, run.Diffusion[c]);
    }
    for (auto &[name, value] : run.Value) value += run.Variation[name];
    for (int c = 0; c < m.Components; ++c) {
        run.Diffusion[c] =
            std::min(1.0, std::max(0.0, run.Diffusion[c] + run.DiffusionVariation[c]));
    }
}

bool SameBits(const std::vector<float> &a, const std::vector<float> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

class ReaDifSimulationCrossCheck : public testing::TestWithParam<ModelCase> {};

}  // namespace

TEST_P(ReaDifSimulationCrossCheck, SimulationMatchesAnIndependentImplementationBitForBit) {
    const ModelCase &m = GetParam();
    const int W = 7, H = 5, iterations = 300;
    const uint32_t seed = 4242;
    ReaDifSimulation sim(4);
    PrepareRun(sim, m, W, H, iterations, seed);

    PlainRun run;
    run.W = W;
    run.H = H;
    PlainInitialize(run, m, seed);
    for (int c = 0; c < m.Components; ++c) {
        ASSERT_TRUE(SameBits(Interior(sim, c), run.Field[c])) << "initial noise of " << c;
        run.Strength[c] = m.Strength[c];
        run.Diffusion[c] = m.Diffusion[c];
        run.DiffusionVariation[c] = m.DiffusionVariation[c];
    }
    for (const NamedValue &p : m.Parameters) {
        run.Value[p.Name] = p.Value;
        run.Variation[p.Name] = p.Variation;
    }

    // In slices of uneven length, checking after each.
    for (int32_t slice : {1, 14, 85, 200}) {
        ASSERT_EQ(sim.RunSimulation(slice), ReaDifSimulation::RunResult::Ran);
        for (int i = 0; i < slice; ++i) PlainIteration(run, m);
        for (int c = 0; c < m.Components; ++c) {
            ASSERT_TRUE(SameBits(Interior(sim, c), run.Field[c]))
                << m.Name << " component " << c << " at " << sim.CurrentTime;
        }
    }
    EXPECT_EQ(sim.CurrentTime, iterations);
    EXPECT_EQ(sim.ErrorStatus, ReaDifSimulation::StatusUsable);
    for (int c = 0; c < m.Components; ++c) {
        EXPECT_EQ(sim.DiffusionCoeff[c], run.Diffusion[c]);
        for (float v : run.Field[c]) ASSERT_TRUE(std::isfinite(v)) << m.Name << " blew up";
    }
}

INSTANTIATE_TEST_SUITE_P(Models, ReaDifSimulationCrossCheck, testing::ValuesIn(BoundedModels()),
                         [](const testing::TestParamInfo<ModelCase> &row) {
                             return std::string(row.param.Name);
                         });
