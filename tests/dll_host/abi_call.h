/* A call made the way a foreign host makes it, with everything the callee must preserve
 * recorded: abi_call_x86.S (32-bit, stdcall) and abi_call_x64.S (the Windows x64
 * convention). */
#ifndef ABI_CALL_H
#define ABI_CALL_H

#include <stddef.h>
#include <stdint.h>

/* Field offsets are fixed: the assembler files read and write them. */
#if defined(__i386__)
typedef struct {
  void (*routine)(void);  /* 0: a stdcall entry point with four 32-bit arguments */
  const float* prices;    /* 4 */
  const float* periods;   /* 8 */
  int32_t count;          /* 12 */
  float* out;             /* 16 */
  uint32_t misalignment;  /* 20: 0, 4, ..., 28: the stack at the call is this far off 32 */
  int32_t stackDrift;     /* 24: out: ESP after the return minus ESP before the pushes */
  uint32_t ebx;           /* 28: out: the registers after the call, */
  uint32_t esi;           /* 32:      which went in as the canaries below */
  uint32_t edi;           /* 36 */
  uint32_t ebp;           /* 40 */
  uint32_t savedEsp;      /* 44: private to the thunk */
  uint32_t checkYmm;      /* 48: 1: clear the upper YMM halves before, record them after; */
                          /*     2: also XINUSE (XGETBV 1) after */
  uint32_t xinuse;        /* 52: out */
  uint8_t ymmHigh[8][16]; /* 56: out: the upper half of each YMM register after the call */
} AbiCall;

enum { kYmmRegisters = 8, kMisalignmentStep = 4 };
_Static_assert(offsetof(AbiCall, ymmHigh) == 56, "abi_call_x86.S reads these offsets");

/* The values abi_call_x86.S loads into the callee-saved registers. */
static const uint32_t kCanaryEbx = 0x1B1B1B1Bu;
static const uint32_t kCanaryEsi = 0x51515151u;
static const uint32_t kCanaryEdi = 0xD1D1D1D1u;
static const uint32_t kCanaryEbp = 0xBADC0FFEu;
#else
typedef struct {
  void (*routine)(void);   /* 0: an entry point with four arguments */
  const float* prices;     /* 8 */
  const float* periods;    /* 16 */
  int64_t count;           /* 24: passed as 32 bits, the upper ones garbage as a host may leave */
  float* out;              /* 32 */
  uint64_t misalignment;   /* 40: 0 or 16: the stack at the call is this far off 32 */
  int64_t stackDrift;      /* 48: out: RSP after the return minus RSP at the call */
  uint64_t gpr[8];         /* 56: out: RBX RBP RDI RSI R12 R13 R14 R15 after the call */
  uint8_t xmmIn[10][16];   /* 120: XMM6 to XMM15 going in */
  uint8_t xmmOut[10][16];  /* 280: and after the call */
  uint32_t checkYmm;       /* 440: as on 32-bit */
  uint32_t xinuse;         /* 444: out */
  uint8_t ymmHigh[16][16]; /* 448: out */
  uint64_t savedRsp;       /* 704: private to the thunk */
} AbiCall;

enum { kYmmRegisters = 16, kMisalignmentStep = 16 };
_Static_assert(offsetof(AbiCall, checkYmm) == 440 && offsetof(AbiCall, savedRsp) == 704,
               "abi_call_x64.S reads these offsets");

/* The values abi_call_x64.S loads into RBX, RBP, RDI, RSI, R12 to R15. */
static const uint64_t kCanaries[8] = {
    0x1B1B1B1B1B1B1B1Bull, 0xBADC0FFEBADC0FFEull, 0xD1D1D1D1D1D1D1D1ull, 0x5151515151515151ull,
    0x1212121212121212ull, 0x1313131313131313ull, 0x1414141414141414ull, 0x1515151515151515ull};
static const char* const kCanaryNames[8] = {"RBX", "RBP", "RDI", "RSI", "R12", "R13", "R14", "R15"};
#endif

/* Pushes the arguments on a stack misaligned as asked, loads the canaries into the
 * callee-saved registers, calls, and records what came back. Not reentrant: one thread at a
 * time. */
void CallWithCanaries(AbiCall* call);

#endif
