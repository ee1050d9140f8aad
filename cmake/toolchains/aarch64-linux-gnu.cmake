# 64-bit ARM Linux with Debian's aarch64-linux-gnu cross compiler (g++-aarch64-linux-gnu and
# libc6-dev-arm64-cross); programs run under qemu's user emulation where it is installed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: a dynamically linked program finds the target's loader and libc where Debian's cross
# packages put them; static ones need nothing.
find_program(TESSARYN_QEMU_AARCH64 qemu-aarch64-static)
if(TESSARYN_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARYN_QEMU_AARCH64} -L /usr/aarch64-linux-gnu)
endif()
