// The C library functions that TessarynStream.dll brings along (exports/windows_memory.cpp),
// linked into this program in place of the C runtime's and held to what the C standard asks
// of them: copies and moves of every overlap in both directions, fills, and blocks that keep
// their bytes when they grow or shrink. The stream itself only ever moves its prices down.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Called through pointers, so that the compiler's own inline copies stand aside.
void* (*volatile const copy)(void*, const void*, std::size_t) = std::memcpy;
void* (*volatile const move)(void*, const void*, std::size_t) = std::memmove;
void* (*volatile const fill)(void*, int, std::size_t) = std::memset;
void* (*volatile const allocate)(std::size_t) = std::malloc;
void* (*volatile const resize)(void*, std::size_t) = std::realloc;
void (*volatile const release)(void*) = std::free;

int failures = 0;

void Expect(bool holds, const char* what, int a, int b, int c) {
  if (!holds && ++failures <= 20) {
    std::printf("FAIL: %s (%d, %d, %d)\n", what, a, b, c);
  }
}

constexpr int kSpan = 96;

void Pattern(unsigned char* bytes) {
  for (int i = 0; i < kSpan; ++i) {
    bytes[i] = static_cast<unsigned char>(i * 7 + 1);
  }
}

// memmove within one buffer, `from` and `to` offsets and `n` bytes; what a byte-by-byte copy
// through a second buffer gives.
void CheckMove(int from, int to, int n) {
  unsigned char got[kSpan], want[kSpan], staged[kSpan];
  Pattern(got);
  Pattern(want);
  for (int i = 0; i < n; ++i) {
    staged[i] = want[from + i];
  }
  for (int i = 0; i < n; ++i) {
    want[to + i] = staged[i];
  }
  Expect(move(got + to, got + from, static_cast<std::size_t>(n)) == got + to, "memmove's result",
         from, to, n);
  bool same = true;
  for (int i = 0; i < kSpan; ++i) {
    same = same && got[i] == want[i];
  }
  Expect(same, "memmove's bytes", from, to, n);
}

}  // namespace

int main() {
  // Every overlap: the copy down, up, in place, with lengths around the string moves' steps.
  const int lengths[] = {0, 1, 2, 3, 7, 8, 15, 16, 17, 31, 32, 33, 40};
  for (int n : lengths) {
    for (int from = 0; from + n <= kSpan && from < 48; from += 5) {
      for (int to = 0; to + n <= kSpan && to < 48; to += 3) {
        CheckMove(from, to, n);
      }
    }
  }
  // memcpy between distinct buffers; memset of part of one, with a value above 255.
  for (int n : lengths) {
    unsigned char source[kSpan], target[kSpan];
    Pattern(source);
    std::memset(target, 0xEE, sizeof target);
    Expect(copy(target + 3, source + 5, static_cast<std::size_t>(n)) == target + 3,
           "memcpy's result", n, 0, 0);
    for (int i = 0; i < kSpan; ++i) {
      const unsigned char wanted = i >= 3 && i < 3 + n ? source[i + 2] : 0xEE;
      Expect(target[i] == wanted, "memcpy's bytes", n, i, 0);
    }
    Expect(fill(target + 1, 0x1A5, static_cast<std::size_t>(n)) == target + 1, "memset's result", n,
           0, 0);
    for (int i = 1; i < 1 + n; ++i) {
      Expect(target[i] == 0xA5, "memset's bytes", n, i, 0);
    }
    Expect(target[0] == 0xEE && target[1 + n] != 0xA5, "memset stays in its bytes", n, 0, 0);
  }
  // Blocks: aligned for a stream, never null for 0 bytes, their bytes kept by realloc as they
  // grow and shrink, realloc of null allocating, free of null doing nothing.
  const std::size_t sizes[] = {0, 1, 12, 4096, 1 << 20, 100, 3};
  unsigned char* block = static_cast<unsigned char*>(resize(nullptr, 16));
  Expect(block != nullptr, "realloc(NULL) allocates", 16, 0, 0);
  std::size_t kept = 0;
  for (std::size_t size : sizes) {
    for (std::size_t i = 0; i < kept; ++i) {
      block[i] = static_cast<unsigned char>(i * 13);
    }
    unsigned char* grown = static_cast<unsigned char*>(resize(block, size));
    Expect(grown != nullptr, "realloc succeeds", static_cast<int>(size), 0, 0);
    const std::size_t common = kept < size ? kept : size;
    for (std::size_t i = 0; i < common; ++i) {
      Expect(grown[i] == static_cast<unsigned char>(i * 13), "realloc keeps the bytes",
             static_cast<int>(size), static_cast<int>(i), 0);
    }
    block = grown;
    kept = size == 0 ? 0 : size;
    void* other = allocate(size);
    Expect(other != nullptr, "malloc succeeds", static_cast<int>(size), 0, 0);
    Expect(reinterpret_cast<std::size_t>(other) % (2 * sizeof(void*)) == 0, "malloc aligns",
           static_cast<int>(size), 0, 0);
    release(other);
  }
  release(block);
  release(nullptr);
  std::printf("windows_memory: %d failures\n", failures);
  return failures == 0 ? 0 : 1;
}
