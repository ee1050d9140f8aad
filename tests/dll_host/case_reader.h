/* Reads a case file (the format of tests/cases/filters.cases) into memory, in C. */
#ifndef CASE_READER_H
#define CASE_READER_H

#include <stdint.h>

/* The routines of the indicator table (filters/indicators.inc), in its order. */
enum {
  kRoutineCount = 0
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) +1
#include "../../filters/indicators.inc"
#undef TESSARYN_INDICATOR
};
extern const char* const kRoutineNames[kRoutineCount];
extern const int kRoutineOrdinals[kRoutineCount];

typedef struct {
  char name[128];
  int32_t count;
  float* prices;
  float* periods;
  float* expected[kRoutineCount]; /* per routine, in kRoutineNames order */
} Case;

typedef struct {
  Case* cases;
  int count;
} CaseList;

/* Returns 0 and fills `list`, or prints what is wrong and returns -1. */
int ReadCases(const char* path, CaseList* list);
void FreeCases(CaseList* list);

#endif
