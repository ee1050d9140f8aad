# Flags shared by everything built here. The numeric ones are part of the results: without
# contraction into fused multiply-adds and with SSE2 arithmetic on 32-bit x86, every build
# rounds every operation the same way and computes the same bits.
add_library(tessaryn_build_flags INTERFACE)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(tessaryn_build_flags INTERFACE
    -Wall -Wextra -Wpedantic
    -ffp-contract=off)
  # Emscripten names its processor x86, but wasm32 has IEEE double arithmetic of its own
  # (and emcc would take -msse2 as a request for its SSE emulation).
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|AMD64|x86_64)$"
     AND NOT EMSCRIPTEN)
    target_compile_options(tessaryn_build_flags INTERFACE -msse2 -mfpmath=sse)
    if(WIN32)
      # Windows hosts only guarantee a 4-byte aligned stack on entry; GCC would otherwise
      # assume 16 bytes and could spill SSE values to misaligned slots.
      target_compile_options(tessaryn_build_flags INTERFACE -mincoming-stack-boundary=2)
    endif()
  endif()
endif()

if(TESSARYN_SANITIZE_THREADS)
  # Every target, the library included, so a race inside it is caught.
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()

if(TESSARYN_FUZZ)
  # Coverage for the fuzzer in every object, the library's included.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(TESSARYN_SANITIZE)
  set(tessaryn_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  # Every target, the library included, so a read past a caller's array is caught in it.
  add_compile_options(${tessaryn_sanitizers})
  add_link_options(${tessaryn_sanitizers})
endif()
