#include "rdsimul/kernels/FastRowKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

// Each version is compiled for its own instruction set, in its own namespace, after every
// include: nothing shared with other files is compiled with wider instructions than the
// processor may have.

namespace rowkernels_plain {
#define VORNA_LANES 1
#include "rdsimul/kernels/FastRowKernels.inc"
#undef VORNA_LANES
const RowKernels Table = {"plain", 1, ReactInPlace, ReactToDouble, DiffuseRow, DiffuseBand};
}  // namespace rowkernels_plain

#if defined(__x86_64__) && defined(__GNUC__)
// clang ignores GCC's target pragmas; it gives every function of the block the attribute instead.
#ifdef __clang__
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
namespace rowkernels_avx2 {
#define VORNA_LANES 4
#include "rdsimul/kernels/FastRowKernels.inc"
#undef VORNA_LANES
const RowKernels Table = {"avx2", 4, ReactInPlace, ReactToDouble, DiffuseRow, DiffuseBand};
}  // namespace rowkernels_avx2
#ifdef __clang__
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#ifdef __clang__
#pragma clang attribute push(__attribute__((target("avx512f,avx512vl,avx512dq"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl,avx512dq")
#endif
namespace rowkernels_avx512 {
#define VORNA_LANES 8
#include "rdsimul/kernels/FastRowKernels.inc"
#undef VORNA_LANES
const RowKernels Table = {"avx512", 8, ReactInPlace, ReactToDouble, DiffuseRow, DiffuseBand};
}  // namespace rowkernels_avx512
#ifdef __clang__
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#define VORNA_HAVE_X86_VERSIONS 1
#endif

int SupportedSimdLevel() {
#ifdef VORNA_HAVE_X86_VERSIONS
    // Checked once: the answers include the system's support for the wider registers.
    static const int level = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("avx512dq")) {
            return SimdAvx512;
        }
        // The AVX2 rows' vector sine fuses multiplications and additions.
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SimdAvx2;
        return SimdPlain;
    }();
    return level;
#else
    return SimdPlain;
#endif
}

const RowKernels &RowKernelsOfLevel(int level) {
    if (level > SupportedSimdLevel()) level = SupportedSimdLevel();
#ifdef VORNA_HAVE_X86_VERSIONS
    if (level >= SimdAvx512) return rowkernels_avx512::Table;
    if (level == SimdAvx2) return rowkernels_avx2::Table;
#endif
    return rowkernels_plain::Table;
}
