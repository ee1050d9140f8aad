// Bars where a caller's numpy array holds them, read as the float32 columns the routines take.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaryn::python {

// The element types read here directly; numpy converts any other real type beforehand.
enum class Element {
  kFloat32,
  kFloat64,
  kInt8,
  kInt16,
  kInt32,
  kInt64,
  kUInt8,
  kUInt16,
  kUInt32,
  kUInt64,
};

// `columns` series of `bars` bars each, in the caller's memory: bar i of column j at
// first + i * bar_step + j * column_step (in bytes), every element aligned to its size.
struct BarColumns {
  const char* first = nullptr;
  std::ptrdiff_t bar_step = 0;
  std::ptrdiff_t column_step = 0;
  std::int32_t bars = 0;
  std::ptrdiff_t columns = 0;
  Element element = Element::kFloat32;

  // Whether every column already is what the routines take, contiguous float32, so that it
  // is read where it lies and never copied.
  bool InPlace() const;

  // Column `column` where it lies; only when InPlace().
  const float* Column(std::ptrdiff_t column) const {
    return reinterpret_cast<const float*>(first + column * column_step);
  }

  // Column `column` as contiguous float32: where it lies when InPlace(), else converted
  // into `buffer` (bars floats).
  const float* Read(std::ptrdiff_t column, float* buffer) const {
    if (InPlace()) {
      return Column(column);
    }
    Convert(column, 1, buffer);
    return buffer;
  }

  // Columns first_column .. first_column + count - 1 rounded to float32 exactly as numpy's
  // astype(float32) rounds them, one after another in `out` (count * bars floats). Columns
  // lying side by side in memory are read together, so that their rows are read once.
  void Convert(std::ptrdiff_t first_column, std::ptrdiff_t count, float* out) const;
};

}  // namespace tessaryn::python
