# Runs the dist target of the tree BUILD_DIR exactly as the README tells users to, for the
# tests that check its artifacts; without the cross compilers or the packaging tools it is
# skipped (see optional_tools.cmake).
# -DBUILD_DIR=<tree>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
tessaryn_need_programs("g++-mingw-w64-i686 g++-mingw-w64-x86-64 llvm dpkg g++-aarch64-linux-gnu"
  i686-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++-win32 llvm-dlltool dpkg-deb
  aarch64-linux-gnu-g++)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target dist
  RESULT_VARIABLE failed)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "cmake --build ${BUILD_DIR} --target dist failed")
endif()
