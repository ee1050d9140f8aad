/* A Windows host for Tessaryn.dll: loads it by name, finds the entry points by name and by
 * ordinal, and checks every bar of every case file given against the DLL's output, bit for
 * bit, under the conditions foreign hosts create: a stack aligned to only 4 bytes (16 on
 * x64, but not 32), unusual floating-point control settings, several threads, arrays that
 * end at an unreadable page. It checks the calling convention itself (abi_call_x86.S,
 * abi_call_x64.S): the stack, the callee-saved registers, and the upper halves of the YMM
 * registers cleared on return where the processor has them.
 * With --lanes N it runs every check at N lanes (1, 2 or 4 bars at a time), set through the
 * test build TessarynLanes.dll, which exports the dispatch's limit beside the routines; the
 * shipped DLL runs the widest the processor allows.
 * Usage: dll_host [--lanes N] <Tessaryn.dll> <case file>...
 * Exit status 0 when every check passed; "SKIPPED:" and 0 when the processor lacks the
 * lanes asked for. */
#include <cpuid.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "abi_call.h"
#include "case_reader.h"

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
  /* The test build exports its lanes' limit after the routines. */
  if (GetProcAddress(library, "TessarynLimitLanes") == NULL &&
      GetProcAddress(library, MAKEINTRESOURCEA(kRoutineCount + 1)) != NULL) {
    Fail("an ordinal beyond %d is exported", kRoutineCount);
  }
}

/* What this host finds the processor and the system to run, asked as the DLL asks. */
static int RunsAvx2(void) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid_max(0, NULL) < 7 || !__get_cpuid(1, &a, &b, &c, &d))
    return 0;
  if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0)
    return 0;
  unsigned low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 0x6) != 0x6)
    return 0;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & bit_AVX2) != 0;
}

/* XGETBV 1 (XINUSE) tells whether the upper YMM halves are in their cleared state. */
static int HasXinuse(void) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid_max(0, NULL) < 0xD)
    return 0;
  __cpuid_count(0xD, 1, a, b, c, d);
  return (a & 0x4) != 0;
}

static int ymmCheck; /* AbiCall.checkYmm for this processor */

static void CheckUpperHalves(const AbiCall* call, const char* name) {
  for (int k = 0; k < kYmmRegisters; ++k) {
    for (int i = 0; i < 16; ++i) {
      if (call->ymmHigh[k][i] != 0) {
        Fail("%s: the upper half of YMM%d is set after the return (no VZEROUPPER)", name, k);
        return;
      }
    }
  }
  if (ymmCheck == 2 && (call->xinuse & 0x4) != 0) {
    Fail("%s: XINUSE says the upper YMM halves are in use after the return (XINUSE %08X)", name,
         (unsigned)call->xinuse);
  }
}

static void CheckPreserved(const AbiCall* call, const char* name) {
#if defined(__i386__)
  if (call->stackDrift != 0) {
    Fail("%s: ESP off by %d after the call (stdcall removes 16 bytes)", name,
         (int)call->stackDrift);
  }
  if (call->ebx != kCanaryEbx || call->esi != kCanaryEsi || call->edi != kCanaryEdi ||
      call->ebp != kCanaryEbp) {
    Fail("%s: callee-saved register changed (EBX %08X ESI %08X EDI %08X EBP %08X)", name,
         (unsigned)call->ebx, (unsigned)call->esi, (unsigned)call->edi, (unsigned)call->ebp);
  }
#else
  if (call->stackDrift != 0) {
    Fail("%s: RSP off by %lld after the call", name, (long long)call->stackDrift);
  }
  for (int g = 0; g < 8; ++g) {
    if (call->gpr[g] != kCanaries[g]) {
      Fail("%s: callee-saved %s changed to %016llX", name, kCanaryNames[g],
           (unsigned long long)call->gpr[g]);
    }
  }
  if (memcmp(call->xmmIn, call->xmmOut, sizeof call->xmmIn) != 0) {
    Fail("%s: a callee-saved register of XMM6 to XMM15 changed", name);
  }
#endif
}

