# 64-bit Windows with Debian's MinGW-w64 cross compilers; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TESSARYN_MINGW_TRIPLET x86_64-w64-mingw32)
set(TESSARYN_WINDOWS_ARCH x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
