#include "ComputeBound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

#if defined(__x86_64__) && defined(__GNUC__)

// One round: the operations of 8 points, each on its own register, so that only the execution
// units limit the pace (the kernels have independent points in flight in the same way).
#define VORNA_ADD(r) "vaddpd %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"
#define VORNA_MUL(r) "vmulpd %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"
#define VORNA_NARROW(r) "vcvtpd2ps %%zmm" #r ", %%ymm2" #r "\n\t"
#define VORNA_WIDEN(r) "vcvtps2pd %%ymm" #r ", %%zmm2" #r "\n\t"
#define VORNA_SHIFT(r) "valignq $1, %%zmm0, %%zmm" #r ", %%zmm" #r "\n\t"

__attribute__((target("avx512f"))) void Rounds(long count) {
    // Every register starts at zero (the first round's operands; no slow special values),
    // and zmm0, the other operand, is zeroed again in each round.
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

#endif

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

double BrusselatorComputeBound(int threads, double seconds) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (!__builtin_cpu_supports("avx512f")) return 0.0;
    constexpr long Chunk = 1000000;  // rounds between looks at the clock
    threads = std::max(threads, 1);
    double best = 0.0;
    // The best of five stretches, as for the kernels.
    for (int stretch = 0; stretch < 5; ++stretch) {
        std::atomic<long> rounds{0};
        const double t0 = Now();
        auto work = [&] {
            while (Now() - t0 < seconds / 5) {
                Rounds(Chunk);
                rounds.fetch_add(Chunk, std::memory_order_relaxed);
            }
        };
        std::vector<std::thread> helpers;
        for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
        work();
        for (std::thread &helper : helpers) helper.join();
        const double elapsed = Now() - t0;
        best = std::max(best, double(rounds.load()) * 8.0 / elapsed / 1048576.0);
    }
    return best;
#else
    (void)threads;
    (void)seconds;
    return 0.0;
#endif
}
