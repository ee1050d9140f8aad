# Import libraries of Tessaryn.dll, for hosts that link it instead of loading it at run time:
# libTessaryn.dll.a for MinGW and, where llvm-dlltool is installed, Tessaryn.lib for
# Microsoft's linker, both beside the DLL.
#
# On 32-bit x86 the header declares the entry points stdcall, so compilers refer to them by
# decorated names (_ITrend@16). The linker's own import library would hold only the plain
# names the DLL exports, so it is replaced by one made from the decorated list; -k makes
# every import ask the DLL for the plain name. On x64 the names are plain everywhere.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(tessaryn_import_names ${TESSARYN_DEF_X86})
  set(tessaryn_llvm_machine i386)
  set(tessaryn_kill_at -k)
  add_custom_command(TARGET tessaryn POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -d ${tessaryn_import_names} -l $<TARGET_LINKER_FILE:tessaryn>
            -D Tessaryn.dll -k
    COMMENT "Import library with the decorated stdcall names"
    VERBATIM)
  set_property(TARGET tessaryn APPEND PROPERTY LINK_DEPENDS ${tessaryn_import_names})
else()
  set(tessaryn_import_names ${TESSARYN_DEF})
  set(tessaryn_llvm_machine i386:x86-64)
  set(tessaryn_kill_at "")
endif()

find_program(TESSARYN_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15
  llvm-dlltool-14 DOC "llvm-dlltool, to make Tessaryn.lib for Microsoft's linker")
if(TESSARYN_LLVM_DLLTOOL)
  set(tessaryn_msvc_import_library ${PROJECT_BINARY_DIR}/Tessaryn.lib)
  add_custom_command(OUTPUT ${tessaryn_msvc_import_library}
    COMMAND ${TESSARYN_LLVM_DLLTOOL} -m ${tessaryn_llvm_machine} -d ${tessaryn_import_names}
            -l ${tessaryn_msvc_import_library} -D Tessaryn.dll ${tessaryn_kill_at}
    DEPENDS ${tessaryn_import_names}
    COMMENT "Import library for Microsoft's linker"
    VERBATIM)
  add_custom_target(tessaryn_msvc_import_library ALL DEPENDS ${tessaryn_msvc_import_library})
else()
  message(STATUS "llvm-dlltool not found: no Tessaryn.lib for Microsoft's linker")
endif()
