#include "bar_columns.h"

#include <algorithm>
#include <cstring>

namespace tessaryn::python {

namespace {

template <typename T>
T Load(const char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Bars are taken in tiles of this many rows: a tile's rows stay in cache while each of
// the columns is read from them, so columns that share rows (a C-ordered 2-D array, as
// pandas makes from one) are read from memory once, in runs the processor can prefetch.
constexpr std::ptrdiff_t kTileBars = 256;

template <typename T>
void ConvertAs(const BarColumns& from, std::ptrdiff_t first_column, std::ptrdiff_t count,
               float* out) {
  const char* origin = from.first + first_column * from.column_step;
  const std::ptrdiff_t bars = from.bars;
  for (std::ptrdiff_t tile = 0; tile < bars; tile += kTileBars) {
    const std::ptrdiff_t end = std::min(tile + kTileBars, bars);
    for (std::ptrdiff_t column = 0; column < count; ++column) {
      const char* values = origin + column * from.column_step;
      float* converted = out + column * bars;
      for (std::ptrdiff_t bar = tile; bar < end; ++bar) {
        converted[bar] = static_cast<float>(Load<T>(values + bar * from.bar_step));
      }
    }
  }
}

}  // namespace

bool BarColumns::InPlace() const {
  return element == Element::kFloat32 &&
         (bar_step == static_cast<std::ptrdiff_t>(sizeof(float)) || bars <= 1);
}

void BarColumns::Convert(std::ptrdiff_t first_column, std::ptrdiff_t count, float* out) const {
  switch (element) {
    case Element::kFloat32:
      return ConvertAs<float>(*this, first_column, count, out);
    case Element::kFloat64:
      return ConvertAs<double>(*this, first_column, count, out);
    case Element::kInt8:
      return ConvertAs<std::int8_t>(*this, first_column, count, out);
    case Element::kInt16:
      return ConvertAs<std::int16_t>(*this, first_column, count, out);
    case Element::kInt32:
      return ConvertAs<std::int32_t>(*this, first_column, count, out);
    case Element::kInt64:
      return ConvertAs<std::int64_t>(*this, first_column, count, out);
    case Element::kUInt8:
      return ConvertAs<std::uint8_t>(*this, first_column, count, out);
    case Element::kUInt16:
      return ConvertAs<std::uint16_t>(*this, first_column, count, out);
    case Element::kUInt32:
      return ConvertAs<std::uint32_t>(*this, first_column, count, out);
    case Element::kUInt64:
      return ConvertAs<std::uint64_t>(*this, first_column, count, out);
  }
}

}  // namespace tessaryn::python
