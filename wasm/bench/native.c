/* The native library's speed on the series bench.mjs gives the package: the same seeded walk
 * (one linear congruential generator in both), the same period and bar count, best of the
 * same number of runs of `calls` calls each. Prints one JSON object of M bars/s per routine.
 * Usage: native <bars> <period> <runs> <calls> */
#define _POSIX_C_SOURCE 199309L

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <tessaryn.h>
#include <time.h>

typedef void (*Routine)(const float*, const float*, int32_t, float*);

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s <bars> <period> <runs> <calls>\n", argv[0]);
    return 2;
  }
  const int32_t bars = atoi(argv[1]);
  const float period = (float)atof(argv[2]);
  const int runs = atoi(argv[3]);
  const int calls = atoi(argv[4]);
  float* prices = malloc(sizeof(float) * (size_t)bars);
  float* periods = malloc(sizeof(float) * (size_t)bars);
  float* out = malloc(sizeof(float) * (size_t)bars);
  if (prices == NULL || periods == NULL || out == NULL) {
    return 1;
  }
  uint32_t state = 1;
  double price = 1000.0;
  for (int32_t i = 0; i < bars; ++i) {
    state = state * 1664525u + 1013904223u;
    price += ((double)state / 4294967296.0 - 0.5) * 20.0;
    prices[i] = (float)price;
    periods[i] = period;
  }
  const struct {
    const char* name;
    Routine run;
  } routines[] = {
      {"ITrend", ITrend}, {"CyclicalComponent", CyclicalComponent}, {"Tessaryn", Tessaryn}};
  printf("{");
  for (int r = 0; r < 3; ++r) {
    double best = 1e30;
    for (int k = 0; k < runs; ++k) {
      const double start = Now();
      for (int c = 0; c < calls; ++c) {
        routines[r].run(prices, periods, bars, out);
      }
      const double took = (Now() - start) / calls;
      best = took < best ? took : best;
    }
    printf("%s\"%s\": %.1f", r == 0 ? "" : ", ", routines[r].name, bars / best / 1e6);
  }
  printf("}\n");
  free(prices);
  free(periods);
  free(out);
  return 0;
}
