# Checks the Debian packages the dist target wrote, as a user receives them: their control
# fields and file lists, then installs them into a scratch root (dpkg -x) and builds the C
# consumer against that root with pkg-config and with find_package.
# -DDIST_DIR -DVERSION -DVERSION_MAJOR -DMULTIARCH -DSOURCE_DIR -DWORK_DIR -DC_COMPILER
# -DNM -DREADELF; for the packages of another processor also -DARCH (arm64) and -DMACHINE
# (readelf's name of it): their fields, files and symbols are checked, and the machine their
# library is built for; the consumers, which would run here, are not built.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/pkg_config_consumer.cmake)
tessaryn_need_programs("dpkg pkg-config" dpkg dpkg-deb pkg-config)

function(expect what actual wanted)
  if(NOT "${actual}" STREQUAL "${wanted}")
    message(FATAL_ERROR "${what}:\n  '${actual}'\nexpected\n  '${wanted}'")
  endif()
endfunction()

if(DEFINED ARCH)
  set(arch ${ARCH})
else()
  execute_process(COMMAND ${tool_dpkg} --print-architecture
    OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(runtime libtessaryn${VERSION_MAJOR})
set(lib usr/lib/${MULTIARCH})
set(so libtessaryn.so)

# Per package: the fields that matter, and every file and link it holds ("link -> target").
set(runtime_fields "Package=${runtime}" "Version=${VERSION}" "Architecture=${arch}"
    "Depends=libc6")
set(runtime_files
    "${lib}/${so}.${VERSION_MAJOR} -> ${so}.${VERSION}"
    "${lib}/${so}.${VERSION}")
set(dev_fields "Package=libtessaryn-dev" "Version=${VERSION}" "Architecture=${arch}"
    "Depends=${runtime} (= ${VERSION})")
set(dev_files
    "${lib}/${so} -> ${so}.${VERSION_MAJOR}"
    "${lib}/cmake/Tessaryn/TessarynConfig.cmake"
    "${lib}/cmake/Tessaryn/TessarynConfigVersion.cmake"
    "${lib}/cmake/Tessaryn/TessarynTargets-release.cmake"
    "${lib}/cmake/Tessaryn/TessarynTargets.cmake"
    "${lib}/libtessaryn.a"
    "${lib}/pkgconfig/tessaryn.pc"
    "usr/include/tessaryn.h"
    "usr/include/tessaryn_stream.h")

file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)
file(MAKE_DIRECTORY ${root})
foreach(kind IN ITEMS runtime dev)
  list(GET ${kind}_fields 0 package)
  string(REPLACE "Package=" "" package "${package}")
  set(deb ${DIST_DIR}/${package}_${VERSION}_${arch}.deb)
  if(NOT EXISTS ${deb})
    message(FATAL_ERROR "no ${deb} (run: cmake --build build/release --target dist)")
  endif()
  foreach(field IN LISTS ${kind}_fields)
    string(REGEX MATCH "^([^=]+)=(.*)$" _ "${field}")
    execute_process(COMMAND ${tool_dpkg_deb} --field ${deb} ${CMAKE_MATCH_1}
      OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE)
    expect("${package}: ${CMAKE_MATCH_1}" "${value}" "${CMAKE_MATCH_2}")
  endforeach()
  foreach(field IN ITEMS Maintainer Description)
    execute_process(COMMAND ${tool_dpkg_deb} --field ${deb} ${field} OUTPUT_VARIABLE value)
    if(value STREQUAL "")
      message(FATAL_ERROR "${package} has no ${field}")
    endif()
  endforeach()

  # dpkg-deb -c: "perms owner size date time ./path[ -> target]"; directories left out.
  execute_process(COMMAND ${tool_dpkg_deb} --contents ${deb} OUTPUT_VARIABLE listing)
  string(REGEX MATCHALL "[^\n]+" rows "${listing}")
  set(files "")
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^d" AND row MATCHES " \\./(.*)$")
      list(APPEND files "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(SORT files)
  set(wanted ${${kind}_files})
  list(SORT wanted)
  expect("files of ${package}" "${files}" "${wanted}")

  execute_process(COMMAND ${tool_dpkg_deb} -x ${deb} ${root} RESULT_VARIABLE failed)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -x ${deb} failed")
  endif()
endforeach()

# The packaged library: the routines' and the stream's entry points, its SONAME, nothing
# needed but libc.
execute_process(COMMAND ${CMAKE_COMMAND} -DLIBRARY=${root}/${lib}/${so}.${VERSION_MAJOR}
                        -DNM=${NM} -DREADELF=${READELF}
                        -DROUTINES=${SOURCE_DIR}/filters/indicators.inc
                        "-DSTREAM_FUNCTIONS=${STREAM_FUNCTIONS}"
                        "-DPASS_FUNCTIONS=${PASS_FUNCTIONS}"
                        -DSTREAM_HEADER=${SOURCE_DIR}/exports/tessaryn_stream.h
                        -P ${SOURCE_DIR}/tests/check_symbols.cmake
  RESULT_VARIABLE failed)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "the packaged library fails the symbol check")
endif()
if(DEFINED MACHINE)
  execute_process(COMMAND ${READELF} -h ${root}/${lib}/${so}.${VERSION_MAJOR}
    OUTPUT_VARIABLE header)
  if(NOT header MATCHES "Machine: +${MACHINE}")
    message(FATAL_ERROR "${runtime} ${arch}: its library is not built for ${MACHINE}:\n${header}")
  endif()
  message(STATUS "${runtime} and libtessaryn-dev ${VERSION} ${arch}: files, fields, symbols, ${MACHINE}")
  return()
endif()

set(consumer_dir ${SOURCE_DIR}/tests/package_consumer)
tessaryn_pkg_config_consumer(${tool_pkg_config} ${C_COMPILER} ${consumer_dir}/consumer.c
  ${WORK_DIR} "PKG_CONFIG_SYSROOT_DIR=${root};PKG_CONFIG_LIBDIR=${root}/${lib}/pkgconfig")

# find_package from the scratch root only: no package registry, no system prefix.
set(build ${WORK_DIR}/cmake)
set(configure ${CMAKE_COMMAND} -S ${consumer_dir} -B ${build} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${root}/usr
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF)
foreach(step IN ITEMS configure build shared static)
  if("${step}" STREQUAL "configure")
    set(command ${configure})
  elseif("${step}" STREQUAL "build")
    set(command ${CMAKE_COMMAND} --build ${build})
  elseif("${step}" STREQUAL "shared")
    set(command ${build}/consumer_tessaryn)
  else()
    set(command ${build}/consumer_tessaryn_static)
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed EQUAL 0)
    list(JOIN command " " command)
    message(FATAL_ERROR "find_package consumer: '${command}' failed:\n${log}")
  endif()
endforeach()
file(STRINGS ${WORK_DIR}/cmake/CMakeCache.txt found REGEX "^Tessaryn_DIR")
if(NOT found MATCHES "=${root}/")
  message(FATAL_ERROR "find_package found Tessaryn outside the scratch root: ${found}")
endif()
message(STATUS "${runtime} and libtessaryn-dev ${VERSION}: files, fields and both consumers")
