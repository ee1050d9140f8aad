# The Windows zip: x86/ and x64/ each with Tessaryn.dll and TessarynStream.dll and their
# import libraries (lib<name>.dll.a for MinGW, <name>.lib for Microsoft's linker),
# include/tessaryn.h and include/tessaryn_stream.h, and README.txt, the README's section for
# host developers.
include_guard()
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

# Builds both Windows presets' DLLs in their trees (configuring a tree that is not yet),
# stages the bundle under `stage` and zips it; sets `out_var` to the zip.
function(tessaryn_windows_bundle out_var source_dir stage version)
  tessaryn_dist_needs("g++-mingw-w64-i686 g++-mingw-w64-x86-64"
    i686-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++-win32)
  tessaryn_dist_needs("llvm" llvm-dlltool)
  set(bundle ${stage}/windows)
  foreach(arch IN ITEMS x86 x64)
    set(tree ${source_dir}/build/windows-${arch})
    if(NOT EXISTS ${tree}/CMakeCache.txt)
      tessaryn_run_step("configuring the windows-${arch} preset"
        COMMAND ${CMAKE_COMMAND} --preset windows-${arch} WORKING_DIRECTORY ${source_dir})
    endif()
    tessaryn_run_step("building the windows-${arch} DLL"
      COMMAND ${CMAKE_COMMAND} --build ${tree} --parallel 2
              --target tessaryn tessaryn_msvc_import_library tessaryn_stream_dll
                       tessaryn_stream_dll_msvc_import_library)
    foreach(dll IN ITEMS Tessaryn TessarynStream)
      file(COPY ${tree}/${dll}.dll ${tree}/lib${dll}.dll.a ${tree}/${dll}.lib
        DESTINATION ${bundle}/${arch})
    endforeach()
  endforeach()
  file(COPY ${source_dir}/exports/tessaryn.h ${source_dir}/exports/tessaryn_stream.h
    DESTINATION ${bundle}/include)

  # The guide: from the README's "## Windows: " heading to the next section, with Windows
  # line ends for the plainest editors.
  file(READ ${source_dir}/README.md readme)
  string(FIND "${readme}" "\n## Windows: " start)
  if(start EQUAL -1)
    message(FATAL_ERROR "README.md has no '## Windows: ' section to give host developers")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${readme}" ${start} -1 section)
  string(FIND "${section}" "\n## " end)
  if(NOT end EQUAL -1)
    string(SUBSTRING "${section}" 0 ${end} section)
    string(APPEND section "\n")
  endif()
  string(REPLACE "\n" "\r\n" guide "Tessaryn ${version}\n\n${section}")
  file(WRITE ${bundle}/README.txt "${guide}")

  set(zip ${stage}/Tessaryn-${version}-windows.zip)
  tessaryn_run_step("zipping the Windows bundle"
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip README.txt include x64 x86
    WORKING_DIRECTORY ${bundle})
  set(${out_var} ${zip} PARENT_SCOPE)
endfunction()
