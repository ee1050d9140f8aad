# Checks the Windows zip the dist target wrote, as a host developer receives it: unpacks it,
# checks what it holds, then for each architecture builds hosts from nothing but its contents
# and runs them under Wine over the host series, each result compared with the native
# library's bits: a MinGW host linking libTessaryn.dll.a, and a host compiled for the MSVC
# target and linked by lld-link against Tessaryn.lib.
# -DDIST_DIR -DVERSION -DSOURCE_DIR -DSERIES=<host series dir> -DWORK_DIR
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../optional_tools.cmake)
include(${SOURCE_DIR}/tests/hosts/host_outputs.cmake)
include(${SOURCE_DIR}/cmake/wine.cmake)
tessaryn_need_programs("g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine clang lld llvm"
  i686-w64-mingw32-gcc-win32 x86_64-w64-mingw32-gcc-win32 wine clang lld-link llvm-dlltool)

# Runs the command after `what` (in `dir`); stops with its output when it fails.
function(run what dir)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${dir}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "${what} failed (${failed}):\n${log}")
  endif()
endfunction()

set(zip ${DIST_DIR}/Tessaryn-${VERSION}-windows.zip)
if(NOT EXISTS ${zip})
  message(FATAL_ERROR "no ${zip} (run: cmake --build build/release --target dist)")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
