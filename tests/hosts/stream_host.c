/* A live chart's use of the stream, through tessaryn_stream.h and the import library of
 * TessarynStream.dll (or libtessaryn.so): the history in one PushMany, then every later bar
 * opened with a guessed price, revised as it forms and revised to its close, the period
 * changing with it. The values each bar ends with must be the routines' bits over the whole
 * series. Usage: stream_host <input.f32> <output.f32>   (series_files.h has the format) */
#include <stdio.h>
#include <tessaryn_stream.h>

#include "series_files.h"

static int Check(int32_t code, const char* what, int32_t bar) {
  if (code != TESSARYN_STREAM_OK)
    fprintf(stderr, "%s at bar %d: %s\n", what, (int)bar, TessarynStreamMessage(code));
  return code == TESSARYN_STREAM_OK;
}

int main(int argc, char** argv) {
  HostSeries series;
  float* outputs[kHostRoutineCount];
  const int status = StartHostRun(argc, argv, &series, outputs);
  if (status != 0)
    return status;
  TessarynStream* stream = TessarynStreamCreate(0);
  if (stream == NULL) {
    fprintf(stderr, "TessarynStreamCreate failed\n");
    return 1;
  }
  /* More bars than a 16-bit count holds, as the routines' hosts take. */
  const int32_t history = series.count - series.count / 10;
  int ok = Check(TessarynStreamPushMany(stream, series.prices, series.periods, history, outputs[0],
                                        outputs[1], outputs[2]),
                 "PushMany", 0);
  for (int32_t bar = history; ok && bar < series.count; ++bar) {
    const float close = series.prices[bar];
    const float opened = series.prices[bar - 1];
    float values[3];
    ok = Check(TessarynStreamPush(stream, opened, series.periods[bar] + 1.0f, values), "Push",
               bar) &&
         Check(TessarynStreamRevise(stream, (opened + close) / 2.0f, series.periods[bar], values),
               "Revise", bar) &&
         Check(TessarynStreamRevise(stream, close, series.periods[bar], values), "Revise", bar);
    for (int r = 0; r < kHostRoutineCount; ++r)
      outputs[r][bar] = values[r];
  }
  if (ok && TessarynStreamSize(stream) != series.count) {
    fprintf(stderr, "TessarynStreamSize: %lld, expected %d\n",
            (long long)TessarynStreamSize(stream), (int)series.count);
    ok = 0;
  }
  TessarynStreamDestroy(stream);
  return ok && WriteHostOutputs(argv[2], outputs, series.count) == 0 ? 0 : 1;
}
