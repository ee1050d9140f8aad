/* Tessaryn: trend, cycle and trend-plus-cycle indicators over a price series.
 *
 * Every function takes the same four arguments and returns nothing:
 *   prices   count single-precision prices, index 0 the oldest bar;
 *   periods  count periods in bars, one per bar (fractions round to the nearest whole bar,
 *            halves to even: 2.5 acts as 2, 3.5 as 4);
 *   count    number of bars; 0 or less reads and writes nothing;
 *   out      count results, each written once in bar order.
 * Bar i is computed when its rounded period P satisfies 1 <= P <= i; every other bar,
 * including the first P bars of a constant period (the warm-up), holds the marker
 * TESSARYN_EMPTY (3.4E+38f, bits TESSARYN_EMPTY_BITS; not FLT_MAX, not infinity: compare
 * with ==).
 * A period that rounds to 0 or less, to 2^31 or more, or is NaN or infinite also leaves
 * its bar empty; nothing is ever read outside the three arrays.
 *
 * The functions keep no state, allocate nothing and take no locks: any number of threads
 * may call them at once as long as their output arrays are distinct. `out` may be the
 * `periods` array itself; it must not overlap `prices`.
 */
#ifndef TESSARYN_H
#define TESSARYN_H

#include <stdint.h>

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define TESSARYN_CALL __stdcall
#else
#define TESSARYN_CALL
#endif

#if defined(_WIN32)
#define TESSARYN_API
#else
#define TESSARYN_API __attribute__((visibility("default")))
#endif

/* The marker of bars that are not computed: 3.4E+38 rounded to single precision. */
#define TESSARYN_EMPTY 3.4E+38f
#define TESSARYN_EMPTY_BITS 0x7F7FC99Eu

#ifdef __cplusplus
extern "C" {
#endif

/* Lag-compensated trend line: the average of the last P prices plus half the change across
 * that window (newest minus oldest), smoothed over the last four computed bars with weights
 * 1, 2, 2, 1. Constant prices give that price back; prices on a straight line are tracked
 * exactly from the fourth computed bar on. */
TESSARYN_API void TESSARYN_CALL ITrend(const float* prices, const float* periods, int32_t count,
                                       float* out);

/* Cyclic component: a one-pole high-pass of the bar-to-bar price change whose coefficient
 * follows each bar's period, smoothed over four computed bars (bars 1 and 2, when computed,
 * give the plain price change). Constant prices give 0. */
TESSARYN_API void TESSARYN_CALL CyclicalComponent(const float* prices, const float* periods,
                                                  int32_t count, float* out);

/* Trend plus cycle in one pass: ITrend + CyclicalComponent, rounded once. */
TESSARYN_API void TESSARYN_CALL Tessaryn(const float* prices, const float* periods, int32_t count,
                                         float* out);

#if !defined(_WIN32)
/* All three in one pass, each value with the bits of its function: ITrend into trend,
 * CyclicalComponent into cycle, Tessaryn into model, count values each. Any of the three may
 * be NULL, and its values are not stored; with all three NULL nothing is read. The arrays
 * given must be distinct and must not overlap prices; any one may be periods itself. In
 * libtessaryn.so and libtessaryn.a; Tessaryn.dll keeps its three entry points. */
TESSARYN_API void TessarynIndicators(const float* prices, const float* periods, int32_t count,
                                     float* trend, float* cycle, float* model);
#endif

#ifdef __cplusplus
}
#endif

#endif /* TESSARYN_H */
