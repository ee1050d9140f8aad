# The Debian packages: libtessaryn<major> (the Runtime install component: the shared library
# and its SONAME link) and libtessaryn-dev (the Development component: header, static
# library, .so link, CMake package, tessaryn.pc), built with dpkg-deb from a Release tree
# configured for /usr with Debian's multiarch library directory.
include_guard()
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

set(tessaryn_deb_synopsis "exact trend and cycle indicators for price series")
set(tessaryn_deb_about
  " Tessaryn computes three indicators over a price series: a lag-compensated\n"
  " trend (ITrend), its cycle (CyclicalComponent) and both added (Tessaryn). Each\n"
  " is one C function that rounds every result once, so the same input gives the\n"
  " same bits on every build.\n")
string(JOIN "" tessaryn_deb_about ${tessaryn_deb_about})

# Writes DEBIAN/control and DEBIAN/md5sums of the staged package `root`.
function(tessaryn_deb_control root package version arch maintainer section depends summary
         detail)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
  list(SORT files)
  set(bytes 0)
  set(md5sums "")
  foreach(file IN LISTS files)
    if(NOT IS_SYMLINK ${root}/${file})
      file(SIZE ${root}/${file} size)
      math(EXPR bytes "${bytes} + ${size}")
      file(MD5 ${root}/${file} md5)
      string(APPEND md5sums "${md5}  ${file}\n")
    endif()
  endforeach()
  math(EXPR kibibytes "(${bytes} + 1023) / 1024")
  set(control "Package: ${package}\nVersion: ${version}\nArchitecture: ${arch}\n")
  string(APPEND control "Multi-Arch: same\nMaintainer: ${maintainer}\n")
  string(APPEND control "Installed-Size: ${kibibytes}\n")
  if(depends)
    string(APPEND control "Depends: ${depends}\n")
  endif()
  string(APPEND control "Section: ${section}\nPriority: optional\n")
  string(APPEND control "Description: ${tessaryn_deb_synopsis} - ${summary}\n")
  string(APPEND control "${tessaryn_deb_about} .\n ${detail}\n")
  file(WRITE ${root}/DEBIAN/control "${control}")
  file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")
endfunction()

# Configures and builds the packaging tree `tree`, stages both packages under `stage` and
# builds them there; sets `out_var` to the two .deb files. For another processor's packages:
# TOOLCHAIN <file> (its cross compilers; then c_compiler and cxx_compiler are not used) and
# ARCH <Debian architecture>.
function(tessaryn_debian_packages out_var source_dir tree stage version major multiarch
         generator c_compiler cxx_compiler maintainer)
  cmake_parse_arguments(PARSE_ARGV 11 cross "" "TOOLCHAIN;ARCH" "")
  tessaryn_dist_needs("dpkg" dpkg dpkg-deb)
  if(NOT multiarch)
    message(FATAL_ERROR "no multiarch library directory (CMAKE_LIBRARY_ARCHITECTURE): "
                        "the Debian packages are made on Debian")
  endif()
  if(cross_ARCH)
    set(arch ${cross_ARCH})
    set(compilers -DCMAKE_TOOLCHAIN_FILE=${cross_TOOLCHAIN})
  else()
    execute_process(COMMAND ${tool_dpkg} --print-architecture
      OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(compilers -DCMAKE_C_COMPILER=${c_compiler} -DCMAKE_CXX_COMPILER=${cxx_compiler})
  endif()

  tessaryn_run_step("configuring the packaging tree ${tree}"
    COMMAND ${CMAKE_COMMAND} -S ${source_dir} -B ${tree} -G ${generator}
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
            -DCMAKE_INSTALL_LIBDIR=lib/${multiarch}
            ${compilers} -DTESSARYN_BUILD_TESTS=OFF -DTESSARYN_BUILD_EXAMPLES=OFF
            -DPython3_EXECUTABLE=/usr/bin/python3)
  tessaryn_run_step("building the packaging tree ${tree}"
    COMMAND ${CMAKE_COMMAND} --build ${tree} --parallel 2)

  set(runtime libtessaryn${major})
  set(debs "")
  foreach(package IN ITEMS ${runtime} libtessaryn-dev)
    set(root ${stage}/deb-${arch}/${package})
    if(package STREQUAL runtime)
      set(component Runtime)
      set(section libs)
      set(depends libc6)
      set(summary "shared library")
      set(detail "This package holds the shared library.")
    else()
      set(component Development)
      set(section libdevel)
      set(depends "${runtime} (= ${version})")
      set(summary "development files")
      set(detail "This package holds the header, the static library and the files with which")
      string(APPEND detail "\n CMake (find_package(Tessaryn)) and pkg-config (tessaryn) find them.")
    endif()
    tessaryn_run_step("installing the ${component} component"
      COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
              ${CMAKE_COMMAND} --install ${tree} --component ${component} --strip)
    tessaryn_deb_control(${root} ${package} ${version} ${arch} "${maintainer}" ${section}
      "${depends}" "${summary}" "${detail}")
    if(package STREQUAL runtime)
      # Other packages built against the library depend on this one, and ldconfig learns
      # of the new library.
      file(WRITE ${root}/DEBIAN/shlibs "libtessaryn ${major} ${runtime} (>= ${version})\n")
      file(WRITE ${root}/DEBIAN/triggers "activate-noawait ldconfig\n")
    endif()
    set(deb ${stage}/${package}_${version}_${arch}.deb)
    tessaryn_run_step("building ${package}"
      COMMAND ${tool_dpkg_deb} --root-owner-group --build ${root} ${deb})
    list(APPEND debs ${deb})
  endforeach()
  set(${out_var} ${debs} PARENT_SCOPE)
endfunction()
