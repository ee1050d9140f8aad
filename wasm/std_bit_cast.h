// Included first in every WebAssembly translation unit (-include): emscripten's libc++ has
// <bit> without std::bit_cast. Clang's builtin is the same conversion, constexpr too.
#pragma once

#include <bit>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
