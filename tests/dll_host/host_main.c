/* A Windows host for Tessaryn.dll: loads it by name, finds the entry points by name and by
 * ordinal, and checks every bar of every case file given against the DLL's output, bit for
 * bit, under the conditions foreign hosts create: a stack aligned to only 4 bytes, unusual
 * floating-point control settings, several threads, arrays that end at an unreadable page.
 * On 32-bit it also checks the calling convention itself (abi_call_x86.S).
 * Usage: dll_host <Tessaryn.dll> <case file>...   Exit status 0 when every check passed. */
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "case_reader.h"
#if defined(__i386__)
#include "abi_call_x86.h"
#endif

typedef void(__stdcall* Routine)(const float*, const float*, int32_t, float*);

static Routine routines[kRoutineCount]; /* in the order of kRoutineNames */
static volatile LONG failures;

static void Fail(const char* format, ...) {
  if (InterlockedIncrement(&failures) > 50)
    return; /* enough to diagnose */
  va_list args;
  va_start(args, format);
  fputs("FAIL: ", stdout);
  vprintf(format, args);
  fputs("\n", stdout);
  va_end(args);
}

static uint32_t Bits(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

/* Exact bits, except that any NaN matches any NaN (a written "nan" keeps no payload). */
static int SameValue(float got, float want) {
  return (isnan(got) && isnan(want)) || Bits(got) == Bits(want);
}

static void Compare(const Case* c, int r, const float* out, const char* how) {
  for (int32_t i = 0; i < c->count; ++i) {
    if (!SameValue(out[i], c->expected[r][i])) {
      Fail("%s, case '%s', bar %d: %.9g (0x%08X), expected %.9g (0x%08X) [%s]", kRoutineNames[r],
           c->name, (int)i, out[i], (unsigned)Bits(out[i]), c->expected[r][i],
           (unsigned)Bits(c->expected[r][i]), how);
      return;
    }
  }
}

static void LookUpEntryPoints(HMODULE library) {
  for (int r = 0; r < kRoutineCount; ++r) {
    FARPROC byName = GetProcAddress(library, kRoutineNames[r]);
    FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(kRoutineOrdinals[r]));
    if (byName == NULL || byName != byOrdinal) {
      Fail("%s: by name %s, by ordinal %d %s", kRoutineNames[r], byName ? "found" : "missing",
           kRoutineOrdinals[r],
           byOrdinal == NULL     ? "missing"
           : byOrdinal == byName ? "same"
                                 : "another");
    }
    routines[r] = (Routine)(void (*)(void))byName;
    char decorated[64];
    snprintf(decorated, sizeof decorated, "_%s@16", kRoutineNames[r]);
    if (GetProcAddress(library, decorated) != NULL || GetProcAddress(library, decorated + 1)) {
      Fail("a decorated name %s is exported", decorated);
    }
  }
  if (GetProcAddress(library, MAKEINTRESOURCEA(kRoutineCount + 1)) != NULL) {
    Fail("an ordinal beyond %d is exported", kRoutineCount);
  }
}

#if defined(__i386__)
/* Calls from a stack misaligned by 0, 4, 8 and 12 bytes, with canaries in the registers the
 * callee must preserve. Runs before any plain call: a plain call to a callee that breaks the
 * convention would corrupt this program's own stack. */
