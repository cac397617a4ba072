#include "ComputeBound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "rdsimul/kernels/FastRowKernels.h"

namespace {

#if defined(__x86_64__) && defined(__GNUC__)

// One round: the operations of one vector of points, spread over registers so that only the
// execution units limit the pace (the kernels have independent points in flight in the same way).
// Every register starts at zero and the other operand, register 0, is zeroed again in each round:
// the first round's operands and all later ones are zeros, no slow special values.

#define VORNA_ADD(r) "vaddpd %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"
#define VORNA_MUL(r) "vmulpd %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"
#define VORNA_NARROW(r) "vcvtpd2ps %%zmm" #r ", %%ymm2" #r "\n\t"
#define VORNA_WIDEN(r) "vcvtps2pd %%ymm" #r ", %%zmm2" #r "\n\t"
#define VORNA_SHIFT(r) "valignq $1, %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"

// 8 points a round.
__attribute__((target("avx512f"))) void Rounds512(long count) {
    asm volatile(
        "vpxorq %%zmm1, %%zmm1, %%zmm1\n\t"
        "vmovapd %%zmm1, %%zmm2\n\tvmovapd %%zmm1, %%zmm3\n\t"
        "vmovapd %%zmm1, %%zmm4\n\tvmovapd %%zmm1, %%zmm5\n\t"
        "vmovapd %%zmm1, %%zmm6\n\tvmovapd %%zmm1, %%zmm7\n\t"
        "vmovapd %%zmm1, %%zmm8\n\tvmovapd %%zmm1, %%zmm9\n\t"
        "vmovapd %%zmm1, %%zmm10\n\tvmovapd %%zmm1, %%zmm11\n\t"
        "vmovapd %%zmm1, %%zmm12\n\tvmovapd %%zmm1, %%zmm13\n\t"
        "vmovapd %%zmm1, %%zmm14\n\tvmovapd %%zmm1, %%zmm15\n\t"
        "vmovapd %%zmm1, %%zmm16\n\tvmovapd %%zmm1, %%zmm17\n\t"
        "vmovapd %%zmm1, %%zmm18\n\tvmovapd %%zmm1, %%zmm19\n\t"
        :
        :
        : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18", "xmm19");
    for (long i = 0; i < count; ++i) {
        // clang-format off
        asm volatile("vxorpd %%zmm0, %%zmm0, %%zmm0\n\t"
                     VORNA_ADD(1) VORNA_ADD(2) VORNA_ADD(3) VORNA_ADD(4) VORNA_ADD(5)
                     VORNA_ADD(6) VORNA_ADD(7) VORNA_ADD(8) VORNA_ADD(9) VORNA_ADD(10)
                     VORNA_ADD(11) VORNA_ADD(12) VORNA_ADD(13) VORNA_ADD(14) VORNA_ADD(15)
                     VORNA_MUL(16) VORNA_MUL(17) VORNA_MUL(18) VORNA_MUL(19)
                     VORNA_MUL(16) VORNA_MUL(17) VORNA_MUL(18) VORNA_MUL(19)
                     VORNA_NARROW(1) VORNA_NARROW(2) VORNA_NARROW(3) VORNA_NARROW(4)
                     VORNA_WIDEN(5) VORNA_WIDEN(6) VORNA_WIDEN(7) VORNA_WIDEN(8)
                     VORNA_SHIFT(11) VORNA_SHIFT(12) VORNA_SHIFT(13) VORNA_SHIFT(14)
                     :
                     :
                     : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                       "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "xmm16",
                       "xmm17", "xmm18", "xmm19", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25",
                       "xmm26", "xmm27", "xmm28");
        // clang-format on
    }
}

#undef VORNA_ADD
#undef VORNA_MUL
#undef VORNA_NARROW
#undef VORNA_WIDEN
#undef VORNA_SHIFT

// The 16 registers of AVX2: additions on 1 .. 8 (1 .. 7 twice), multiplications on 9 .. 12
// (twice each), conversions into 13 and 14, shifts through 15.
#define VORNA_ADD(r) "vaddpd %%ymm0, %%ymm" #r ", %%ymm" #r "\n\t"
#define VORNA_MUL(r) "vmulpd %%ymm0, %%ymm" #r ", %%ymm" #r "\n\t"
#define VORNA_NARROW(r) "vcvtpd2ps %%ymm" #r ", %%xmm13\n\t"
#define VORNA_WIDEN(r) "vcvtps2pd %%xmm" #r ", %%ymm14\n\t"
// The left and right neighbours' sums of one vector: the lane-crossing half is shared.
#define VORNA_SHIFT_PAIR(r, s)                   \
    "vperm2f128 $0x21, %%ymm" #s ", %%ymm" #r    \
    ", %%ymm15\n\t"                              \
    "vshufpd $5, %%ymm15, %%ymm" #r ", %%ymm" #r \
    "\n\t"                                       \
    "vshufpd $5, %%ymm" #s ", %%ymm15, %%ymm" #s "\n\t"

// 4 points a round.
__attribute__((target("avx2"))) void Rounds256(long count) {
    asm volatile(
        "vpxor %%xmm1, %%xmm1, %%xmm1\n\t"
        "vmovapd %%ymm1, %%ymm2\n\tvmovapd %%ymm1, %%ymm3\n\t"
        "vmovapd %%ymm1, %%ymm4\n\tvmovapd %%ymm1, %%ymm5\n\t"
        "vmovapd %%ymm1, %%ymm6\n\tvmovapd %%ymm1, %%ymm7\n\t"
        "vmovapd %%ymm1, %%ymm8\n\tvmovapd %%ymm1, %%ymm9\n\t"
        "vmovapd %%ymm1, %%ymm10\n\tvmovapd %%ymm1, %%ymm11\n\t"
        "vmovapd %%ymm1, %%ymm12\n\tvmovapd %%ymm1, %%ymm13\n\t"
        "vmovapd %%ymm1, %%ymm14\n\tvmovapd %%ymm1, %%ymm15\n\t"
        :
        :
        : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15");
    for (long i = 0; i < count; ++i) {
        // clang-format off
        asm volatile("vxorpd %%xmm0, %%xmm0, %%xmm0\n\t"
                     VORNA_ADD(1) VORNA_ADD(2) VORNA_ADD(3) VORNA_ADD(4) VORNA_ADD(5)
                     VORNA_ADD(6) VORNA_ADD(7) VORNA_ADD(8) VORNA_ADD(1) VORNA_ADD(2)
                     VORNA_ADD(3) VORNA_ADD(4) VORNA_ADD(5) VORNA_ADD(6) VORNA_ADD(7)
                     VORNA_MUL(9) VORNA_MUL(10) VORNA_MUL(11) VORNA_MUL(12)
                     VORNA_MUL(9) VORNA_MUL(10) VORNA_MUL(11) VORNA_MUL(12)
                     VORNA_NARROW(1) VORNA_NARROW(2) VORNA_NARROW(3) VORNA_NARROW(4)
                     VORNA_WIDEN(5) VORNA_WIDEN(6) VORNA_WIDEN(7) VORNA_WIDEN(8)
                     VORNA_SHIFT_PAIR(5, 6) VORNA_SHIFT_PAIR(7, 8)
                     :
                     :
                     : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                       "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
        // clang-format on
    }
}

#undef VORNA_ADD
#undef VORNA_MUL
#undef VORNA_NARROW
#undef VORNA_WIDEN

// The plain kernels are built for the base instruction set, whose loops the compiler turns into
// SSE2 vectors of 2 doubles where it can: the same arithmetic in those, without shifts.
#define VORNA_ADD(r) "addpd %%xmm0, %%xmm" #r "\n\t"
#define VORNA_MUL(r) "mulpd %%xmm0, %%xmm" #r "\n\t"
#define VORNA_NARROW(r) "cvtpd2ps %%xmm" #r ", %%xmm13\n\t"
#define VORNA_WIDEN(r) "cvtps2pd %%xmm" #r ", %%xmm14\n\t"

// 2 points a round.
void Rounds128(long count) {
    asm volatile(
        "xorpd %%xmm1, %%xmm1\n\t"
        "movapd %%xmm1, %%xmm2\n\tmovapd %%xmm1, %%xmm3\n\t"
        "movapd %%xmm1, %%xmm4\n\tmovapd %%xmm1, %%xmm5\n\t"
        "movapd %%xmm1, %%xmm6\n\tmovapd %%xmm1, %%xmm7\n\t"
        "movapd %%xmm1, %%xmm8\n\tmovapd %%xmm1, %%xmm9\n\t"
        "movapd %%xmm1, %%xmm10\n\tmovapd %%xmm1, %%xmm11\n\t"
        "movapd %%xmm1, %%xmm12\n\tmovapd %%xmm1, %%xmm13\n\t"
        "movapd %%xmm1, %%xmm14\n\t"
        :
        :
        : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14");
    for (long i = 0; i < count; ++i) {
        // clang-format off
        asm volatile("xorpd %%xmm0, %%xmm0\n\t"
                     VORNA_ADD(1) VORNA_ADD(2) VORNA_ADD(3) VORNA_ADD(4) VORNA_ADD(5)
                     VORNA_ADD(6) VORNA_ADD(7) VORNA_ADD(8) VORNA_ADD(1) VORNA_ADD(2)
                     VORNA_ADD(3) VORNA_ADD(4) VORNA_ADD(5) VORNA_ADD(6) VORNA_ADD(7)
                     VORNA_MUL(9) VORNA_MUL(10) VORNA_MUL(11) VORNA_MUL(12)
                     VORNA_MUL(9) VORNA_MUL(10) VORNA_MUL(11) VORNA_MUL(12)
                     VORNA_NARROW(1) VORNA_NARROW(2) VORNA_NARROW(3) VORNA_NARROW(4)
                     VORNA_WIDEN(5) VORNA_WIDEN(6) VORNA_WIDEN(7) VORNA_WIDEN(8)
                     :
                     :
                     : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                       "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14");
        // clang-format on
    }
}

#undef VORNA_ADD
#undef VORNA_MUL
#undef VORNA_NARROW
#undef VORNA_WIDEN
#undef VORNA_SHIFT_PAIR

// The rounds of a vector level and the points each round computes.
struct LevelRounds {
    void (*Run)(long);
    double Points;
};
LevelRounds RoundsOf(int level) {
    if (level == SimdAvx512) return {Rounds512, 8.0};
    if (level == SimdAvx2) return {Rounds256, 4.0};
    return {Rounds128, 2.0};
}

#endif

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

double BrusselatorCoreBound(int level, double seconds) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (level < SimdPlain || level > SupportedSimdLevel()) return 0.0;
    const auto [rounds, points] = RoundsOf(level);
    constexpr long Chunk = 50000;  // about a quarter of a millisecond
    double fastest = 1e30;
    const double start = Now();
    for (int chunks = 0; chunks < 10 || Now() - start < seconds; ++chunks) {
        const double t0 = Now();
        rounds(Chunk);
        fastest = std::min(fastest, Now() - t0);
    }
    return double(Chunk) * points / fastest / 1048576.0;
#else
    (void)level;
    (void)seconds;
    return 0.0;
#endif
}

double BrusselatorComputeBound(int level, int threads, double seconds) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (level < SimdPlain || level > SupportedSimdLevel()) return 0.0;
    const auto [rounds, points] = RoundsOf(level);
    constexpr long Chunk = 1000000;  // rounds between looks at the clock
    threads = std::max(threads, 1);
    double best = 0.0;
    // The best of five stretches, as for the kernels.
    for (int stretch = 0; stretch < 5; ++stretch) {
        std::atomic<long> done{0};
        const double t0 = Now();
        auto work = [&] {
            while (Now() - t0 < seconds / 5) {
                rounds(Chunk);
                done.fetch_add(Chunk, std::memory_order_relaxed);
            }
        };
        std::vector<std::thread> helpers;
        for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
        work();
        for (std::thread &helper : helpers) helper.join();
        const double elapsed = Now() - t0;
        best = std::max(best, double(done.load()) * points / elapsed / 1048576.0);
    }
    return best;
#else
    (void)level;
    (void)threads;
    (void)seconds;
    return 0.0;
#endif
}
