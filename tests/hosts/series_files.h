/* The files a host test passes between the native library and a host program: the input
 * holds `count` prices then `count` periods; the outputs hold the `count` results of ITrend,
 * then of CyclicalComponent, then of Tessaryn. All little-endian IEEE single precision
 * (every host here runs on x86). */
#ifndef SERIES_FILES_H
#define SERIES_FILES_H

#include <stdint.h>

enum { kHostRoutineCount = 3 }; /* ITrend, CyclicalComponent, Tessaryn: the files' order */

typedef struct {
  int32_t count;
  float* prices;
  float* periods;
} HostSeries;

/* Returns 0 and fills `series`, or prints what is wrong and returns -1. */
int ReadHostSeries(const char* path, HostSeries* series);

/* The start of a host run as "<host> <input.f32> <output.f32>": reads the series and
 * allocates the outputs, each of its count values. Returns 0, or the exit status to end with
 * (2 for a wrong command line, 1 for a failure), having said why. */
int StartHostRun(int argc, char** argv, HostSeries* series, float* outputs[kHostRoutineCount]);

/* Writes the outputs, each of `count` values, in the files' order; returns 0, or prints what
 * is wrong, removes the partial file and returns -1. */
int WriteHostOutputs(const char* path, float* const outputs[kHostRoutineCount], int32_t count);

#endif