set(unpacked ${WORK_DIR}/unpacked)
file(MAKE_DIRECTORY ${unpacked})
run("unzipping ${zip}" ${unpacked} ${CMAKE_COMMAND} -E tar xf ${zip})

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${unpacked} ${unpacked}/*)
list(SORT files)
set(wanted README.txt include/tessaryn.h include/tessaryn_stream.h)
foreach(arch IN ITEMS x64 x86)
  foreach(dll IN ITEMS Tessaryn TessarynStream)
    list(APPEND wanted ${arch}/${dll}.dll ${arch}/${dll}.lib ${arch}/lib${dll}.dll.a)
  endforeach()
endforeach()
list(SORT wanted)
if(NOT files STREQUAL wanted)
  message(FATAL_ERROR "${zip} holds '${files}', expected '${wanted}'")
endif()
foreach(header IN ITEMS tessaryn.h tessaryn_stream.h)
  run("comparing ${header}" ${WORK_DIR}
    ${CMAKE_COMMAND} -E compare_files ${unpacked}/include/${header} ${SOURCE_DIR}/exports/${header})
endforeach()
# The guide: the README's host section under the version, with Windows line ends.
file(READ ${unpacked}/README.txt guide)
foreach(part IN ITEMS "Tessaryn ${VERSION}\n" "## Windows: Tessaryn.dll for host developers\n"
                      "LoadTessarynRoutine" "EntryPoint" "external 'Tessaryn.dll'" "Declare"
                      "### Live bars on Windows: TessarynStream.dll\n"
                      "external 'TessarynStream.dll'")
  string(FIND "${guide}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.txt lacks '${part}'")
  endif()
endforeach()
file(READ ${unpacked}/README.txt guide_hex HEX)
if(guide_hex MATCHES "^(..)*(0[^d]|[^0].)0a")
  message(FATAL_ERROR "README.txt has a line that does not end in CR LF")
endif()

set(hosts_dir ${SOURCE_DIR}/tests/hosts)
file(READ ${hosts_dir}/kernel32.def kernel32_x86)
string(REGEX REPLACE "@[0-9]+" "" kernel32_x64 "${kernel32_x86}")  # no decoration on x64
set(not_run "")
foreach(arch IN ITEMS x86 x64)
  tessaryn_find_wine(${arch} wine)
  if(NOT wine)
    if(DEFINED ENV{TESSARYN_REQUIRE_WINDOWS_TESTS} AND NOT tessaryn_wine_unavailable)
      message(FATAL_ERROR "${arch}: ${tessaryn_wine_missing}; TESSARYN_REQUIRE_WINDOWS_TESTS is set")
    endif()
    list(APPEND not_run "${arch} (${tessaryn_wine_missing})")
  endif()
  if("${arch}" STREQUAL "x86")
    set(mingw_id i686_w64_mingw32_gcc_win32)
    set(msvc_target i686-pc-windows-msvc)
    set(llvm_machine i386)
  else()
    set(mingw_id x86_64_w64_mingw32_gcc_win32)
    set(msvc_target x86_64-pc-windows-msvc)
    set(llvm_machine i386:x86-64)
  endif()

  # MinGW: the header and libTessaryn.dll.a from the zip, the DLL beside the program.
  set(dir ${WORK_DIR}/${arch}-mingw)
  file(COPY ${unpacked}/${arch}/Tessaryn.dll DESTINATION ${dir})
  file(MAKE_DIRECTORY ${dir})
  run("MinGW host (${arch})" ${dir}
    ${tool_${mingw_id}} -std=c11 -O2 -Wall -Wextra -Wpedantic -Werror -I${unpacked}/include -I${hosts_dir} ${hosts_dir}/import_library_host.c
    ${hosts_dir}/series_files.c -L${unpacked}/${arch} -lTessaryn -static-libgcc
    -o ${dir}/host.exe)
  if(wine)
    tessaryn_run_host(mingw_host_${arch} ${SERIES} ${dir} ${dir}/output.f32 ${wine} ${dir}/host.exe)
  endif()

  # The stream's live loop, with tessaryn_stream.h and libTessarynStream.dll.a from the zip.
  set(dir ${WORK_DIR}/${arch}-mingw-stream)
  file(COPY ${unpacked}/${arch}/TessarynStream.dll DESTINATION ${dir})
  run("MinGW stream host (${arch})" ${dir}
    ${tool_${mingw_id}} -std=c11 -O2 -Wall -Wextra -Wpedantic -Werror -I${unpacked}/include -I${hosts_dir} ${hosts_dir}/stream_host.c
    ${hosts_dir}/series_files.c -L${unpacked}/${arch} -lTessarynStream -static-libgcc
    -o ${dir}/host.exe)
  if(wine)
    tessaryn_run_host(mingw_stream_host_${arch} ${SERIES} ${dir} ${dir}/output.f32 ${wine}
                      ${dir}/host.exe)
  endif()

  # Microsoft's target: Tessaryn.lib (and TessarynStream.lib, for the stream's live loop)
  # from the zip, linked by lld-link as link.exe would.
  foreach(dll IN ITEMS Tessaryn TessarynStream)
    set(dir ${WORK_DIR}/${arch}-msvc-${dll})
    file(COPY ${unpacked}/${arch}/${dll}.dll ${SERIES}/input.f32 DESTINATION ${dir})
    file(WRITE ${dir}/kernel32.def "${kernel32_${arch}}")
    set(defines "")
    if(dll STREQUAL "TessarynStream")
      set(defines -DSTREAM_HOST)
    endif()
    run("kernel32.lib (${arch})" ${dir}
      ${tool_llvm_dlltool} -m ${llvm_machine} -d ${dir}/kernel32.def -l ${dir}/kernel32.lib -k)
    run("MSVC-target host of ${dll}.dll (${arch})" ${dir}
      ${tool_clang} --target=${msvc_target} -O2 -ffreestanding -fno-builtin -Wall -Wextra -Werror
      ${defines} -I${unpacked}/include -c ${hosts_dir}/msvc_host.c -o ${dir}/host.obj)
    run("lld-link (${arch}, ${dll}.lib)" ${dir}
      ${tool_lld_link} /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib
      /out:${dir}/host.exe ${dir}/host.obj ${unpacked}/${arch}/${dll}.lib ${dir}/kernel32.lib)
    # It reads input.f32 and writes output.f32 in its directory, whatever the arguments say.
    if(wine)
      tessaryn_run_host(msvc_host_${dll}_${arch} ${SERIES} ${dir} ${dir}/output.f32 ${wine}
                        ${dir}/host.exe)
    endif()
  endforeach()
endforeach()
if(not_run)
  list(JOIN not_run "; " not_run)
  message("SKIPPED: the hosts were built from the zip, but not run under Wine for ${not_run}")
endif()
