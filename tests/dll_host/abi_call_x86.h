/* A 32-bit call made the way a foreign host makes it, with everything the callee must
 * preserve recorded. */
#ifndef ABI_CALL_X86_H
#define ABI_CALL_X86_H

#include <stdint.h>

/* Field offsets are fixed: abi_call_x86.S reads and writes them. */
typedef struct {
  void (*routine)(void); /* 0: a stdcall entry point with four 32-bit arguments */
  const float* prices;   /* 4 */
  const float* periods;  /* 8 */
  int32_t count;         /* 12 */
  float* out;            /* 16 */
  uint32_t misalignment; /* 20: 0, 4, 8 or 12: the stack at the call is this far off 16 */
  int32_t stackDrift;    /* 24: out: ESP after the return minus ESP before the pushes */
  uint32_t ebx;          /* 28: out: the registers after the call, */
  uint32_t esi;          /* 32:      which went in as the canaries below */
  uint32_t edi;          /* 36 */
  uint32_t ebp;          /* 40 */
  uint32_t savedEsp;     /* 44: private to the thunk */
} AbiCall;

/* The values abi_call_x86.S loads into the callee-saved registers. */
static const uint32_t kCanaryEbx = 0x1B1B1B1Bu;
static const uint32_t kCanaryEsi = 0x51515151u;
static const uint32_t kCanaryEdi = 0xD1D1D1D1u;
static const uint32_t kCanaryEbp = 0xBADC0FFEu;

/* Pushes the four arguments on a stack misaligned as asked, loads the canaries into EBX,
 * ESI, EDI and EBP, calls, and records what came back. Not reentrant: one thread at a time. */
void CallWithCanaries(AbiCall* call);

#endif
