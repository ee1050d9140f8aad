# The DLLs: Tessaryn.dll (the routines), TessarynStream.dll (the stream's C API) and the
# tests' TessarynLanes.dll. Each takes its export table from a module definition, links no C
# or C++ runtime (not even its startup code, see exports/dll_main.cpp), so it needs no
# runtime DLL beside it, and keeps libgcc, linked statically, for any helper routine the
# compiler calls.
#
#   tessaryn_windows_dll(<target> <name> <module definition> [DESCRIPTION <text>])
#
# names the file <name>.dll, in the build tree's top; with DESCRIPTION it gets the version
# resource (file and product version and that description in the DLL's properties).
function(tessaryn_windows_dll target name def)
  cmake_parse_arguments(PARSE_ARGV 3 dll "" "DESCRIPTION" "")
  target_sources(${target} PRIVATE ${def} ${PROJECT_SOURCE_DIR}/exports/dll_main.cpp)
  if(dll_DESCRIPTION)
    set(tessaryn_version_commas
      ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
    set(dll_name ${name})
    configure_file(${PROJECT_SOURCE_DIR}/exports/tessaryn.rc.in ${PROJECT_BINARY_DIR}/${name}.rc
                   @ONLY)
    target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/${name}.rc)
  endif()
  target_link_libraries(${target} PRIVATE tessaryn_build_flags)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name}
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  target_link_options(${target} PRIVATE -nostdlib "LINKER:--no-insert-timestamp")
  target_link_libraries(${target} PRIVATE gcc)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The objects name the stdcall functions ITrend@16 and so on; the module definition
    # exports them under their plain names.
    target_link_options(${target} PRIVATE "LINKER:--enable-stdcall-fixup")
  endif()
endfunction()