static void CheckCallingConvention(const CaseList* list) {
  for (int k = 0; k < list->count; ++k) {
    const Case* c = &list->cases[k];
    float* out = malloc(sizeof(float) * (size_t)c->count + 1);
    for (int r = 0; r < kRoutineCount; ++r) {
      for (uint32_t misalignment = 0; misalignment < 16; misalignment += 4) {
        memset(out, 0, sizeof(float) * (size_t)c->count);
        AbiCall call = {(void (*)(void))routines[r],
                        c->prices,
                        c->periods,
                        c->count,
                        out,
                        misalignment,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0};
        CallWithCanaries(&call);
        Compare(c, r, out, misalignment == 0 ? "aligned stack" : "misaligned stack");
        if (call.stackDrift != 0) {
          Fail("%s: ESP off by %d after the call (stdcall removes 16 bytes)", kRoutineNames[r],
               (int)call.stackDrift);
        }
        if (call.ebx != kCanaryEbx || call.esi != kCanaryEsi || call.edi != kCanaryEdi ||
            call.ebp != kCanaryEbp) {
          Fail("%s: callee-saved register changed (EBX %08X ESI %08X EDI %08X EBP %08X)",
               kRoutineNames[r], (unsigned)call.ebx, (unsigned)call.esi, (unsigned)call.edi,
               (unsigned)call.ebp);
        }
      }
    }
    free(out);
  }
}
#endif

static void CheckCases(const CaseList* list) {
  for (int k = 0; k < list->count; ++k) {
    const Case* c = &list->cases[k];
    float* out = malloc(sizeof(float) * (size_t)c->count + 1);
    for (int r = 0; r < kRoutineCount; ++r) {
      routines[r](c->prices, c->periods, c->count, out);
      Compare(c, r, out, "plain call");
    }
    free(out);
  }
}

static uint16_t GetX87Control(void) {
  uint16_t control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  return control;
}
static void SetX87Control(uint16_t control) {
  __asm__ volatile("fldcw %0" : : "m"(control));
}
static uint32_t GetMxcsr(void) {
  uint32_t csr;
  __asm__ volatile("stmxcsr %0" : "=m"(csr));
  return csr;
}
static void SetMxcsr(uint32_t csr) {
  __asm__ volatile("ldmxcsr %0" : : "m"(csr));
}

/* The control settings a host chose come back unchanged. With x87 single precision and
 * truncation the results stay exact too, since the DLL does its arithmetic in SSE2. */
static void CheckFloatingPointControls(const CaseList* list) {
  const uint16_t x87Before = GetX87Control();
  const uint32_t mxcsrBefore = GetMxcsr();
  const uint16_t x87Unusual = (uint16_t)((x87Before & ~0x0F00u) | 0x0C00u); /* 24-bit, chop */
  const uint32_t mxcsrUnusual = mxcsrBefore | 0x8040u;                      /* FTZ and DAZ */
  for (int k = 0; k < list->count; ++k) {
    const Case* c = &list->cases[k];
    float* out = malloc(sizeof(float) * (size_t)c->count + 1);
    for (int r = 0; r < kRoutineCount; ++r) {
      SetX87Control(x87Unusual);
      routines[r](c->prices, c->periods, c->count, out);
      const uint16_t x87After = GetX87Control();
      SetX87Control(x87Before);
      Compare(c, r, out, "x87 set to single precision and truncation");
      SetMxcsr(mxcsrUnusual);
      routines[r](c->prices, c->periods, c->count, out);
      const uint32_t mxcsrAfter = GetMxcsr();
      SetMxcsr(mxcsrBefore);
      if (x87After != x87Unusual || mxcsrAfter != mxcsrUnusual) {
        Fail("%s: control settings changed (x87 %04X -> %04X, MXCSR %08X -> %08X)",
             kRoutineNames[r], x87Unusual, x87After, (unsigned)mxcsrUnusual, (unsigned)mxcsrAfter);
      }
    }
    free(out);
  }
}

/* Arrays of exactly count elements placed against a no-access page, after their end or
 * before their start: a read outside them stops the program. */
static float* GuardedCopy(const float* values, int32_t count, int guardAfter) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const SIZE_T page = system.dwPageSize;
  const SIZE_T bytes = sizeof(float) * (SIZE_T)count;
  const SIZE_T span = (bytes + page - 1) / page * page;
  char* base = VirtualAlloc(NULL, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  DWORD old;
  char* start;
  if (guardAfter) {
    VirtualProtect(base + span, page, PAGE_NOACCESS, &old);
    start = base + span - bytes;
  } else {
    VirtualProtect(base, page, PAGE_NOACCESS, &old);
    start = base + page;
  }
  if (values != NULL)
    memcpy(start, values, bytes);
  return (float*)start;
}

