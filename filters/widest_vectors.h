// Where the build allows it (64-bit x86 with glibc's ifunc), a routine is compiled twice,
// for the baseline and for AVX2, and the processor picks at load time. Only the vector
// width differs: every operation rounds as before, so the results are the same bits.
#pragma once

#if defined(TESSARYN_FOUR_BARS) && defined(__clang__)
// Clang takes no flatten beside target_clones; it inlines the bar loop's single use anyway.
#define TESSARYN_WIDEST_VECTORS __attribute__((target_clones("avx2", "default")))
#elif defined(TESSARYN_FOUR_BARS)
// flatten: the bar loop and the steps are compiled into each version, not shared by both.
#define TESSARYN_WIDEST_VECTORS __attribute__((target_clones("avx2", "default"), flatten))
#else
#define TESSARYN_WIDEST_VECTORS __attribute__((flatten))
#endif
