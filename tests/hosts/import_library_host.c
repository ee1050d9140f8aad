/* A host that links Tessaryn.dll through its import library and the public header, as the
 * README tells C developers to: no LoadLibrary, the loader binds the three routines.
 * Usage: import_library_host <input.f32> <output.f32>   (series_files.h has the format) */
#include <stdio.h>
#include <stdlib.h>
#include <tessaryn.h>

#include "series_files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <input.f32> <output.f32>\n", argv[0]);
    return 2;
  }
  HostSeries series;
  if (ReadHostSeries(argv[1], &series) != 0)
    return 1;
  float* outputs[kHostRoutineCount];
  for (int r = 0; r < kHostRoutineCount; ++r)
    outputs[r] = malloc(sizeof(float) * (size_t)series.count);
  ITrend(series.prices, series.periods, series.count, outputs[0]);
  CyclicalComponent(series.prices, series.periods, series.count, outputs[1]);
  Tessaryn(series.prices, series.periods, series.count, outputs[2]);
  return WriteHostOutputs(argv[2], outputs, series.count) == 0 ? 0 : 1;
}