static void FreeGuarded(float* array) {
  MEMORY_BASIC_INFORMATION info;
  VirtualQuery(array, &info, sizeof info);
  VirtualFree(info.AllocationBase, 0, MEM_RELEASE);
}

static void CheckGuardedArrays(const CaseList* list) {
  for (int k = 0; k < list->count; ++k) {
    const Case* c = &list->cases[k];
    if (c->count == 0)
      continue;
    for (int guardAfter = 0; guardAfter < 2; ++guardAfter) {
      float* prices = GuardedCopy(c->prices, c->count, guardAfter);
      float* periods = GuardedCopy(c->periods, c->count, guardAfter);
      float* out = GuardedCopy(NULL, c->count, guardAfter);
      for (int r = 0; r < kRoutineCount; ++r) {
        routines[r](prices, periods, c->count, out);
        Compare(c, r, out, guardAfter ? "arrays end at a guard page" : "arrays after a guard page");
      }
      FreeGuarded(prices);
      FreeGuarded(periods);
      FreeGuarded(out);
    }
  }
}

static void CheckNothingCountsAsNothing(void) {
  const float sentinel = -12345.0f;
  float out[4] = {sentinel, sentinel, sentinel, sentinel};
  const int32_t counts[] = {0, -1, INT32_MIN};
  for (int r = 0; r < kRoutineCount; ++r) {
    for (size_t n = 0; n < sizeof counts / sizeof counts[0]; ++n) {
      routines[r](NULL, NULL, counts[n], out);
      for (int i = 0; i < 4; ++i) {
        if (Bits(out[i]) != Bits(sentinel)) {
          Fail("%s with count %d wrote to the output", kRoutineNames[r], (int)counts[n]);
        }
      }
    }
  }
}

typedef struct {
  const CaseList* list;
  int repeats;
} ThreadWork;

static DWORD WINAPI RunCasesOnThread(LPVOID argument) {
  const ThreadWork* work = argument;
  for (int repeat = 0; repeat < work->repeats; ++repeat) {
    for (int k = 0; k < work->list->count; ++k) {
      const Case* c = &work->list->cases[k];
      float* out = malloc(sizeof(float) * (size_t)c->count + 1);
      for (int r = 0; r < kRoutineCount; ++r) {
        routines[r](c->prices, c->periods, c->count, out);
        Compare(c, r, out, "one of several threads");
      }
      free(out);
    }
  }
  return 0;
}

static void CheckThreads(const CaseList* list) {
  enum { kThreads = 4 };
  ThreadWork work = {list, 3};
  HANDLE threads[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    threads[t] = CreateThread(NULL, 0, RunCasesOnThread, &work, 0, NULL);
  }
  WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
  for (int t = 0; t < kThreads; ++t)
    CloseHandle(threads[t]);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s <Tessaryn.dll> <case file>...\n", argv[0]);
    return 2;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  if (library == NULL) {
    printf("FAIL: LoadLibrary(%s): error %lu\n", argv[1], GetLastError());
    return 1;
  }
  LookUpEntryPoints(library);
  if (failures != 0)
    return 1;
  int cases = 0;
  for (int f = 2; f < argc; ++f) {
    CaseList list;
    if (ReadCases(argv[f], &list) != 0)
      return 1;
    cases += list.count;
#if defined(__i386__)
    CheckCallingConvention(&list);
    if (failures != 0)
      break;
#endif
    CheckCases(&list);
    CheckFloatingPointControls(&list);
    CheckGuardedArrays(&list);
    CheckThreads(&list);
    FreeCases(&list);
  }
  if (failures == 0)
    CheckNothingCountsAsNothing();
  if (!FreeLibrary(library))
    Fail("FreeLibrary failed");
  printf("%s: %d cases from %d files, %ld failures\n", argv[1], cases, argc - 2, (long)failures);
  return failures == 0 ? 0 : 1;
}