/* Calls from a stack misaligned by every step below 32 bytes, with canaries in the registers
 * the callee must preserve. Runs before any plain call: a plain call to a callee that breaks
 * the convention would corrupt this program's own stack. */
static void CheckCallingConvention(const CaseList* list) {
  for (int k = 0; k < list->count; ++k) {
    const Case* c = &list->cases[k];
    float* out = malloc(sizeof(float) * (size_t)c->count + 1);
    for (int r = 0; r < kRoutineCount; ++r) {
      for (uint32_t misalignment = 0; misalignment < 32; misalignment += kMisalignmentStep) {
        memset(out, 0, sizeof(float) * (size_t)c->count);
        AbiCall call;
        memset(&call, 0, sizeof call);
        call.routine = (void (*)(void))routines[r];
        call.prices = c->prices;
        call.periods = c->periods;
        call.out = out;
        call.misalignment = misalignment;
        call.checkYmm = (uint32_t)ymmCheck;
#if defined(__i386__)
        call.count = c->count;
#else
        /* The upper half of a 32-bit argument's register is not the callee's to read. */
        call.count = (int64_t)(0x5A5A5A5A00000000ull | (uint32_t)c->count);
        for (int x = 0; x < 10; ++x)
          memset(call.xmmIn[x], 0x60 + x, sizeof call.xmmIn[x]);
#endif
        CallWithCanaries(&call);
        Compare(c, r, out, misalignment == 0 ? "aligned stack" : "misaligned stack");
        CheckPreserved(&call, kRoutineNames[r]);
        if (ymmCheck)
          CheckUpperHalves(&call, kRoutineNames[r]);
      }
    }
    free(out);
  }
}

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

typedef void(__stdcall* LimitLanes)(int32_t most);
typedef int32_t(__stdcall* WidestLanes)(void);

/* Sets the lanes asked for (0: the DLL's own choice). Returns 0, or 1 after a failure, or -1
 * when this processor cannot run them. */
static int ChooseLanes(HMODULE library, int lanes) {
  const LimitLanes limit =
      (LimitLanes)(void (*)(void))GetProcAddress(library, "TessarynLimitLanes");
  const WidestLanes widest =
      (WidestLanes)(void (*)(void))GetProcAddress(library, "TessarynWidestLanes");
  if (widest != NULL) {
    /* The dispatch must see what this host sees: AVX2 with its registers saved, else pairs. */
    const int32_t wanted = RunsAvx2() ? 4 : 2;
    if (widest() != wanted) {
      Fail("the DLL's widest lanes are %d; this processor and system run %d", (int)widest(),
           (int)wanted);
      return 1;
    }
  }
  if (lanes == 0)
    return 0;
  if (limit == NULL || widest == NULL) {
    Fail("--lanes needs the test build of the DLL (TessarynLanes.dll)");
    return 1;
  }
  if (lanes > widest())
    return -1;
  limit(lanes);
  return 0;
}

int main(int argc, char** argv) {
  int lanes = 0;
  if (argc >= 3 && strcmp(argv[1], "--lanes") == 0) {
    lanes = atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc < 3 || (lanes != 0 && lanes != 1 && lanes != 2 && lanes != 4)) {
    fprintf(stderr, "usage: %s [--lanes 1|2|4] <Tessaryn.dll> <case file>...\n", argv[0]);
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
  const int chosen = ChooseLanes(library, lanes);
  if (chosen < 0) {
    printf("SKIPPED: this processor does not run %d lanes\n", lanes);
    return 0;
  }
  if (chosen > 0)
    return 1;
  ymmCheck = RunsAvx2() ? (HasXinuse() ? 2 : 1) : 0;
  int cases = 0;
  for (int f = 2; f < argc; ++f) {
    CaseList list;
    if (ReadCases(argv[f], &list) != 0)
      return 1;
    cases += list.count;
    CheckCallingConvention(&list);
    if (failures != 0)
      break;
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
  printf("%s, lanes %d (0: the widest), YMM check %d: %d cases from %d files, %ld failures\n",
         argv[1], lanes, ymmCheck, cases, argc - 2, (long)failures);
  return failures == 0 ? 0 : 1;
}
