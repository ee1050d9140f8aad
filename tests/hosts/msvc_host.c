/* A host built as Microsoft's toolchain builds one: compiled for the MSVC target and linked
 * by lld-link against Tessaryn.lib (with -DSTREAM_HOST, TessarynStream.lib: the values come
 * from a stream's live loop, as in stream_host.c). No MSVC runtime is installed here, so it
 * reaches the system through the few kernel32 functions declared below (their import
 * library is made from kernel32.def).
 * Reads input.f32 in its working directory and writes output.f32 (series_files.h has the
 * format); exit status 0 when it could. */
#include <stdint.h>
#include <tessaryn.h>
#if defined(STREAM_HOST)
#include <tessaryn_stream.h>
#endif

typedef void* Handle;
#define KERNEL32 __declspec(dllimport)
KERNEL32 Handle __stdcall CreateFileA(const char* name, uint32_t access, uint32_t share,
                                      void* security, uint32_t disposition, uint32_t flags,
                                      Handle model);
KERNEL32 int __stdcall ReadFile(Handle file, void* buffer, uint32_t bytes, uint32_t* done,
                                void* overlapped);
KERNEL32 int __stdcall WriteFile(Handle file, const void* buffer, uint32_t bytes, uint32_t* done,
                                 void* overlapped);
KERNEL32 uint32_t __stdcall GetFileSize(Handle file, uint32_t* high);
KERNEL32 int __stdcall CloseHandle(Handle file);
KERNEL32 void* __stdcall VirtualAlloc(void* address, uintptr_t bytes, uint32_t type,
                                      uint32_t protection);
KERNEL32 void __stdcall ExitProcess(uint32_t status);

/* Objects for the MSVC target refer to this marker of floating-point use; the runtime it
 * comes from is not linked. */
int _fltused;

enum { kRoutines = 3 };

static float* Allocate(uint32_t bytes) {
  return (float*)VirtualAlloc(0, bytes, 0x3000 /* reserve, commit */, 4 /* read-write */);
}

static uint32_t Run(void) {
  Handle input = CreateFileA("input.f32", 0x80000000u /* read */, 1, 0, 3 /* existing */, 0x80, 0);
  if (input == (Handle)-1)
    return 1;
  const uint32_t bytes = GetFileSize(input, 0);
  const int32_t count = (int32_t)(bytes / (2 * sizeof(float)));
  float* prices = Allocate(bytes);
  uint32_t done = 0;
  if (count <= 0 || prices == 0 || !ReadFile(input, prices, bytes, &done, 0) || done != bytes)
    return 2;
  CloseHandle(input);
  const float* periods = prices + count;

  const uint32_t outputBytes = (uint32_t)count * sizeof(float);
  float* outputs = Allocate(kRoutines * outputBytes);
  if (outputs == 0)
    return 3;
#if defined(STREAM_HOST)
  /* The history at once, then each bar opened, revised as it forms and revised to its close. */
  TessarynStream* stream = TessarynStreamCreate(0);
  const int32_t history = count - count / 10;
  if (stream == 0 || TessarynStreamPushMany(stream, prices, periods, history, outputs,
                                            outputs + count, outputs + 2 * count) != 0)
    return 6;
  for (int32_t bar = history; bar < count; ++bar) {
    float values[3];
    if (TessarynStreamPush(stream, prices[bar - 1], periods[bar], values) != 0 ||
        TessarynStreamRevise(stream, prices[bar], periods[bar], values) != 0)
      return 7;
    for (int r = 0; r < kRoutines; ++r)
      outputs[r * count + bar] = values[r];
  }
  if (TessarynStreamSize(stream) != count)
    return 8;
  TessarynStreamDestroy(stream);
#else
  ITrend(prices, periods, count, outputs);
  CyclicalComponent(prices, periods, count, outputs + count);
  Tessaryn(prices, periods, count, outputs + 2 * count);
#endif

  Handle output = CreateFileA("output.f32", 0x40000000u /* write */, 0, 0, 2 /* always */, 0x80, 0);
  if (output == (Handle)-1)
    return 4;
  const int written = WriteFile(output, outputs, kRoutines * outputBytes, &done, 0) &&
                      done == kRoutines * outputBytes;
  return CloseHandle(output) && written ? 0 : 5;
}

void mainCRTStartup(void) {
  ExitProcess(Run());
}
