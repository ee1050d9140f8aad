# The parts shared by both MinGW-w64 toolchains. The win32 thread model: nothing here uses
# POSIX threads, and the posix variants would tie programs to libwinpthread-1.dll.
set(CMAKE_C_COMPILER ${TESSARYN_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TESSARYN_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${TESSARYN_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${TESSARYN_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARYN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built here run under Wine, where this machine can run them.
include(${CMAKE_CURRENT_LIST_DIR}/../wine.cmake)
# Asked again on every configure while none is found: a tree configured before 32-bit Wine
# could be installed runs its tests once it is (a command given by hand is kept).
if(NOT TESSARYN_WINE)
  tessaryn_find_wine(${TESSARYN_WINDOWS_ARCH} wine_command)
  set(TESSARYN_WINE "${wine_command}" CACHE STRING "Wine command for the test programs" FORCE)
  set(TESSARYN_WINE_MISSING "${tessaryn_wine_missing}" CACHE INTERNAL "")
endif()
if(TESSARYN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARYN_WINE})
endif()
