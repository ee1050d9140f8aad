#include "case_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../exports/tessaryn.h"

const char* const kRoutineNames[kRoutineCount] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) #Routine,
#include "../../filters/indicators.inc"
#undef TESSARYN_INDICATOR
};
const int kRoutineOrdinals[kRoutineCount] = {
#define TESSARYN_INDICATOR(Routine, Ordinal, Step, output, function, Plain) Ordinal,
#include "../../filters/indicators.inc"
#undef TESSARYN_INDICATOR
};

static const float kEmptyValue = TESSARYN_EMPTY;

/* Parses the values of one row; returns how many, or -1 on a word that is not a value. */
static int32_t ParseRow(char* text, float** values) {
  int32_t count = 0;
  int32_t capacity = 16;
  float* row = malloc(sizeof(float) * (size_t)capacity);
  for (char* word = strtok(text, " \t\r\n"); word != NULL; word = strtok(NULL, " \t\r\n")) {
    if (count == capacity) {
      capacity *= 2;
      row = realloc(row, sizeof(float) * (size_t)capacity);
    }
    if (strcmp(word, "E") == 0) {
      row[count++] = kEmptyValue;
      continue;
    }
    char* end = NULL;
    row[count++] = strtof(word, &end); /* correctly rounded, also takes nan and inf */
    if (end == word || *end != '\0') {
      free(row);
      return -1;
    }
  }
  *values = row;
  return count;
}

static float** RowSlot(Case* c, const char* key) {
  if (strcmp(key, "prices") == 0)
    return &c->prices;
  if (strcmp(key, "periods") == 0)
    return &c->periods;
  for (int r = 0; r < kRoutineCount; ++r) {
    if (strcmp(key, kRoutineNames[r]) == 0)
      return &c->expected[r];
  }
  return NULL;
}

int ReadCases(const char* path, CaseList* list) {
  FILE* file = fopen(path, "r");
  if (file == NULL) {
    fprintf(stderr, "cannot open %s\n", path);
    return -1;
  }
  static char line[1 << 20];
  list->cases = NULL;
  list->count = 0;
  for (int number = 1; fgets(line, sizeof line, file) != NULL; ++number) {
    char* text = line + strspn(line, " \t");
    if (*text == '#' || *text == '\n' || *text == '\r' || *text == '\0')
      continue;
    size_t keyLength = strcspn(text, " \t\r\n");
    char key[32] = {0};
    if (keyLength >= sizeof key)
      keyLength = sizeof key - 1;
    memcpy(key, text, keyLength);
    char* rest = text + keyLength;
    if (strcmp(key, "case") == 0) {
      list->cases = realloc(list->cases, sizeof(Case) * (size_t)(list->count + 1));
      Case* c = &list->cases[list->count++];
      memset(c, 0, sizeof *c);
      rest += strspn(rest, " \t");
      rest[strcspn(rest, "\r\n")] = '\0';
      snprintf(c->name, sizeof c->name, "%s", rest);
      continue;
    }
    float** slot = list->count > 0 ? RowSlot(&list->cases[list->count - 1], key) : NULL;
    if (slot == NULL || *slot != NULL) {
      fprintf(stderr, "%s:%d: unexpected row '%s'\n", path, number, key);
      fclose(file);
      return -1;
    }
    Case* current = &list->cases[list->count - 1];
    const int32_t count = ParseRow(rest, slot);
    if (slot == &current->prices)
      current->count = count;
    if (count < 0 || count != current->count) {
      fprintf(stderr, "%s:%d: not a value, or not one per price\n", path, number);
      fclose(file);
      return -1;
    }
  }
  fclose(file);
  for (int i = 0; i < list->count; ++i) { /* every row present, all of one length */
    const Case* c = &list->cases[i];
    int complete = c->prices != NULL && c->periods != NULL;
    for (int r = 0; r < kRoutineCount; ++r)
      complete = complete && c->expected[r] != NULL;
    if (!complete) {
      fprintf(stderr, "%s: case '%s' lacks a row\n", path, c->name);
      return -1;
    }
  }
  return 0;
}

void FreeCases(CaseList* list) {
  for (int i = 0; i < list->count; ++i) {
    free(list->cases[i].prices);
    free(list->cases[i].periods);
    for (int r = 0; r < kRoutineCount; ++r)
      free(list->cases[i].expected[r]);
  }
  free(list->cases);
  list->cases = NULL;
  list->count = 0;
}
