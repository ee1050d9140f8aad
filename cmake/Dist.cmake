# The dist target: every artifact a user is handed, written into build/dist/ beside the
# preset trees. `cmake --build build/release --target dist` makes
#   Tessaryn-<version>-windows.zip           both DLLs, their import libraries, the header and
#                                            the README's guide for host developers;
#   libtessaryn<major>_<version>_<arch>.deb  the shared library under its SONAME;
#   libtessaryn-dev_<version>_<arch>.deb     header, static library, .so link, CMake package
#                                            and tessaryn.pc.
# The DLLs come from the windows-x86 and windows-x64 preset trees (configured when they are
# not yet, brought up to date otherwise), the packages from a Release tree configured for
# /usr (build/deb). Whatever tree runs the target, the artifacts are the same.
set(TESSARYN_DIST_DIR ${PROJECT_SOURCE_DIR}/build/dist CACHE PATH
  "Where the dist target writes the Windows zip and the Debian packages")
set(TESSARYN_DEB_MAINTAINER "Tessaryn developers <tessaryn@example.org>" CACHE STRING
  "Maintainer field of the Debian packages")

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND}
          -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DDIST_DIR=${TESSARYN_DIST_DIR}
          -DDEB_BUILD_DIR=${PROJECT_SOURCE_DIR}/build/deb
          -DVERSION=${PROJECT_VERSION}
          -DVERSION_MAJOR=${PROJECT_VERSION_MAJOR}
          -DMULTIARCH=${CMAKE_LIBRARY_ARCHITECTURE}
          -DGENERATOR=${CMAKE_GENERATOR}
          -DC_COMPILER=${CMAKE_C_COMPILER}
          -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
          -DMAINTAINER=${TESSARYN_DEB_MAINTAINER}
          -P ${PROJECT_SOURCE_DIR}/cmake/dist/make_dist.cmake
  COMMENT "Windows zip and Debian packages into ${TESSARYN_DIST_DIR}"
  USES_TERMINAL
  VERBATIM)
