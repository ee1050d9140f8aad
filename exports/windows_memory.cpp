// The few C library functions the stream's code calls, for TessarynStream.dll, which links
// no C runtime (no msvcrt, no runtime DLL beside it; see dll_main.cpp): memory from the
// process heap of kernel32, which every Windows process has, and the copies with the
// processor's string moves (a plain loop here the compiler would turn back into a call to
// memcpy). None of these is exported: the module definition names the stream's API alone.
#include <windows.h>

#include <cstddef>

namespace {

// HeapAlloc's alignment (MEMORY_ALLOCATION_ALIGNMENT): 8 bytes on 32-bit, 16 on 64-bit, as
// the stream's objects need (stream_entry_points.cpp checks its own).
HANDLE Heap() {
  return GetProcessHeap();
}

void CopyForward(void* to, const void* from, std::size_t bytes) {
  __asm__ volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(bytes) : : "memory");
}

}  // namespace

extern "C" {

void* malloc(std::size_t bytes) {
  return HeapAlloc(Heap(), 0, bytes == 0 ? 1 : bytes);
}

// As realloc: the old block stays where it was, whole, when the new size cannot be had.
void* realloc(void* block, std::size_t bytes) {
  if (block == nullptr) {
    return malloc(bytes);
  }
  return HeapReAlloc(Heap(), 0, block, bytes == 0 ? 1 : bytes);
}

void free(void* block) {
  if (block != nullptr) {
    HeapFree(Heap(), 0, block);
  }
}

void* memcpy(void* to, const void* from, std::size_t bytes) {
  CopyForward(to, from, bytes);
  return to;
}

// Overlapping ranges: forwards when the copy goes down, backwards (direction flag set, and
// cleared again as the convention wants it) when it goes up into its own source.
void* memmove(void* to, const void* from, std::size_t bytes) {
  auto* const t = static_cast<unsigned char*>(to);
  const auto* const f = static_cast<const unsigned char*>(from);
  if (t <= f || t >= f + bytes) {
    CopyForward(to, from, bytes);
  } else if (bytes != 0) {
    void* last = t + bytes - 1;
    const void* source = f + bytes - 1;
    __asm__ volatile("std\n\trep movsb\n\tcld"
                     : "+D"(last), "+S"(source), "+c"(bytes)
                     :
                     : "memory");
  }
  return to;
}

void* memset(void* to, int value, std::size_t bytes) {
  void* at = to;
  __asm__ volatile("rep stosb" : "+D"(at), "+c"(bytes) : "a"(value) : "memory");
  return to;
}

}  // extern "C"
