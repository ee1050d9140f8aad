# Import libraries of the DLLs, for hosts that link them instead of loading them at run time:
# lib<name>.dll.a for MinGW and, where llvm-dlltool is installed, <name>.lib for Microsoft's
# linker, both beside the DLL.
#
#   tessaryn_import_libraries(<target> <name> <module definition> <32-bit import names>)
#
# On 32-bit x86 the headers declare the functions stdcall, so compilers refer to them by
# decorated names (_ITrend@16). The linker's own import library would hold only the plain
# names the DLL exports, so it is replaced by one made from the decorated list; -k makes
# every import ask the DLL for the plain name. On x64 the names are plain everywhere.
find_program(TESSARYN_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15
  llvm-dlltool-14 DOC "llvm-dlltool, to make the import libraries for Microsoft's linker")
if(NOT TESSARYN_LLVM_DLLTOOL)
  message(STATUS "llvm-dlltool not found: no import libraries for Microsoft's linker")
endif()

function(tessaryn_import_libraries target name def def_x86)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(import_names ${def_x86})
    set(llvm_machine i386)
    set(kill_at -k)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_DLLTOOL} -d ${import_names} -l $<TARGET_LINKER_FILE:${target}>
              -D ${name}.dll -k
      COMMENT "Import library of ${name}.dll with the decorated stdcall names"
      VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${import_names})
  else()
    set(import_names ${def})
    set(llvm_machine i386:x86-64)
    set(kill_at "")
  endif()
  if(TESSARYN_LLVM_DLLTOOL)
    set(msvc_import_library ${PROJECT_BINARY_DIR}/${name}.lib)
    add_custom_command(OUTPUT ${msvc_import_library}
      COMMAND ${TESSARYN_LLVM_DLLTOOL} -m ${llvm_machine} -d ${import_names}
              -l ${msvc_import_library} -D ${name}.dll ${kill_at}
      DEPENDS ${import_names}
      COMMENT "Import library of ${name}.dll for Microsoft's linker"
      VERBATIM)
    add_custom_target(${target}_msvc_import_library ALL DEPENDS ${msvc_import_library})
  endif()
endfunction()
