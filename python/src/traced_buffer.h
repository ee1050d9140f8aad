// Float buffers taken from Python's raw allocator, which tracemalloc sees (and which may be
// used without the GIL), so that the memory a call takes for its copies shows up there.
#pragma once

#include <Python.h>

#include <cstddef>
#include <new>
#include <vector>

namespace tessaryn::python {

template <typename T>
struct RawPythonAllocator {
  using value_type = T;

  RawPythonAllocator() = default;
  template <typename U>
  RawPythonAllocator(const RawPythonAllocator<U>&) {}

  T* allocate(std::size_t count) {
    void* memory =
        count <= PY_SSIZE_T_MAX / sizeof(T) ? PyMem_RawMalloc(count * sizeof(T)) : nullptr;
    if (memory == nullptr) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t) { PyMem_RawFree(memory); }

  template <typename U>
  bool operator==(const RawPythonAllocator<U>&) const {
    return true;
  }
};

using FloatBuffer = std::vector<float, RawPythonAllocator<float>>;

}  // namespace tessaryn::python
