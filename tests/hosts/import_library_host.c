/* A host that links Tessaryn.dll through its import library and the public header, as the
 * README tells C developers to: no LoadLibrary, the loader binds the three routines.
 * Usage: import_library_host <input.f32> <output.f32>   (series_files.h has the format) */
#include <tessaryn.h>

#include "series_files.h"

int main(int argc, char** argv) {
  HostSeries series;
  float* outputs[kHostRoutineCount];
  const int status = StartHostRun(argc, argv, &series, outputs);
  if (status != 0)
    return status;
  ITrend(series.prices, series.periods, series.count, outputs[0]);
  CyclicalComponent(series.prices, series.periods, series.count, outputs[1]);
  Tessaryn(series.prices, series.periods, series.count, outputs[2]);
  return WriteHostOutputs(argv[2], outputs, series.count) == 0 ? 0 : 1;
}
