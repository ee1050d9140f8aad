/* A host that loads Tessaryn.dll at run time with the README's own C code (extracted from
 * README.md into readme_loader.h by the build), then runs the three routines.
 * Usage: loadlibrary_host <input.f32> <output.f32>   (series_files.h has the format) */
#include <stdio.h>
#include <stdlib.h>

#include "readme_loader.h"
#include "series_files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <input.f32> <output.f32>\n", argv[0]);
    return 2;
  }
  static const char* const kNames[kHostRoutineCount] = {"ITrend", "CyclicalComponent", "Tessaryn"};
  HostSeries series;
  if (ReadHostSeries(argv[1], &series) != 0)
    return 1;
  float* outputs[kHostRoutineCount];
  for (int r = 0; r < kHostRoutineCount; ++r) {
    TessarynRoutine routine = LoadTessarynRoutine(kNames[r]);
    if (routine == NULL) {
      fprintf(stderr, "LoadTessarynRoutine(\"%s\") found nothing\n", kNames[r]);
      return 1;
    }
    outputs[r] = malloc(sizeof(float) * (size_t)series.count);
    routine(series.prices, series.periods, series.count, outputs[r]);
  }
  return WriteHostOutputs(argv[2], outputs, series.count) == 0 ? 0 : 1;
}
