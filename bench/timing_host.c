/* One timing program for every build of the library: the same source built for Linux
 * (libtessaryn.so) and for Windows (Tessaryn.dll and TessarynStream.dll, under Wine here),
 * so that their figures can be held against each other from one run. It prints one line per
 * figure, "<name> <value> <unit>": each routine at period 14 in M bars/s, and a stream's
 * Push in ns, each the best of `rounds` runs over `bars` bars of a seeded price walk.
 * Usage: timing_host [bars [rounds]]   (defaults 4000000 and 7) */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <tessaryn.h>
#include <tessaryn_stream.h>

#if defined(_WIN32)
#include <windows.h>
static double Seconds(void) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}
#else
#include <time.h>
static double Seconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}
#endif

typedef void(TESSARYN_CALL* Routine)(const float*, const float*, int32_t, float*);

static const struct {
  const char* name;
  Routine routine;
} kRoutines[] = {
    {"ITrend", ITrend}, {"CyclicalComponent", CyclicalComponent}, {"Tessaryn", Tessaryn}};

/* A walk around 1000 from a fixed seed (a 64-bit LCG: the same series on every build). */
static void Walk(float* prices, int32_t bars) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  double price = 1000.0;
  for (int32_t i = 0; i < bars; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    price += ((double)(state >> 11) / 9007199254740992.0 - 0.5) * 2.0;
    prices[i] = (float)price;
  }
}

int main(int argc, char** argv) {
  const int32_t bars = argc > 1 ? (int32_t)atol(argv[1]) : 4000000;
  const int rounds = argc > 2 ? atoi(argv[2]) : 7;
  if (bars < 16 || rounds < 1) {
    fprintf(stderr, "usage: %s [bars >= 16 [rounds >= 1]]\n", argv[0]);
    return 2;
  }
  float* prices = malloc(sizeof(float) * (size_t)bars);
  float* periods = malloc(sizeof(float) * (size_t)bars);
  float* out = malloc(sizeof(float) * (size_t)bars);
  if (prices == NULL || periods == NULL || out == NULL)
    return 1;
  Walk(prices, bars);
  for (int32_t i = 0; i < bars; ++i)
    periods[i] = 14.0f;

  double check = 0.0; /* the last bar of every run, printed so that no run is left out */
  for (size_t r = 0; r < sizeof kRoutines / sizeof kRoutines[0]; ++r) {
    double best = 1e30;
    for (int k = 0; k < rounds; ++k) {
      const double start = Seconds();
      kRoutines[r].routine(prices, periods, bars, out);
      const double elapsed = Seconds() - start;
      best = elapsed < best ? elapsed : best;
      check += out[bars - 1];
    }
    printf("%s %.1f Mbars/s\n", kRoutines[r].name, (double)bars / best * 1e-6);
  }

  /* A live series: every bar pushed on its own, into a stream bounded at the period. */
  TessarynStream* stream = TessarynStreamCreate(14);
  if (stream == NULL)
    return 1;
  double best = 1e30;
  for (int k = 0; k < rounds; ++k) {
    TessarynStreamReset(stream);
    float values[3];
    const double start = Seconds();
    for (int32_t i = 0; i < bars; ++i) {
      if (TessarynStreamPush(stream, prices[i], 14.0f, values) != TESSARYN_STREAM_OK)
        return 1;
    }
    const double elapsed = Seconds() - start;
    best = elapsed < best ? elapsed : best;
    check += values[2];
  }
  TessarynStreamDestroy(stream);
  printf("StreamPush %.2f ns\n", best / (double)bars * 1e9);
  fprintf(stderr, "check %.6g\n", check);
  free(prices);
  free(periods);
  free(out);
  return 0;
}
