# Makes the Windows zip and the Debian packages (see cmake/Dist.cmake) in a staging
# directory, and only when all of them are made replaces the previous ones in DIST_DIR.
# -DSOURCE_DIR -DDIST_DIR -DDEB_BUILD_DIR -DVERSION -DVERSION_MAJOR -DMULTIARCH -DGENERATOR
# -DC_COMPILER -DCXX_COMPILER -DMAINTAINER
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows_bundle.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/debian_packages.cmake)

set(stage ${DIST_DIR}/.staging)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

tessaryn_windows_bundle(zip ${SOURCE_DIR} ${stage} ${VERSION})
tessaryn_debian_packages(debs ${SOURCE_DIR} ${DEB_BUILD_DIR} ${stage} ${VERSION} ${VERSION_MAJOR}
  "${MULTIARCH}" "${GENERATOR}" ${C_COMPILER} ${CXX_COMPILER} "${MAINTAINER}")
# The same pair for 64-bit ARM, from Debian's cross compiler.
tessaryn_dist_needs("g++-aarch64-linux-gnu libc6-dev-arm64-cross" aarch64-linux-gnu-g++)
tessaryn_debian_packages(debs_arm64 ${SOURCE_DIR} ${DEB_BUILD_DIR}-arm64 ${stage} ${VERSION}
  ${VERSION_MAJOR} aarch64-linux-gnu "${GENERATOR}" unused unused "${MAINTAINER}"
  TOOLCHAIN ${SOURCE_DIR}/cmake/toolchains/aarch64-linux-gnu.cmake ARCH arm64)
list(APPEND debs ${debs_arm64})

# Everything made: the previous artifacts give way to the new ones.
file(GLOB previous ${DIST_DIR}/Tessaryn-*-windows.zip ${DIST_DIR}/libtessaryn*.deb)
if(previous)
  file(REMOVE ${previous})
endif()
foreach(artifact IN LISTS zip debs)
  get_filename_component(name ${artifact} NAME)
  file(RENAME ${artifact} ${DIST_DIR}/${name})
  message(STATUS "dist: ${DIST_DIR}/${name}")
endforeach()
file(REMOVE_RECURSE ${stage})
