#include "series_files.h"

#include <stdio.h>
#include <stdlib.h>

int ReadHostSeries(const char* path, HostSeries* series) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) {
    fprintf(stderr, "cannot open %s\n", path);
    return -1;
  }
  long bytes = -1;
  if (fseek(file, 0, SEEK_END) == 0)
    bytes = ftell(file);
  rewind(file);
  const long pairBytes = 2 * (long)sizeof(float);
  if (bytes <= 0 || bytes % pairBytes != 0 || bytes / pairBytes > INT32_MAX) {
    fprintf(stderr, "%s: %ld bytes is not a whole number of price-period pairs\n", path, bytes);
    fclose(file);
    return -1;
  }
  series->count = (int32_t)(bytes / pairBytes);
  series->prices = malloc((size_t)bytes);
  series->periods = series->prices == NULL ? NULL : series->prices + series->count;
  const size_t values = 2 * (size_t)series->count;
  const int ok =
      series->prices != NULL && fread(series->prices, sizeof(float), values, file) == values;
  fclose(file);
  if (!ok) {
    fprintf(stderr, "%s: cannot read %ld bytes\n", path, bytes);
    free(series->prices);
    return -1;
  }
  return 0;
}

int WriteHostOutputs(const char* path, float* const outputs[kHostRoutineCount], int32_t count) {
  FILE* file = fopen(path, "wb");
  int ok = file != NULL;
  for (int r = 0; ok && r < kHostRoutineCount; ++r)
    ok = fwrite(outputs[r], sizeof(float), (size_t)count, file) == (size_t)count;
  if (file != NULL && fclose(file) != 0)
    ok = 0;
  if (!ok) {
    fprintf(stderr, "cannot write %s\n", path);
    remove(path);
    return -1;
  }
  return 0;
}

int StartHostRun(int argc, char** argv, HostSeries* series, float* outputs[kHostRoutineCount]) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <input.f32> <output.f32>\n", argv[0]);
    return 2;
  }
  if (ReadHostSeries(argv[1], series) != 0)
    return 1;
  for (int r = 0; r < kHostRoutineCount; ++r) {
    outputs[r] = malloc(sizeof(float) * (size_t)series->count);
    if (outputs[r] == NULL) {
      fprintf(stderr, "out of memory\n");
      return 1;
    }
  }
  return 0;
}
